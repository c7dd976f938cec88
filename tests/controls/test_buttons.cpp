// Picture buttons and picture check boxes under real mouse events.
#include <QSignalSpy>

#include "controls/core/skin_table.h"
#include "controls/skin_button.h"
#include "widget_test_util.h"

namespace trivexa {
namespace {

using test::Grab;
using test::Near;

// Fill colours of the four frames of a control button, read inside its edge.
const QColor kFill[4] = {QColor(0x26, 0x2b, 0x31), QColor(0x31, 0x39, 0x44),
                         QColor(0x3f, 0x5f, 0x9f), QColor(0x1f, 0x23, 0x28)};

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        window_ = std::make_unique<QWidget>();
        window_->resize(200, 100);
        button_ = new CSkinButton(window_.get(), 38002);
        button_->setGeometry(20, 20, 32, 32);
        button_->SetImages(skin::kPlay, QSize(32, 32));
        ASSERT_TRUE(test::ShowAndWait(window_.get()));
    }
    QColor Drawn() { return Grab(window_.get()).pixelColor(20 + 4, 20 + 16); }
    void Hover() {
        // The window must have seen the pointer before it can tell that the
        // pointer entered the button.
        // (A move to where the pointer already is would be dropped.)
        QTest::mouseMove(window_.get(), QPoint(150, 80));
        QTest::mouseMove(window_.get(), QPoint(151, 81));
        QTest::mouseMove(window_.get(), QPoint(36, 36));
        WAIT_FOR(button_->Hovered());
    }
    void Leave() {
        QTest::mouseMove(window_.get(), QPoint(150, 80));
        WAIT_FOR(!button_->Hovered());
    }

    test::ScopedScale scale_{1.0f};
    std::unique_ptr<QWidget> window_;
    CSkinButton* button_ = nullptr;
};

TEST_F(SkinButtonTest, HoverLightsTheButtonAndLeavingRestoresIt) {
    EXPECT_EQ(button_->ShownPicture(), StatePicture::kNormal);
    EXPECT_TRUE(Near(Drawn(), kFill[0]));
    Hover();
    EXPECT_EQ(button_->ShownPicture(), StatePicture::kHot);
    EXPECT_TRUE(Near(Drawn(), kFill[1]));
    Leave();
    EXPECT_EQ(button_->ShownPicture(), StatePicture::kNormal);
    EXPECT_TRUE(Near(Drawn(), kFill[0]));
}

TEST_F(SkinButtonTest, ALatchedButtonStaysOnThePressedPicture) {
    button_->SetLatched(true);
    EXPECT_TRUE(Near(Drawn(), kFill[2]));
    Hover();
    EXPECT_EQ(button_->ShownPicture(), StatePicture::kPressed);
    EXPECT_TRUE(Near(Drawn(), kFill[2]));
    Leave();
    EXPECT_TRUE(Near(Drawn(), kFill[2]));
    button_->SetLatched(false);
    EXPECT_TRUE(Near(Drawn(), kFill[0]));
}

TEST_F(SkinButtonTest, PressShowsThePressedPictureAndClickCarriesTheId) {
    QSignalSpy commands(button_, &CSkinButton::Command);
    QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(16, 16));
    EXPECT_EQ(button_->ShownPicture(), StatePicture::kPressed);
    EXPECT_TRUE(Near(Drawn(), kFill[2]));
    EXPECT_TRUE(button_->Pressed());
    QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(16, 16));
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 38002);
    Grab(window_.get());  // a normal drawing clears the pressed flag
    EXPECT_FALSE(button_->Pressed());
}

TEST_F(SkinButtonTest, DisabledAndHiddenButtons) {
    button_->setEnabled(false);
    EXPECT_TRUE(Near(Drawn(), kFill[3]));
    QSignalSpy commands(button_, &CSkinButton::Command);
    QTest::mouseClick(button_, Qt::LeftButton, {}, QPoint(16, 16));
    EXPECT_EQ(commands.count(), 0);
    button_->setEnabled(true);
    const QColor background = Grab(window_.get()).pixelColor(150, 80);
    button_->SetHidden(true);
    EXPECT_TRUE(Near(Drawn(), background, 2));
}

TEST_F(SkinButtonTest, TextIsDrawnOverThePicture) {
    button_->SetImages(skin::kPushButton, QSize(100, 30));
    button_->setGeometry(20, 20, 100, 30);
    button_->setText(QStringLiteral("OK"));
    QFont f;
    f.setPixelSize(16);
    button_->setFont(f);
    const QImage image = Grab(window_.get());
    int dark = 0;
    for (int x = 20; x < 120; ++x)
        for (int y = 20; y < 50; ++y)
            if (qGray(image.pixel(x, y)) < 90) ++dark;
    EXPECT_GT(dark, 10);
}

TEST(SkinCheckButton, TheOwnerDecidesTheCheckAndTheBoxLightsUnderTheMouse) {
    REQUIRE_DISPLAY();
    test::ScopedScale scale(1.0f);
    QWidget window;
    window.resize(300, 60);
    CSkinCheckButton check(&window, 32968);
    check.setGeometry(10, 10, 200, 20);
    check.SetImages(skin::kCheckBox);
    check.setText(QString::fromUtf8("常時"));
    ASSERT_TRUE(test::ShowAndWait(&window));
    EXPECT_EQ(check.BoxRect(), QRect(0, 4, 12, 12));

    QSignalSpy commands(&check, &CSkinCheckButton::Command);
    QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(6, 10));
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 32968);
    EXPECT_FALSE(check.isChecked());  // nothing until the owner sets it

    QTest::mouseMove(&check, QPoint(6, 10));
    WAIT_FOR(check.BoxHovered());
    EXPECT_EQ(check.ShownPicture(), StatePicture::kHot);
    // Over the caption the box is not lit.
    QTest::mouseMove(&check, QPoint(100, 10));
    WAIT_FOR(!check.BoxHovered());
    EXPECT_EQ(check.ShownPicture(), StatePicture::kNormal);

    check.setChecked(true);
    QTest::mouseMove(&check, QPoint(6, 10));
    WAIT_FOR(check.BoxHovered());
    EXPECT_EQ(check.ShownPicture(), StatePicture::kPressed);
    check.setEnabled(false);
    EXPECT_EQ(check.ShownPicture(), StatePicture::kDisabled);
}

}  // namespace
}  // namespace trivexa
