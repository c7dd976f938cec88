#pragma once
// A damaged clip whose repair takes a while: after one small video chunk its
// movi data hold an audio chunk of `bigChunkBytes` (a hole in the file, so it
// costs no disk space) and one more small chunk, then the trailer of a
// forged damaged clip. The repair's scan skips the big chunk at once, and its
// copy then reads and writes all of it in views: a repair that can be
// watched and cancelled half-way. Programs using it link clipforge_lib.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "clipforge/clipforge.h"
#include "support/test_support.h"

namespace trivexa::test {

inline bool WriteSlowRepairClip(const std::filesystem::path& path, std::uint64_t bigChunkBytes) {
    const std::filesystem::path forged = path.string() + ".forged";
    clipforge::ClipSpec spec;
    spec.name = path.filename().string();
    spec.video.frames = 30;
    spec.damage.indexLost = true;
    if (!clipforge::WriteClip(forged, spec)) return false;
    const std::string bytes = ReadFile(forged);
    std::filesystem::remove(forged);
    // The full layout's header ends at 396 (the first chunk); the trailer is
    // the last 28 bytes.
    constexpr std::size_t kHeader = 396;
    constexpr std::size_t kTrailer = 28;
    if (bytes.size() < kHeader + kTrailer) return false;

    auto le32 = [](std::uint32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i)
            s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
        return s;
    };
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), kHeader);
    // A key frame: start code, then a byte whose low bits say IDR.
    std::string video = "00dc" + le32(24) + std::string("\0\0\0\1\x65", 5) + std::string(19, '\0');
    out.write(video.data(), static_cast<std::streamsize>(video.size()));
    const std::uint64_t big = bigChunkBytes & ~std::uint64_t{1};
    const std::string audio = "01wb" + le32(static_cast<std::uint32_t>(big));
    out.write(audio.data(), static_cast<std::streamsize>(audio.size()));
    out.seekp(static_cast<std::streamoff>(big), std::ios::cur);
    const std::string last = "01wb" + le32(24) + std::string(24, '\0');
    out.write(last.data(), static_cast<std::streamsize>(last.size()));
    out.write(bytes.data() + bytes.size() - kTrailer, kTrailer);
    return static_cast<bool>(out);
}

}  // namespace trivexa::test
