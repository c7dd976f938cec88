// File command benchmarks, run on demand:
//
//   bench_file_commands csv  [DIR]  The CSV export of a card of 2,000
//                                   recordings (collect on the worker with
//                                   each clip's data header, write the file)
//                                   against the card scan alone (open the
//                                   card, collect every recording), median of
//                                   9 each, interleaved, caches warm.
//                                   Target: below 1.3x the scan.
//   bench_file_commands join [DIR]  A join of ten 30 MB front clips through
//                                   the join task (worker thread, byte
//                                   progress to a listener) against
//                                   JoinBegin/JoinAppend/WriteJoined alone on
//                                   the same clips, best and median of 5.
//                                   Target: at least 0.9x WriteJoined's speed.
//
// Without a mode both run. The card and clips are made at run time in a
// scratch folder under DIR (default: the temporary folder) and deleted
// afterwards.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/file_commands/csv_export.h"
#include "app/file_commands/file_tasks.h"
#include "app/file_commands/join_texts.h"
#include "browser/model/browser_model.h"
#include "clipforge/clipforge.h"
#include "container/concat.h"
#include "container/integrity.h"
#include "container/sensor_reader.h"
#include "support/bench_card.h"

namespace {

namespace fs = std::filesystem;
namespace cf = trivexa::clipforge;
using Clock = std::chrono::steady_clock;

constexpr int kReps = 5;
constexpr int kCsvReps = 9;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Spit(const fs::path& p, const std::vector<char>& bytes) {
    trivexa::bench::WriteBytes(p, bytes);
}

// Waits for a task's end; counts its progress reports.
class Listener : public trivexa::TaskListener {
public:
    void TaskProgress(int, int) override { reports.fetch_add(1); }
    void TaskFinished(trivexa::TaskKind, trivexa::TaskOutcome) override {}
    std::atomic<int> reports{0};
};

// ---- CSV --------------------------------------------------------------------

// A card of `count` recordings with front and rear clips of one second, the
// recorder's full sensor block in each.
bool WriteCard(const fs::path& root, int count) {
    cf::ClipSpec spec;
    spec.video.content = cf::VideoContent::Synthetic;
    spec.video.frames = 30;
    spec.audio.enabled = false;
    spec.sensor.slots = 4600;
    trivexa::bench::TemplateClips clips;
    if (!trivexa::bench::StartTemplateCard(root, spec, clips)) return false;
    const auto& front = clips.front;
    const auto& rear = clips.rear;
    for (int i = 1; i <= count; ++i) {
        const bool parking = i % 10 == 0;
        char name[64];
        std::snprintf(name, sizeof name, "%s-2307%02d-%02d%02d%02d-%06d", parking ? "P___" : "A___",
                      10 + i / 400, 8 + (i / 60) % 12, i % 60, 22, i);
        const fs::path top = root / (parking ? "Parking" : "Normal");
        Spit(top / "Front" / (std::string(name) + "F.AVI"), front);
        Spit(top / "Rear" / (std::string(name) + "R.AVI"), rear);
    }
    return true;
}

// The card scan as the viewer makes it on opening a card; the CSV export's
// own collection also reads each clip's data header.
std::vector<trivexa::RecordingEntry> Scan(const fs::path& root, bool withDataHeaders = false) {
    trivexa::MemoryFolderTree tree;
    trivexa::BrowserModel model(tree);
    if (!model.OpenSource(root.string(), trivexa::SourceKind::SdCard)) return {};
    return model.CollectAll(withDataHeaders);
}

int RunCsv(const fs::path& base) {
    constexpr int kRecordings = 2000;
    const fs::path root = base / "card";
    const fs::path out = base / "out";
    fs::create_directories(out);
    if (!WriteCard(root, kRecordings)) {
        std::fprintf(stderr, "cannot write the card\n");
        return 1;
    }
    // The card's writeback would otherwise run through the timed scans.
    ::sync();
    if (Scan(root).size() != kRecordings) {
        std::fprintf(stderr, "the scan finds %zu recordings\n", Scan(root).size());
        return 1;
    }
    std::vector<double> scan, csv;
    const auto timeScan = [&] {
        const auto t0 = Clock::now();
        const auto list = Scan(root);
        scan.push_back(Seconds(Clock::now() - t0));
        return list.size() == kRecordings;
    };
    const auto timeCsv = [&] {
        trivexa::CsvOptions options;
        options.replaceExisting = true;
        trivexa::CsvTask task([&] { return Scan(root, true); }, out.string(), options);
        Listener listener;
        const auto t0 = Clock::now();
        task.Start(listener);
        task.Wait();
        csv.push_back(Seconds(Clock::now() - t0));
        return task.Outcome() == trivexa::TaskOutcome::kDone && task.Report().lines == kRecordings;
    };
    timeScan();  // warm the caches
    scan.clear();
    for (int rep = 0; rep < kCsvReps; ++rep) {
        const bool ok = rep % 2 == 0 ? timeScan() && timeCsv() : timeCsv() && timeScan();
        if (!ok) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
    }
    std::printf("csv: %d recordings (front and rear), %d runs each, interleaved\n", kRecordings,
                kCsvReps);
    std::printf("  card scan alone     %8.1f ms (median)\n", Median(scan) * 1e3);
    std::printf("  CSV export (task)   %8.1f ms (median)\n", Median(csv) * 1e3);
    std::printf("  ratio               %8.2fx the scan (target < 1.30)\n",
                Median(csv) / Median(scan));
    // Each round's pair side by side: a machine whose page cache is being
    // reclaimed shifts whole rounds, which the medians above can mix.
    std::vector<double> ratios;
    std::printf("  rounds (scan/CSV ms):");
    for (std::size_t i = 0; i < scan.size(); ++i) {
        ratios.push_back(csv[i] / scan[i]);
        std::printf(" %.0f/%.0f", scan[i] * 1e3, csv[i] * 1e3);
    }
    std::printf("\n  median round ratio  %8.2fx\n", Median(ratios));

    // Where the export's own time goes, on the collected list.
    const auto list = Scan(root);
    const auto timeEach = [&](const char* what, const auto& work) {
        const auto t0 = Clock::now();
        for (const auto& e : list) work(e);
        std::printf("  %-19s %8.1f ms\n", what, Seconds(Clock::now() - t0) * 1e3);
    };
    timeEach("  clip checks", [](const trivexa::RecordingEntry& e) {
        (void)trivexa::CheckClip(trivexa::KeyPath(e));
    });
    timeEach("  data headers", [](const trivexa::RecordingEntry& e) {
        trivexa::SensorHeader h;
        (void)trivexa::SensorReader::ReadHeader(trivexa::KeyPath(e), h);
    });
    {
        const auto t0 = Clock::now();
        const auto withHeaders = Scan(root, true);
        std::printf("  %-19s %8.1f ms\n", "  scan + data headers",
                    Seconds(Clock::now() - t0) * 1e3);
    }
    timeEach("  CSV facts (plain)",
             [](const trivexa::RecordingEntry& e) { (void)trivexa::ReadCsvClip(e); });
    {
        trivexa::CsvOptions options;
        options.replaceExisting = true;
        const auto t0 = Clock::now();
        const auto report = trivexa::WriteCsvFile(list, out.string(), options);
        std::printf("  %-19s %8.1f ms\n", "  export (plain)", Seconds(Clock::now() - t0) * 1e3);
        if (report.result != trivexa::CsvResult::kDone) return 1;
    }
    return 0;
}

// ---- Join -------------------------------------------------------------------

void Put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Set32(std::string& s, std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A front clip of about `bytes` bytes of video chunks with its index and a
// minute of sensor records: the header of a tiny forge clip, sizes and counts
// set for the big one (chunk data patterned, really written).
bool MakeClip(const fs::path& path, std::uint64_t bytes, int seq) {
    constexpr std::uint32_t kChunk = 128 * 1024;
    const fs::path tiny = path.parent_path() / ("tiny-" + path.filename().string());
    cf::ClipSpec spec;
    spec.name = path.filename().string();
    spec.video.content = cf::VideoContent::Synthetic;
    spec.video.frames = 2;
    spec.audio.enabled = false;
    if (!cf::WriteClip(tiny, spec)) return false;
    std::string header(384, '\0');
    {
        std::ifstream in(tiny, std::ios::binary);
        in.read(header.data(), 384);
    }
    fs::remove(tiny);
    const std::uint32_t chunks = static_cast<std::uint32_t>(bytes / (kChunk + 8));
    const std::uint32_t movi = 4 + chunks * (kChunk + 8);
    const std::uint32_t indexBytes = chunks * 16;
    Set32(header, 4, 384 + movi + 8 + indexBytes);
    Set32(header, 48, chunks);
    Set32(header, 140, chunks);
    Set32(header, 264, 0);
    std::string chunk(kChunk + 8, '\0');
    std::memcpy(chunk.data(), "00dc", 4);
    Set32(chunk, 4, kChunk);
    std::mt19937 rng(static_cast<unsigned>(seq + 1));
    for (std::size_t i = 8; i < chunk.size(); ++i) chunk[i] = static_cast<char>(rng() & 0xFF);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::string list = "LIST";
    Put32(list, movi);
    list += "movi";
    out.write(list.data(), static_cast<std::streamsize>(list.size()));
    std::string index = "idx1";
    Put32(index, indexBytes);
    for (std::uint32_t i = 0; i < chunks; ++i) {
        Set32(chunk, 12, i);
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        index += "00dc";
        Put32(index, i % 30 == 0 ? 0x10 : 0);
        Put32(index, 4 + i * (kChunk + 8));
        Put32(index, kChunk);
    }
    out.write(index.data(), static_cast<std::streamsize>(index.size()));
    cf::SensorSpec sensor;
    cf::DriveScript drive;
    drive.records = 600;
    sensor.samples = cf::ScriptedDrive(drive);
    const std::vector<std::uint8_t> block = cf::EncodeSensorBlock(sensor);
    out.write(reinterpret_cast<const char*>(block.data()),
              static_cast<std::streamsize>(block.size()));
    return static_cast<bool>(out);
}

int RunJoin(const fs::path& base) {
    constexpr int kClips = 10;
    constexpr std::uint64_t kClipBytes = 30ull << 20;
    const fs::path dir = base / "clips";
    const fs::path outDir = base / "joined";
    fs::create_directories(dir);
    fs::create_directories(outDir);
    std::vector<trivexa::RecordingEntry> selection;
    for (int i = 0; i < kClips; ++i) {
        cf::DateTime t;
        t.hour = 8;
        t.minute = i;
        const fs::path p = dir / cf::MakeName("A___", t, i + 1, 'F');
        if (!MakeClip(p, kClipBytes, i)) {
            std::fprintf(stderr, "cannot make %s\n", p.c_str());
            return 1;
        }
        trivexa::RecordingEntry e;
        e.frontPath = p.string();
        e.frontName = p.filename().string();
        selection.push_back(e);
    }
    const std::string output = (outDir / selection[0].frontName).string();

    std::vector<double> alone, task;
    int reports = 0;
    const auto timeAlone = [&] {
        ::sync();
        const auto t0 = Clock::now();
        trivexa::JoinJob job;
        bool ok = trivexa::JoinBegin(job, selection[0].frontPath, "");
        for (int i = 1; ok && i < kClips; ++i)
            ok = trivexa::JoinAppend(job, selection[static_cast<std::size_t>(i)].frontPath, "");
        trivexa::CoreError error;
        ok = ok && job.firstFront && trivexa::WriteJoined(*job.firstFront, output, nullptr, &error);
        alone.push_back(Seconds(Clock::now() - t0));
        fs::remove(output);
        if (!ok)
            std::fprintf(stderr, "WriteJoined: %s %s\n", trivexa::CoreErrorText(error).c_str(),
                         trivexa::CoreErrorText(job.error).c_str());
        return ok;
    };
    const auto timeTask = [&] {
        ::sync();
        trivexa::JoinPlan plan;
        plan.frontOutput = output;
        trivexa::JoinTask join(selection, plan, true);
        Listener listener;
        const auto t0 = Clock::now();
        join.Start(listener);
        join.Wait();
        task.push_back(Seconds(Clock::now() - t0));
        reports = listener.reports.load();
        fs::remove(output);
        if (join.Outcome() != trivexa::TaskOutcome::kDone)
            std::fprintf(stderr, "join task: %s\n", join.Failure().detail.c_str());
        return join.Outcome() == trivexa::TaskOutcome::kDone;
    };
    timeAlone();  // warm the caches
    alone.clear();
    for (int rep = 0; rep < kReps; ++rep) {
        const bool ok = rep % 2 == 0 ? timeAlone() && timeTask() : timeTask() && timeAlone();
        if (!ok) return 1;
    }
    const double mb = static_cast<double>(kClips * kClipBytes) / 1e6;
    const double bestAlone = *std::min_element(alone.begin(), alone.end());
    const double bestTask = *std::min_element(task.begin(), task.end());
    std::printf("join: %d clips, %.0f MB, %d runs each, interleaved\n", kClips, mb, kReps);
    std::printf("  WriteJoined alone   %8.3f s best, %8.3f s median  (%.0f MB/s)\n", bestAlone,
                Median(alone), mb / bestAlone);
    std::printf("  join task           %8.3f s best, %8.3f s median  (%.0f MB/s, %d reports)\n",
                bestTask, Median(task), mb / bestTask, reports);
    std::printf("  speed ratio         %8.2fx best, %.2fx median (target >= 0.90)\n",
                bestAlone / bestTask, Median(alone) / Median(task));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const fs::path parent = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const fs::path base = parent / ("bench_file_commands_" + std::to_string(::getpid()));
    fs::create_directories(base);
    int rc = 0;
    if (mode.empty() || mode == "csv") rc |= RunCsv(base / "csv");
    if (mode.empty() || mode == "join") rc |= RunJoin(base / "join");
    std::error_code ec;
    fs::remove_all(base, ec);
    return rc;
}
