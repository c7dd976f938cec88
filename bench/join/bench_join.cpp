// Join benchmarks, run on demand:
//
//   bench_join speed  [DIR]  WriteJoined of ten 100 MB front clips against `cp`
//                            of the same files, in the same run (best and median of 5 each,
//                            page cache warm). Target: at least 0.9x cp's speed.
//   bench_join memory [DIR]  Peak resident memory (from /usr/bin/time -v) of a
//                            process joining 100 clips, less the bytes of the
//                            merged index and sensor records it must hold.
//                            Target: below 64 MB.
//
// Without a mode both run. The clips are made at run time in a scratch folder
// under DIR (default: the temporary folder) and deleted afterwards. Their
// chunk data is patterned bytes that are really written (not sparse), so `cp`
// cannot skip holes.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/file_commands/join_texts.h"
#include "clipforge/clipforge.h"
#include "container/concat.h"

namespace {

namespace fs = std::filesystem;
namespace cf = trivexa::clipforge;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kChunkSize = 128 * 1024;  // bytes of one video chunk
constexpr int kRecordsPerClip = 600;              // one minute of sensor records
constexpr int kReps = 5;                          // timed runs of each contender

void Put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Set32(std::string& s, std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string FrontName(int seq) {
    cf::DateTime t;
    t.hour = 8 + seq / 60;
    t.minute = seq % 60;
    return cf::MakeName("A___", t, seq + 1, 'F');
}

// A full-layout front clip of about `bytes` bytes of video chunks, with its
// idx1 index and a sensor block of kRecordsPerClip records. The header comes
// from a tiny forge clip with the sizes and counts set for the big one.
bool MakeClip(const fs::path& path, std::uint64_t bytes, int seq) {
    const fs::path tiny = path.parent_path() / ("tiny-" + path.filename().string());
    cf::ClipSpec spec;
    spec.name = path.filename().string();
    spec.video.content = cf::VideoContent::Synthetic;
    spec.video.frames = 2;
    spec.audio.enabled = false;
    std::string error;
    if (!cf::WriteClip(tiny, spec, nullptr, &error)) {
        std::fprintf(stderr, "clipforge: %s\n", error.c_str());
        return false;
    }
    std::string header(384, '\0');
    {
        std::ifstream in(tiny, std::ios::binary);
        in.read(header.data(), 384);
    }
    fs::remove(tiny);

    const std::uint32_t chunks = static_cast<std::uint32_t>(bytes / (kChunkSize + 8));
    const std::uint32_t movi = 4 + chunks * (kChunkSize + 8);
    const std::uint32_t indexBytes = chunks * 16;
    Set32(header, 4, 384 + movi + 8 + indexBytes);  // RIFF size
    Set32(header, 48, chunks);                      // total frames
    Set32(header, 140, chunks);                     // video length
    Set32(header, 264, 0);                          // no audio chunks

    std::string chunk(kChunkSize + 8, '\0');
    std::memcpy(chunk.data(), "00dc", 4);
    Set32(chunk, 4, kChunkSize);
    std::mt19937 rng(static_cast<unsigned>(seq + 1));
    for (std::size_t i = 8; i < chunk.size(); ++i) chunk[i] = static_cast<char>(rng() & 0xFF);
    std::memcpy(chunk.data() + 8, "\0\0\0\1", 4);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::string list = "LIST";
    Put32(list, movi);
    list += "movi";
    out.write(list.data(), static_cast<std::streamsize>(list.size()));
    std::string index = "idx1";
    Put32(index, indexBytes);
    for (std::uint32_t i = 0; i < chunks; ++i) {
        // Every chunk differs a little so no layer below can deduplicate.
        Set32(chunk, 12, i);
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        index += "00dc";
        Put32(index, i % 30 == 0 ? 0x10 : 0);
        Put32(index, 4 + i * (kChunkSize + 8));
        Put32(index, kChunkSize);
    }
    out.write(index.data(), static_cast<std::streamsize>(index.size()));

    cf::SensorSpec sensor;
    cf::DriveScript drive;
    drive.records = kRecordsPerClip;
    sensor.samples = cf::ScriptedDrive(drive);
    const std::vector<std::uint8_t> block = cf::EncodeSensorBlock(sensor);
    out.write(reinterpret_cast<const char*>(block.data()),
              static_cast<std::streamsize>(block.size()));
    return static_cast<bool>(out);
}

std::vector<trivexa::RecordingEntry> MakeClips(const fs::path& dir, int count,
                                               std::uint64_t bytes) {
    std::vector<trivexa::RecordingEntry> sel;
    fs::create_directories(dir);
    for (int i = 0; i < count; ++i) {
        const fs::path p = dir / FrontName(i);
        if (!MakeClip(p, bytes, i)) return {};
        trivexa::RecordingEntry e;
        e.frontPath = p.string();
        e.frontName = p.filename().string();
        sel.push_back(e);
    }
    return sel;
}

// Reads every byte once so both contenders start from a warm page cache.
void Warm(const std::vector<trivexa::RecordingEntry>& sel) {
    std::vector<char> buf(1 << 20);
    for (const auto& e : sel) {
        std::ifstream in(e.frontPath, std::ios::binary);
        while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0) {
        }
    }
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Processor time (user + system) used so far by this process or its children:
// steadier than wall time on a busy machine.
double CpuSeconds(int who) {
    rusage u{};
    ::getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int RunSpeed(const fs::path& base) {
    const fs::path dir = base / "src";
    std::printf("making ten 100 MB clips in %s ...\n", dir.c_str());
    const auto sel = MakeClips(dir, 10, 100ull * 1000 * 1000);
    if (sel.empty()) return 1;
    std::uint64_t total = 0;
    for (const auto& e : sel) total += fs::file_size(e.frontPath);

    trivexa::JoinJob job;
    if (!trivexa::JoinBegin(job, sel[0].frontPath, "")) return 1;
    for (std::size_t i = 1; i < sel.size(); ++i)
        if (!trivexa::JoinAppend(job, sel[i].frontPath, "")) {
            std::fprintf(stderr, "append: %s\n", trivexa::CoreErrorText(job.error).c_str());
            return 1;
        }

    const fs::path joined = base / "joined" / sel[0].frontName;
    const fs::path copies = base / "copies";
    fs::create_directories(joined.parent_path());
    std::string cp = "cp";
    for (const auto& e : sel) cp += " '" + e.frontPath + "'";
    cp += " '" + copies.string() + "/'";

    Warm(sel);
    double bestJoin = 1e9, bestCp = 1e9;
    std::vector<double> cpTimes, joinTimes;
    double cpCpu = 0, joinCpu = 0;
    std::uint64_t joinedBytes = 0;
    // Alternating order, each step starting with no dirty pages of the other
    // (sync outside the timing), so neither pays for the other's writeback.
    const auto timeCp = [&]() -> bool {
        fs::create_directories(copies);
        ::sync();
        const auto t0 = Clock::now();
        const double c0 = CpuSeconds(RUSAGE_CHILDREN);
        if (std::system(cp.c_str()) != 0) return false;
        cpCpu += CpuSeconds(RUSAGE_CHILDREN) - c0;
        cpTimes.push_back(Seconds(Clock::now() - t0));
        bestCp = std::min(bestCp, cpTimes.back());
        fs::remove_all(copies);
        return true;
    };
    const auto timeJoin = [&]() -> bool {
        ::sync();
        const auto t0 = Clock::now();
        const double c0 = CpuSeconds(RUSAGE_SELF);
        trivexa::CoreError error;
        if (!trivexa::WriteJoined(*job.firstFront, joined.string(), nullptr, &error)) {
            std::fprintf(stderr, "WriteJoined: %s\n", trivexa::CoreErrorText(error).c_str());
            return false;
        }
        joinCpu += CpuSeconds(RUSAGE_SELF) - c0;
        joinTimes.push_back(Seconds(Clock::now() - t0));
        bestJoin = std::min(bestJoin, joinTimes.back());
        joinedBytes = fs::file_size(joined);
        fs::remove(joined);
        return true;
    };
    for (int rep = 0; rep < kReps; ++rep) {
        const bool ok = rep % 2 == 0 ? timeCp() && timeJoin() : timeJoin() && timeCp();
        if (!ok) return 1;
    }
    const double mb = static_cast<double>(total) / 1e6;
    std::printf("sources     %.0f MB in 10 clips\n", mb);
    std::printf("cp          %.3f s  %.0f MB/s\n", bestCp, mb / bestCp);
    std::printf("WriteJoined %.3f s  %.0f MB/s  (%.0f MB written)\n", bestJoin, mb / bestJoin,
                static_cast<double>(joinedBytes) / 1e6);
    std::sort(cpTimes.begin(), cpTimes.end());
    std::sort(joinTimes.begin(), joinTimes.end());
    std::printf("ratio       %.2fx cp's speed, best against best (target >= 0.90)\n",
                bestCp / bestJoin);
    std::printf("            %.2fx median against median of %d runs each\n",
                cpTimes[kReps / 2] / joinTimes[kReps / 2], kReps);
    for (int i = 0; i < kReps; ++i)
        std::printf("            run %d: cp %.3f s, WriteJoined %.3f s (sorted)\n", i, cpTimes[i],
                    joinTimes[i]);
    std::printf("cpu time    cp %.3f s, WriteJoined %.3f s per run (%.2fx)\n", cpCpu / kReps,
                joinCpu / kReps, cpCpu / joinCpu);
    return 0;
}

// Joins 100 clips and prints the bytes of the merged index and sensor records
// it had to hold; run under /usr/bin/time -v by RunMemory.
int RunMemoryChild(const fs::path& base, bool mapped) {
    std::vector<trivexa::RecordingEntry> sel;
    for (int i = 0; i < 100; ++i) {
        trivexa::RecordingEntry e;
        e.frontPath = (base / "src" / FrontName(i)).string();
        e.frontName = FrontName(i);
        sel.push_back(e);
    }
    std::atomic<bool> cancel{false};
    trivexa::JoinSummary summary;
    const fs::path out = base / "joined" / sel[0].frontName;
    trivexa::JoinOptions options;
    options.mappedCopy = mapped;
    options.replaceExisting = true;
    const trivexa::JoinResult r =
        trivexa::JoinRecordings(sel, out.string(), "", cancel, {}, options, &summary);
    if (r != trivexa::JoinResult::kDone) {
        std::fprintf(stderr, "join: %s\n", trivexa::CoreErrorText(summary.error).c_str());
        return 1;
    }
    std::printf("held %llu\n",
                static_cast<unsigned long long>(summary.frontIndexEntries * 16 +
                                                std::uint64_t{summary.frontSensorRecords} * 130));
    std::printf("written %llu\n", static_cast<unsigned long long>(summary.frontBytes));
    return 0;
}

int RunMemory(const fs::path& base, const std::string& self) {
    const fs::path dir = base / "src";
    std::printf("making 100 clips of 10 MB in %s ...\n", dir.c_str());
    if (MakeClips(dir, 100, 10ull * 1000 * 1000).empty()) return 1;
    fs::create_directories(base / "joined");
    // Once with the kernel's file-to-file copy, once through mapped windows.
    for (const char* how : {"kernel", "mapped"}) {
        const fs::path report = base / "time.txt";
        const std::string cmd = "/usr/bin/time -v '" + self + "' memory-child '" + base.string() +
                                "' " + how + " > '" + (base / "child.txt").string() + "' 2> '" +
                                report.string() + "'";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "child failed; see %s\n", report.c_str());
            return 1;
        }
        auto grab = [](const fs::path& p, const std::string& key) -> std::optional<double> {
            std::ifstream in(p);
            std::string line;
            while (std::getline(in, line)) {
                const auto at = line.find(key);
                if (at != std::string::npos) return std::atof(line.c_str() + at + key.size());
            }
            return std::nullopt;
        };
        const auto rssKb = grab(report, "Maximum resident set size (kbytes):");
        const auto held = grab(base / "child.txt", "held ");
        const auto written = grab(base / "child.txt", "written ");
        if (!rssKb || !held || !written) return 1;
        const double rssMb = *rssKb / 1024.0;
        const double heldMb = *held / (1024.0 * 1024.0);
        std::printf("%s copy: joined 100 clips, %.0f MB written\n", how, *written / 1e6);
        std::printf("  peak RSS    %.1f MB\n", rssMb);
        std::printf("  index+sensor records held %.1f MB\n", heldMb);
        std::printf("  beyond them %.1f MB (target < 64 MB)\n", rssMb - heldMb);
        fs::remove_all(base / "joined");
        fs::create_directories(base / "joined");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "all";
    if (mode == "memory-child" && argc > 3)
        return RunMemoryChild(argv[2], argv[3] == std::string("mapped"));
    const fs::path root = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const fs::path base = root / ("trivexa-bench-join-" + std::to_string(::getpid()));
    fs::create_directories(base);
    const std::string self = fs::canonical("/proc/self/exe").string();
    int rc = 0;
    if (mode == "speed" || mode == "all") rc |= RunSpeed(base / "speed");
    std::error_code ec;
    fs::remove_all(base / "speed", ec);
    if (mode == "memory" || mode == "all") rc |= RunMemory(base / "memory", self);
    fs::remove_all(base, ec);
    return rc;
}
