#pragma once
// Hand-made sensor blocks for tests that need exact bytes: records start as
// 130 spaces and fields are written where a test wants them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace trivexa::test {

// Record times and timestamps depend on the local time zone; tests pin it.
inline void UseUtc() {
    setenv("TZ", "UTC", 1);
    tzset();
}

struct RecordBytes {
    std::array<char, 130> b;
    RecordBytes() { b.fill(' '); }
    RecordBytes& Put(std::size_t offset, std::string_view text) {
        std::memcpy(b.data() + offset, text.data(), text.size());
        return *this;
    }
    RecordBytes& Byte(std::size_t offset, std::uint8_t v) {
        b[offset] = static_cast<char>(v);
        return *this;
    }
};

// A typical record: fix, Tokyo, 42 km/h, 2023-07-15 08:15:22, 12.4 V.
inline RecordBytes TypicalRecord() {
    RecordBytes r;
    r.Put(0, "$CSMREC,")
        .Put(8, "A")
        .Put(9, "3539.1234")
        .Put(18, "N")
        .Put(19, "13942.1020")
        .Put(29, "E")
        .Put(30, "0042")
        .Put(34, "230715081522")
        .Put(46, ",")
        .Put(47, "***")
        .Put(50, ",")
        .Put(51, "124")
        .Put(54, "$CSMACC,")
        .Put(62, "+0010")
        .Put(67, "-0020")
        .Put(72, "-1000")
        .Put(77, "-XN----")
        .Put(84, "0000");
    return r;
}

// The header unit (block offsets 6-37; the count follows it).
struct HeaderUnitBytes {
    std::array<char, 32> b;
    HeaderUnitBytes() {
        b.fill(' ');
        std::memcpy(b.data(), "0300050008001000M000000H0311    ", 32);
    }
    HeaderUnitBytes& Put(std::size_t offset, std::string_view text) {
        std::memcpy(b.data() + offset, text.data(), text.size());
        return *this;
    }
};

struct BlockSpec {
    HeaderUnitBytes header;
    std::uint16_t count = 0;
    bool countFromRecords = true;
    std::vector<RecordBytes> records;
    bool trailer = true;
    std::string model = "PL21-XQR";
};

inline std::vector<std::byte> MakeBlock(const BlockSpec& spec) {
    std::string s = "CSMDAT";
    s.append(spec.header.b.data(), spec.header.b.size());
    const std::uint16_t count =
        spec.countFromRecords ? static_cast<std::uint16_t>(spec.records.size()) : spec.count;
    s.push_back(static_cast<char>(count >> 8));
    s.push_back(static_cast<char>(count & 0xFF));
    for (const RecordBytes& r : spec.records) s.append(r.b.data(), r.b.size());
    if (spec.trailer) {
        std::string model = spec.model;
        model.resize(8, ' ');
        const auto n = static_cast<std::uint32_t>(spec.records.size());
        s += "CSMEND" + model + "  ";
        for (int k = 3; k >= 0; --k) s.push_back(static_cast<char>((n >> (8 * k)) & 0xFF));
        s += "        ";
    }
    std::vector<std::byte> out(s.size());
    std::memcpy(out.data(), s.data(), s.size());
    return out;
}

inline std::string AsString(const std::vector<std::byte>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace trivexa::test
