// The slider's notifications under real mouse events, and the progress bar's
// two-coloured text read back from its pixels.
#include "controls/core/skin_table.h"
#include "controls/skin_progress.h"
#include "controls/skin_slider.h"
#include "widget_test_util.h"

namespace trivexa {
namespace {

using test::Posted;

class SliderTest : public ::testing::Test {
protected:
    void Build(float s) {
        scale_ = std::make_unique<test::ScopedScale>(s);
        owner_ = std::make_unique<test::RecordingWindow>();
        slider_ = new CSkinSliderCtrl(owner_.get(), 38100);
        slider_->SetPictures(skin::kSeekLeftBar, skin::kSeekRightBar, skin::kSeekThumb,
                             skin::kSeekThumbPressed);
        slider_->setGeometry(50, 40, 400, Units(10, s));
        ASSERT_TRUE(test::ShowAndWait(owner_.get()));
    }
    std::vector<Posted> Take() {
        QCoreApplication::sendPostedEvents(owner_.get());
        std::vector<Posted> out;
        out.swap(owner_->messages);
        return out;
    }
    QPoint OnOwner(int sliderX) const { return QPoint(50 + sliderX, 40 + slider_->height() / 2); }

    std::unique_ptr<test::ScopedScale> scale_;
    std::unique_ptr<test::RecordingWindow> owner_;
    CSkinSliderCtrl* slider_ = nullptr;
};

TEST_F(SliderTest, PressDragReleasePostDownTrackUp) {
    REQUIRE_DISPLAY();
    Build(1.0f);
    slider_->SetRange(0, 99);
    QTest::mousePress(owner_.get(), Qt::LeftButton, {}, OnOwner(200));
    QTest::mouseMove(owner_.get(), OnOwner(300));
    QTest::mouseRelease(owner_.get(), Qt::LeftButton, {}, OnOwner(300));
    const auto m = Take();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, UM_SLIDER_DOWN);
    EXPECT_EQ(m[0].wParam, 38100u);
    EXPECT_EQ(m[0].lParam, 50);
    EXPECT_EQ(m[1].message, UM_SLIDER_TRACK);
    EXPECT_EQ(m[1].lParam, 75);
    EXPECT_EQ(m[2].message, UM_SLIDER_UP);
    EXPECT_EQ(m[2].lParam, 75);
    // The slider reports; only the owner moves the thumb.
    EXPECT_EQ(slider_->Pos(), 0);
    EXPECT_FALSE(slider_->Dragging());
}

TEST_F(SliderTest, ASingleStepRangeMapsEveryPressToZero) {
    REQUIRE_DISPLAY();
    Build(1.0f);
    slider_->SetRange(0, 0);
    EXPECT_EQ(slider_->ThumbRect().left(), 0);
    for (int x : {0, 1, 199, 399}) {
        QTest::mouseClick(owner_.get(), Qt::LeftButton, {}, OnOwner(x));
        const auto m = Take();
        ASSERT_EQ(m.size(), 2u) << x;
        EXPECT_EQ(m[0].message, UM_SLIDER_DOWN);
        EXPECT_EQ(m[0].lParam, 0) << x;
        EXPECT_EQ(m[1].lParam, 0) << x;
    }
}

TEST_F(SliderTest, APressJustLeftOfTheSliderStartsADragAtTheMinimum) {
    REQUIRE_DISPLAY();
    Build(1.5f);
    slider_->SetRange(10, 100);
    // 5·s to the left of the slider lands on the owner window.
    QTest::mousePress(owner_.get(), Qt::LeftButton, {}, OnOwner(-Units(5, 1.5f)));
    EXPECT_TRUE(slider_->Dragging());
    QTest::mouseMove(owner_.get(), OnOwner(200));
    QTest::mouseRelease(owner_.get(), Qt::LeftButton, {}, OnOwner(200));
    const auto m = Take();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, UM_SLIDER_DOWN);
    EXPECT_EQ(m[0].lParam, 10);
    EXPECT_EQ(m[1].message, UM_SLIDER_TRACK);
    EXPECT_EQ(m[1].lParam, 10 + 200 * 91 / 400);
    EXPECT_EQ(m[2].message, UM_SLIDER_UP);
    // Beyond the band a press belongs to the owner.
    QTest::mouseClick(owner_.get(), Qt::LeftButton, {}, OnOwner(-Units(10, 1.5f) - 2));
    EXPECT_TRUE(Take().empty());
}

TEST_F(SliderTest, ADisabledSliderPostsNothingAndEndsADragSilently) {
    REQUIRE_DISPLAY();
    Build(1.0f);
    slider_->SetRange(0, 99);
    QTest::mousePress(owner_.get(), Qt::LeftButton, {}, OnOwner(100));
    EXPECT_EQ(Take().size(), 1u);
    slider_->Enable(false);
    QTest::mouseMove(owner_.get(), OnOwner(150));
    QTest::mouseRelease(owner_.get(), Qt::LeftButton, {}, OnOwner(150));
    EXPECT_TRUE(Take().empty());
    EXPECT_FALSE(slider_->Dragging());
    QTest::mouseClick(owner_.get(), Qt::LeftButton, {}, OnOwner(100));
    EXPECT_TRUE(Take().empty());
    slider_->Enable(true);
    QTest::mouseClick(owner_.get(), Qt::LeftButton, {}, OnOwner(100));
    EXPECT_EQ(Take().size(), 2u);
}

TEST_F(SliderTest, ThePressReportsWhetherItHitTheThumb) {
    REQUIRE_DISPLAY();
    Build(1.0f);
    slider_->SetRange(0, 99);
    slider_->SetPos(50);
    const QRect thumb = slider_->ThumbRect();
    EXPECT_EQ(thumb, QRect(195, 0, 11, 10));  // 50 × 390 / 100, thumb 10 + 1
    QTest::mouseClick(owner_.get(), Qt::LeftButton, {}, OnOwner(thumb.center().x()));
    EXPECT_TRUE(slider_->PressWasOnThumb());
    QTest::mouseClick(owner_.get(), Qt::LeftButton, {}, OnOwner(20));
    EXPECT_FALSE(slider_->PressWasOnThumb());
}

TEST_F(SliderTest, TheBarsMeetAtTheShownPosition) {
    REQUIRE_DISPLAY();
    Build(1.0f);
    slider_->SetRange(0, 99);
    slider_->SetPos(50);
    const QImage image = test::Grab(slider_);
    const QColor played = image.pixelColor(100, 5);
    const QColor rest = image.pixelColor(300, 5);
    EXPECT_TRUE(test::Near(played, QColor(0x6f, 0x91, 0xd8), 20)) << played.name().toStdString();
    EXPECT_TRUE(test::Near(rest, QColor(0x3a, 0x41, 0x4a), 20)) << rest.name().toStdString();
}

TEST(ProgressBar, FiftyPercentReadsInBothColours) {
    REQUIRE_DISPLAY();
    test::ScopedScale scale(1.0f);
    QWidget window;
    window.resize(420, 60);
    CSkinProgressBarCtrl bar(&window, 38102);
    bar.setGeometry(10, 10, 400, 22);
    QFont font;
    font.setPixelSize(18);
    font.setBold(true);
    bar.setFont(font);
    bar.SetRange(0, 100);
    bar.SetPos(50);
    ASSERT_TRUE(test::ShowAndWait(&window));
    EXPECT_EQ(bar.Text(), QStringLiteral("50 %"));
    EXPECT_EQ(bar.windowTitle(), QStringLiteral("progress bar"));

    const QImage image = test::Grab(&bar);
    const QColor blue(0, 0, 255), white(255, 255, 255);
    EXPECT_EQ(image.pixelColor(5, 11), blue);
    EXPECT_EQ(image.pixelColor(395, 11), white);
    // Where the text lies on the blue half it is white, on the white half blue.
    int whiteOnBlue = 0, blueOnWhite = 0, otherColours = 0;
    for (int y = 0; y < 22; ++y) {
        for (int x = 150; x < 200; ++x)
            if (image.pixelColor(x, y) == white) ++whiteOnBlue;
        for (int x = 200; x < 250; ++x)
            if (image.pixelColor(x, y) == blue) ++blueOnWhite;
        // Only blue, white and their blends (the text's smoothed edges).
        for (int x = 0; x < 400; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() < 250 || std::abs(c.red() - c.green()) > 3) ++otherColours;
        }
    }
    EXPECT_GT(whiteOnBlue, 20);
    EXPECT_GT(blueOnWhite, 20);
    EXPECT_EQ(otherColours, 0);
}

}  // namespace
}  // namespace trivexa
