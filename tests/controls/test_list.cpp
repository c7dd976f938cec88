// The check list: hot tracking and the click cycle under real mouse events.
#include <QSignalSpy>

#include "controls/core/skin_rules.h"
#include "controls/skin_list.h"
#include "widget_test_util.h"

namespace trivexa {
namespace {

class SkinListTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        window_ = std::make_unique<QWidget>();
        window_->resize(400, 300);
        list_ = new CSkinListCtrl(window_.get(), 1003);
        list_->setGeometry(10, 10, 380, 200);
        list_->setHeaderLabels(
            {QString::fromUtf8("ファイル名"), QString::fromUtf8("フロントカメラ")});
        for (int i = 0; i < 3; ++i)
            list_->AddItem(
                {QStringLiteral("NA%1.AVI").arg(i), QStringLiteral("%1 MB").arg(10 + i)});
        ASSERT_TRUE(test::ShowAndWait(window_.get()));
    }
    QPoint RowCentre(int row) const {
        return list_->visualItemRect(list_->topLevelItem(row)).center();
    }
    void MoveTo(QPoint viewportPoint) { QTest::mouseMove(list_->viewport(), viewportPoint); }

    test::ScopedScale scale_{1.0f};
    std::unique_ptr<QWidget> window_;
    CSkinListCtrl* list_ = nullptr;
};

TEST_F(SkinListTest, AnItemClickedTwiceIsUncheckedAgain) {
    QSignalSpy changes(list_, &CSkinListCtrl::ItemStateChanged);
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, RowCentre(1));
    EXPECT_TRUE(list_->IsChecked(1));
    // Well apart, so the second click is not a double click.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, RowCentre(1));
    EXPECT_FALSE(list_->IsChecked(1));
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(0).at(1).toInt(), kListChecked);
    EXPECT_EQ(changes.at(1).at(1).toInt(), kListUnchecked);
    EXPECT_FALSE(list_->IsChecked(0));
    EXPECT_FALSE(list_->IsChecked(2));
}

TEST_F(SkinListTest, TheRowUnderTheMouseLightsUpUnlessChecked) {
    MoveTo(RowCentre(0));
    WAIT_FOR(list_->HotItem() == 0);
    EXPECT_EQ(list_->ItemState(0), kListHot);
    MoveTo(RowCentre(2));
    WAIT_FOR(list_->HotItem() == 2);
    EXPECT_EQ(list_->ItemState(0), kListUnchecked);
    EXPECT_EQ(list_->ItemState(2), kListHot);
    // A checked row stays checked under the mouse.
    list_->SetItemState(1, kListChecked);
    MoveTo(RowCentre(1));
    WAIT_FOR(list_->HotItem() == -1);
    EXPECT_EQ(list_->ItemState(1), kListChecked);
    EXPECT_EQ(list_->ItemState(2), kListUnchecked);
    // Leaving the list puts the hot row back.
    MoveTo(RowCentre(0));
    WAIT_FOR(list_->HotItem() == 0);
    QTest::mouseMove(window_.get(), QPoint(395, 295));
    WAIT_FOR(list_->HotItem() == -1);
    EXPECT_EQ(list_->ItemState(0), kListUnchecked);
}

TEST_F(SkinListTest, SpaceChecksTheCurrentRow) {
    list_->setFocus();
    list_->setCurrentItem(list_->topLevelItem(2));
    QTest::keyClick(list_, Qt::Key_Space);
    EXPECT_TRUE(list_->IsChecked(2));
    QTest::keyClick(list_, Qt::Key_Space);
    EXPECT_FALSE(list_->IsChecked(2));
}

}  // namespace
}  // namespace trivexa
