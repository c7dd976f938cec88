#pragma once
// Byte access for the clipforge tests: they read what the forge wrote at the
// documented offsets, without any reader of the project in between.

#include <cstdint>
#include <string>

#include "clipforge/clipforge.h"
#include "support/test_support.h"

namespace trivexa::clipforge::testing {

inline uint32_t Le32(const std::string& b, size_t off) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b.at(off + i));
    return v;
}
inline uint16_t Le16(const std::string& b, size_t off) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b.at(off)) |
                                 static_cast<uint8_t>(b.at(off + 1)) << 8);
}
inline uint32_t Be32(const std::string& b, size_t off) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(b.at(off + i));
    return v;
}
inline uint16_t Be16(const std::string& b, size_t off) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b.at(off)) << 8 |
                                 static_cast<uint8_t>(b.at(off + 1)));
}

// A small clip spec whose encoded video is cached in the test-data folder.
inline ClipSpec SmallClip(const std::string& name, int frames = 30) {
    ClipSpec c;
    c.name = name;
    c.video.frames = frames;
    c.video.gop = 10;
    c.video.cacheDir = trivexa::test::TestDataDir() / "clipforge";
    return c;
}

}  // namespace trivexa::clipforge::testing
