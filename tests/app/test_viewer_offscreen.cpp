// The viewer where OpenGL widgets cannot be shown: the real main window on the
// offscreen platform (which crashed at start-up while the video surfaces were
// OpenGL widgets). The pictures are drawn in software; a clip plays and its
// pictures reach the window. This program sets the platform itself.
#include <QPainter>
#include <cstdlib>

#include "playback/video_presenter.h"
#include "viewer_fixture.h"

namespace trivexa {
namespace {

TEST_F(Viewer, OffscreenWindowPlaysAClipDrawnInSoftware) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    ASSERT_EQ(CurrentPresenterDrawing(), PresenterDrawing::kSoftware);
    Start({Rec("A___-230715-081500-000001F.AVI", 150)});
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(window->Surface(0).Drawing(), PresenterDrawing::kSoftware);
    EXPECT_TRUE(window->MapUnavailable());  // the web map needs OpenGL too
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 20 && Shown(1) > 10; }, 8000));
    EXPECT_EQ(C().DataState(), PlayState::kPlaying);
    // What the window shows: the surfaces painted the pictures themselves.
    const LayoutRect d = C().Pair().Player(Camera::Front).DestinationRect();
    const QImage front = window->Surface(0).grab().toImage().copy(
        QRect(d.left, d.top, d.right - d.left, d.bottom - d.top));
    ASSERT_FALSE(front.isNull());
    int lit = 0;
    for (int y = 0; y < front.height(); y += 4)
        for (int x = 0; x < front.width(); x += 4) lit += qGray(front.pixel(x, y)) > 40 ? 1 : 0;
    EXPECT_GT(lit, (front.width() / 4) * (front.height() / 4) / 4);  // a picture, not black
    EXPECT_GT(window->Surface(0).DrawCount(), 10);
    QImage shot(window->size(), QImage::Format_RGB32);
    shot.fill(Qt::black);
    {
        QPainter p(&shot);
        window->render(&p);
    }
    EXPECT_TRUE(shot.save(ShotPath(QStringLiteral("offscreen_playing"))));
    Click(button::kPlayPause);
    EXPECT_EQ(C().DataState(), PlayState::kPaused);
}

}  // namespace
}  // namespace trivexa

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The platform without OpenGL widgets, before the application exists.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    trivexa::ChoosePresenterDrawing();
    trivexa::test::TempDir settings;
    trivexa::SetSettingsDirectory(settings.path().string());
    trivexa::test::TempDir scratch;
    std::filesystem::create_directories(scratch.path() / "tmp");
    setenv("TMPDIR", (scratch.path() / "tmp").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratch.path() / "data").c_str(), 1);
    trivexa::CreateDefaultSettings();
    trivexa::WriteSetting("UPDATE", "CHECK", "off");
    return RUN_ALL_TESTS();
}
