// Two measurements of the recording browser panel, each against a reference
// measured in the same run:
//
// 1. Open: a card of 2,000 recordings (4,000 clips) from OpenSource to the
//    first rows painted (the tree's top folders and the default group loaded
//    through the owner, row 0 selected, the window repainted), against the
//    bare library doing the same scans into an in-memory tree (BrowserModel
//    on a MemoryFolderTree). Target: at most 1.3 times the scan.
// 2. Scroll: a 5,000-row list (one shock row in seven, one damaged row in
//    fifty) scrolled row by row and page by page, every step repainted at
//    once, against a plain QListView of the same 5,000 texts with the default
//    delegate. Target: every step under 16 ms.
//
// usage: bench_browser [RECORDINGS] [ROUNDS] [open|scroll]
// Without a display it runs on the offscreen platform. Times are wall clock
// and, for the open, also the CPU time of the UI thread, which a busy machine
// disturbs less.

// clipforge names a field "slots": it comes before any Qt header.
#include "clipforge/clipforge.h"
// (keep this order)
#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <QStringListModel>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/layout_scale.h"
#include "browser/browser_owner.h"
#include "browser/file_list_ctrl.h"
#include "browser/filer_container_dlg.h"
#include "browser/folder_tree_ctrl.h"
#include "controls/shared_fonts.h"
#include "support/bench_card.h"
#include "support/bench_timing.h"

namespace fs = std::filesystem;
using namespace trivexa;

namespace {

using bench::Clock;
using bench::ThreadCpuMs;

double Ms(Clock::duration d) { return bench::Milliseconds(d); }

struct Timing {
    double wall = 0;
    double cpu = 0;
};

void Spit(const fs::path& p, const std::vector<char>& bytes) { bench::WriteBytes(p, bytes); }

// A card like the recorder leaves it: nine in ten continuous with a few
// events and series breaks, one in ten parking, over several days.
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
        const bool parking = i % 10 == 0;
        const char* kind = parking ? (i % 30 == 0 ? "PG__" : "P___")
                                   : (i % 37 == 0 ? "A__S" : (i % 13 == 0 ? "AG__" : "A___"));
        char name[64];
        std::snprintf(name, sizeof name, "%s-2307%02d-081522-%06d", kind, 10 + i / 400,
                      i + (i / 100) * 3);
        const fs::path top = root / (parking ? "Parking" : "Normal");
        Spit(top / "Front" / (std::string(name) + "F.AVI"), front);
        Spit(top / "Rear" / (std::string(name) + "R.AVI"), rear);
    }
    return true;
}

// The main window as the panel sees it: a folder change loads the node and
// selects its first row.
class Owner : public QWidget, public BrowserOwner {
public:
    Owner() {
        resize(452, 629);
        panel = new CFilerContainerDlg(this);
        panel->Create(this);
        panel->Layout(rect());
    }
    CFilerContainerDlg* panel;
    std::recursive_mutex mutex;
    int current = -1;

    std::recursive_mutex& ListMutex() override { return mutex; }
    int CurrentIndex() const override { return current; }
    void SetCurrentIndex(int row) override { current = row; }
    void SelectRecording(const SelectRecordingFlags&) override {}
    void OnFolderSelected(TreeNode node) override {
        if (panel->Clearing() || node == kTreeRoot) return;
        std::lock_guard<std::recursive_mutex> lock(mutex);
        current = -1;
        if (panel->LoadFolder(node) > 0) panel->SelectRow(0, 0);
    }
    void OnCommand(int) override {}
    QObject* MessageTarget() override { return this; }
};

// The reference: the same scans without a window.
Timing BareScan(const fs::path& root, std::size_t* rows) {
    const auto t0 = Clock::now();
    const double c0 = ThreadCpuMs();
    MemoryFolderTree tree;
    BrowserModel model(tree);
    model.onNodeSelected = [&](TreeNode n) { model.LoadFolder(n); };
    model.OpenSource(root.string(), SourceKind::SdCard);
    model.SelectDefaultFolder();
    const Timing t{Ms(Clock::now() - t0), ThreadCpuMs() - c0};
    *rows = model.Displayed().size();
    return t;
}

Timing PanelOpen(Owner& owner, const fs::path& root, int* rows) {
    owner.panel->ClearSource();
    QApplication::processEvents();
    const auto t0 = Clock::now();
    const double c0 = ThreadCpuMs();
    owner.panel->OpenSource(root.string(), SourceKind::SdCard);
    owner.panel->SelectDefaultFolder();
    owner.repaint();  // paints the tree and the list's visible rows now
    const Timing t{Ms(Clock::now() - t0), ThreadCpuMs() - c0};
    *rows = owner.panel->List().Count();
    return t;
}

struct ScrollTimes {
    bench::Samples steps;
};

// Scrolls `view` through the whole list, one row and one page at a time,
// repainting after every step.
ScrollTimes Scroll(QAbstractItemView* view) {
    ScrollTimes t;
    QScrollBar* bar = view->verticalScrollBar();
    const auto step = [&](int value) {
        const auto t0 = Clock::now();
        bar->setValue(value);
        view->viewport()->repaint();
        t.steps.Add(Ms(Clock::now() - t0));
    };
    bar->setValue(0);
    for (int v = 0; v <= bar->maximum(); v += std::max(1, bar->maximum() / 400)) step(v);
    for (int v = bar->maximum(); v >= 0; v -= bar->pageStep()) step(v);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int recordings = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 21;
    const std::string only = argc > 3 ? argv[3] : "";

    ScaleOutcome fonts;
    fonts.ok = true;
    for (int n = 0; n < kSharedFontCount; ++n)
        fonts.fontHeights[static_cast<std::size_t>(n)] =
            SharedFontHeight(kSharedFontPoints[static_cast<std::size_t>(n)], 1.0f, 1.0f, 96);
    CreateSharedFonts(fonts);

    char tmpl[] = "/tmp/trivexa-bench-browser-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path root = fs::path(tmpl) / "card";
    fs::create_directories(root);
    if (!WriteCard(root, recordings)) {
        std::fprintf(stderr, "cannot write the card\n");
        fs::remove_all(tmpl);
        return 1;
    }

    Owner owner;
    owner.show();
    QApplication::processEvents();

    // --- open to first rows painted -------------------------------------------
    if (only.empty() || only == "open") {
        std::size_t bareRows = 0;
        int panelRows = 0;
        BareScan(root, &bareRows);  // warm the caches
        PanelOpen(owner, root, &panelRows);
        bench::Samples bare, panel, ratios, bareCpu, panelCpu, cpuRatios;
        for (int i = 0; i < rounds; ++i) {
            // Alternating which goes first, so neither always finds the
            // caches warmed by the other.
            Timing b, p;
            if (i % 2 == 0) {
                b = BareScan(root, &bareRows);
                p = PanelOpen(owner, root, &panelRows);
            } else {
                p = PanelOpen(owner, root, &panelRows);
                b = BareScan(root, &bareRows);
            }
            bare.Add(b.wall);
            panel.Add(p.wall);
            ratios.Add(p.wall / b.wall);
            bareCpu.Add(b.cpu);
            panelCpu.Add(p.cpu);
            cpuRatios.Add(p.cpu / b.cpu);
        }
        std::printf("open a card of %d recordings, %d rounds (rows listed: scan %zu, panel %d)\n",
                    recordings, rounds, bareRows, panelRows);
        std::printf("                          wall median      UI thread CPU median\n");
        std::printf("  bare library scan      %8.2f ms         %8.2f ms\n", bare.Median(),
                    bareCpu.Median());
        std::printf("  panel to rows painted  %8.2f ms         %8.2f ms\n", panel.Median(),
                    panelCpu.Median());
        std::printf("  ratio panel / scan     %8.3f            %8.3f      (target <= 1.3)\n",
                    ratios.Median(), cpuRatios.Median());
    }
    if (!only.empty() && only != "scroll") {
        fs::remove_all(tmpl);
        return 0;
    }

    // --- scrolling 5,000 rows ---------------------------------------------------
    constexpr int kRows = 5000;
    std::vector<RecordingEntry> rows;
    QStringList texts;
    for (int i = 1; i <= kRows; ++i) {
        RecordingEntry e;
        char name[64];
        std::snprintf(name, sizeof name, "%s-230715-081522-%06dF.AVI", i % 7 == 0 ? "AG__" : "A___",
                      i);
        e.frontName = name;
        e.frontPath = (root / "Normal/Front" / name).string();
        e.frontDamaged = i % 50 == 0 ? 1 : 0;
        rows.push_back(e);
        texts << QString::fromUtf8(RowText(e));
    }
    owner.panel->Model().Master() = rows;
    owner.panel->Refilter();
    CFileListCtrl& list = owner.panel->List();
    QListView plain;
    QStringListModel plainModel(texts);
    plain.setModel(&plainModel);
    plain.setUniformItemSizes(true);
    plain.setFont(list.font());
    plain.resize(list.size());
    plain.show();
    QApplication::processEvents();

    bench::Samples ours, reference;
    for (int i = 0; i < 3; ++i) {
        for (double step : Scroll(&list).steps.Sorted()) ours.Add(step);
        for (double step : Scroll(&plain).steps.Sorted()) reference.Add(step);
    }
    std::printf("scroll a %d-row list, %zu repainted steps\n", list.Count(), ours.Count());
    std::printf("  plain list view  median %6.3f ms  p99 %6.3f ms  max %6.3f ms\n",
                reference.Median(), reference.Percentile(99), reference.Maximum());
    std::printf(
        "  recording list   median %6.3f ms  p99 %6.3f ms  max %6.3f ms   (target < 16 ms)\n",
        ours.Median(), ours.Percentile(99), ours.Maximum());
    std::printf("  ratio list / plain median %6.3f\n", ours.Median() / reference.Median());

    fs::remove_all(tmpl);
    return 0;
}
