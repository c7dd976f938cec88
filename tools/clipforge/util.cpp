#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "clipforge/clipforge.h"
#include "clipforge/forge_internal.h"

namespace trivexa::clipforge {
namespace detail {

void Put16(std::vector<uint8_t>& b, size_t off, uint16_t v) {
    b[off] = static_cast<uint8_t>(v);
    b[off + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutBe16(std::vector<uint8_t>& b, size_t off, uint16_t v) {
    b[off] = static_cast<uint8_t>(v >> 8);
    b[off + 1] = static_cast<uint8_t>(v);
}

void PutBe32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}

void PutText(std::vector<uint8_t>& b, size_t off, std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) b[off + i] = static_cast<uint8_t>(text[i]);
}

void SetError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

bool WriteFileAtomic(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                     std::string* error) {
    // Unique per process and call, so parallel writers never share a temporary.
    static std::atomic<unsigned> counter{0};
    std::filesystem::path tmp = path;
    tmp += ".forge-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            SetError(error, "cannot create " + tmp.string());
            return false;
        }
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            SetError(error, "cannot write " + tmp.string());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        SetError(error, "cannot rename into " + path.string());
        return false;
    }
    return true;
}

DateTime AddSeconds(const DateTime& t, long seconds) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second + static_cast<int>(seconds);
    tm.tm_isdst = 0;
    // timegm normalises without any time zone, which keeps the arithmetic
    // independent of where the program runs.
    time_t tt = timegm(&tm);
    std::tm out{};
    gmtime_r(&tt, &out);
    return DateTime{out.tm_year + 1900, out.tm_mon + 1, out.tm_mday,
                    out.tm_hour,        out.tm_min,     out.tm_sec};
}

}  // namespace detail

std::string MakeName(std::string_view kind, const DateTime& t, int sequence, char camera,
                     std::string_view extension) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4s-%02d%02d%02d-%02d%02d%02d-%06d%c.",
                  std::string(kind).c_str(), t.year % 100, t.month, t.day, t.hour, t.minute,
                  t.second, sequence % 1000000, camera);
    return std::string(buf) + std::string(extension);
}

std::string PartnerName(std::string_view name) {
    std::string s(name);
    size_t dot = s.rfind('.');
    if (dot == std::string::npos || dot == 0) return s;
    char& c = s[dot - 1];
    if (c == 'F')
        c = 'R';
    else if (c == 'R')
        c = 'F';
    return s;
}

bool NameIsTimeLapse(std::string_view name) {
    return (name.size() > 0 && name[0] == 'T') || (name.size() > 2 && name[2] == 'T');
}

bool NameIsParking(std::string_view name) {
    if (name.empty()) return false;
    if (name[0] == 'P') return true;
    if (name[0] == 'A' || name[0] == 'T') return false;
    return name.size() > 2 && name[2] == 'T';
}

}  // namespace trivexa::clipforge
