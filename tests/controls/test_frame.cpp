// The resizable frame on real windows: caption dragging, edge resizing with
// the rubber band, the size factors in the settings file, swallowed keys.
#include <QScreen>

#include "app/core/settings_file.h"
#include "controls/resize_dialog.h"
#include "controls/screens.h"
#include "controls/skin_button.h"
#include "controls/skin_dialog.h"
#include "widget_test_util.h"

namespace trivexa {
namespace {

constexpr const char* kSection = "TESTDIALOG";

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        WriteSetting(kSection, settings::kScaleX, "");
        WriteSetting(kSection, settings::kScaleY, "");
        dialog_ = std::make_unique<CSkinDialog>();
        dialog_->setWindowTitle(QString::fromUtf8("設定"));
        dialog_->SetBaseSize(400, 300);
        dialog_->setGeometry(100, 100, 400, 300);
    }
    void Show() { ASSERT_TRUE(test::ShowAndWait(dialog_.get())); }
    // Client point of a screen point.
    QPoint Local(QPoint global) const { return global - dialog_->geometry().topLeft(); }
    void Press(QPoint global) {
        QTest::mousePress(dialog_.get(), Qt::LeftButton, {}, Local(global));
    }
    void MoveTo(QPoint global) {
        // The rubber band follows at most every 89 ms.
        QTest::qWait(CResizeDialog::kBandIntervalMs + 20);
        QTest::mouseMove(dialog_.get(), Local(global));
    }
    void Release(QPoint global) {
        QTest::mouseRelease(dialog_.get(), Qt::LeftButton, {}, Local(global));
    }

    test::ScopedScale scale_{1.0f};
    std::unique_ptr<CSkinDialog> dialog_;
};

TEST_F(FrameTest, ADialogWithoutABandMovesByItsCaptionButNeverResizes) {
    Show();
    Press({300, 110});
    EXPECT_TRUE(dialog_->CaptionPress());
    QTest::mouseMove(dialog_.get(), Local({350, 140}));
    Release({350, 140});
    EXPECT_EQ(dialog_->geometry(), QRect(150, 130, 400, 300));

    // The right edge: no sizing cursor, and a drag changes nothing.
    const QPoint edge(150 + 398, 130 + 150);
    QTest::mouseMove(dialog_.get(), Local(edge));
    EXPECT_EQ(dialog_->cursor().shape(), Qt::ArrowCursor);
    Press(edge);
    EXPECT_EQ(dialog_->Direction(), DragDirection::kRight);
    MoveTo({900, 280});
    Release({900, 280});
    EXPECT_EQ(dialog_->geometry(), QRect(150, 130, 400, 300));
}

TEST_F(FrameTest, AnEdgeDragShowsTheBandAndResizesOnRelease) {
    dialog_->CreateFrameWindow();
    dialog_->LoadSizeFactors(kSection);
    Show();
    const QPoint edge(100 + 398, 250);
    QTest::mouseMove(dialog_.get(), Local(edge));
    EXPECT_EQ(dialog_->cursor().shape(), Qt::SizeHorCursor);

    Press(edge);
    CResizeFrameWindow* band = dialog_->FrameWindow();
    ASSERT_NE(band, nullptr);
    EXPECT_TRUE(band->isVisible());
    EXPECT_EQ(band->geometry(), dialog_->geometry());
    MoveTo({598, 250});
    WAIT_FOR(band->geometry() == QRect(100, 100, 498, 300));
    EXPECT_EQ(dialog_->geometry(), QRect(100, 100, 400, 300));  // the window waits for the release
    Release({598, 250});
    EXPECT_FALSE(band->isVisible());
    EXPECT_EQ(dialog_->geometry(), QRect(100, 100, 498, 300));
    EXPECT_FLOAT_EQ(dialog_->FactorX(), 498.0f / 400.0f);
    EXPECT_EQ(ReadSetting(kSection, settings::kScaleX), "1.245000");
    EXPECT_EQ(ReadSetting(kSection, settings::kScaleY), "1.000000");
}

TEST_F(FrameTest, NarrowerThanTheBaseStopsAtTheBaseWidth) {
    dialog_->CreateFrameWindow();
    dialog_->setGeometry(100, 100, 600, 300);
    Show();
    Press({100 + 598, 250});
    MoveTo({300, 250});
    Release({300, 250});
    EXPECT_EQ(dialog_->geometry(), QRect(100, 100, 400, 300));
    EXPECT_FLOAT_EQ(dialog_->FactorX(), 1.0f);
}

TEST_F(FrameTest, TheLeftEdgeMovesAloneAndTheRightEdgeStays) {
    dialog_->CreateFrameWindow();
    dialog_->setGeometry(200, 100, 500, 300);
    Show();
    Press({201, 250});
    MoveTo({150, 250});
    Release({150, 250});
    EXPECT_EQ(dialog_->geometry(), QRect(150, 100, 550, 300));
    // Clamped at the base width, still anchored on the right.
    Press({151, 250});
    MoveTo({600, 250});
    Release({600, 250});
    EXPECT_EQ(dialog_->geometry(), QRect(300, 100, 400, 300));
}

TEST_F(FrameTest, ACornerBeyondTheMonitorGivesTheMonitorsSize) {
    dialog_->CreateFrameWindow();
    dialog_->LoadSizeFactors(kSection);
    Show();
    const QSize monitor = MonitorRect(dialog_->geometry().topLeft()).size();
    Press({100 + 398, 100 + 298});
    EXPECT_EQ(dialog_->Direction(), DragDirection::kBottomRight);
    MoveTo({5000, 5000});
    Release({5000, 5000});
    EXPECT_EQ(dialog_->geometry().size(), monitor);
    EXPECT_FLOAT_EQ(dialog_->FactorX(), monitor.width() / 400.0f);
    EXPECT_FLOAT_EQ(dialog_->FactorY(), monitor.height() / 300.0f);
}

TEST_F(FrameTest, AReleaseWhereTheLastOneEndedIsStillClamped) {
    dialog_->CreateFrameWindow();
    Show();
    for (int i = 0; i < 2; ++i) {
        const QRect r = dialog_->geometry();
        Press({r.right() - 1, 250});
        MoveTo({250, 250});
        Release({250, 250});
        EXPECT_EQ(dialog_->geometry().width(), 400) << i;
    }
}

TEST_F(FrameTest, ADoubleClickHidesTheBand) {
    dialog_->CreateFrameWindow();
    Show();
    Press({498, 250});
    ASSERT_TRUE(dialog_->FrameWindow()->isVisible());
    QTest::mouseDClick(dialog_.get(), Qt::LeftButton, {}, Local({498, 250}));
    EXPECT_FALSE(dialog_->FrameWindow()->isVisible());
    EXPECT_FALSE(dialog_->ButtonDown());
}

TEST_F(FrameTest, AMaximisedWindowIgnoresEdgePresses) {
    dialog_->CreateFrameWindow();
    Show();
    dialog_->SetMaximisedState(true);
    Press({498, 250});
    EXPECT_EQ(dialog_->Direction(), DragDirection::kNone);
    EXPECT_FALSE(dialog_->FrameWindow()->isVisible());
    Release({498, 250});
    EXPECT_EQ(dialog_->HitTestAt({101, 101}), HitZone::kCaption);
}

TEST_F(FrameTest, KeysNeitherCloseNorNavigate) {
    CSkinButton* close = dialog_->AddCloseButton(21);
    Show();
    EXPECT_EQ(close->geometry(), QRect(400 - 20, 4, 13, 12));
    QTest::keyClick(dialog_.get(), Qt::Key_Escape);
    QTest::keyClick(dialog_.get(), Qt::Key_Return);
    QTest::keyClick(dialog_.get(), Qt::Key_Tab);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), 0);
    QTest::mouseClick(close, Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(FrameTest, TheCaptionStripIsPaintedWithItsTitle) {
    Show();
    const QImage image = test::Grab(dialog_.get());
    EXPECT_EQ(image.pixelColor(200, 2), CSkinDialog::CaptionStripColour());
    int ink = 0;
    for (int x = 5; x < 80; ++x)
        for (int y = 1; y < 20; ++y)
            if (qGray(image.pixel(x, y)) < 100) ++ink;
    EXPECT_GT(ink, 20);  // the Japanese title is drawn, not left blank
}

struct FactorCase {
    const char* x;
    const char* y;
    QSize size;
};

TEST_F(FrameTest, StoredFactorsAreUsedOnlyWhenSound) {
    const FactorCase cases[] = {
        {"1.5", "1.25", {600, 375}}, {"", "", {400, 300}},      {"-2", "0", {400, 300}},
        {"abc", "1.5", {400, 450}},  {"1e30", "2", {400, 600}}, {"nan", "inf", {400, 300}},
        {"1.5x", " 2 ", {600, 600}},
    };
    for (const FactorCase& c : cases) {
        dialog_->SetFactors(1.0f, 1.0f);
        WriteSetting(kSection, settings::kScaleX, c.x);
        WriteSetting(kSection, settings::kScaleY, c.y);
        dialog_->LoadSizeFactors(kSection);
        EXPECT_EQ(dialog_->geometry().size(), c.size) << c.x << " / " << c.y;
        EXPECT_EQ(dialog_->geometry().topLeft(), QPoint(100, 100));
    }
}

}  // namespace
}  // namespace trivexa
