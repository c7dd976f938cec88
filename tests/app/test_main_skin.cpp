// The main window's skin pieces on a real display: the skin image set, the
// background and title kept by the off-screen surface, the buttons, the lap
// time area and the logo window; and a preview of the whole window with every
// child's rectangle from the layout filled in and the two detached windows at
// their first places, saved at scales 1.0 and 1.5 under build/tests/viewer/.
#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QSignalSpy>

#include "app/core/layout_scale.h"
#include "app/core/main_layout.h"
#include "app/core/ui_strings.h"
#include "app/lap_time_area.h"
#include "app/logo_dlg.h"
#include "app/main_buttons.h"
#include "app/main_skin.h"
#include "app/resource_image.h"
#include "controls/core/skin_table.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "controls/skin_pictures.h"
#include "controls/widget_test_util.h"
#include "panels/movie_dialog.h"

namespace trivexa {
namespace {

QString ViewerShot(const QString& name, float s) {
    const QString dir = QStringLiteral(TRIVEXA_BINARY_DIR "/tests/viewer");
    QDir().mkpath(dir);
    return dir + QStringLiteral("/%1_s%2.png").arg(name).arg(s, 0, 'f', 1);
}

// Fonts and pictures as a screen of 96·s dpi gives them.
void UseScale(float s) {
    SetLayoutScale(s);
    const int dpi = static_cast<int>(96 * s);
    CreateSharedFonts(ComputeScaleAndFonts({1.0f, dpi, dpi, 4000}));
    ClearSkinPictureCache();
}

class MainSkin : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        UseScale(1.0f);
    }
    void TearDown() override {
        SetLayoutScale(1.0f);
        DeleteSharedFonts();
    }
};

TEST_F(MainSkin, SkinSetHoldsEveryPictureAtTheScale) {
    CResourceImage skin;
    EXPECT_FALSE(skin.Loaded());
    skin.Load(1.0f);
    const int total = static_cast<int>(CResourceImage::SetOrder().size() +
                                       CResourceImage::EventIconOrder().size());
    EXPECT_EQ(total, 46 + 17);
    EXPECT_EQ(skin.LoadedCount(), total);
    const QPixmap background = skin.Picture(skin::kWindowBackground);
    EXPECT_EQ(background.deviceIndependentSize().toSize(), QSize(96, 96));
    EXPECT_TRUE(skin.Picture(skin::kToStart).isNull());  // a button, not part of the set
    EXPECT_TRUE(skin.PictureAt(9999, QSize(10, 10)).isNull());
    EXPECT_FALSE(skin.EventIcon(0).isNull());
    EXPECT_FALSE(skin.EventIcon(16).isNull());
    EXPECT_TRUE(skin.EventIcon(17).isNull());
    EXPECT_FALSE(skin.FrameBrush().texture().isNull());
    EXPECT_FALSE(skin.AppIcon().isNull());
    const int generation = skin.Generation();
    skin.Load(1.5f);
    EXPECT_EQ(skin.Generation(), generation + 1);
    EXPECT_EQ(skin.Picture(skin::kWindowBackground).deviceIndependentSize().toSize(),
              QSize(144, 144));
    const QSize badge = SkinDesignSize(skin::kBadges[0]);
    EXPECT_EQ(skin.Picture(skin::kBadges[0]).deviceIndependentSize().toSize(),
              QSize(Units(badge.width(), 1.5f), Units(badge.height(), 1.5f)));
}

TEST_F(MainSkin, BackgroundIsDrawnOnceForASizeAndShowsSkinAndTitle) {
    CResourceImage skin;
    skin.Load(1.0f);
    COffScreenDC offscreen;
    const QSize size(1120, 697);
    QImage image = offscreen.Background(size, 1.0f, 1.0, skin).toImage();
    EXPECT_EQ(offscreen.Renders(), 1);
    offscreen.Background(size, 1.0f, 1.0, skin);
    EXPECT_EQ(offscreen.Renders(), 1);  // copied, not drawn again
    offscreen.Background(QSize(1200, 697), 1.0f, 1.0, skin);
    EXPECT_EQ(offscreen.Renders(), 2);
    skin.Load(1.0f);
    image = offscreen.Background(size, 1.0f, 1.0, skin).toImage();
    EXPECT_EQ(offscreen.Renders(), 3);  // a reloaded skin is noticed

    // The caption band's gradient at the top, the body below, the skin's edge
    // line at the right, all the way along.
    EXPECT_TRUE(test::Near(image.pixelColor(600, 12), QColor(0x29, 0x2e, 0x35), 10));
    EXPECT_TRUE(test::Near(image.pixelColor(600, 300), QColor(0x1b, 0x1e, 0x23), 4));
    EXPECT_TRUE(test::Near(image.pixelColor(300, 690), QColor(0x1b, 0x1e, 0x23), 4));
    EXPECT_TRUE(test::Near(image.pixelColor(1119, 300), QColor(0x43, 0x4b, 0x55), 14));
    EXPECT_TRUE(test::Near(image.pixelColor(600, 696), QColor(0x43, 0x4b, 0x55), 14));
    // The title: white text in its box, nothing white outside it.
    int whiteIn = 0;
    int whiteOut = 0;
    const FrameRect title = TitleRect(1.0f);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 500; ++x) {
            const bool white = qGray(image.pixel(x, y)) > 200;
            const bool inside =
                x >= title.left && x < title.right && y >= title.top && y < title.bottom;
            (inside ? whiteIn : whiteOut) += white ? 1 : 0;
        }
    EXPECT_GT(whiteIn, 30);
    EXPECT_EQ(whiteOut, 0);
}

TEST_F(MainSkin, ButtonsFollowTheMainWindowsState) {
    QWidget window;
    window.resize(1120, 697);
    MainButtons buttons(&window);
    buttons.Rescale(1.0f);
    const MainLayout layout = LayOutChildren({1120, 697}, MainWindowSizes(1120, 697, 1.0f), 1.0f);
    buttons.Place(layout);
    ASSERT_TRUE(test::ShowAndWait(&window));
    for (int i = 0; i < kControlButtonCount; ++i) {
        const FrameRect& r = layout.controlButtons[i];
        EXPECT_EQ(buttons.Control(i)->geometry(), QRect(r.left, r.top, r.Width(), r.Height()));
        EXPECT_EQ(buttons.Control(i)->PictureSize(), QSize(32, 32));
        EXPECT_TRUE(buttons.Control(i)->isVisible());
    }
    EXPECT_EQ(buttons.Caption(0)->geometry(), QRect(1064, 0, 46, 18));
    EXPECT_EQ(buttons.Caption(0)->PictureNumber(), 155);
    EXPECT_EQ(buttons.Caption(1)->PictureSize(), QSize(26, 18));
    EXPECT_EQ(buttons.Control(button::kSwapScreens)->toolTip(), QString::fromUtf8(UiString(147)));

    EXPECT_EQ(buttons.Control(button::kPlayPause)->PictureNumber(), 148);
    buttons.SetPlayFace(true);
    EXPECT_EQ(buttons.Control(button::kPlayPause)->PictureNumber(), 147);
    EXPECT_EQ(buttons.Control(button::kPlayPause)->toolTip(), QString::fromUtf8(UiString(11)));
    buttons.Rescale(1.5f);  // the face survives a rescale
    EXPECT_EQ(buttons.Control(button::kPlayPause)->PictureNumber(), 147);
    EXPECT_EQ(buttons.Control(button::kPlayPause)->PictureSize(), QSize(48, 48));
    buttons.Rescale(1.0f);

    buttons.SetToggled(button::kZoomMode, true);
    EXPECT_TRUE(buttons.Control(button::kZoomMode)->Latched());
    buttons.UpdateMaximiseTooltip(true, false);
    EXPECT_EQ(buttons.Caption(1)->toolTip(), QString::fromUtf8(UiString(178)));

    EnablingInput in;  // an empty source: browse only
    buttons.Apply(EnableButtons(in));
    for (int i = 0; i < kControlButtonCount; ++i)
        EXPECT_EQ(buttons.Control(i)->isEnabled(), i == button::kBrowse || i == button::kCsv) << i;
    EXPECT_TRUE(buttons.Caption(0)->isEnabled());

    QSignalSpy commands(&buttons, &MainButtons::Command);
    QTest::mouseClick(buttons.Control(button::kBrowse), Qt::LeftButton);
    QTest::mouseClick(buttons.Control(button::kStop), Qt::LeftButton);  // disabled
    QTest::mouseClick(buttons.Caption(2), Qt::LeftButton);
    ASSERT_EQ(commands.count(), 2);
    EXPECT_EQ(commands[0][0].toInt(), 38011);
    EXPECT_EQ(commands[1][0].toInt(), 18);
}

TEST_F(MainSkin, LapTimeAreaAndLogoWindow) {
    QImage image(200, 40, QImage::Format_RGB32);
    image.fill(Qt::red);
    {
        QPainter p(&image);
        CLapTimeArea lap;
        lap.Bind();
        EXPECT_EQ(lap.Font(), SharedFont(2));
        lap.Fill(p, QRect(0, 0, 200, 40));
        lap.DrawText(p, QRect(4, 0, 196, 40), QStringLiteral("00:12:34"));
    }
    EXPECT_EQ(image.pixelColor(199, 39), QColor(0x3F, 0x3F, 0x3F));
    int white = 0;
    for (int x = 0; x < 200; ++x) white += qGray(image.pixel(x, 20)) > 200 ? 1 : 0;
    EXPECT_GT(white, 5);

    CResourceImage skin;
    skin.Load(1.0f);
    QWidget host;
    host.resize(444, 349);
    CLogoDlg logo(&skin, &host);
    logo.setGeometry(0, 0, 444, 349);
    ASSERT_TRUE(test::ShowAndWait(&host));
    logo.SetVisibleFlag(false);
    PostMessageTo(&logo, UM_LOGO_SHOW);
    QTest::qWait(20);
    EXPECT_FALSE(logo.isVisible());
    logo.SetVisibleFlag(true);
    EXPECT_FALSE(logo.isVisible());  // only the message shows it
    PostMessageTo(&logo, UM_LOGO_SHOW);
    QTest::qWait(20);
    EXPECT_TRUE(logo.isVisible());

    EXPECT_EQ(logo.PictureNumber(), skin::kMapUnavailable);  // no map at first
    const QImage noMap = test::Grab(&logo);
    logo.SetVariant(LogoVariant::kLogo);
    EXPECT_EQ(logo.PictureNumber(), skin::kLogo);
    const QImage plain = test::Grab(&logo);
    logo.SetModelCode(2);
    EXPECT_EQ(logo.PictureNumber(), skin::kLogoPl35);
    const QImage pl35 = test::Grab(&logo);
    EXPECT_NE(noMap, plain);
    EXPECT_NE(plain, pl35);
    EXPECT_EQ(CLogoDlg::LogoForModel(1), skin::kLogoPl21);
    EXPECT_EQ(CLogoDlg::LogoForModel(7), skin::kLogo);
    EXPECT_TRUE(pl35.save(ViewerShot(QStringLiteral("logo_pl35"), 1.0f)));
    EXPECT_TRUE(noMap.save(ViewerShot(QStringLiteral("logo_no_map"), 1.0f)));
}

// The main window as the layout places its children: the skinned
// background, every child's rectangle filled and named, the real buttons.
class Preview : public QWidget {
public:
    Preview(const CResourceImage* skin, float s) : skin_(skin), s_(s) {
        const FrameSize base = MainBaseSize(s);
        resize(base.width, base.height);
        layout_ = LayOutChildren(base, MainWindowSizes(base.width, base.height, s), s);
        buttons_ = new MainButtons(this);
        buttons_->Rescale(s);
        buttons_->Place(layout_);
        buttons_->Apply(EnableButtons(Playing()));
        buttons_->SetPlayFace(true);
    }
    const MainLayout& Layout() const { return layout_; }
    COffScreenDC offscreen;

protected:
    static EnablingInput Playing() {
        EnablingInput in;
        in.rowCount = 5;
        in.currentRow = 2;
        in.dataCameraExists = true;
        in.dataState = PlayState::kPlaying;
        in.rearPresent = true;
        in.sdCardSource = true;
        return in;
    }
    void Fill(QPainter& p, const FrameRect& r, QColor colour, const QString& name) {
        const QRect q(r.left, r.top, r.Width(), r.Height());
        p.fillRect(q, colour);
        p.setPen(QColor(255, 255, 255, 200));
        p.drawRect(q.adjusted(0, 0, -1, -1));
        p.setFont(SharedFont(1));
        p.drawText(q.adjusted(Units(4, s_), 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1  %2 × %3").arg(name).arg(r.Width()).arg(r.Height()));
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawPixmap(0, 0, offscreen.Background(size(), s_, devicePixelRatioF(), *skin_));
        Fill(p, layout_.videoSurface, QColor(0, 0, 0), QStringLiteral("video surface"));
        Fill(p, layout_.seekSlider, QColor(70, 110, 200, 200), QStringLiteral("seek"));
        Fill(p, layout_.tripPanel, QColor(60, 60, 60, 220), QStringLiteral("trip panel"));
        Fill(p, layout_.graph, QColor(20, 60, 40, 220), QStringLiteral("acceleration graph"));
        Fill(p, layout_.browser, QColor(40, 45, 70, 220), QStringLiteral("browser"));
        Fill(p, layout_.volumeSlider, QColor(70, 110, 200, 200), QString());
    }

private:
    const CResourceImage* skin_;
    float s_;
    MainLayout layout_;
    MainButtons* buttons_ = nullptr;
};

TEST_F(MainSkin, PreviewOfTheWholeWindowAtBothScales) {
    for (float s : {1.0f, 1.5f}) {
        UseScale(s);
        CResourceImage skin;
        skin.Load(s);
        Preview window(&skin, s);
        window.move(0, 0);
        ASSERT_TRUE(test::ShowAndWait(&window));
        const MainLayout& l = window.Layout();

        // The detached windows at their first places over the browser.
        const DetachedBaseSizes bases = DeriveDetachedBaseSizes(s);
        const DetachedPlaces places =
            DetachedFirstPlaces({0, 0}, l.videoRect, l.browser, s, bases, {}, {});
        CMovieDialog map;
        map.SetCaption(151);
        map.setGeometry(places.map.left, places.map.top, places.map.Width(), places.map.Height());
        const FrameRect content = DetachedContentRect({places.map.Width(), places.map.Height()}, s);
        CLogoDlg logo(&skin, &map);
        logo.setGeometry(content.left, content.top, content.Width(), content.Height());
        logo.SetVariant(LogoVariant::kLogo);
        CMovieDialog secondary;
        secondary.SetCaption(146);
        secondary.setGeometry(places.secondary.left, places.secondary.top, places.secondary.Width(),
                              places.secondary.Height());
        ASSERT_TRUE(test::ShowAndWait(&map));
        ASSERT_TRUE(test::ShowAndWait(&secondary));

        QImage shot = test::Grab(&window);
        {
            QPainter p(&shot);
            p.drawImage(places.map.left, places.map.top, test::Grab(&map));
            p.drawImage(places.secondary.left, places.secondary.top, test::Grab(&secondary));
        }
        EXPECT_TRUE(shot.save(ViewerShot(QStringLiteral("main_window"), s)));
        EXPECT_EQ(shot.size(), QSize(Units(1120, s), Units(697, s)));
        // Each control button shows its picture over the skin.
        const QImage bare = window.offscreen.Background(window.size(), s, 1.0, skin).toImage();
        for (int i = 0; i < kControlButtonCount; ++i) {
            const FrameRect& r = l.controlButtons[i];
            int differ = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    differ += shot.pixel(x, y) != bare.pixel(x, y) ? 1 : 0;
            EXPECT_GT(differ, r.Width() * r.Height() / 10) << "button " << i << " at " << s;
        }
    }
}

}  // namespace
}  // namespace trivexa
