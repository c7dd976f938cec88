// The card pulled out of its slot while the viewer uses it: the card is a real
// FAT32 or exFAT file system mounted through FUSE, and pulling it detaches the
// mount and silences the file system while the players still read from it.
// The viewer must neither crash nor hang, and returns to the empty state as
// on any lost source. Screenshots: build/tests/viewer/card_pulled_*.png.
#include "support/card_pull.h"
#include "support/card_volume.h"
#include "viewer_fixture.h"

namespace trivexa {
namespace {

using test::CardFileSystem;
using test::CardVolume;

class ViewerCard : public Viewer, public ::testing::WithParamInterface<CardFileSystem> {
protected:
    void SetUp() override {
        Viewer::SetUp();
        if (IsSkipped()) return;
        volume_ = std::make_unique<CardVolume>(GetParam(), 256ull << 20);
        TRIVEXA_REQUIRE_CARD(*volume_);
    }
    void TearDown() override {
        Viewer::TearDown();  // the window first: it holds files of the card
        volume_.reset();
    }
    // Writes the card, then puts it back in, so that playback reads from the
    // file system and not from what the writes left in memory.
    void WriteCard(const std::vector<clipforge::CardRecording>& recordings) {
        clipforge::CardSpec spec;
        spec.clip = ClipOf(150);
        spec.recordings = recordings;
        std::string error;
        ASSERT_TRUE(clipforge::WriteCard(volume_->Root(), spec, &error)) << error;
        ASSERT_TRUE(volume_->Remount()) << volume_->Why();
    }
    bool InEmptyState() {
        return window->RowCount() == 0 && !C().MediaLoaded() && C().CurrentIndex() == -1 &&
               C().DataState() == PlayState::kClosed;
    }
    void ExpectEmptyWindow() {
        EXPECT_TRUE(window->Buttons().Control(button::kBrowse)->isEnabled());
        EXPECT_FALSE(window->Buttons().Control(button::kPlayPause)->isEnabled());
        EXPECT_TRUE(window->isVisible());
    }
    std::string Shot(const char* what) const {
        return std::string("card_pulled_") + what + "_" + test::CardFileSystemName(GetParam());
    }
    std::unique_ptr<CardVolume> volume_;
};

std::string FsName(const ::testing::TestParamInfo<CardFileSystem>& info) {
    return test::CardFileSystemName(info.param);
}

TEST_P(ViewerCard, PulledWhilePlayingReturnsToTheEmptyState) {
    WriteCard(
        {Rec("A___-240601-100000-000001F.AVI", 150), Rec("A___-240601-100100-000002F.AVI", 150)});
    StartOn(volume_->Root().string());
    ASSERT_TRUE(WaitLoaded());
    Click(button::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return Shown(0) > 5; }));

    volume_->Pull();
    ASSERT_TRUE(WaitUntil([&] { return InEmptyState(); }, 5000));
    ExpectEmptyWindow();
    // It stays there: nothing reopens a recording of the card that is gone.
    test::RunEventsFor(1500);
    EXPECT_TRUE(InEmptyState());
    SaveScreen(QString::fromStdString(Shot("playing")));
}

TEST_P(ViewerCard, PulledWhileTheScanRunsLeavesAnEmptyWorkingWindow) {
    WriteCard({Rec("A___-240601-100000-000001F.AVI", 150),
               Rec("A___-240601-100100-000002F.AVI", 150),
               Rec("A___-240601-100200-000003F.AVI", 150)});
    {
        // Out once the opening scan has opened the second clip.
        test::PullWhenOpened pull(*volume_, (volume_->Root() / "Normal" / "Front").string(), 2);
        ASSERT_TRUE(pull.Watching());
        StartOn(volume_->Root().string());
        ASSERT_TRUE(WaitUntil([&] { return volume_->Pulled(); }, 5000));
    }
    ASSERT_TRUE(WaitUntil([&] { return InEmptyState() && !C().OpenPending(); }, 8000));
    test::RunEventsFor(1000);
    EXPECT_TRUE(InEmptyState());
    ExpectEmptyWindow();
    SaveScreen(QString::fromStdString(Shot("scan")));
}

INSTANTIATE_TEST_SUITE_P(Card, ViewerCard,
                         ::testing::Values(CardFileSystem::kFat32, CardFileSystem::kExfat), FsName);

}  // namespace
}  // namespace trivexa
