// The OpenGL presenter in a real window (run under xvfb-run): the picture
// lands in the destination rectangle with black around it, zoom and
// letterbox move that rectangle, mirroring flips the texture, and the
// read-back for stills equals what is on screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include "playback/movie_player.h"
#include "playback/video_presenter.h"
#include "playback/video_surface.h"
#include "playback_fixture.h"

namespace trivexa {
namespace {

using test::ClipOptions;
using test::ForgeClip;
using test::FrameShown;
using test::WaitUntil;

class PresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
            GTEST_SKIP() << "needs a display";
        presenter = std::make_unique<VideoPresenter>();
        presenter->resize(640, 480);
        presenter->show();
        ASSERT_TRUE(WaitUntil([&] { return presenter->isVisible(); }));
        ASSERT_TRUE(player.Initialise(&window, presenter.get()));
        ClipOptions o;
        o.width = 320;
        o.height = 192;  // 5:3
        clip = ForgeClip("p320", o);
        ASSERT_EQ(player.Open(clip.string()), OpenResult::kOpened);
        ASSERT_TRUE(WaitUntil([&] { return window.Count(UM_ENGINE_READY) == 1; }));
    }
    void TearDown() override {
        player.Release();
        presenter.reset();
    }
    // What the window shows now.
    QImage Screen() {
        test::RunEventsFor(60);
        return presenter->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    }
    static bool IsBlack(const QImage& img, const QRect& area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(img.pixel(x, y)) > 8) return false;
        return true;
    }
    bool ShowsFrame(int frame) {
        return WaitUntil([&] { return FrameShown(presenter->CurrentImage()) == frame; });
    }

    test::MessageLog window;
    std::unique_ptr<VideoPresenter> presenter;
    MoviePlayer player;
    std::filesystem::path clip;
};

TEST_F(PresenterTest, LetterboxedPictureWithBlackBands) {
    // 5:3 picture in a 4:3 window: full width, 384 rows, bands of 48.
    ASSERT_TRUE(player.SetZoom(0, 0, 0, 0, 1.0f, true));
    EXPECT_EQ(player.DestinationRect(), (LayoutRect{0, 48, 640, 433}));
    ASSERT_TRUE(player.Seek(21));
    ASSERT_TRUE(ShowsFrame(21));
    const QImage screen = Screen();
    ASSERT_EQ(screen.size(), QSize(640, 480));
    EXPECT_TRUE(IsBlack(screen, QRect(0, 0, 640, 46)));
    EXPECT_TRUE(IsBlack(screen, QRect(0, 436, 640, 44)));
    // The picture inside the rectangle carries the frame number.
    EXPECT_EQ(FrameShown(screen.copy(0, 48, 640, 385)), 21);
    // Stretched instead: the whole window.
    ASSERT_TRUE(player.SetKeepAspect(false));
    EXPECT_FALSE(player.KeepAspect());
    EXPECT_EQ(player.DestinationRect(), (LayoutRect{0, 0, 640, 480}));
    EXPECT_EQ(FrameShown(Screen()), 21);
}

TEST_F(PresenterTest, DestinationRectangleAndZoom) {
    // Until the geometry is set every layout is refused.
    EXPECT_FALSE(player.SetKeepAspect(false));
    EXPECT_TRUE(player.KeepAspect());
    ASSERT_TRUE(player.SetZoom(0, 0, 0, 0, 1.0f, false));
    ASSERT_TRUE(player.SetKeepAspect(false));
    ASSERT_TRUE(player.Seek(5));
    ASSERT_TRUE(ShowsFrame(5));
    // A rectangle of our own: the picture there, black everywhere else.
    ASSERT_TRUE(presenter->SetVideoPosition(QRect(100, 50, 320, 192)));
    QImage screen = Screen();
    EXPECT_TRUE(IsBlack(screen, QRect(0, 0, 640, 48)));
    EXPECT_TRUE(IsBlack(screen, QRect(0, 0, 98, 480)));
    EXPECT_TRUE(IsBlack(screen, QRect(422, 0, 218, 480)));
    EXPECT_TRUE(IsBlack(screen, QRect(0, 244, 640, 236)));
    EXPECT_EQ(FrameShown(screen.copy(100, 50, 320, 192)), 5);
    EXPECT_FALSE(IsBlack(screen, QRect(100, 50, 320, 192)));

    // Zoom 2x about the centre: the picture overflows the window, whose
    // centre shows the middle of the picture.
    ASSERT_TRUE(player.SetZoom(320, 240, 0, 0, 2.0f, true));
    EXPECT_EQ(player.DestinationRect(), (LayoutRect{-320, -240, 960, 720}));
    screen = Screen();
    // Zoomed into the road: no band of black at the sides or the bottom.
    EXPECT_FALSE(IsBlack(screen, QRect(0, 400, 8, 80)));
    EXPECT_FALSE(IsBlack(screen, QRect(632, 400, 8, 80)));
    EXPECT_EQ(FrameShown(screen), -1);  // the number row is cut by the zoom
    // Refused zoom changes nothing.
    EXPECT_FALSE(player.SetZoom(320, 240, 0, 0, 0.0f, true));
    EXPECT_EQ(player.DestinationRect(), (LayoutRect{-320, -240, 960, 720}));
}

TEST_F(PresenterTest, MirrorAndReadBackMatchTheScreen) {
    ASSERT_TRUE(player.SetZoom(0, 0, 0, 0, 1.0f, true));
    ASSERT_TRUE(player.SetKeepAspect(false));
    ASSERT_TRUE(player.Seek(44));
    ASSERT_TRUE(ShowsFrame(44));
    ASSERT_TRUE(player.ToggleMirror());
    const QImage screen = Screen();
    auto mark = test::MarkOf(screen);
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->number, 44);
    EXPECT_TRUE(mark->mirrored);

    // The still is the shown picture at native size.
    const QImage still = presenter->CurrentImage();
    ASSERT_EQ(still.size(), QSize(320, 192));
    mark = test::MarkOf(still);
    ASSERT_TRUE(mark);
    EXPECT_TRUE(mark->mirrored);
    const QImage scaledScreen =
        screen.scaled(320, 192, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double diff = 0;
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 320; ++x)
            diff += std::abs(qGray(still.pixel(x, y)) - qGray(scaledScreen.pixel(x, y)));
    EXPECT_LT(diff / (320.0 * 192.0), 4.0);
    // And equals the decoder's own picture converted on the CPU.
    const QImage cpu = SampleToImage(*presenter->CurrentSample(), true);
    diff = 0;
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 320; ++x)
            diff += std::abs(qGray(still.pixel(x, y)) - qGray(cpu.pixel(x, y)));
    EXPECT_LT(diff / (320.0 * 192.0), 2.0);

    // Playing uploads into the same textures: no allocation per picture.
    const int allocations = presenter->TextureAllocations();
    const long draws = presenter->DrawCount();
    ASSERT_TRUE(player.Play());
    ASSERT_TRUE(WaitUntil([&] { return player.Position() > 80; }));
    EXPECT_EQ(presenter->TextureAllocations(), allocations);
    EXPECT_GT(presenter->DrawCount() - draws, 15);
}

// Uploading and drawing leave the context's state as they found it: the text
// drawn over an empty surface goes through Qt's glyph cache in the same
// context, which uploads with the default unpack alignment of 4 (with 1 left
// behind, the text came out sheared).
TEST_F(PresenterTest, DrawingLeavesTheContextsStateAsItWas) {
    ASSERT_TRUE(player.SetZoom(0, 0, 0, 0, 1.0f, true));
    ASSERT_TRUE(player.Seek(9));
    ASSERT_TRUE(ShowsFrame(9));
    const long draws = presenter->DrawCount();
    presenter->update();
    ASSERT_TRUE(WaitUntil([&] { return presenter->DrawCount() > draws; }));
    presenter->makeCurrent();
    QOpenGLFunctions* gl = presenter->context()->functions();
    GLint alignment = 0, rowLength = -1, active = 0, program = -1, texture = -1;
    gl->glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    gl->glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    gl->glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    gl->glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    gl->glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    presenter->doneCurrent();
    EXPECT_EQ(alignment, 4);
    EXPECT_EQ(rowLength, 0);
    EXPECT_EQ(active, GL_TEXTURE0);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(texture, 0);
}

TEST(PresenterDrawingTest, PlatformsWithoutOpenGlWidgetsDrawInSoftware) {
    for (const char* name : {"offscreen", "minimal", "vnc", "linuxfb"})
        EXPECT_TRUE(PlatformWithoutGlWidgets(name)) << name;
    for (const char* name : {"xcb", "wayland", "eglfs", ""})
        EXPECT_FALSE(PlatformWithoutGlWidgets(name)) << name;
}

// The surface as the player's window: the player's notices reach the owner
// with the surface's camera index.
TEST(VideoSurfaceTest, PassesReadyAndEndedToItsOwner) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        GTEST_SKIP() << "needs a display";
    struct Owner : VideoSurfaceOwner {
        std::vector<std::pair<char, int>> calls;
        void OnPlayerReady(std::uintptr_t, int camera) override { calls.push_back({'R', camera}); }
        void OnPlayerEnded(std::uintptr_t, int camera) override { calls.push_back({'E', camera}); }
    } owner;
    VideoSurface surface;
    surface.SetCameraIndex(1);
    surface.SetOwner(&owner);
    surface.resize(320, 240);
    surface.show();
    MoviePlayer player;
    ASSERT_TRUE(player.Initialise(&surface, &surface));
    ClipOptions o;
    o.camera = 'R';
    ASSERT_EQ(player.Open(ForgeClip("surface", o).string()), OpenResult::kOpened);
    ASSERT_TRUE(WaitUntil([&] { return owner.calls.size() == 1; }));
    EXPECT_EQ(owner.calls[0], std::make_pair('R', 1));
    player.SetZoom(0, 0, 0, 0, 1.0f, false);
    ASSERT_TRUE(player.PlayFrom(80));
    ASSERT_TRUE(WaitUntil([&] { return owner.calls.size() == 2; }));
    EXPECT_EQ(owner.calls[1], std::make_pair('E', 1));
    // Messages this engine never sends are dropped quietly.
    PostMessageTo(&surface, UM_GRAPH_NOTIFY);
    PostMessageTo(&surface, kWmApp + 0x3E9);
    test::RunEventsFor(50);
    EXPECT_EQ(owner.calls.size(), 2u);
    player.Release();
}

}  // namespace
}  // namespace trivexa
