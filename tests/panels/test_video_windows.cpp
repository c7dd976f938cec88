// The video windows on real players: forge clips play into two CMovieStatic
// surfaces, one in a stand-in main window and one in a CMovieDialog, and the
// tests check what reaches the owner (ready and end notices by camera, clicks,
// double clicks, the context menu, graph notices), what an erase draws, that a
// surface keeps showing pictures after it moves to another window, and what
// the detached window tells its owner. Screenshots go to build/tests/panels/.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStyleHints>
#include <algorithm>
#include <optional>

#include "app/core/main_layout.h"
#include "app/core/screen_zoom.h"
#include "app/core/ui_strings.h"
#include "controls/skin_button.h"
#include "controls/widget_test_util.h"
#include "panels/movie_dialog.h"
#include "panels/movie_static.h"
#include "playback/playback_fixture.h"
#include "playback/player_pair.h"
#include "playback/player_rules.h"

namespace trivexa {
namespace {

using test::ClipOptions;
using test::ForgeClip;
using test::FrameShown;
using test::WaitUntil;

constexpr const char* kFrontName = "A___-230716-101500-000020F.AVI";
constexpr const char* kRearName = "A___-230716-101500-000020R.AVI";

QString ScreenshotPath(const QString& name) {
    const QString dir = QStringLiteral(TRIVEXA_BINARY_DIR "/tests/panels");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

// The main window's part: it owns the surfaces, answers their questions
// from the real players and records every call and posted message.
class Owner : public test::RecordingWindow, public MovieStaticOwner {
public:
    void OnPlayerReady(std::uintptr_t wParam, int camera) override {
        ready.push_back(camera);
        (void)wParam;
    }
    void OnPlayerEnded(std::uintptr_t, int camera) override { ended.push_back(camera); }
    void OnGraphNotify(int camera) override { graph.push_back(camera); }
    void OnVideoMenu(QPoint globalPoint, CMovieStatic* surface) override {
        menus.push_back(globalPoint);
        menuSurfaces.push_back(surface);
    }
    void OnVideoZoomAt(int screen, QPoint clientPoint) override {
        zooms.push_back({screen, clientPoint});
    }
    void OnToggleFullScreen() override { ++toggles; }
    int PrimaryScreen() const override { return primary; }
    CameraClip ClipOf(int camera) const override {
        if (camera < 0 || camera > 2) return {};
        if (forced[camera]) return *forced[camera];
        if (pair == nullptr) return {};
        Camera which = camera == 1 ? Camera::Rear : Camera::Front;
        if (camera == 2) {
            const std::optional<Camera> data = pair->DataCamera();
            if (!data) return {};
            which = *data;
        }
        const MoviePlayer& p = pair->Player(which);
        return {p.IsPresent(), p.State() != PlayerState::kClosed,
                p.State() == PlayerState::kPlaying};
    }
    int Count(unsigned message) const {
        return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                              [&](const auto& m) { return m.message == message; }));
    }

    PlayerPair* pair = nullptr;
    int primary = 0;
    std::optional<CameraClip> forced[3];
    std::vector<int> ready, ended, graph;
    std::vector<QPoint> menus;
    std::vector<CMovieStatic*> menuSurfaces;
    std::vector<std::pair<int, QPoint>> zooms;
    int toggles = 0;
};

class VideoWindows : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        owner = std::make_unique<Owner>();
        owner->resize(360, 240);
        front = new CMovieStatic(owner.get());
        front->setGeometry(10, 10, 320, 192);
        front->SetCameraIndex(0);
        front->SetOwner(owner.get());

        dialog = std::make_unique<CMovieDialog>(owner.get());
        dialog->resize(340, 220);
        rear = new CMovieStatic(dialog.get());
        PlaceInDialog();
        rear->SetCameraIndex(1);
        rear->SetOwner(owner.get());

        ASSERT_TRUE(pair.Player(Camera::Front).Initialise(front, front));
        ASSERT_TRUE(pair.Player(Camera::Rear).Initialise(rear, rear));
        owner->pair = &pair;
        ASSERT_TRUE(test::ShowAndWait(owner.get()));
        dialog->move(owner->geometry().right() + 20, owner->y());
        ASSERT_TRUE(test::ShowAndWait(dialog.get()));

        ClipOptions f;  // 30 fps, 2.5 s
        f.frames = 75;
        frontClip = ForgeClip("video-windows", f, kFrontName);
        ClipOptions r = f;
        r.camera = 'R';
        r.audio = false;
        rearClip = ForgeClip("video-windows", r, kRearName);
        ASSERT_FALSE(frontClip.empty());
        ASSERT_FALSE(rearClip.empty());
    }
    void TearDown() override {
        pair.CloseBoth();
        for (Camera c : {Camera::Front, Camera::Rear}) pair.Player(c).Release();
    }
    void PlaceInDialog() {
        const FrameSize size{dialog->width(), dialog->height()};
        const FrameRect c = DetachedContentRect(size, LayoutScale());
        rear->setGeometry(c.left, c.top, c.Width(), c.Height());
    }
    // Opens the clips (either may be empty) and waits for every ready notice.
    void Open(const std::string& f, const std::string& r, int expectedReady) {
        ASSERT_TRUE(AnyOpened(pair.OpenBoth(f, r)));
        ASSERT_TRUE(
            WaitUntil([&] { return static_cast<int>(owner->ready.size()) == expectedReady; }));
        ASSERT_TRUE(pair.SetZoom({}, false));
    }
    int ShownBy(CMovieStatic* s) { return FrameShown(s->CurrentImage()); }
    // Draws the surface as it is on screen (the erase rules included).
    QImage Drawn(CMovieStatic* s) {
        s->update();
        return s->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    }
    static int BrightPixels(const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) > 160 ? 1 : 0;
        return n;
    }

    std::unique_ptr<Owner> owner;
    std::unique_ptr<CMovieDialog> dialog;
    CMovieStatic* front = nullptr;
    CMovieStatic* rear = nullptr;
    std::filesystem::path frontClip, rearClip;
    PlayerPair pair;  // destroyed first: the players draw into the surfaces
};

TEST_F(VideoWindows, PlayerNoticesReachTheOwnerByCamera) {
    Open(frontClip.string(), rearClip.string(), 2);
    std::vector<int> ready = owner->ready;
    std::sort(ready.begin(), ready.end());
    EXPECT_EQ(ready, (std::vector<int>{0, 1}));

    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 30));
    ASSERT_TRUE(WaitUntil([&] { return ShownBy(front) == 30 && ShownBy(rear) == 30; }))
        << ShownBy(front) << " " << ShownBy(rear);
    Drawn(rear);
    EXPECT_EQ(rear->LastErase(), SurfaceErase::kPicture);

    ASSERT_TRUE(pair.Play(CameraSelector::kBoth));
    ASSERT_TRUE(WaitUntil([&] { return owner->ended.size() == 2; }, 8000));
    std::vector<int> ended = owner->ended;
    std::sort(ended.begin(), ended.end());
    EXPECT_EQ(ended, (std::vector<int>{0, 1}));
}

TEST_F(VideoWindows, ASurfaceWithoutItsCameraSaysSo) {
    Open(frontClip.string(), "", 1);
    ASSERT_EQ(owner->ready, (std::vector<int>{0}));
    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 10));
    QImage rearImage = Drawn(rear);
    EXPECT_EQ(rear->LastErase(), SurfaceErase::kNoRearVideo);
    EXPECT_GT(BrightPixels(rearImage), 40);  // the text of UI string 171
    EXPECT_TRUE(rearImage.save(ScreenshotPath(QStringLiteral("no_rear_video.png"))));
    Drawn(front);
    EXPECT_EQ(front->LastErase(), SurfaceErase::kPicture);

    // Blank wins over everything.
    front->SetBlank(true);
    EXPECT_EQ(BrightPixels(Drawn(front)), 0);
    EXPECT_EQ(front->LastErase(), SurfaceErase::kBlack);
    front->SetBlank(false);

    // Nothing open: both black.
    pair.CloseBoth();
    EXPECT_EQ(BrightPixels(Drawn(rear)), 0);
    EXPECT_EQ(rear->LastErase(), SurfaceErase::kBlack);
    EXPECT_EQ(BrightPixels(Drawn(front)), 0);

    // Only the rear file: the front surface says there is no front video.
    owner->ready.clear();
    Open("", rearClip.string(), 1);
    EXPECT_GT(BrightPixels(Drawn(front)), 40);
    EXPECT_EQ(front->LastErase(), SurfaceErase::kNoFrontVideo);
}

TEST_F(VideoWindows, SingleClickIsReportedAfterTheDoubleClickTime) {
    const int dc = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(front, Qt::LeftButton, {}, QPoint(40, 30));
    EXPECT_TRUE(owner->zooms.empty());
    ASSERT_TRUE(WaitUntil([&] { return !owner->zooms.empty(); }, dc * 4));
    EXPECT_GE(clock.elapsed(), dc - 20);
    EXPECT_EQ(owner->zooms[0], (std::pair<int, QPoint>{0, QPoint(40, 30)}));

    // A double click on the primary surface toggles full screen and is not
    // also a click.
    owner->zooms.clear();
    QTest::mouseDClick(front, Qt::LeftButton, {}, QPoint(50, 50));
    test::RunEventsFor(dc * 2);
    EXPECT_EQ(owner->toggles, 1);
    EXPECT_TRUE(owner->zooms.empty());

    // Not in zoom mode, and not on the secondary surface.
    front->SetZoomMode(true);
    EXPECT_EQ(front->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseDClick(front, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseDClick(rear, Qt::LeftButton, {}, QPoint(50, 50));
    test::RunEventsFor(dc * 2);
    EXPECT_EQ(owner->toggles, 1);
    front->SetZoomMode(false);
    EXPECT_NE(front->cursor().shape(), Qt::BitmapCursor);

    // The rear surface reports its clicks with its own index.
    QTest::mouseClick(rear, Qt::LeftButton, {}, QPoint(7, 8));
    ASSERT_TRUE(WaitUntil([&] { return !owner->zooms.empty(); }, dc * 4));
    EXPECT_EQ(owner->zooms[0], (std::pair<int, QPoint>{1, QPoint(7, 8)}));
}

TEST_F(VideoWindows, ContextMenuAndGraphNotices) {
    const QPoint at(25, 35);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, front->mapToGlobal(at));
    QCoreApplication::sendEvent(front, &menu);
    ASSERT_EQ(owner->menus.size(), 1u);
    EXPECT_EQ(owner->menus[0], front->mapToGlobal(at));
    EXPECT_EQ(owner->menuSurfaces[0], front);

    // With a rear clip only the rear surface speaks for the graph.
    owner->forced[1] = CameraClip{true, true, false};
    PostMessageTo(front, UM_GRAPH_NOTIFY);
    PostMessageTo(rear, UM_GRAPH_NOTIFY);
    PostMessageTo(front, kWmApp + 0x3E9);
    test::RunEventsFor(50);
    EXPECT_EQ(owner->graph, (std::vector<int>{1}));
    owner->forced[1] = CameraClip{true, false, false};
    PostMessageTo(front, UM_GRAPH_NOTIFY);
    test::RunEventsFor(50);
    EXPECT_EQ(owner->graph, (std::vector<int>{1, 0}));
}

TEST_F(VideoWindows, ASurfaceKeepsShowingAfterMovingToAnotherWindow) {
    Open(frontClip.string(), rearClip.string(), 2);
    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 20));
    ASSERT_TRUE(WaitUntil([&] { return ShownBy(rear) == 20; }));

    // The display switch: the rear surface becomes the main window's.
    front->hide();
    rear->setParent(owner.get());
    rear->setGeometry(10, 10, 320, 192);
    rear->show();
    ASSERT_TRUE(pair.SetZoom({}, true));
    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 50));
    ASSERT_TRUE(WaitUntil([&] { return ShownBy(rear) == 50; }));
    QImage drawn = Drawn(rear);
    EXPECT_GT(BrightPixels(drawn), 100) << "the moved surface draws its picture";
    EXPECT_TRUE(drawn.save(ScreenshotPath(QStringLiteral("moved_surface.png"))));

    // And back into the detached window.
    rear->setParent(dialog.get());
    PlaceInDialog();
    rear->show();
    front->show();
    ASSERT_TRUE(pair.SetZoom({}, true));
    ASSERT_TRUE(pair.Seek(CameraSelector::kBoth, 60));
    ASSERT_TRUE(WaitUntil([&] { return ShownBy(rear) == 60 && ShownBy(front) == 60; }));
    EXPECT_GT(BrightPixels(Drawn(rear)), 100);
}

TEST_F(VideoWindows, DetachedWindowReportsToItsOwner) {
    dialog->SetCaption(146);
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(UiString(146)));
    owner->messages.clear();

    dialog->resize(400, 280);
    ASSERT_TRUE(WaitUntil([&] { return owner->Count(UM_SUBWINDOW_SIZED) > 0; }));
    for (const auto& m : owner->messages) {
        if (m.message == UM_SUBWINDOW_SIZED || m.message == UM_SUBWINDOW_PAINTED) {
            EXPECT_EQ(m.lParam, dialog->Handle());
        }
    }
    EXPECT_EQ(dialog->StoredWindowRect(), dialog->geometry());
    PlaceInDialog();
    ASSERT_TRUE(WaitUntil([&] { return owner->Count(UM_SUBWINDOW_PAINTED) > 0; }));

    // A grey border 4 pixels wide shows at the sides and the bottom.
    const QImage frame = test::Grab(dialog.get());
    const QColor grey(143, 143, 143);
    EXPECT_TRUE(test::Near(frame.pixelColor(1, 150), grey));
    EXPECT_TRUE(test::Near(frame.pixelColor(3, 150), grey));
    EXPECT_TRUE(test::Near(frame.pixelColor(398, 150), grey));
    EXPECT_TRUE(test::Near(frame.pixelColor(200, 277), grey));
    EXPECT_TRUE(frame.save(ScreenshotPath(QStringLiteral("movie_dialog.png"))));

    // A release on the frame, then a double click on the caption band.
    owner->messages.clear();
    QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, QPoint(100, 10));
    ASSERT_TRUE(WaitUntil([&] { return owner->Count(UM_VIDEO_CLICKED) == 1; }));
    for (const auto& m : owner->messages) {
        if (m.message == UM_VIDEO_CLICKED) {
            EXPECT_EQ(m.wParam, 0u);
            EXPECT_EQ(m.lParam, 2);
        }
    }
    QTest::mouseDClick(dialog.get(), Qt::LeftButton, {}, QPoint(100, 10));
    ASSERT_TRUE(WaitUntil([&] { return owner->Count(UM_SUBWINDOW_DBLCLK) == 1; }));
    // Not below the caption band.
    QTest::mouseDClick(dialog.get(), Qt::LeftButton, {}, QPoint(2, 200));
    test::RunEventsFor(100);
    EXPECT_EQ(owner->Count(UM_SUBWINDOW_DBLCLK), 1);

    // The close button: the owner is told, then the window closes.
    CSkinButton* close = dialog->CloseButton();
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->geometry(), QRect(400 - 20, 4, 13, 12));
    QTest::mouseClick(close, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return owner->Count(UM_SUBWINDOW_CLOSED) == 1; }));
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(VideoWindows, PaintedNoticesDoNotFollowEveryPicture) {
    Open(frontClip.string(), rearClip.string(), 2);
    owner->messages.clear();
    ASSERT_TRUE(pair.Play(CameraSelector::kBoth));
    const long drawsBefore = rear->DrawCount();
    test::RunEventsFor(1000);
    pair.Pause(CameraSelector::kBoth);
    // About thirty pictures were drawn in the detached window; its frame was
    // not painted again for each.
    EXPECT_GT(rear->DrawCount() - drawsBefore, 10);
    EXPECT_LT(owner->Count(UM_SUBWINDOW_PAINTED), 5);
}

// The zoom of a screen with the players' own picture layout: the picture
// point under the pointer stays there, letterboxed or stretched.
TEST(ScreenZoomWithPlayerLayout, ClickedPointStaysUnderThePointer) {
    const VideoArea video{656, 369};
    for (bool letterbox : {true, false}) {
        ZoomRecord record;
        ResetZoom(record, 0, video, 1.0f);
        PictureGeometry g;
        g.clientWidth = 656;
        g.clientHeight = 371;
        g.letterbox = letterbox;
        g.nativeWidth = 1920;
        g.nativeHeight = 1080;
        for (QPoint click : {QPoint(500, 100), QPoint(120, 300)}) {
            const ZoomArguments before = ZoomArgumentsOf(record);
            g.zoomX = before.zoomX;
            g.zoomY = before.zoomY;
            g.panX = before.panX;
            g.panY = before.panY;
            g.zoomFactor = before.factor;
            LayoutRect r0;
            ASSERT_TRUE(LayoutPicture(g, r0));
            const double fx = (click.x() - r0.left) / static_cast<double>(r0.Width());
            const double fy = (click.y() - r0.top) / static_cast<double>(r0.Height());
            ASSERT_TRUE(
                ZoomAtPoint(record, 0, {0, 0, 656, 371}, {click.x(), click.y()}, video, 1.0f));
            const ZoomArguments after = ZoomArgumentsOf(record);
            g.zoomX = after.zoomX;
            g.zoomY = after.zoomY;
            g.panX = after.panX;
            g.panY = after.panY;
            g.zoomFactor = after.factor;
            LayoutRect r1;
            ASSERT_TRUE(LayoutPicture(g, r1));
            EXPECT_NEAR(r1.left + fx * r1.Width(), click.x(), 3.0) << letterbox;
            EXPECT_NEAR(r1.top + fy * r1.Height(), click.y(), 3.0) << letterbox;
        }
        EXPECT_EQ(record.factor, 3.0f);
    }
}

}  // namespace
}  // namespace trivexa
