// The acceleration graph and the trip panel as windows under xvfb, showing a
// forge recording's data at several positions: screenshots for a developer
// (build/tests/panels/), pixel checks of the cursor and the overspeed band,
// the plot layer drawn once per recording, clicks and the axis buttons, and
// damaged or odd sensor data.
#include <QCoreApplication>
#include <QTest>
#include <fstream>
#include <set>

#include "controls/skin_button.h"
#include "panels/core/graph_rules.h"
#include "panels/forge_recording.h"
#include "panels/panel_host.h"
#include "panels_test_util.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

using test::PanelHost;
using test::RecordingSpec;

// 600 frames (20 s) with 200 records: the whole clip fits the 615-pixel plot.
RecordingSpec FitsSpec() { return RecordingSpec{}; }

// 1800 frames (60 s) with 600 records: one frame per pixel, sliding.
RecordingSpec SlidesSpec() {
    RecordingSpec spec;
    spec.name = "AG__-230715-091000-000002F.AVI";
    spec.frames = 1800;
    spec.records = 600;
    spec.marks = {200, 260, 300, 360, 400, 440, 480, 520, 540};
    return spec;
}

void Settle() { QCoreApplication::processEvents(); }

class PanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveDisplay()) GTEST_SKIP() << "no display";
    }
    test::TempDir dir;
    test::ScaleAndFonts scale{1.0f};
};

TEST_F(PanelsTest, FollowTheRecordingAtSeveralPositions) {
    PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    test::SaveShot(&host, "panels_closed");

    const auto clip = test::WriteRecording(dir.path(), FitsSpec());
    ASSERT_FALSE(clip.empty());
    ASSERT_TRUE(host.Open(clip));
    EXPECT_EQ(host.graph->ScaleMode(), 3);  // the 1.85 G shock
    EXPECT_FALSE(host.events.empty());

    const struct {
        int frame;
        const char* name;
    } positions[] = {{0, "start"}, {62, "shock"}, {225, "overspeed"}, {599, "end"}};
    for (const auto& at : positions) {
        host.FanOut(at.frame);
        test::SaveShot(&host, QStringLiteral("panels_%1").arg(QString::fromLatin1(at.name)));
        // The trip panel shows the record of the frame and its time.
        const std::optional<AccelEntry> entry = host.graph->EntryAt(at.frame);
        ASSERT_TRUE(entry);
        EXPECT_EQ(host.info->Values().x, entry->x);
        const auto date = FrameDateText(host.info->Values());
        ASSERT_TRUE(date);
        char expected[32];
        const int seconds = 22 + at.frame / 30;
        std::snprintf(expected, sizeof expected, "2023/07/15 08:%02d:%02d", 15 + seconds / 60,
                      seconds % 60);
        EXPECT_EQ(*date, expected) << at.frame;

        // The cursor: a white column over the whole graph at its step.
        const QImage g = test::Grab(host.graph);
        const int x = 40 + at.frame * 616 / 600;
        ASSERT_EQ(host.graph->LastCursorX(), std::min(x, 655));
        for (int y : {0, 71, 142})
            EXPECT_EQ(g.pixelColor(*host.graph->LastCursorX(), y), Qt::white);
    }
}

TEST_F(PanelsTest, OverspeedBandIsBlendedAtHalfAlpha) {
    PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    ASSERT_TRUE(host.Open(test::WriteRecording(dir.path(), FitsSpec())));
    const QImage with = test::Grab(host.graph);
    const GraphPlot plot = host.graph->LastPlot();
    ASSERT_EQ(plot.band.size(), 1u);
    const GraphSpan band = plot.band.front();
    // Records 60..89 are frames 181..270, drawn 1.025 pixels apart.
    EXPECT_NEAR(band.x, 40 + 181 * 1.025, 2);
    EXPECT_NEAR(band.x + band.width, 40 + 271 * 1.025, 3);

    host.graph->SetSeries(kSeriesOverspeed, false);
    const QImage without = test::Grab(host.graph);
    const int y = plot.bandTop + 3;
    int checked = 0;
    for (int x = band.x + 1; x < band.x + band.width - 1; ++x) {
        const QColor under = without.pixelColor(x, y);
        const QColor expected((170 * 127 + under.red() * 128) / 255, under.green() * 128 / 255,
                              under.blue() * 128 / 255);
        if (x == host.graph->LastCursorX()) continue;
        EXPECT_TRUE(test::Near(with.pixelColor(x, y), expected, 2))
            << x << ": " << with.pixelColor(x, y).name().toStdString() << " expected "
            << expected.name().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 80);
    // Outside the band, and above it, nothing is tinted.
    EXPECT_EQ(with.pixelColor(band.x - 3, y), without.pixelColor(band.x - 3, y));
    EXPECT_EQ(with.pixelColor(band.x + 10, plot.bandTop - 2),
              without.pixelColor(band.x + 10, plot.bandTop - 2));
}

TEST_F(PanelsTest, PlotIsDrawnOncePerRecordingWhileTheClipFits) {
    PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    ASSERT_TRUE(host.Open(test::WriteRecording(dir.path(), FitsSpec())));
    test::Grab(host.graph);
    const int renders = host.graph->PlotRenders();
    for (int p = 0; p < 600; p += 7) {
        host.FanOut(p);
        host.graph->repaint();
    }
    EXPECT_EQ(host.graph->PlotRenders(), renders);

    // A clip wider than the plot slides with the cursor: the layer follows
    // each move, and only the moves.
    ASSERT_TRUE(host.Open(test::WriteRecording(dir.path(), SlidesSpec())));
    test::Grab(host.graph);
    const int before = host.graph->PlotRenders();
    host.graph->repaint();
    EXPECT_EQ(host.graph->PlotRenders(), before);
    for (int p : {10, 900, 1799}) {
        host.FanOut(p);
        test::SaveShot(&host, QStringLiteral("panels_sliding_%1").arg(p));
    }
    EXPECT_EQ(host.graph->PlotRenders(), before + 3);
}

TEST_F(PanelsTest, ClicksAskForEventJumpsUnlessLocked) {
    PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    ASSERT_TRUE(host.Open(test::WriteRecording(dir.path(), FitsSpec())));
    ASSERT_GE(host.events.size(), 3u);
    host.FanOut(200);
    host.messages.clear();

    QTest::mouseClick(host.graph, Qt::RightButton, {}, QPoint(300, 60));
    Settle();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].message, UM_GRAPH_NEXT_EVENT);
    EXPECT_EQ(host.messages[0].wParam, 0u);
    EXPECT_EQ(host.messages[0].lParam, 0);
    const int next = host.position;
    EXPECT_GT(next, 200);

    QTest::mouseClick(host.graph, Qt::LeftButton, {}, QPoint(300, 60));
    Settle();
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].message, UM_GRAPH_PREV_EVENT);
    EXPECT_LT(host.position, next);

    host.graph->SetClickLock(true);
    QTest::mouseClick(host.graph, Qt::LeftButton, {}, QPoint(300, 60));
    QTest::mouseClick(host.graph, Qt::RightButton, {}, QPoint(300, 60));
    Settle();
    EXPECT_EQ(host.messages.size(), 2u);
}

bool HasColour(const QImage& image, QColor colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour) return true;
    return false;
}

TEST_F(PanelsTest, AxisButtonsSwitchTheGraphLines) {
    PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    ASSERT_TRUE(host.Open(test::WriteRecording(dir.path(), FitsSpec())));
    host.messages.clear();
    const QColor red(255, 0, 0);
    EXPECT_TRUE(HasColour(test::Grab(host.graph), red));

    CSkinButton* y = host.info->AxisButton(1);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->CommandId(), 38601);
    EXPECT_EQ(y->geometry(), QRect(166, 45, 12, 12));
    QTest::mouseClick(y, Qt::LeftButton);
    Settle();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].message, UM_INFO_TOGGLE);
    EXPECT_EQ(host.messages[0].wParam, 1u);
    EXPECT_EQ(host.messages[0].lParam, 0);
    EXPECT_FALSE(host.graph->SeriesShown(kSeriesY));
    EXPECT_FALSE(y->Latched());
    EXPECT_FALSE(HasColour(test::Grab(host.graph), red));
    test::SaveShot(&host, "panels_y_off");

    QTest::mouseClick(y, Qt::LeftButton);
    Settle();
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].wParam, 1u);
    EXPECT_EQ(host.messages[1].lParam, 1);
    EXPECT_TRUE(HasColour(test::Grab(host.graph), red));

    // A reset brings an axis that was off back, and tells the owner so.
    QTest::mouseClick(host.info->AxisButton(2), Qt::LeftButton);
    Settle();
    EXPECT_FALSE(host.graph->SeriesShown(kSeriesZ));
    host.info->Reset();
    Settle();
    EXPECT_EQ(host.messages.back().message, UM_INFO_TOGGLE);
    EXPECT_EQ(host.messages.back().wParam, 2u);
    EXPECT_EQ(host.messages.back().lParam, 1);
    EXPECT_TRUE(host.graph->SeriesShown(kSeriesZ));
    EXPECT_TRUE(host.info->AxisButton(2)->Latched());

    // An event display switch (3: overspeed) hides the band and the '#'.
    PostMessageTo(&host, UM_EVENT_DISPLAY, 3, 0);
    Settle();
    EXPECT_FALSE(host.graph->SeriesShown(kSeriesOverspeed));
    test::Grab(host.graph);
    EXPECT_TRUE(host.graph->LastPlot().band.empty());
}

TEST_F(PanelsTest, TripPanelReadouts) {
    PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    TripValues& v = host.info->Values();
    v.dataValid = true;
    v.startTime = SystemTime{2051, 3, 0, 4, 5, 6, 7, 0};
    v.frame = 30;
    v.frameInterval = 1000.0f / 30.0f;
    v.x = 1.238;
    v.y = -0.004;
    v.z = -5.0;
    v.speedShown = true;
    v.speedValid = true;
    v.speed = 1000.0;
    v.voltageEnabled = v.voltageShown = true;
    v.voltage = 124;
    v.mic = 'r';
    v.receptionShown = false;
    v.speedText = SpeedLabelText(2);
    const QImage noBadge = test::Grab(host.info);
    v.badgeCode = QualityClass(1296, 'L', 0);
    test::SaveShot(&host, "trip_placeholders_and_off");
    const QImage badge = test::Grab(host.info);
    const TripLayout l = host.info->Layout();
    int differing = 0;
    for (int y = l.badge.y; y < l.badge.Bottom(); ++y)
        for (int x = l.badge.x; x < l.badge.Right(); ++x)
            differing += badge.pixelColor(x, y) != noBadge.pixelColor(x, y) ? 1 : 0;
    EXPECT_GT(differing, l.badge.w * l.badge.h / 4);

    v.speed = 42.0;
    v.receptionShown = true;
    v.speedShown = true;
    v.mic = 'R';
    v.x = v.y = v.z = 0.51;
    test::SaveShot(&host, "trip_values");
    v.speedShown = false;
    v.voltage = -1;
    test::SaveShot(&host, "trip_speed_off_voltage_missing");

    // Maximised: the read-outs spread by the width factor.
    host.resize(900, host.height());
    host.info->resize(900, host.info->height());
    host.info->SetWidthFactor(1.15f);
    EXPECT_EQ(host.info->AxisButton(2)->geometry().x(), 29 + 2 * 161);
    test::SaveShot(host.info, "trip_maximised");
}

TEST_F(PanelsTest, LargerScale) {
    test::ScaleAndFonts big(1.5f);
    PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    EXPECT_EQ(host.graph->LeftMargin(), 60);
    EXPECT_EQ(host.graph->TileStep(), 144 - 10 - 60);
    ASSERT_TRUE(host.Open(test::WriteRecording(dir.path(), FitsSpec())));
    host.FanOut(225);
    test::SaveShot(&host, "panels_s1.5");
    EXPECT_EQ(host.info->AxisButton(0)->geometry(), QRect(39, 67, 18, 18));
}

// Rows of the graph outside the plot's edges carry no line of an axis (event
// markers, drawn over the whole height, aside).
void ExpectLinesInside(CGSensorDlg* graph) {
    const QImage g = test::Grab(graph);
    const GraphGeometry geo = graph->LastPlot().geometry;
    if (geo.height == 0) return;
    std::set<int> markers;
    for (const GraphMarker& m : LayoutMarkers(graph->LastPlot(), graph->LeftMargin(), 1.0f, 1.0f))
        for (int x = m.x; x < m.x + 14; ++x) markers.insert(x);
    for (int y = 0; y < g.height(); ++y) {
        if (y >= geo.centre - geo.edge && y <= geo.centre + geo.edge) continue;
        for (int x = 0; x < g.width(); ++x)
            for (int axis = 0; axis < 3; ++axis) {
                if (markers.count(x) != 0) continue;
                const Rgb c = SeriesPen(axis);
                ASSERT_NE(g.pixelColor(x, y), QColor(c.r, c.g, c.b)) << x << "," << y;
            }
    }
}

TEST_F(PanelsTest, OddSensorDataShowResetValuesOrClamp) {
    struct Case {
        const char* name;
        RecordingSpec spec;
        bool patchValues = false;
        bool hasData = false;
    };
    std::vector<Case> cases;
    {
        Case c{"no_block", FitsSpec()};
        c.spec.sensor.present = false;
        cases.push_back(c);
    }
    {
        Case c{"count_zero", FitsSpec()};
        c.spec.sensor.countMode = clipforge::CountMode::Zero;
        cases.push_back(c);
    }
    {
        Case c{"count_ffff", FitsSpec()};
        c.spec.sensor.countMode = clipforge::CountMode::Unlimited;
        c.hasData = true;  // every slot up to the trailer is a record
        cases.push_back(c);
    }
    {
        Case c{"huge_and_nan", FitsSpec()};
        c.patchValues = true;
        c.hasData = true;
        cases.push_back(c);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clipforge::ClipReport report;
        const auto clip = test::WriteRecording(dir / c.name, c.spec, &report);
        ASSERT_FALSE(clip.empty());
        if (c.patchValues) {
            // Accelerations of ±100 G, infinity and not-a-number, as the
            // recorder's text fields can spell them.
            std::fstream f(clip, std::ios::in | std::ios::out | std::ios::binary);
            const char* fields[] = {"+1e5 ", "-1e5 ", "nan1 ", "inf99"};
            for (int i = 0; i < 40; ++i)
                for (int axis = 0; axis < 3; ++axis) {
                    f.seekp(static_cast<std::streamoff>(report.sensorOffset + 40 + 130 * (50 + i) +
                                                        62 + 5 * axis));
                    f.write(fields[(i + axis) % 4], 5);
                }
        }
        PanelHost host;
        ASSERT_TRUE(test::ShowAndWait(&host));
        host.Open(clip);
        for (int p : {0, 160, 300, 599}) {
            host.FanOut(p);
            ExpectLinesInside(host.graph);
        }
        test::SaveShot(&host, QStringLiteral("odd_%1").arg(QString::fromLatin1(c.name)));
        if (c.hasData) {
            EXPECT_GT(host.graph->LastPlot().entriesDrawn, 0);
        } else {
            EXPECT_EQ(host.info->Values().x, kNoAccel);
            EXPECT_EQ(host.info->Values().frame, 599);
            EXPECT_EQ(host.graph->LastPlot().entriesDrawn, 0);
        }
    }

    // A clip longer than its frame map: beyond the map the trip panel shows
    // its reset values and the cursor stays inside the panel.
    PanelHost host;
    ASSERT_TRUE(test::ShowAndWait(&host));
    ASSERT_TRUE(host.Open(test::WriteRecording(dir / "short_map", FitsSpec())));
    host.frames = 2400;
    host.graph->SetCursorCount(2400);
    host.FanOut(2000);
    EXPECT_EQ(host.info->Values().x, kNoAccel);
    EXPECT_EQ(host.info->Values().mic, kNoMicMark);
    test::Grab(host.graph);
    EXPECT_EQ(host.graph->LastCursorX(), 40 + 2000 * 616 / 2400);
    test::SaveShot(&host, "odd_short_map");
}

}  // namespace
}  // namespace trivexa
