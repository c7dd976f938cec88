#pragma once
// Clips for the container tests, written by clipforge (an independent writer
// of the recorder's layout) into a scratch folder.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "clipforge/clipforge.h"
#include "support/test_support.h"

namespace trivexa::test {

namespace cf = trivexa::clipforge;

struct Forged {
    std::filesystem::path path;
    cf::ClipReport report;
};

inline Forged Forge(const TempDir& dir, cf::ClipSpec spec) {
    Forged f;
    f.path = dir / spec.name;
    std::string error;
    if (!cf::WriteClip(f.path, spec, &f.report, &error)) ADD_FAILURE() << "clipforge: " << error;
    return f;
}

inline cf::ClipSpec Spec(const std::string& name) {
    cf::ClipSpec spec;
    spec.name = name;
    return spec;
}

inline constexpr const char* kFrontName = "A___-230715-081522-000001F.AVI";
inline constexpr const char* kRearName = "A___-230715-081522-000001R.AVI";
inline constexpr const char* kLapseName = "T___-230715-081522-000002F.AVI";

// Overwrites 4 bytes of a file with a little-endian value.
inline void PatchLe32(const std::filesystem::path& p, std::uint64_t offset, std::uint32_t v) {
    std::string bytes = ReadFile(p);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    WriteFile(p, bytes);
}

inline std::uint32_t FourccValue(const std::array<char, 4>& f) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(f[0])) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(f[1])) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(f[2])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(f[3])) << 24);
}

}  // namespace trivexa::test
