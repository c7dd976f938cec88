#pragma once
// Shared by the clip fuzz targets: each input is written to a scratch file
// whose recording name picks the full or the short layout (and the camera).

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace trivexa::fuzz {

// Removed again when the fuzzer exits.
struct Scratch {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("trivexa-fuzz-avi-" + std::to_string(::getpid()));
    Scratch() { std::filesystem::create_directories(dir); }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

inline std::filesystem::path ScratchDir() {
    static const Scratch scratch;
    return scratch.dir;
}

inline std::filesystem::path WriteInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kNames[] = {"A___-230715-081522-000001F.AVI",
                                         "T___-230715-081522-000002F.AVI",
                                         "A___-230715-081522-000003R.AVI"};
    const std::filesystem::path p = ScratchDir() / kNames[size % 3];
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return p;
}

}  // namespace trivexa::fuzz
