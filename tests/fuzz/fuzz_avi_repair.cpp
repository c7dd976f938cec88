// ScanChunks and RebuildIndex on arbitrary files; whatever they accept must
// come out as a copy that the integrity check calls intact and whose index
// reads back as built.
#include <cstdlib>
#include <cstring>

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
    RepairJob job;
    job.sourcePath = p;
    job.layout = LayoutForPath(p);
    const std::size_t headerSize = static_cast<std::size_t>(avi::FirstChunkOffset(job.layout));
    job.header.assign(headerSize, std::byte{0});
    std::memcpy(job.header.data(), data, std::min(size, headerSize));
    if (RebuildIndex(job) != 1) return 0;

    // The copy keeps the name: it selects the layout the copy is read with.
    const std::filesystem::path out = fuzz::ScratchDir() / "out" / p.filename();
    std::filesystem::create_directories(out.parent_path());
    if (!WriteRepaired(job, out)) std::abort();
    if (CheckClip(out) != kClipIntact) std::abort();
    const std::optional<ClipInfo> info = ReadClipInfo(out);
    // The copy of a front clip has a zero-count trailer; its sensor header is
    // read from the index bytes, so only the index is compared.
    if (info && info->indexEntries != job.index) std::abort();
    return 0;
}
