// The panels, the browser and the dialogs driven as a user drives them: the
// real main window on forge cards under a display.
#include "panels/core/trip_rules.h"
#include "viewer_fixture.h"

namespace trivexa {
namespace {

// The trip panel's axis buttons and the graph's lines agree after another
// recording opens: every line is drawn again, its box checked, and one press
// takes it away.
TEST_F(Viewer, AxisButtonsAndGraphLinesAgreeAfterAnotherRecordingOpens) {
    Start({Rec("A___-230715-081500-000001F.AVI", 60), Rec("A___-230715-081600-000002F.AVI", 60)});
    ASSERT_TRUE(WaitLoaded());
    CInfoDlg& trip = window->TripPanel();
    CSkinButton* x = trip.AxisButton(0);
    ASSERT_NE(x, nullptr);
    ASSERT_TRUE(x->Latched());
    QTest::mouseClick(x, Qt::LeftButton, {}, x->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return !window->Graph().SeriesShown(0); }));
    EXPECT_FALSE(x->Latched());
    EXPECT_FALSE(trip.AxisFlag(0));

    window->SelectListRow(1);
    ASSERT_TRUE(WaitUntil([&] { return C().CurrentIndex() == 1 && Loaded(); }));
    test::RunEventsFor(100);
    EXPECT_TRUE(trip.AxisFlag(0));
    EXPECT_TRUE(x->Latched());
    EXPECT_TRUE(window->Graph().SeriesShown(0));

    // One press takes the line away again.
    QTest::mouseClick(x, Qt::LeftButton, {}, x->rect().center());
    EXPECT_TRUE(WaitUntil([&] { return !window->Graph().SeriesShown(0); }));
    EXPECT_FALSE(x->Latched());
}

// The trip panel shows the second a frame lies in: the first frame of each
// second of a 30 fps clip shows that second, not the one before.
TEST_F(Viewer, TripTimeOfTheFrameThatStartsASecond) {
    Start({Rec("A___-230715-081500-000001F.AVI", 90)});
    ASSERT_TRUE(WaitLoaded());
    const struct {
        int frame;
        const char* text;
    } cases[] = {{0, "2023/07/15 08:15:00"},
                 {29, "2023/07/15 08:15:00"},
                 {30, "2023/07/15 08:15:01"},
                 {60, "2023/07/15 08:15:02"}};
    for (const auto& c : cases) {
        C().Seek(c.frame);
        ASSERT_TRUE(WaitUntil([&] { return window->Trip().frame == c.frame; }));
        EXPECT_EQ(FrameDateText(window->Trip()).value_or("(none)"), c.text) << c.frame;
    }
}

}  // namespace
}  // namespace trivexa
