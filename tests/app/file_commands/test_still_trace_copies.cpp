// Still names, trace flags and the repaired copies folder.
#include <gtest/gtest.h>

#include "app/file_commands/repaired_copies.h"
#include "app/file_commands/still_names.h"
#include "app/file_commands/trace_flags.h"
#include "forge_card.h"
#include "platform/scratch_volume.h"

namespace trivexa::test {
namespace {

TEST(StillNames, EachFileCarriesTheLetterOfItsCamera) {
    const std::string front = "AG_S-210503-070809-000001F.AVI";
    const std::string rear = "AG_S-210503-070809-000001R.AVI";
    struct Case {
        std::string folder, name;
        std::int64_t position;
        Camera camera;
        std::string expected;
    } cases[] = {
        {"/stills", front, 123, Camera::Front, "/stills/210503-070809-F-000123.jpg"},
        {"/stills", front, 123, Camera::Rear, "/stills/210503-070809-R-000123.jpg"},
        // Position 0, and a folder that already ends with its separator.
        {"/stills/", front, 0, Camera::Front, "/stills/210503-070809-F-000000.jpg"},
        // A rear-only recording is named by its rear file; its picture is
        // still saved under R, and nothing claims to be the front camera's.
        {"/s", rear, 0, Camera::Rear, "/s/210503-070809-R-000000.jpg"},
        {"/s", rear, 0, Camera::Front, "/s/210503-070809-F-000000.jpg"},
        // Past six digits the number grows.
        {"/s", front, 1234567, Camera::Front, "/s/210503-070809-F-1234567.jpg"},
        // No position, no name.
        {"/s", front, -1, Camera::Front, ""},
        {"/s", "noname", 5, Camera::Front, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StillPath(c.folder, c.name, c.position, c.camera), c.expected)
            << c.name << " " << c.position;
}

TEST(TraceFlags, PresentOnlyOnACardWithTheFileAndAppliesToParkingAndTimeLapse) {
    TempDir dir;
    WriteForgeCard(dir / "card", {}, /*pvtrace=*/true);
    WriteForgeCard(dir / "plain", {});
    EXPECT_TRUE(TracePresent(true, (dir / "card").string()));
    EXPECT_TRUE(TracePresent(true, (dir / "card").string() + "/"));
    EXPECT_FALSE(TracePresent(false, (dir / "card").string()));  // a folder source
    EXPECT_FALSE(TracePresent(true, (dir / "plain").string()));

    EXPECT_TRUE(TraceApplies(true, "P___-210503-070809-000001F.AVI", ""));
    EXPECT_TRUE(TraceApplies(true, "__T_-210503-070809-000001F.AVI", ""));
    EXPECT_FALSE(TraceApplies(true, "T_T_-210503-070809-000001F.AVI", ""));
    EXPECT_FALSE(TraceApplies(true, "AG_S-210503-070809-000001F.AVI", ""));
    // The rear name decides when the front one does not qualify.
    EXPECT_TRUE(TraceApplies(true, "", "P___-210503-070809-000001R.AVI"));
    EXPECT_FALSE(TraceApplies(false, "P___-210503-070809-000001F.AVI", ""));
}

TEST(RepairedCopies, MovedWithoutReplacingAnythingThenTheFolderIsGone) {
    TempDir dir;
    const fs::path copies = dir / "repaired_movie_files";
    fs::create_directories(copies);
    WriteFile(copies / "A.AVI", "repaired a");
    WriteFile(copies / "B.AVI", "repaired b");
    fs::create_directories(dir / "keep");
    WriteFile(dir / "keep" / "A.AVI", "the user's own");

    ASSERT_TRUE(HasRepairedCopies(copies.string()));
    const RepairedMoveReport r = MoveRepairedCopies((dir / "keep").string(), copies.string());
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.moved, 2);
    EXPECT_EQ(ReadFile(dir / "keep" / "A.AVI"), "the user's own");
    EXPECT_EQ(ReadFile(dir / "keep" / "A (2).AVI"), "repaired a");
    EXPECT_EQ(ReadFile(dir / "keep" / "B.AVI"), "repaired b");

    // Into a folder that cannot take them: each is reported, and deleting the
    // folder afterwards still works and waits until it is gone.
    WriteFile(copies / "C.AVI", "c");
    const RepairedMoveReport failed = MoveRepairedCopies((dir / "none").string(), copies.string());
    EXPECT_EQ(failed.failed, std::vector<std::string>{"C.AVI"});
    ScopedTrash trash(dir / "trash");
    EXPECT_TRUE(DeleteRepairedCopies(copies.string()));
    EXPECT_FALSE(fs::exists(copies));
    EXPECT_FALSE(HasRepairedCopies(copies.string()));
    EXPECT_TRUE(DeleteRepairedCopies(copies.string()));  // nothing to delete
}

TEST(RepairedCopies, MovedAcrossVolumesByCopying) {
    ScratchVolume volume(1 << 20);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    TempDir dir;
    const fs::path copies = dir / "repaired_movie_files";
    fs::create_directories(copies);
    WriteFile(copies / "A.AVI", std::string(100000, 'a'));
    const RepairedMoveReport r = MoveRepairedCopies(volume.root().string(), copies.string());
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(ReadFile(volume.root() / "A.AVI"), std::string(100000, 'a'));
    EXPECT_FALSE(fs::exists(copies / "A.AVI"));
}

// What the repair keeps beside its copies (the source's identity, hidden) and
// what a write in progress looks like are not copies: not offered, not moved.
TEST(RepairedCopies, OnlyTheCopiesAreOfferedAndMoved) {
    TempDir dir;
    const fs::path copies = dir / "session";
    fs::create_directories(copies);
    WriteFile(copies / ".A.AVI.source", "size=1\nmodified=2\nhead=3\n");
    WriteFile(copies / ".B.AVI.1234.part", "half");
    EXPECT_FALSE(HasRepairedCopies(copies.string()));
    EXPECT_FALSE(HasRepairedCopies(""));
    WriteFile(copies / "A.AVI", "repaired a");
    EXPECT_TRUE(HasRepairedCopies(copies.string()));
    fs::create_directories(dir / "keep");
    const RepairedMoveReport r = MoveRepairedCopies((dir / "keep").string(), copies.string());
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.moved, 1);
    std::vector<std::string> kept;
    for (const auto& e : fs::directory_iterator(dir / "keep"))
        kept.push_back(e.path().filename().string());
    EXPECT_EQ(kept, std::vector<std::string>{"A.AVI"});
}

// The question's answers, as the main window would give them.
class Answers : public RepairedCopiesOwner {
public:
    bool AskKeepRepairedCopies() override {
        ++asked;
        return keep;
    }
    std::string ChooseRepairFolder() override { return folder; }
    void RememberRepairFolder(const std::string& f) override { remembered = f; }
    bool keep = false;
    std::string folder;
    std::string remembered;
    int asked = 0;
};

TEST(RepairedCopies, AskedOnceKeptOrNotTheFolderIsGoneAfterwards) {
    TempDir dir;
    ScopedTrash trash(dir / "trash");
    const fs::path copies = dir / "repaired_movie_files";
    Answers answers;
    // Nothing there: nothing asked.
    EXPECT_EQ(OfferRepairedCopies(answers, copies.string()), RepairedCopiesOutcome::kNone);
    EXPECT_EQ(answers.asked, 0);

    // No: the copies go with the folder.
    fs::create_directories(copies);
    WriteFile(copies / "A.AVI", "a");
    EXPECT_EQ(OfferRepairedCopies(answers, copies.string()), RepairedCopiesOutcome::kDeleted);
    EXPECT_EQ(answers.asked, 1);
    EXPECT_FALSE(fs::exists(copies));

    // Yes without a folder: the same.
    fs::create_directories(copies);
    WriteFile(copies / "A.AVI", "a");
    answers.keep = true;
    EXPECT_EQ(OfferRepairedCopies(answers, copies.string()), RepairedCopiesOutcome::kDeleted);
    EXPECT_TRUE(answers.remembered.empty());

    // Yes with a folder: moved there, the folder remembered, the copies gone.
    fs::create_directories(copies);
    WriteFile(copies / "A.AVI", "a");
    fs::create_directories(dir / "keep");
    answers.folder = (dir / "keep").string();
    EXPECT_EQ(OfferRepairedCopies(answers, copies.string()), RepairedCopiesOutcome::kMoved);
    EXPECT_EQ(ReadFile(dir / "keep" / "A.AVI"), "a");
    EXPECT_EQ(answers.remembered, answers.folder);
    EXPECT_FALSE(fs::exists(copies));
    EXPECT_EQ(answers.asked, 3);
}

}  // namespace
}  // namespace trivexa::test
