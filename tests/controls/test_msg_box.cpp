// The message box: sizes from the measured text, button slots by type, the
// answers, centring, and messages too large for the screen.
#include <QScreen>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "app/core/ui_strings.h"
#include "controls/msg_box.h"
#include "controls/screens.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "widget_test_util.h"

namespace trivexa {
namespace {

// Runs `act` on the next message box once it is shown (from its modal loop).
void WhenBoxShown(std::function<void(CMsgDlg*)> act) {
    QTimer::singleShot(10, [act] {
        auto* box = qobject_cast<CMsgDlg*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            WhenBoxShown(act);  // not shown yet
            return;
        }
        act(box);
    });
}

// Answers the next message box with its first or second button.
void AnswerNextBox(int button) {
    WhenBoxShown([button](CMsgDlg* box) {
        CSkinButton* b = button == 1 ? box->FirstButton() : box->SecondButton();
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    });
}

TEST(MsgBox, ATwoLineMessageIsOneLineTaller) {
    REQUIRE_DISPLAY();
    test::ScopedScale scale(1.0f);
    CMsgDlg one(nullptr, QString::fromUtf8("動画のオープンに失敗しました。"), "ERROR",
                MsgBoxType::kOk);
    CMsgDlg two(nullptr, QString::fromUtf8("動画のオープンに失敗しました。\n動画のオープン"),
                "ERROR", MsgBoxType::kOk);
    const int lineHeight = QFontMetrics(SharedFont(2)).height();
    EXPECT_EQ(two.height() - one.height(), lineHeight);
    EXPECT_EQ(two.width(), one.width());
    EXPECT_EQ(one.width(), one.TextSize().width() + 80);
    EXPECT_EQ(one.height(), lineHeight + 140);
}

TEST(MsgBox, ButtonSlotsByType) {
    REQUIRE_DISPLAY();
    test::ScopedScale scale(1.0f);
    const QString text = QString::fromUtf8(UiString(172));
    CMsgDlg ok(nullptr, text, "ERROR", MsgBoxType::kOk);
    EXPECT_FALSE(ok.SecondButton()->isVisibleTo(&ok));
    EXPECT_EQ(ok.FirstButton()->geometry(), QRect(ok.width() - 115, ok.height() - 45, 100, 30));
    EXPECT_EQ(ok.FirstButton()->text(), QStringLiteral("OK"));

    CMsgDlg okCancel(nullptr, text, "ERROR", MsgBoxType::kOkCancel);
    EXPECT_EQ(okCancel.SecondButton()->geometry(),
              QRect(okCancel.width() - 115, okCancel.height() - 45, 100, 30));
    EXPECT_EQ(okCancel.FirstButton()->geometry(),
              QRect(okCancel.width() - 230, okCancel.height() - 45, 100, 30));
    EXPECT_EQ(okCancel.SecondButton()->text(), QString::fromUtf8("キャンセル"));

    CMsgDlg yesNo(nullptr, text, QString::fromUtf8(UiString(kUiConfirmTitle)), MsgBoxType::kYesNo);
    EXPECT_EQ(yesNo.FirstButton()->text(), QString::fromUtf8(UiString(175)));
    EXPECT_EQ(yesNo.SecondButton()->text(), QString::fromUtf8(UiString(176)));
    EXPECT_EQ(yesNo.windowTitle(), QString::fromUtf8("確認"));
}

TEST(MsgBox, AShortQuestionStillShowsBothButtonsInsideTheBox) {
    REQUIRE_DISPLAY();
    test::ScopedScale scale(1.0f);
    CMsgDlg box(nullptr, QStringLiteral("?"), "ERROR", MsgBoxType::kYesNo);
    EXPECT_GE(box.FirstButton()->geometry().left(), 15);
    EXPECT_TRUE(box.rect().contains(box.SecondButton()->geometry()));
}

TEST(MsgBox, YesAnswersOneAndNoAnswersTwo) {
    REQUIRE_DISPLAY();
    CMsgBox box;
    AnswerNextBox(1);
    EXPECT_EQ(box.Show(UiString(172), UiString(kUiConfirmTitle), 4), 1);
    AnswerNextBox(2);
    EXPECT_EQ(box.Show(UiString(172), UiString(kUiConfirmTitle), 4), 2);
    AnswerNextBox(1);
    EXPECT_EQ(box.Show(UiString(96), "ERROR", 0), 1);
    AnswerNextBox(2);
    EXPECT_EQ(box.Show(QString::fromUtf8(UiString(90)), "ERROR", MsgBoxType::kOkCancel),
              MsgBoxResult::kSecond);
}

TEST(MsgBox, EscapeDoesNotAnswerButSpaceOnTheFocusedButtonDoes) {
    REQUIRE_DISPLAY();
    WhenBoxShown([](CMsgDlg* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->focusWidget(), box->FirstButton());
        QTest::keyClick(box->FirstButton(), Qt::Key_Space);
    });
    CMsgBox box;
    EXPECT_EQ(box.Show(UiString(172), UiString(kUiConfirmTitle), 4), 1);
}

TEST(MsgBox, CentredOnTheDesktopWithoutAnOwnerAndOverTheOwnerWithOne) {
    REQUIRE_DISPLAY();
    test::ScopedScale scale(1.0f);
    CMsgDlg alone(nullptr, QString::fromUtf8(UiString(99)), "ERROR", MsgBoxType::kOk);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((alone.geometry().center() - screenCentre).manhattanLength(), 2);

    QWidget owner;
    owner.setGeometry(200, 150, 700, 500);
    CMsgDlg over(&owner, QString::fromUtf8(UiString(99)), "ERROR", MsgBoxType::kOk);
    EXPECT_LE((over.geometry().center() - owner.frameGeometry().center()).manhattanLength(), 2);
}

TEST(MsgBox, HugeMessagesStayOnScreen) {
    REQUIRE_DISPLAY();
    test::ScopedScale scale(1.0f);
    const QRect work = WorkArea(QGuiApplication::primaryScreen()->geometry().center());

    QString longText;
    while (longText.size() < 10000)
        longText += QString::fromUtf8("ファイルが破損しています。修復 ");
    CMsgDlg big(nullptr, longText.left(10000), "ERROR", MsgBoxType::kYesNo);
    EXPECT_TRUE(work.contains(big.geometry()))
        << big.x() << "," << big.y() << " " << big.width() << "x" << big.height() << " in "
        << work.width() << "x" << work.height();

    // More lines than the screen holds: the box fills the work area's height
    // and the text scrolls inside it.
    QStringList many;
    for (int i = 0; i < 300; ++i) many << QStringLiteral("line %1").arg(i);
    CMsgDlg tall(nullptr, many.join(QLatin1Char('\n')), "ERROR", MsgBoxType::kOk);
    EXPECT_TRUE(work.contains(tall.geometry())) << tall.height();
    EXPECT_TRUE(tall.Scrolls());
    EXPECT_EQ(tall.ShownText(), many.join(QLatin1Char('\n')));

    const QString wideLine(2000, QLatin1Char('x'));
    CMsgDlg wide(nullptr, wideLine, "ERROR", MsgBoxType::kOk);
    EXPECT_TRUE(work.contains(wide.geometry())) << wide.width() << "x" << wide.height();
    EXPECT_FALSE(wide.Scrolls());
    const QStringList lines = wide.ShownText().split(QLatin1Char('\n'));
    EXPECT_GT(lines.size(), 1);
    EXPECT_EQ(lines.join(QString()), wideLine);  // wrapped, nothing lost
}

TEST(MsgBox, LineBreaksOfTheStringTableAreHonoured) {
    REQUIRE_DISPLAY();
    CMsgDlg box(nullptr, QString::fromUtf8(UiString(185)), "ERROR", MsgBoxType::kOk);
    const QStringList lines = box.ShownText().split(QLatin1Char('\n'));
    EXPECT_GE(lines.size(), 5);
    for (const QString& line : lines) EXPECT_FALSE(line.contains(QLatin1Char('\r')));
}

TEST(MsgBox, AWorkerThreadWaitsForTheAnswer) {
    REQUIRE_DISPLAY();
    std::atomic<int> answer{0};
    std::thread worker([&] {
        CMsgBox box;
        answer = box.Show(UiString(94), "ERROR", 1);
    });
    AnswerNextBox(2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.load() == 2; }, 10000));
    worker.join();
}

}  // namespace
}  // namespace trivexa
