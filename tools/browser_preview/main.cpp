// browser_preview: shows the recording browser panel on a card, a folder or
// one clip, standing in for the main window that will host it, so the panel
// can be looked at and screenshots taken before the main window exists.
//
//   browser_preview [--kind sd|folder|file] [--zoom] [--filters 111111]
//                   [--scale S] [--screenshot out.png]
//                   [--dialog source|delete|join] PATH
//
// Clicking a row prints the selection; removing the source clears the panel.
// With --screenshot the window is saved once it has painted and the program
// ends; --dialog opens one of the dialogs over the panel instead.
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "app/messages/posted_message.h"
#include "browser/browser_owner.h"
#include "browser/file_select_dlg.h"
#include "browser/filer_container_dlg.h"
#include "browser/folder_tree_ctrl.h"
#include "browser/source_open_dlg.h"
#include "controls/shared_fonts.h"

namespace trivexa {
namespace {

// The panel's owner: the part of the main window the panel talks to.
class PreviewWindow : public QWidget, public BrowserOwner {
public:
    PreviewWindow() {
        setWindowTitle(QStringLiteral("Trivexa browser preview"));
        panel_ = new CFilerContainerDlg(this);
        panel_->Create(this);
        resize(U(452), U(629));
    }
    CFilerContainerDlg& Panel() { return *panel_; }

    std::recursive_mutex& ListMutex() override { return mutex_; }
    int CurrentIndex() const override { return current_; }
    void SetCurrentIndex(int row) override { current_ = row; }
    void SelectRecording(const SelectRecordingFlags&) override {
        const auto& rows = panel_->Displayed();
        if (current_ >= 0 && current_ < static_cast<int>(rows.size()))
            std::printf("selected row %d: %s\n", current_, KeyPath(rows[current_]).c_str());
        std::fflush(stdout);
    }
    void OnFolderSelected(TreeNode node) override {
        if (panel_->Clearing() || node == kTreeRoot) return;
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        current_ = -1;
        if (panel_->LoadFolder(node) > 0) panel_->SelectRow(0, 0);
    }
    void OnCommand(int id) override {
        const int index = id - CFilerContainerDlg::kFilterCommandBase;
        panel_->SetFilter(index, !panel_->Filter(index));
    }
    QObject* MessageTarget() override { return this; }

protected:
    void resizeEvent(QResizeEvent*) override { panel_->Layout(rect()); }
    bool event(QEvent* e) override {
        if (const PostedMessageEvent* m = AsPostedMessage(e)) {
            if (m->message() == UM_SOURCE_LOST) {
                std::printf("source lost\n");
                std::lock_guard<std::recursive_mutex> lock(mutex_);
                current_ = -1;
                panel_->ClearSource();
            }
            return true;
        }
        return QWidget::event(e);
    }

private:
    CFilerContainerDlg* panel_ = nullptr;
    std::recursive_mutex mutex_;
    int current_ = -1;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: browser_preview [--kind sd|folder|file] [--zoom] [--filters 111111]\n"
                 "                       [--scale S] [--screenshot out.png]\n"
                 "                       [--dialog source|delete|join] PATH\n");
    return 2;
}

}  // namespace
}  // namespace trivexa

int main(int argc, char** argv) {
    using namespace trivexa;
    QApplication app(argc, argv);
    std::string path, kindText, filters, screenshot, dialog;
    bool zoom = false;
    float scale = 1.0f;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--kind")
            kindText = next();
        else if (a == "--zoom")
            zoom = true;
        else if (a == "--filters")
            filters = next();
        else if (a == "--scale")
            scale = std::strtof(next().c_str(), nullptr);
        else if (a == "--screenshot")
            screenshot = next();
        else if (a == "--dialog")
            dialog = next();
        else if (!a.empty() && a[0] == '-')
            return Usage();
        else
            path = a;
    }
    if (path.empty()) return Usage();
    SetLayoutScale(scale > 0 ? scale : 1.0f);
    ScaleOutcome fonts;
    fonts.ok = true;
    fonts.scale = LayoutScale();
    for (int n = 0; n < kSharedFontCount; ++n)
        fonts.fontHeights[static_cast<std::size_t>(n)] = SharedFontHeight(
            kSharedFontPoints[static_cast<std::size_t>(n)], LayoutScale(), 1.0f, 96);
    CreateSharedFonts(fonts);

    SourceKind kind = GuessSourceKind(path);
    if (!kindText.empty() && !ParseSourceKind(kindText, kind)) return Usage();

    PreviewWindow window;
    window.show();
    CFilerContainerDlg& panel = window.Panel();
    if (!panel.OpenSource(path, kind)) std::fprintf(stderr, "nothing could be listed\n");
    if (kind != SourceKind::File) panel.SelectDefaultFolder();
    for (std::size_t i = 0; i < filters.size() && i < kFilterCount; ++i)
        if (filters[i] == '0') panel.SetFilter(static_cast<int>(i), false);
    panel.SetZoomMode(zoom);

    if (!dialog.empty()) {
        QTimer::singleShot(200, [&] {
            if (dialog == "source") {
                CSourceOpenDlg dlg(&window);
                if (dlg.exec() == QDialog::Accepted)
                    std::printf("chose %d %s\n", static_cast<int>(dlg.Mode()),
                                dlg.ChosenPath().c_str());
            } else {
                CFileSelectDlg dlg(&window);
                const bool join = dialog == "join";
                dlg.SetMode(join ? FileSelectMode::kJoin : FileSelectMode::kDelete);
                if (!join) dlg.SetFullList(panel.CollectAll());
                dlg.SetDisplayedList(panel.Displayed());
                if (dlg.exec() == QDialog::Accepted)
                    for (const auto& e : dlg.Result())
                        std::printf("checked %s\n", KeyPath(e).c_str());
            }
            QApplication::quit();
        });
    } else if (!screenshot.empty()) {
        QTimer::singleShot(500, [&] {
            const bool ok = window.grab().save(QString::fromStdString(screenshot));
            std::printf("%s %s\n", ok ? "saved" : "could not save", screenshot.c_str());
            QApplication::quit();
        });
    }
    return app.exec();
}
