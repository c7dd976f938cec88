#pragma once
// The viewer driven as a user drives it: what the viewer's driver tests share.
// Each test writes a forge card, opens the real main window on it under a
// display, clicks, and reads the pictures back (every forge frame shows its
// number); screenshots go under build/tests/viewer/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/controller/viewer_controller.h"
#include "app/core/control_buttons.h"
#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "app/main_buttons.h"
#include "app/movie_menu.h"
#include "app/vidorra_dlg.h"
#include "browser/filer_container_dlg.h"
#include "browser/folder_tree_ctrl.h"
#include "controls/msg_box.h"
#include "controls/skin_button.h"
#include "controls/skin_slider.h"
#include "panels/gsensor_dlg.h"
#include "panels/info_dlg.h"
#include "panels/movie_dialog.h"
#include "playback/playback_fixture.h"
#include "settings/setting_dlg.h"
#include "viewer_cards.h"
#include "viewer_shots.h"

namespace trivexa {

namespace fs = std::filesystem;
using test::FrameShown;
using test::WaitUntil;

#define REQUIRE_DISPLAY() \
    if (!HaveDisplay()) GTEST_SKIP() << "no display"

// Runs `act` on the next message box once it is shown, and remembers its text.
inline void AnswerNextBox(int button, QString* text = nullptr) {
    QTimer::singleShot(10, [button, text] {
        auto* box = qobject_cast<CMsgDlg*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            AnswerNextBox(button, text);
            return;
        }
        if (text) *text = box->ShownText();
        CSkinButton* b = button == 1 ? box->FirstButton() : box->SecondButton();
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    });
}

inline QString UiText(int id) { return QString::fromUtf8(UiString(id)); }

class Viewer : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_DISPLAY(); }
    void TearDown() override {
        if (window) window->Shutdown();
        window.reset();
    }

    // Writes a card and opens the viewer on it.
    void Start(const std::vector<clipforge::CardRecording>& recordings,
               const std::function<void(clipforge::CardSpec&)>& edit = {}) {
        clipforge::CardSpec spec;
        spec.clip = ClipOf(90);
        spec.recordings = recordings;
        if (edit) edit(spec);
        std::string error;
        ASSERT_TRUE(clipforge::WriteCard(card.path(), spec, &error)) << error;
        StartOn(card.path().string());
    }
    void StartOn(const std::string& source) {
        window = std::make_unique<CVidorraDlg>();
        ASSERT_TRUE(window->Initialise(source));
        window->move(0, 0);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    ViewerController& C() { return window->Controller(); }
    bool Loaded() { return C().MediaLoaded() && !C().OpenPending(); }
    bool WaitLoaded(int ms = 8000) {
        return WaitUntil([&] { return Loaded(); }, ms);
    }
    int Shown(int screen) { return FrameShown(window->Surface(screen).CurrentImage()); }
    void Click(int index) {
        CSkinButton* b = window->Buttons().Control(index);
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    }
    std::string CurrentName() {
        const std::optional<RecordingEntry> row = window->Row(C().CurrentIndex());
        return row ? row->frontName : std::string();
    }

    test::TempDir card;
    std::unique_ptr<CVidorraDlg> window;
};

}  // namespace trivexa
