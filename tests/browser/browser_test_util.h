#pragma once
// Helpers of the panel and dialog tests: an owner standing in for the main
// window, cards on disk, message boxes answered from their modal loop, pixel
// reading and screenshots under build/tests/browser/.

// clipforge names a field "slots": it comes before any Qt header.
#include "recordings/library_fixture.h"
// (keep this order)
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <functional>
#include <mutex>
#include <vector>

#include "app/core/layout_scale.h"
#include "app/messages/posted_message.h"
#include "browser/browser_owner.h"
#include "browser/file_list_ctrl.h"
#include "browser/filer_container_dlg.h"
#include "browser/folder_tree_ctrl.h"
#include "controls/msg_box.h"
#include "controls/skin_button.h"

namespace trivexa::test {

inline bool HaveDisplay() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

#define REQUIRE_DISPLAY()                                                  \
    do {                                                                   \
        if (!::trivexa::test::HaveDisplay()) GTEST_SKIP() << "no display"; \
    } while (0)

#define WAIT_FOR(cond) \
    EXPECT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(cond); }, 5000)) << #cond

class ScopedScale {
public:
    explicit ScopedScale(float s) : old_(LayoutScale()) { SetLayoutScale(s); }
    ~ScopedScale() { SetLayoutScale(old_); }

private:
    float old_;
};

// The main window as far as the panel sees it: the list lock, the current
// row, select recording, the folder change and the filter commands, and the
// posted messages it receives. Like the main window it loads a selected
// folder and selects its first row, and clears the panel when the source is
// lost.
class TestOwner : public QWidget, public BrowserOwner {
public:
    TestOwner() {
        resize(452, 629);
        panel = new CFilerContainerDlg(this);
        panel->Create(this);
        panel->Layout(rect());
    }

    CFilerContainerDlg* panel = nullptr;
    std::recursive_mutex mutex;
    int current = -1;
    std::vector<int> selected;      // rows passed to select recording
    std::vector<TreeNode> folders;  // folder change notifications
    std::vector<unsigned> posted;
    QElapsedTimer sinceStart;
    qint64 sourceLostAtMs = -1;

    std::recursive_mutex& ListMutex() override { return mutex; }
    int CurrentIndex() const override { return current; }
    void SetCurrentIndex(int row) override { current = row; }
    void SelectRecording(const SelectRecordingFlags&) override { selected.push_back(current); }
    void OnFolderSelected(TreeNode node) override {
        folders.push_back(node);
        if (panel->Clearing() || node == kTreeRoot) return;
        std::lock_guard<std::recursive_mutex> lock(mutex);
        current = -1;
        if (panel->LoadFolder(node) > 0) panel->SelectRow(0, 0);
    }
    void OnCommand(int id) override {
        const int index = id - CFilerContainerDlg::kFilterCommandBase;
        panel->SetFilter(index, !panel->Filter(index));
    }
    QObject* MessageTarget() override { return this; }

    // Row texts as listed.
    std::vector<std::string> Rows() const {
        std::vector<std::string> out;
        for (const auto& e : panel->Displayed()) out.push_back(std::string(FileNameOf(KeyName(e))));
        return out;
    }

protected:
    bool event(QEvent* e) override {
        if (const PostedMessageEvent* m = AsPostedMessage(e)) {
            posted.push_back(m->message());
            if (m->message() == UM_SOURCE_LOST) {
                if (sinceStart.isValid()) sourceLostAtMs = sinceStart.elapsed();
                std::lock_guard<std::recursive_mutex> lock(mutex);
                current = -1;
                panel->ClearSource();
            }
            return true;
        }
        return QWidget::event(e);
    }
};

inline bool ShowAndWait(QWidget* w) {
    w->show();
    return QTest::qWaitForWindowExposed(w);
}

inline QImage Grab(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

inline bool Near(QColor a, QColor b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

inline QColor Rgb(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

// Saves a screenshot under build/tests/browser/ for a developer to look at.
inline void SaveShot(QWidget* w, const char* name) {
    const QString dir = QStringLiteral(TRIVEXA_BROWSER_SHOTS_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(w->grab().save(dir + QLatin1Char('/') + QLatin1String(name))) << name;
}

// Runs `act` on the next modal widget of type T once it is shown.
template <typename T>
void WhenModalShown(std::function<void(T*)> act, int triesLeft = 500) {
    QTimer::singleShot(10, [act, triesLeft] {
        auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible()) {
            if (triesLeft > 0) WhenModalShown<T>(act, triesLeft - 1);
            return;
        }
        act(w);
    });
}

// Answers the next message box with its first button and records its text.
inline void AnswerNextBox(QString* text = nullptr) {
    WhenModalShown<CMsgDlg>([text](CMsgDlg* box) {
        if (text) *text = box->ShownText();
        QTest::mouseClick(box->FirstButton(), Qt::LeftButton, {},
                          box->FirstButton()->rect().center());
    });
}

inline void ClickFilter(CFilerContainerDlg* panel, int index) {
    CSkinButton* b = panel->FilterButton(index);
    QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
}

// A click on `row` of the list, well apart from the last one so that two
// clicks never make a double click.
inline void ClickRow(CFileListCtrl& list, int row) {
    QTest::qWait(QApplication::doubleClickInterval() + 30);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.RowRect(row).center());
}

}  // namespace trivexa::test
