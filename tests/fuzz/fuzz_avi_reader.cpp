// ReadClipInfo, DeriveFacts, ReadTiming and CheckClip on arbitrary files.
#include <cstdlib>

#include "container/avi_reader.h"
#include "container/integrity.h"

// The container code reads clips from disk, so every input is written to a
// scratch file under one of the names that select the layouts and the
// front/rear handling.

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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trivexa;
    const std::filesystem::path p = fuzz::WriteInput(data, size);
    if (const std::optional<ClipInfo> info = ReadClipInfo(p)) {
        // Nothing read may claim more than the file holds.
        if (info->indexEntries.size() * avi::kIndexEntrySize > size) std::abort();
        if (info->sensorRecords.size() > size) std::abort();
        (void)DeriveFacts(*info);
    }
    (void)ReadTiming(p);
    std::uint64_t expected = 0;
    const int result = CheckClip(p, &expected);
    if (result < 0 || result > 2) std::abort();
    return 0;
}
