// The settings dialog on screen: its switches clicked with the mouse, what it
// posts to the main window, its states across closing and showing again, its
// layout, and a real acceleration graph with a forged recording following the
// switches through the main window's handling. Screenshots go to
// build/tests/settings/.
#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <set>

#include "app/core/layout_scale.h"
#include "app/core/program_version.h"
#include "app/core/ui_strings.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "controls/skin_pictures.h"
#include "controls/widget_test_util.h"
#include "panels/forge_recording.h"
#include "panels/panel_host.h"
#include "settings/core/event_display.h"
#include "settings/setting_dlg.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

class SettingDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveDisplay()) GTEST_SKIP() << "no display";
        SetLayoutScale(1.0f);
        CreateSharedFonts(ComputeScaleAndFonts({1.0f, 96, 96, 4000}));
        ClearSkinPictureCache();
    }
    void TearDown() override {
        DeleteSharedFonts();
        SetLayoutScale(1.0f);
        ClearSkinPictureCache();
    }

    static void SaveShot(QWidget* w, const QString& name) {
        QDir().mkpath(QStringLiteral(TRIVEXA_SETTINGS_SHOT_DIR));
        const QString path = QStringLiteral(TRIVEXA_SETTINGS_SHOT_DIR "/%1.png").arg(name);
        EXPECT_TRUE(test::Grab(w).save(path)) << path.toStdString();
    }

    // A click on the box of switch `index`.
    static void Press(CSettingDlg& dlg, int index) {
        CSkinCheckButton* button = dlg.Switch(index);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->BoxRect().center());
    }
};

TEST_F(SettingDlgTest, SwitchPressedTwicePostsOffThenOn) {
    test::RecordingWindow owner;
    ASSERT_TRUE(test::ShowAndWait(&owner));
    CSettingDlg dlg(&owner);
    EXPECT_FALSE(dlg.isVisible()) << "created hidden";
    dlg.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

    Press(dlg, 2);
    WAIT_FOR(owner.messages.size() == 1);
    EXPECT_EQ(owner.messages[0].message, UM_EVENT_DISPLAY);
    EXPECT_EQ(owner.messages[0].wParam, 2u);
    EXPECT_EQ(owner.messages[0].lParam, 0);
    EXPECT_FALSE(dlg.Switch(2)->isChecked());
    EXPECT_NE(dlg.Switch(2)->ShownPicture(), StatePicture::kPressed);

    Press(dlg, 2);
    WAIT_FOR(owner.messages.size() == 2);
    EXPECT_EQ(owner.messages[1].message, UM_EVENT_DISPLAY);
    EXPECT_EQ(owner.messages[1].wParam, 2u);
    EXPECT_EQ(owner.messages[1].lParam, 1);
    EXPECT_TRUE(dlg.Switch(2)->isChecked());
    EXPECT_EQ(dlg.Switch(2)->ShownPicture(), StatePicture::kPressed);

    // The ids after the last switch belong to the range but do nothing.
    for (int id = 32973; id <= kLastSwitchCommand; ++id) dlg.OnCommand(id);
    QTest::qWait(20);
    EXPECT_EQ(owner.messages.size(), 2u);
}

TEST_F(SettingDlgTest, ClosingHidesAndShowingAgainKeepsTheStates) {
    test::RecordingWindow owner;
    ASSERT_TRUE(test::ShowAndWait(&owner));
    CSettingDlg dlg(&owner);
    dlg.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    SaveShot(&dlg, QStringLiteral("settings"));

    Press(dlg, 0);
    Press(dlg, 4);
    WAIT_FOR(owner.messages.size() == 2);
    ASSERT_NE(dlg.CloseButton(), nullptr);
    EXPECT_EQ(dlg.CloseButton()->CommandId(), kSettingCloseCommand);
    QTest::mouseClick(dlg.CloseButton(), Qt::LeftButton);
    WAIT_FOR(!dlg.isVisible());

    dlg.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const bool expected[] = {false, true, true, true, false};
    for (int i = 0; i < kEventDisplaySwitchCount; ++i) {
        EXPECT_EQ(dlg.SwitchOn(i), expected[i]) << i;
        EXPECT_EQ(dlg.Switch(i)->isChecked(), expected[i]) << i;
    }
    SaveShot(&dlg, QStringLiteral("settings_reopened"));
    // Pressing a switch that was left off turns it on again.
    Press(dlg, 4);
    WAIT_FOR(owner.messages.size() == 3);
    EXPECT_EQ(owner.messages[2].wParam, 4u);
    EXPECT_EQ(owner.messages[2].lParam, 1);
}

// The close button lit by the pointer hides with the dialog it closed; shown
// again with the pointer elsewhere, it is dark.
TEST_F(SettingDlgTest, CloseButtonIsNotLitWhenTheDialogIsShownAgain) {
    test::RecordingWindow owner;
    owner.resize(800, 600);
    ASSERT_TRUE(test::ShowAndWait(&owner));
    CSettingDlg dlg(&owner);
    dlg.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    CSkinButton* close = dlg.CloseButton();
    ASSERT_NE(close, nullptr);
    QTest::mouseMove(close, close->rect().center());
    WAIT_FOR(close->Hovered());
    EXPECT_EQ(close->ShownPicture(), StatePicture::kHot);
    SaveShot(&dlg, QStringLiteral("settings_close_lit"));
    QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    WAIT_FOR(!dlg.isVisible());
    // The pointer goes off every window of the program while the dialog is
    // hidden: nothing tells the button it has left.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCursor::setPos(screen.bottomRight() - QPoint(5, 5));
    QTest::qWait(100);

    dlg.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::qWait(50);
    EXPECT_FALSE(close->Hovered());
    EXPECT_EQ(close->ShownPicture(), StatePicture::kNormal);
    SaveShot(&dlg, QStringLiteral("settings_close_reopened"));
}

TEST_F(SettingDlgTest, LayoutTextsAndPlace) {
    test::RecordingWindow owner;
    owner.resize(600, 400);
    ASSERT_TRUE(test::ShowAndWait(&owner));
    for (const float s : {1.0f, 1.25f}) {
        SetLayoutScale(s);
        CSettingDlg dlg(&owner);
        dlg.Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        const SettingDialogLayout l = LayOutSettingDialog(s);
        EXPECT_EQ(dlg.size(), QSize(l.width, l.height)) << s;
        EXPECT_EQ(dlg.Switch(4)->geometry().topLeft(), QPoint(l.switches[4].x, l.switches[4].y));
        // Centred on the monitor of the main window (the test screen has no
        // panels).
        const QRect monitor = QGuiApplication::primaryScreen()->geometry();
        EXPECT_LE(std::abs(dlg.frameGeometry().center().x() - monitor.center().x()), 1) << s;
        EXPECT_LE(std::abs(dlg.frameGeometry().center().y() - monitor.center().y()), 1) << s;
        if (s != 1.0f) SaveShot(&dlg, QStringLiteral("settings_scale_1_25"));
    }
    SetLayoutScale(1.0f);

    CSettingDlg dlg(&owner);
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(UiString(123)));
    const int labels[] = {115, 124, 125, 129, 183};
    for (int i = 0; i < kEventDisplaySwitchCount; ++i)
        EXPECT_EQ(dlg.Switch(i)->text(), QString::fromUtf8(UiString(labels[i])));
    EXPECT_EQ(dlg.DisplayFrame()->title(), QString::fromUtf8(UiString(128)));
    EXPECT_EQ(dlg.VersionFrame()->title(), QString::fromUtf8(UiString(127)));
    const QString version = dlg.VersionText()->text();
    EXPECT_TRUE(version.startsWith(QStringLiteral("version 2.0.2.0\n"))) << version.toStdString();
    EXPECT_TRUE(version.endsWith(QString::fromStdString(BuildYear(ProgramBuildDate()))));
}

// The main window's part for the graph: the posted message goes through its
// handling to a real graph showing a recording.
class GraphOwner : public QObject, public EventDisplayOwner {
public:
    explicit GraphOwner(test::PanelHost& host) : host_(host) {}
    int markerRebuilds = 0;

    void SetGraphSeries(int series, bool on) override { host_.graph->SetSeries(series, on); }
    void RebuildEventList() override { host_.events = host_.graph->BuildEventList(); }
    void RebuildMapMarkers() override { ++markerRebuilds; }

protected:
    bool event(QEvent* e) override {
        const PostedMessageEvent* m = AsPostedMessage(e);
        if (m == nullptr) return QObject::event(e);
        if (m->message() == UM_EVENT_DISPLAY) HandleEventDisplay(*this, m->wParam(), m->lParam());
        return true;
    }

private:
    test::PanelHost& host_;
};

std::multiset<EventCategory> Categories(const GraphEventList& events) {
    std::multiset<EventCategory> out;
    for (const GraphEvent& e : events) out.insert(e.category);
    return out;
}

TEST_F(SettingDlgTest, TheGraphFollowsTheSwitches) {
    test::TempDir dir;
    test::RecordingSpec spec;
    // Besides the scripted drive, one emergency stop and one parking shock,
    // so that every switch has events to hide.
    spec.editSamples = [](std::vector<clipforge::SensorSample>& samples) {
        for (int r = 70; r < 73; ++r) samples[static_cast<std::size_t>(r)].emergencyStop = true;
        for (int r = 80; r < 83; ++r) samples[static_cast<std::size_t>(r)].parkingShock = true;
    };
    test::PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    ASSERT_TRUE(host.Open(test::WriteRecording(dir.path(), spec)));
    const std::multiset<EventCategory> all = Categories(host.events);
    // Categories gated by switches 0..4 (through series 8, 4, 5, 6, 7).
    const std::vector<std::vector<EventCategory>> gated = {
        {EventCategory::SuddenSteering, EventCategory::SuddenAcceleration,
         EventCategory::SuddenBraking},
        {EventCategory::EmergencyStop},
        {EventCategory::ParkingShock},
        {EventCategory::Overspeed},
        {EventCategory::ApproachingVehicle},
    };
    for (const auto& categories : gated)
        for (EventCategory c : categories)
            ASSERT_EQ(all.count(c), 1u) << "the recording has category " << static_cast<int>(c);

    GraphOwner owner(host);
    CSettingDlg dlg(&host, &owner);
    dlg.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const int series[] = {8, 4, 5, 6, 7};
    for (int i = 0; i < kEventDisplaySwitchCount; ++i) {
        Press(dlg, i);
        WAIT_FOR(owner.markerRebuilds == i + 1);
        EXPECT_FALSE(host.graph->SeriesShown(series[i])) << i;
        EXPECT_FALSE(host.graph->SeriesListed(series[i])) << i;
        const std::multiset<EventCategory> left = Categories(host.events);
        for (int j = 0; j < kEventDisplaySwitchCount; ++j)
            for (EventCategory c : gated[static_cast<std::size_t>(j)])
                EXPECT_EQ(left.count(c), j <= i ? 0u : 1u)
                    << "switch " << i << " category " << static_cast<int>(c);
        if (i == 3) {
            test::Grab(host.graph);
            EXPECT_TRUE(host.graph->LastPlot().band.empty()) << "no overspeed band";
        }
    }
    // Shocks and manual recordings are not switched: they stay listed.
    EXPECT_EQ(Categories(host.events).count(EventCategory::ShockY),
              all.count(EventCategory::ShockY));
    EXPECT_EQ(Categories(host.events).count(EventCategory::Manual), 1u);
    test::Grab(host.graph);
    SaveShot(&host, QStringLiteral("graph_all_switches_off"));

    for (int i = 0; i < kEventDisplaySwitchCount; ++i) Press(dlg, i);
    WAIT_FOR(owner.markerRebuilds == 2 * kEventDisplaySwitchCount);
    EXPECT_EQ(Categories(host.events), all);
    test::Grab(host.graph);
    EXPECT_FALSE(host.graph->LastPlot().band.empty());
    for (const int s : series) EXPECT_TRUE(host.graph->SeriesShown(s)) << s;
}

}  // namespace
}  // namespace trivexa
