// Drive utilities on real volumes: a scratch tmpfs stands in for the card
// (the kernel here has no FAT driver, so the hidden attribute takes its
// no-op path), plain build-tree folders for everything that is not a card.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/scratch_volume.h"
#include "recordings/drive_utils.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScratchVolume;
using test::TempDir;
using test::WriteFile;

constexpr std::uint64_t kMiB = 1024 * 1024;

const std::string kNormal = "AG_S-230715-081522-000123";
const std::string kParking = "PG__-230716-221500-000456";

TEST(DriveUtils, AviExtensionAndCapacityClasses) {
    for (const char* yes : {"a.avi", "a.AVI", "/x/y/AG_S-230715-081522-000123F.Avi", "C:\\d\\x.aVi",
                            ".avi", "x.bak.avi"}) {
        EXPECT_TRUE(HasAviExtension(yes)) << yes;
    }
    for (const char* no : {"a.AVI2", "a.avi.bak", "avi", "a.av", "/x.avi/file", "x.avi/", "",
                           "AG_S-230715-081522-000123F_AVI"}) {
        EXPECT_FALSE(HasAviExtension(no)) << no;
    }
    EXPECT_EQ(CapacityClassForSize(0), 0);
    EXPECT_EQ(CapacityClassForSize(36'000'000'000ULL), 0);
    EXPECT_EQ(CapacityClassForSize(36'000'000'001ULL), 1);
    EXPECT_EQ(CapacityClassForSize(108'000'000'000ULL), 1);
    EXPECT_EQ(CapacityClassForSize(108'000'000'001ULL), 2);
    EXPECT_EQ(GroupSizeLimitForClass(0), 200);
    EXPECT_EQ(GroupSizeLimitForClass(1), 100);
    EXPECT_EQ(GroupSizeLimitForClass(2), 50);
    ASSERT_EQ(kCardLayout.size(), 4u);
    EXPECT_EQ(kCardLayout[3].subPath, "Parking/Rear");
    EXPECT_EQ(kCardLayout[1].cameraLetter, 'R');
}

TEST(DriveUtils, CardIsRecognisedByTheLayoutAtTheVolumeRoot) {
    ScratchVolume card(64 * kMiB, "SD CARD");
    TRIVEXA_REQUIRE_MOUNTED(card);
    const std::string clip = card / "Normal/Front/AG_S-230715-081522-000123F.AVI";
    EXPECT_FALSE(IsCardPath(card.root().string()));

    fs::create_directories(card / "Normal/Rear");
    EXPECT_FALSE(IsCardPath(clip)) << "only Front folders mark a card";
    fs::create_directories(card / "Normal/Front");
    EXPECT_TRUE(IsCardPath(card.root().string()));
    EXPECT_TRUE(IsCardPath(clip)) << "the file need not exist";
    EXPECT_TRUE(IsCardPath(card / "elsewhere/deeper"));

    fs::remove_all(card / "Normal");
    fs::create_directories(card / "Parking/Front");
    EXPECT_TRUE(IsCardPath(card / "Parking/Rear/x.AVI"));

    // The same layout below a volume's root is only a copy of a card.
    TempDir copy;
    fs::create_directories(copy.path() / "Normal/Front");
    EXPECT_FALSE(IsCardPath((copy.path() / "Normal/Front/x.AVI").string()));
    EXPECT_FALSE(IsCardPath(""));
}

TEST(DriveUtils, CapacityClassAndFreeBytesOfARealVolume) {
    // tmpfs sizes are whole pages: 8,789,062 pages lie just below 36 GB,
    // one page more just above it.
    ScratchVolume below(35'999'997'952ULL);
    TRIVEXA_REQUIRE_MOUNTED(below);
    ScratchVolume above(36'000'002'048ULL);
    ScratchVolume large(200'000'000'000ULL);
    EXPECT_EQ(CapacityClass(below.root().string()), 0);
    EXPECT_EQ(CapacityClass(above / "Normal/Front/missing.AVI"), 1);
    EXPECT_EQ(CapacityClass(large.root().string()), 2);

    ScratchVolume small(16 * kMiB);
    const std::uint64_t before = FreeBytes(small.root().string());
    EXPECT_EQ(before, 16 * kMiB);
    WriteFile(small.root() / "data.bin", std::string(4 * kMiB, 'x'));
    EXPECT_EQ(FreeBytes(small.root().string()), before - 4 * kMiB);
    EXPECT_EQ(FreeBytes(""), 0u);
}

// A card on a real volume with the given recordings in both camera folders.
class CardFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!card_.mounted()) GTEST_SKIP() << "cannot mount a scratch tmpfs here";
        for (const char* sub : {"Normal/Front", "Normal/Rear", "Parking/Front", "Parking/Rear"}) {
            fs::create_directories(card_ / sub);
        }
    }
    std::string Clip(const std::string& top, const std::string& base, char camera,
                     const char* ext = "AVI") const {
        return card_ /
               (top + "/" + (camera == 'F' ? "Front/" : "Rear/") + base + camera + "." + ext);
    }
    void Add(const std::string& path) const { WriteFile(path, "clip " + path); }

    ScratchVolume card_{64 * kMiB};
};

TEST_F(CardFixture, DeletingOnTheCardRenamesBothCamerasToTheHiddenExtension) {
    const std::string front = Clip("Normal", kNormal, 'F');
    const std::string rear = Clip("Normal", kNormal, 'R');
    const std::string other = Clip("Normal", "A___-230715-090000-000124", 'F');
    Add(front);
    Add(rear);
    Add(other);
    EXPECT_TRUE(DeleteRecording(front, rear));
    EXPECT_FALSE(fs::exists(front));
    EXPECT_FALSE(fs::exists(rear));
    EXPECT_EQ(ReadFile(Clip("Normal", kNormal, 'F', "DMY")), "clip " + front);
    EXPECT_EQ(ReadFile(Clip("Normal", kNormal, 'R', "DMY")), "clip " + rear);
    EXPECT_TRUE(fs::exists(other));

    // A parking recording given by its rear file, written with '\' separators.
    const std::string pFront = Clip("Parking", kParking, 'F');
    const std::string pRear = Clip("Parking", kParking, 'R');
    Add(pFront);
    Add(pRear);
    std::string windowsStyle = pRear;
    for (char& c : windowsStyle) c = c == '/' ? '\\' : c;
    EXPECT_TRUE(DeleteRecording("", windowsStyle));
    EXPECT_TRUE(fs::exists(Clip("Parking", kParking, 'F', "DMY")));
    EXPECT_TRUE(fs::exists(Clip("Parking", kParking, 'R', "DMY")));
    EXPECT_FALSE(fs::exists(pFront));
}

// A delete touches the files of the chosen row and that file's own partner,
// nothing else: not the recording a copy's name begins with, not a
// recording in a folder merely named like a camera folder, not another
// recording's rear file a row does not pair with its front.
TEST_F(CardFixture, DeleteTouchesOnlyTheChosenFilesAndTheirOwnPartner) {
    // The copy may go to the trash: a private one.
    TempDir data;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    const std::string front = Clip("Normal", kNormal, 'F');
    const std::string rear = Clip("Normal", kNormal, 'R');
    const std::string other = Clip("Normal", "A___-230715-090000-000124", 'R');
    for (const std::string& p : {front, rear, other}) Add(p);
    const auto untouched = [&] {
        for (const std::string& p : {front, rear, other}) EXPECT_EQ(ReadFile(p), "clip " + p) << p;
        EXPECT_FALSE(fs::exists(Clip("Normal", kNormal, 'F', "DMY")));
        EXPECT_FALSE(fs::exists(Clip("Normal", kNormal, 'R', "DMY")));
    };

    // A copy with a second extension: no recording file, so never hidden as
    // one; whatever becomes of it, the recording it is named after stays.
    const std::string copyFront = front + ".AVI";
    const std::string copyRear = rear + ".AVI";
    Add(copyFront);
    Add(copyRear);
    EXPECT_FALSE(HideOnCard(copyFront));
    EXPECT_TRUE(fs::exists(copyFront));
    untouched();
    DeleteRecording(copyFront, copyRear);
    untouched();

    // The same name in a look-alike folder is outside the card's layout.
    fs::create_directories(card_ / "Normal/Front2");
    const std::string lookalike = card_ / ("Normal/Front2/" + kNormal + "F.AVI");
    Add(lookalike);
    EXPECT_FALSE(DeleteRecording(lookalike, ""));
    EXPECT_TRUE(fs::exists(lookalike));
    untouched();

    // A row whose rear is another recording's file is no recording.
    EXPECT_FALSE(DeleteRecording(front, other));
    untouched();

    // The row itself goes, both files.
    EXPECT_TRUE(DeleteRecording(front, rear));
    EXPECT_TRUE(fs::exists(Clip("Normal", kNormal, 'F', "DMY")));
    EXPECT_TRUE(fs::exists(Clip("Normal", kNormal, 'R', "DMY")));
    EXPECT_EQ(ReadFile(other), "clip " + other);
    if (old) {
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
}

TEST_F(CardFixture, ExistingHiddenFileStopsTheDeletion) {
    const std::string front = Clip("Normal", kNormal, 'F');
    const std::string rear = Clip("Normal", kNormal, 'R');
    Add(front);
    Add(rear);
    Add(Clip("Normal", kNormal, 'R', "DMY"));
    EXPECT_FALSE(HideOnCard(rear));
    EXPECT_TRUE(fs::exists(Clip("Normal", kNormal, 'F', "DMY"))) << "front went first and stays";
    EXPECT_TRUE(fs::exists(rear));
    EXPECT_EQ(ReadFile(Clip("Normal", kNormal, 'R', "DMY")),
              "clip " + Clip("Normal", kNormal, 'R', "DMY"));

    const std::string pFront = Clip("Parking", kParking, 'F');
    Add(pFront);
    Add(Clip("Parking", kParking, 'F', "DMY"));
    EXPECT_FALSE(DeleteRecording(pFront, ""));
    EXPECT_TRUE(fs::exists(pFront));
}

TEST_F(CardFixture, RecordingOutsideTheLayoutIsNotReportedDeleted) {
    const std::string loose = card_ / ("backup/" + kNormal + "F.AVI");
    fs::create_directories(card_ / "backup");
    Add(loose);
    EXPECT_FALSE(DeleteRecording(loose, ""));
    EXPECT_TRUE(fs::exists(loose));
    EXPECT_FALSE(HideOnCard(card_ / "Normal/Front/short.AVI"));
}

// Everything that is not on a card goes to a trash inside the scratch folder.
class TrashFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_DATA_HOME")) saved_ = old;
        setenv("XDG_DATA_HOME", (dir_.path() / "xdg").c_str(), 1);
        fs::create_directories(dir_.path() / "clips");
    }
    void TearDown() override {
        if (saved_.empty()) {
            unsetenv("XDG_DATA_HOME");
        } else {
            setenv("XDG_DATA_HOME", saved_.c_str(), 1);
        }
    }
    std::string Clip(const std::string& name) const {
        const std::string p = (dir_.path() / "clips" / name).string();
        return p;
    }
    bool InTrash(const std::string& name) const {
        return fs::exists(dir_.path() / "xdg/Trash/files" / name);
    }

    TempDir dir_;
    std::string saved_;
};

TEST_F(TrashFixture, DeletingElsewhereMovesTheFilesToTheTrash) {
    const std::string front = Clip(kNormal + "F.AVI");
    const std::string rear = Clip(kNormal + "R.AVI");
    WriteFile(front, "f");
    WriteFile(rear, "r");
    ASSERT_TRUE(DeleteRecording(front, rear));
    EXPECT_FALSE(fs::exists(front));
    EXPECT_FALSE(fs::exists(rear));
    EXPECT_TRUE(InTrash(kNormal + "F.AVI"));
    EXPECT_TRUE(InTrash(kNormal + "R.AVI"));

    // Rear only; a missing front still deletes the rear of a recording name.
    const std::string rearOnly = Clip(kParking + "R.AVI");
    WriteFile(rearOnly, "r");
    EXPECT_TRUE(DeleteRecording("", rearOnly));
    EXPECT_FALSE(fs::exists(rearOnly));
    WriteFile(rearOnly, "r");
    EXPECT_TRUE(DeleteRecording(Clip(kParking + "F.AVI"), rearOnly));
    EXPECT_FALSE(fs::exists(rearOnly));

    // A file that is not a recording takes no partner with it.
    const std::string movie = Clip("MOVIE.AVI");
    const std::string bystander = Clip("MOVIE-R.AVI");
    WriteFile(movie, "m");
    WriteFile(bystander, "b");
    EXPECT_TRUE(DeleteRecording(movie, bystander));
    EXPECT_FALSE(fs::exists(movie));
    EXPECT_TRUE(fs::exists(bystander));

    EXPECT_FALSE(DeleteRecording("", ""));
    EXPECT_TRUE(DeleteRecording("", Clip("gone.AVI"))) << "nothing left to delete";
}

TEST_F(TrashFixture, ShellDeleteNeedsSomethingToDelete) {
    EXPECT_FALSE(ShellDelete(""));
    EXPECT_FALSE(ShellDelete(Clip("missing.AVI")));

    const std::string file = Clip("wait.AVI");
    WriteFile(file, "w");
    ShellDeleteAndWait(file);
    EXPECT_FALSE(fs::exists(file));
    ShellDeleteAndWait(Clip("missing.AVI"));  // returns at once
}

TEST(DriveUtils, BrowseStartsAtTheRememberedFolderElseTheStartupFolder) {
    EXPECT_EQ(BrowseStartFolder("/media/SD"), "/media/SD");
    EXPECT_EQ(BrowseStartFolder(""), fs::current_path().string());
}

}  // namespace
}  // namespace trivexa
