// The file commands on a card as the recorder formats it: FAT32 (cards up to
// 32 GB) and exFAT (64 GB and more), each a real file system mounted through
// FUSE, not the test machine's own. On each: the scan and its list, the
// volume's size class and free space, the CSV summary, the join's refusal to
// write to the card, and delete by renaming to DMY. Then the card is pulled
// out while the scan, a join and a repair read from it: no crash, a failure
// reported as one, and nothing half written left behind.
//
// FUSE carries no DOS attributes: a deleted recording's DMY files are renamed
// but not marked hidden there (the recorder goes by the extension; a kernel
// vfat or exfat mount would take the mark).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "app/file_commands/file_tasks.h"
#include "browser/model/browser_model.h"
#include "container/integrity.h"
#include "forge_card.h"
#include "platform/files.h"
#include "platform/volumes.h"
#include "recordings/drive_utils.h"
#include "support/card_pull.h"
#include "support/card_volume.h"

namespace trivexa::test {
namespace {

// One card file system and what the volume should say about itself.
struct CardCase {
    CardFileSystem fs;
    std::uint64_t imageBytes;
    const char* mountType;  // the mount table's type
    int capacityClass;
};

// FAT32 as on a small card; exFAT as on a 64 GiB card, which falls in the
// middle capacity class (the image is sparse: it takes a few MB of disk).
const CardCase kCases[] = {
    {CardFileSystem::kFat32, 256ull << 20, "fuse.fusefat", 0},
    {CardFileSystem::kExfat, 64ull << 30, "fuseblk", 1},
};

void PrintTo(const CardCase& c, std::ostream* os) { *os << CardFileSystemName(c.fs); }

class TaskWaiter : public TaskListener {
public:
    std::function<void(int, int)> onProgress;
    void TaskProgress(int done, int total) override {
        if (onProgress) onProgress(done, total);
    }
    void TaskFinished(TaskKind, TaskOutcome outcome) override {
        std::lock_guard lock(mutex_);
        finished_ = true;
        outcome_ = outcome;
        cv_.notify_all();
    }
    TaskOutcome Run(FileTask& task) {
        task.Start(*this);
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return finished_; });
        lock.unlock();
        task.Wait();
        return outcome_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool finished_ = false;
    TaskOutcome outcome_ = TaskOutcome::kCancelled;
};

bool WaitFor(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::uint64_t SizeOf(const std::string& path) {
    return path.empty() ? 0 : static_cast<std::uint64_t>(fs::file_size(path));
}

// Every path under `dir` (for "nothing left behind").
std::vector<std::string> FilesUnder(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) out.push_back(e.path().string());
    return out;
}

class CardFileSystemTest : public ::testing::TestWithParam<CardCase> {
protected:
    void SetUp() override {
        volume_ = std::make_unique<CardVolume>(GetParam().fs, GetParam().imageBytes);
        TRIVEXA_REQUIRE_CARD(*volume_);
        root_ = volume_->Root();
    }
    // Writes the recorder's card and puts it back in, so that every read
    // comes from the file system, not from what the writes left in memory.
    void WriteCard(std::vector<cf::CardRecording> recs, bool pvtrace = false) {
        WriteForgeCard(root_, std::move(recs), pvtrace);
        ASSERT_TRUE(volume_->Remount()) << volume_->Why();
    }
    std::unique_ptr<CardVolume> volume_;
    fs::path root_;
    TempDir out_;  // off the card: where CSV, joins and repairs go
};

std::string CaseName(const ::testing::TestParamInfo<CardCase>& info) {
    return CardFileSystemName(info.param.fs);
}

TEST_P(CardFileSystemTest, ListsExportsRefusesAJoinOntoItAndDeletesByRenaming) {
    const std::uint64_t freshFree = FreeBytes(root_.string());
    WriteCard(
        {ForgeRec("A___-240601-100000-000001F.AVI"), ForgeRec("AG_S-240601-100100-000002F.AVI"),
         ForgeRec("A___-240601-100200-000003F.AVI"), ForgeRec("P___-240601-120000-000004F.AVI"),
         ForgeRec("A___-240601-100300-000005F.AVI", true, false)},
        true);

    // The volume as the card reader mounted it: its own root, type and size.
    platform::VolumeInfo volume;
    ASSERT_TRUE(platform::VolumeOf((root_ / "Normal" / "Front").string(), volume));
    EXPECT_EQ(volume.mountPoint, root_.string());
    EXPECT_EQ(volume.fsType, GetParam().mountType);
    EXPECT_FALSE(volume.isNetwork);
    EXPECT_LE(volume.totalBytes, GetParam().imageBytes);
    EXPECT_GE(volume.totalBytes, GetParam().imageBytes / 100 * 95);
    EXPECT_EQ(CapacityClass((root_ / "Normal").string()), GetParam().capacityClass);

    // Scan and list: every recording once, intact, sized as on the card.
    MemoryFolderTree tree;
    BrowserModel model(tree);
    ASSERT_TRUE(model.OpenSource(root_.string(), SourceKind::SdCard));
    EXPECT_EQ(GroupSizeLimit(), GroupSizeLimitForClass(GetParam().capacityClass));
    const std::vector<RecordingEntry> all = model.CollectAll();
    ASSERT_EQ(all.size(), 5u);
    std::uint64_t cardBytes = 0;
    for (const RecordingEntry& e : all) {
        EXPECT_TRUE(IsCardPath(e.frontPath.empty() ? e.rearPath : e.frontPath));
        EXPECT_EQ(e.frontDamaged + e.rearDamaged, 0) << e.frontName;
        EXPECT_EQ(static_cast<std::uint64_t>(e.frontExpectedSize), SizeOf(e.frontPath));
        EXPECT_EQ(static_cast<std::uint64_t>(e.rearExpectedSize), SizeOf(e.rearPath));
        cardBytes += SizeOf(e.frontPath) + SizeOf(e.rearPath);
    }
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                            [](const RecordingEntry& e) { return e.rearPath.empty(); }),
              1);  // the front-only recording
    // Free space is the volume's own count: the clips took at least their bytes.
    const std::uint64_t free = FreeBytes(root_.string());
    EXPECT_GE(freshFree - free, cardBytes);
    EXPECT_LT(freshFree - free, cardBytes + (4u << 20));

    // The CSV summary of the card, the same as of the same card on the local disk.
    TempDir local;
    WriteForgeCard(
        local / "card",
        {ForgeRec("A___-240601-100000-000001F.AVI"), ForgeRec("AG_S-240601-100100-000002F.AVI"),
         ForgeRec("A___-240601-100200-000003F.AVI"), ForgeRec("P___-240601-120000-000004F.AVI"),
         ForgeRec("A___-240601-100300-000005F.AVI", true, false)},
        true);
    std::string csvs[2];
    const fs::path sources[2] = {root_, local / "card"};
    for (int i = 0; i < 2; ++i) {
        fs::create_directories(out_ / std::to_string(i));
        CsvTask csv([&, i] { return CollectCard(sources[i]); }, (out_ / std::to_string(i)).string(),
                    {.charset = "UTF-8"});
        TaskWaiter waiter;
        ASSERT_EQ(waiter.Run(csv), TaskOutcome::kDone) << csv.Report().error;
        EXPECT_EQ(csv.Report().lines, 5);
        csvs[i] = ReadFile(csv.Report().path);
    }
    EXPECT_EQ(csvs[0], csvs[1]);
    // Written onto the card itself (a FUSE volume takes no unnamed file: the
    // writer's named temporary is used and renamed): the same file, and
    // nothing else beside it. (fusefat lists the volume label as a file.)
    {
        const auto topLevel = [&] {
            std::vector<std::string> names;
            for (const auto& e : fs::directory_iterator(root_))
                names.push_back(e.path().filename().string());
            std::sort(names.begin(), names.end());
            return names;
        };
        std::vector<std::string> expected = topLevel();
        CsvTask csv([&] { return CollectCard(root_); }, root_.string(), {.charset = "UTF-8"});
        TaskWaiter waiter;
        ASSERT_EQ(waiter.Run(csv), TaskOutcome::kDone) << csv.Report().error;
        EXPECT_EQ(ReadFile(csv.Report().path), csvs[0]);
        expected.push_back(fs::path(csv.Report().path).filename().string());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(topLevel(), expected);
        fs::remove(csv.Report().path);
    }

    // A join may read the card but never write to it.
    const std::vector<RecordingEntry> run(all.begin(), all.begin() + 3);
    fs::create_directories(root_ / "Joined");
    EXPECT_EQ(CheckJoin(run, (root_ / "Joined").string()).check, JoinCheck::kOnCard);
    EXPECT_EQ(CheckJoin(run, root_.string()).check, JoinCheck::kOnCard);
    EXPECT_EQ(CheckJoin(run, out_.path().string()).check, JoinCheck::kReady);

    // Delete: the recording's two files are renamed to DMY with their bytes,
    // without the hidden mark (FUSE does not carry it); nothing else changes.
    const auto before = Snapshot(root_);
    DeleteTask del({all[2]}, "");
    TaskWaiter waiter;
    ASSERT_EQ(waiter.Run(del), TaskOutcome::kDone) << del.Failure().detail;
    auto after = Snapshot(root_);
    for (const std::string& path : {all[2].frontPath, all[2].rearPath}) {
        const std::string rel = fs::relative(path, root_).string();
        const std::string dmy = rel.substr(0, rel.size() - 3) + "DMY";
        ASSERT_TRUE(after.count(dmy)) << dmy;
        EXPECT_EQ(after[dmy], before.at(rel));
        EXPECT_FALSE(after.count(rel));
        EXPECT_FALSE(platform::HasHiddenAttribute((root_ / dmy).string()));
        after.erase(dmy);
    }
    for (const auto& [rel, bytes] : after) EXPECT_EQ(bytes, before.at(rel)) << rel;
    EXPECT_EQ(after.size() + 2, before.size());
    EXPECT_EQ(CollectCard(root_).size(), 4u);

    // The file system's own checker finds the card consistent.
    ASSERT_TRUE(volume_->Unmount());
    const CommandResult check = volume_->Check();
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

TEST_P(CardFileSystemTest, PulledDuringTheScanEndsTheScanAndTheSourceIsLost) {
    WriteCard(
        {ForgeRec("A___-240601-100000-000001F.AVI"), ForgeRec("A___-240601-100100-000002F.AVI"),
         ForgeRec("A___-240601-100200-000003F.AVI"), ForgeRec("A___-240601-100300-000004F.AVI")});
    std::atomic<bool> lost{false};
    MemoryFolderTree tree;
    BrowserModel model(tree, [&] { lost.store(true); });
    {
        // Out once the scan has opened the second clip.
        PullWhenOpened pull(*volume_, (root_ / "Normal" / "Front").string(), 2);
        ASSERT_TRUE(pull.Watching());
        model.OpenSource(root_.string(), SourceKind::SdCard);
        EXPECT_LE(model.LoadFolder(model.SelectDefaultFolder()), 4);
        EXPECT_TRUE(WaitFor([&] { return volume_->Pulled(); }, 5000));
        // What the scan lists of a card that is gone: nothing.
        EXPECT_EQ(model.CollectAll().size(), 0u);
    }
    EXPECT_TRUE(WaitFor([&] { return lost.load(); }, 5000)) << "the watcher did not notice";
    EXPECT_TRUE(model.Watcher().Removed());
}

TEST_P(CardFileSystemTest, PulledDuringAJoinFailsAndLeavesNoOutput) {
    WriteCard({ForgeRec("A___-240601-100000-000001F.AVI"),
               ForgeRec("A___-240601-100100-000002F.AVI"),
               ForgeRec("A___-240601-100200-000003F.AVI")});
    const std::vector<RecordingEntry> all = CollectCard(root_);
    ASSERT_EQ(all.size(), 3u);
    const JoinCheckResult check = CheckJoin(all, out_.path().string());
    ASSERT_EQ(check.check, JoinCheck::kReady) << JoinCheckDetail(check);

    // Out once the first clip's bytes are copied, while the others still are
    // to be read.
    JoinTask join(all, check.plan, false);
    TaskWaiter waiter;
    waiter.onProgress = [&](int done, int) {
        if (done > kJoinReadSteps) volume_->Pull();
    };
    EXPECT_EQ(waiter.Run(join), TaskOutcome::kFailed);
    ASSERT_TRUE(volume_->Pulled());
    EXPECT_EQ(join.Failure().messages, std::vector<int>{kUiJoinFailed});
    EXPECT_FALSE(join.Failure().detail.empty());
    EXPECT_EQ(FilesUnder(out_.path()), std::vector<std::string>{});
}

TEST_P(CardFileSystemTest, PulledDuringARepairFailsAndLeavesNoCopy) {
    cf::CardRecording damaged = ForgeRec("A___-240601-100000-000001F.AVI", true, false);
    damaged.clip = ForgeClip(300);
    damaged.clip->damage.indexLost = true;
    WriteCard({damaged});
    const std::string clip = (root_ / "Normal" / "Front" / damaged.name).string();
    ASSERT_EQ(CheckClip(clip), ClipCheck::kDamaged);

    // From the card into a folder off it, as the viewer repairs before playing.
    RepairJob whole;
    ASSERT_TRUE(RepairClip(whole, clip, out_ / "whole" / damaged.name));
    EXPECT_EQ(CheckClip(out_ / "whole" / damaged.name), ClipCheck::kIntact);

    // Out as soon as the chunk scan maps the clip.
    ASSERT_TRUE(volume_->Remount());
    RepairJob job;
    {
        PullWhenMapped pull(*volume_, 0);
        EXPECT_FALSE(RepairClip(job, clip, out_ / "pulled" / damaged.name));
    }
    ASSERT_TRUE(volume_->Pulled());
    EXPECT_TRUE(job.readFailed);
    EXPECT_TRUE(!fs::exists(out_ / "pulled") || fs::is_empty(out_ / "pulled"));
}

INSTANTIATE_TEST_SUITE_P(Card, CardFileSystemTest, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace trivexa::test
