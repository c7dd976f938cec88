// ScanChunks and RebuildIndex on arbitrary files; whatever they accept must
// come out as a copy that the integrity check calls intact and whose index
// reads back as built.
#include <cstdlib>
#include <cstring>

#include "container/avi_reader.h"
#include "container/integrity.h"
#include "fuzz_clip_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trivexa;
    const std::filesystem::path p = fuzz::WriteInput(data, size);
    RepairJob job;
    job.sourcePath = p;
    job.layout = LayoutForPath(p);
    const std::size_t headerSize = static_cast<std::size_t>(avi::FirstChunkOffset(job.layout));
    job.header.assign(headerSize, std::byte{0});
    std::memcpy(job.header.data(), data, std::min(size, headerSize));
    if (RebuildIndex(job) != RebuildResult::kBuilt) return 0;

    // The copy keeps the name: it selects the layout the copy is read with.
    const std::filesystem::path out = fuzz::ScratchDir() / "out" / p.filename();
    std::filesystem::create_directories(out.parent_path());
    if (!WriteRepaired(job, out)) std::abort();
    if (CheckClip(out) != ClipCheck::kIntact) std::abort();
    const std::optional<ClipInfo> info = ReadClipInfo(out);
    // The copy of a front clip has a zero-count trailer; its sensor header is
    // read from the index bytes, so only the index is compared.
    if (info && info->indexEntries != job.index) std::abort();
    return 0;
}
