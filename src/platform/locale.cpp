#include "platform/locale.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace trivexa::platform {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The locale name the C library would take for LC_CTYPE from the environment.
std::string_view CtypeLocaleName() {
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t{});
    return loc;
}

}  // namespace

bool UserLocaleIsEnglishUnitedStates() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value == nullptr || *value == '\0') continue;
        std::string_view v(value);
        // "en_US", "en_US.UTF-8", "en_US@euro"; "en_USA" is no locale name.
        return v.starts_with("en_US") && (v.size() == 5 || v[5] == '.' || v[5] == '@');
    }
    return false;
}

std::string LocaleCharset() {
    // newlocale reads the environment without changing the global locale,
    // which other threads may be using.
    if (locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
        std::string charset = nl_langinfo_l(CODESET, loc);
        freelocale(loc);
        if (!charset.empty()) return charset;
    }
    const std::string_view name = CtypeLocaleName();
    const auto dot = name.find('.');
    if (dot != std::string_view::npos) {
        std::string_view codeset = name.substr(dot + 1);
        codeset = codeset.substr(0, codeset.find('@'));
        if (!codeset.empty()) return std::string(codeset);
    }
    return "UTF-8";
}

std::string DecodeToUtf8(std::string_view bytes, const std::string& charset) {
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};

    std::string out;
    char buffer[1024];
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
        const int err = errno;
        out.append(buffer, static_cast<size_t>(o - buffer));
        if (rc != static_cast<size_t>(-1)) continue;
        if (err == E2BIG) continue;
        if (err == EINVAL) {  // cut off at the end
            out.append(kReplacement);
            break;
        }
        // EILSEQ: skip the offending byte and start afresh after it.
        out.append(kReplacement);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush the shift state of stateful encodings.
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    out.append(buffer, static_cast<size_t>(o - buffer));
    iconv_close(cd);
    return out;
}

ParsedNumber ParseDoubleInCLocale(std::string_view text) {
    const std::string terminated(text);
    const char* begin = terminated.c_str();
    char* end = nullptr;
    errno = 0;
    const locale_t loc = CLocale();
    ParsedNumber out;
    out.value = loc != locale_t{} ? strtod_l(begin, &end, loc) : std::strtod(begin, &end);
    out.outOfRange = errno == ERANGE;
    out.length = static_cast<std::size_t>(end - begin);
    return out;
}

std::string FormatFixedInCLocale(double value) {
    // to_chars never consults the locale; with precision 6 it rounds as %f.
    char buf[400];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    return std::string(buf, result.ptr);
}

std::optional<int> LocalUtcOffsetMinutes(int year, int month, int day, int hour, int minute,
                                         int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;  // let the zone's rules decide
    const std::time_t instant = std::mktime(&local);
    if (instant == static_cast<std::time_t>(-1)) return std::nullopt;
    std::tm utc{};
    if (::gmtime_r(&instant, &utc) == nullptr) return std::nullopt;
    // The same instant read in both calendars; their difference is the offset.
    const auto days = [](const std::tm& t) {
        const int y = t.tm_year + 1900 - (t.tm_mon < 2 ? 1 : 0);
        const int m = t.tm_mon < 2 ? t.tm_mon + 13 : t.tm_mon + 1;
        return 365L * y + y / 4 - y / 100 + y / 400 + (153L * m + 8) / 5 + t.tm_mday;
    };
    const long seconds = (days(local) - days(utc)) * 86400L +
                         (local.tm_hour - utc.tm_hour) * 3600L + (local.tm_min - utc.tm_min) * 60L +
                         (local.tm_sec - utc.tm_sec);
    return static_cast<int>(seconds / 60);
}

bool IsAsciiCharset(const std::string& charset) {
    std::string key;
    for (char c : charset) {
        if (c == '-' || c == '_' || c == '.') continue;
        key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return key == "ANSIX341968" || key == "ANSIX341986" || key == "USASCII" || key == "ASCII" ||
           key == "646" || key == "ISO646US";
}

std::optional<std::string> EncodeFromUtf8(std::string_view text, const std::string& charset,
                                          std::size_t* replaced) {
    if (replaced != nullptr) *replaced = 0;
    iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;

    std::string out;
    char buffer[1024];
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    const auto flushShift = [&] {
        // Return a stateful encoding (ISO-2022-JP) to its initial shift state,
        // so the '?' that follows reads as ASCII.
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, &o, &oLeft);
        out.append(buffer, static_cast<size_t>(o - buffer));
    };
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
        const int err = errno;
        out.append(buffer, static_cast<size_t>(o - buffer));
        if (rc != static_cast<size_t>(-1) || err == E2BIG) continue;
        // EILSEQ (a character the charset lacks, or bad UTF-8) or EINVAL (a
        // sequence cut off at the end): one '?' for the whole character.
        const auto lead = static_cast<unsigned char>(*in);
        size_t skip = 1;
        if (lead >= 0xF0 && lead <= 0xF4)
            skip = 4;
        else if (lead >= 0xE0)
            skip = 3;
        else if (lead >= 0xC2 && lead < 0xE0)
            skip = 2;
        if (skip > 1) {
            for (size_t k = 1; k < skip; ++k) {
                if (k >= inLeft || (static_cast<unsigned char>(in[k]) & 0xC0) != 0x80) {
                    skip = k;
                    break;
                }
            }
        }
        skip = std::min(skip, inLeft);
        flushShift();
        out.push_back('?');
        if (replaced != nullptr) ++*replaced;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    flushShift();
    iconv_close(cd);
    return out;
}

}  // namespace trivexa::platform
