// Times opening a card of 2,000 recordings (4,000 clips) the way the browser
// does (folder tree with groups, then the full list with every clip checked)
// against a floor: a plain loop that lists the same folders, opens each file
// and reads the byte ranges the integrity check looks at. The card is written
// under /tmp at start and removed at the end; the page cache is warmed first.
//
// usage: bench_scan [RECORDINGS] [ROUNDS] [KEEP-DIR]
// With KEEP-DIR the card is written there (which must not exist) and kept,
// for looking at a scan with other tools.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "browser/model/browser_model.h"
#include "clipforge/clipforge.h"
#include "container/integrity.h"
#include "support/bench_card.h"
#include "support/bench_timing.h"

namespace fs = std::filesystem;
using namespace trivexa;
namespace bench = trivexa::bench;

namespace {

// Header offsets the integrity check reads: RIFF size, movi list size and the
// movi fourcc of the full layout; the 28-byte trailer at the end.
constexpr off_t kRiffSizeOffset = 4;
constexpr off_t kMoviSizeOffset = 388;
constexpr off_t kMoviFourccOffset = 392;
constexpr off_t kTrailerSize = 28;

void Spit(const fs::path& p, const std::vector<char>& bytes) { bench::WriteBytes(p, bytes); }

// One template clip per camera, copied under every recording's name.
bool WriteCard(const fs::path& root, int recordings) {
    clipforge::ClipSpec spec;
    spec.video.content = clipforge::VideoContent::Synthetic;
    spec.video.frames = 30;
    spec.audio.enabled = false;
    bench::TemplateClips clips;
    if (!bench::StartTemplateCard(root, spec, clips)) return false;
    const auto& front = clips.front;
    const auto& rear = clips.rear;
    for (int i = 1; i <= recordings; ++i) {
        // Nine in ten continuous (a gap every 37 files), one in ten parking; a
        // few events sprinkled in.
        const bool parking = i % 10 == 0;
        const char* kind = parking ? (i % 30 == 0 ? "PG__" : "P___")
                                   : (i % 37 == 0 ? "A__S" : (i % 13 == 0 ? "AG__" : "A___"));
        const int seq = i + (i / 100) * 3;
        char name[64];
        std::snprintf(name, sizeof name, "%s-2307%02d-081522-%06d", kind, 10 + i / 400, seq);
        const fs::path top = root / (parking ? "Parking" : "Normal");
        Spit(top / "Front" / (std::string(name) + "F.AVI"), front);
        Spit(top / "Rear" / (std::string(name) + "R.AVI"), rear);
    }
    return true;
}

// The floor: list every folder, open every clip, read what the check reads.
std::size_t Floor(const fs::path& root) {
    std::size_t bytes = 0;
    std::vector<std::string> folders = {root.string()};
    char buf[512];
    while (!folders.empty()) {
        const std::string dir = folders.back();
        folders.pop_back();
        DIR* d = opendir(dir.c_str());
        if (!d) continue;
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            const std::string path = dir + "/" + e->d_name;
            if (e->d_type == DT_DIR) {
                folders.push_back(path);
                continue;
            }
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            struct stat st {};
            fstat(fd, &st);
            std::uint32_t movi = 0;
            bytes += static_cast<std::size_t>(pread(fd, buf, 4, kRiffSizeOffset));
            if (pread(fd, &movi, 4, kMoviSizeOffset) == 4) bytes += 4;
            bytes += static_cast<std::size_t>(pread(fd, buf, 8, kMoviFourccOffset + movi));
            if (st.st_size > kTrailerSize)
                bytes += static_cast<std::size_t>(
                    pread(fd, buf, kTrailerSize, st.st_size - kTrailerSize));
            close(fd);
        }
        closedir(d);
    }
    return bytes;
}

struct Ours {
    double tree = 0;
    double list = 0;
    std::size_t nodes = 0;
    std::size_t entries = 0;
};

Ours Scan(const fs::path& root) {
    Ours r;
    MemoryFolderTree tree;
    BrowserModel model(tree);
    std::vector<RecordingEntry> all;
    r.tree = bench::TimeSeconds([&] { model.OpenSource(root.string(), SourceKind::SdCard); });
    r.list = bench::TimeSeconds([&] { all = model.CollectAll(); });
    r.nodes = tree.NodeCount();
    r.entries = all.size();
    return r;
}

// The integrity check alone on every clip, as the full list runs it.
double CheckAll(const fs::path& root) {
    return bench::TimeSeconds([&] {
        for (const char* sub : {"Normal/Front", "Normal/Rear", "Parking/Front", "Parking/Rear"}) {
            for (const auto& e : fs::directory_iterator(root / sub)) {
                std::uint64_t expected = 0;
                CheckClip(e.path(), &expected);
            }
        }
    });
}

// The full list without a browser (no watcher thread alive).
double CollectOnly(const fs::path& root) {
    std::vector<RecordingEntry> all;
    int files = 0;
    return bench::TimeSeconds([&] { CollectRecordings(root.string(), all, files, 0); });
}

}  // namespace

int main(int argc, char** argv) {
    const int recordings = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    const bool keep = argc > 3;
    char tmpl[] = "/tmp/trivexa-bench-scan-XXXXXX";
    if (!keep && !mkdtemp(tmpl)) return 1;
    const fs::path root = keep ? fs::path(argv[3]) : fs::path(tmpl);
    if (keep && !fs::create_directory(root)) {
        std::fprintf(stderr, "%s exists or cannot be made\n", argv[3]);
        return 1;
    }
    if (!WriteCard(root, recordings)) {
        std::fprintf(stderr, "cannot write the card\n");
        if (!keep) fs::remove_all(root);
        return 1;
    }
    // Warm the page cache and the directory cache.
    Floor(root);
    const Ours first = Scan(root);

    bench::Samples floors, trees, lists, totals, checks, collects;
    for (int i = 0; i < rounds; ++i) {
        floors.Add(bench::TimeSeconds([&] { Floor(root); }));
        const Ours o = Scan(root);
        trees.Add(o.tree);
        lists.Add(o.list);
        totals.Add(o.tree + o.list);
        checks.Add(CheckAll(root));
        collects.Add(CollectOnly(root));
    }
    const double floorS = floors.Median(), totalS = totals.Median();
    std::printf("card: %d recordings, %d clips; tree %zu nodes, full list %zu entries\n",
                recordings, recordings * 2, first.nodes, first.entries);
    std::printf("floor (list, open, read check ranges): %.2f ms\n", floorS * 1e3);
    std::printf("tree (OpenSource):                     %.2f ms\n", trees.Median() * 1e3);
    std::printf("full list (CollectAll):                %.2f ms\n", lists.Median() * 1e3);
    std::printf("tree + list:                           %.2f ms  = %.2fx floor (target 1.5x)\n",
                totalS * 1e3, bench::CostRatio(totalS, floorS));
    std::printf(
        "where the time goes: CheckClip on every clip %.2f ms (%.2fx floor); "
        "CollectRecordings without a watcher thread %.2f ms\n",
        checks.Median() * 1e3, bench::CostRatio(checks.Median(), floorS), collects.Median() * 1e3);
    const double own = totalS - checks.Median();
    std::printf("tree + list without the integrity check's share: %.2f ms = %.2fx floor\n",
                own * 1e3, bench::CostRatio(own, floorS));
    if (!keep) fs::remove_all(root);
    return 0;
}
