// Throughput of the repair scan (ScanChunks + RebuildIndex) on a clip whose
// index was lost, against reading the same bytes once through mapped windows
// of the same size. The clip (default 512 MB of real H.264 chunks) is made in
// a scratch folder and deleted afterwards. The page cache is warmed first, so
// both measure memory-mapped reading, not the disk.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "clipforge/clipforge.h"
#include "container/integrity.h"
#include "support/bench_timing.h"

namespace {

namespace fs = std::filesystem;
namespace cf = trivexa::clipforge;
namespace bench = trivexa::bench;

void Put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A damaged full-layout clip of about `bytes` bytes: the header of a forge
// clip with its sizes zeroed, then video chunks (H.264 access units cycled
// from a 720p stream) with an audio chunk after every tenth frame, cut in the
// middle of the last chunk.
bool MakeBigClip(const fs::path& path, std::uint64_t bytes, std::size_t& chunks) {
    const fs::path small = path.parent_path() / "small.AVI";
    cf::ClipSpec spec;
    spec.name = "A___-230715-081522-000001R.AVI";
    if (!cf::WriteClip(small, spec)) return false;
    std::string header;
    {
        std::ifstream in(small, std::ios::binary);
        header.resize(396);
        in.read(header.data(), 396);
    }
    fs::remove(small);
    for (std::uint64_t off : {4u, 48u, 140u, 264u, 388u}) std::memset(header.data() + off, 0, 4);

    cf::VideoSpec vs;
    vs.width = 1280;
    vs.height = 720;
    vs.frames = 90;
    std::string error;
    const std::optional<cf::VideoStream> video = cf::MakeVideo(vs, &error);
    if (!video) {
        std::fprintf(stderr, "clipforge: %s\n", error.c_str());
        return false;
    }
    const std::string audio(3200, '\x11');

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::uint64_t written = header.size();
    std::string chunk;
    chunks = 0;
    for (std::size_t f = 0; written < bytes; ++f) {
        const auto& unit = video->units[f % video->units.size()];
        chunk.assign("00dc");
        Put32(chunk, static_cast<std::uint32_t>(unit.size()));
        chunk.append(reinterpret_cast<const char*>(unit.data()), unit.size());
        if (unit.size() % 2) chunk += '\0';
        if (f % 10 == 9) {
            chunk += "01wb";
            Put32(chunk, static_cast<std::uint32_t>(audio.size()));
            chunk += audio;
            ++chunks;
        }
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        written += chunk.size();
        ++chunks;
    }
    // Power lost in the middle of a chunk.
    out.write("00dc\x00\x00\x01\x00\x00\x00\x00\x01\x41", 13);
    return static_cast<bool>(out);
}

// Touches every byte of [from, end) through 16 MB windows; returns a checksum
// so that the reads cannot be optimised away.
std::uint64_t ReadThroughWindows(const fs::path& path, std::uint64_t from) {
    trivexa::MappedFile file;
    if (!file.Open(path)) return 0;
    std::uint64_t sum = 0;
    const std::uint64_t step = trivexa::repair::kScanStep;
    for (std::uint64_t at = from; at < file.Size(); at += step) {
        const trivexa::MappedWindow w = file.MapWindow(at, step);
        const std::byte* p = w.data();
        const std::size_t n = w.size();
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t v;
            std::memcpy(&v, p + i, 8);
            sum += v;
        }
        for (; i < n; ++i) sum += static_cast<std::uint64_t>(p[i]);
    }
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t mb = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 512;
    const fs::path base = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const fs::path dir = base / ("trivexa-bench-repair-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path clip = dir / "A___-230715-081522-000001R.AVI";
    std::size_t chunks = 0;
    if (!MakeBigClip(clip, mb << 20, chunks)) {
        std::fprintf(stderr, "cannot write the clip\n");
        fs::remove_all(dir);
        return 1;
    }
    const std::uint64_t size = fs::file_size(clip);
    std::printf("clip: %.1f MB, %zu chunks\n", size / 1048576.0, chunks);

    volatile std::uint64_t sink = ReadThroughWindows(clip, 0);  // warm the page cache
    bench::Samples reads, scans;
    std::size_t entries = 0;
    for (int round = 0; round < 3; ++round) {
        reads.Add(bench::TimeSeconds([&] { sink = sink + ReadThroughWindows(clip, 392); }));

        trivexa::RepairJob job;
        job.sourcePath = clip;
        job.header.assign(396, std::byte{0});
        trivexa::RebuildResult built = trivexa::RebuildResult::kFailed;
        scans.Add(bench::TimeSeconds([&] { built = trivexa::RebuildIndex(job); }));
        if (built != trivexa::RebuildResult::kBuilt) {
            std::fprintf(stderr, "rebuild failed (%d)\n", static_cast<int>(built));
            fs::remove_all(dir);
            return 1;
        }
        entries = job.index.size();
    }
    fs::remove_all(dir);
    const double readBest = reads.Minimum(), scanBest = scans.Minimum();
    const double mbs = size / 1048576.0;
    std::printf("entries found: %zu of %zu complete chunks\n", entries, chunks);
    std::printf("mapped read : %.3f s  %.0f MB/s\n", readBest, mbs / readBest);
    std::printf("repair scan : %.3f s  %.0f MB/s\n", scanBest, mbs / scanBest);
    std::printf("ratio (scan throughput / read throughput): %.2f\n",
                bench::SpeedRatio(readBest, scanBest));
    return entries == chunks ? 0 : 1;
}
