// Folder and group scans: the tree a card or folder gives, group formation,
// list mode for group nodes and the scan limits.
#include <gtest/gtest.h>

#include <algorithm>

#include "recordings/library_fixture.h"
#include "recordings/recording_library.h"

namespace trivexa {
namespace {

using test::Name;
using test::Rec;
using test::TempDir;
using test::Touch;
namespace fs = std::filesystem;

std::vector<std::string> Texts(const FolderTree& tree, TreeNode parent) {
    std::vector<std::string> out;
    for (TreeNode n : tree.Children(parent)) out.push_back(tree.Text(n));
    return out;
}

// Restores the process-wide group limit after a test changes it.
struct GroupLimitGuard {
    ~GroupLimitGuard() { SetGroupSizeLimit(200); }
};

TEST(Groups, ConsecutiveNumbersSeriesLettersAndDates) {
    TempDir dir;
    const fs::path f = dir / "Front";
    // 1-3 consecutive (3 is dated the next day but stays), 4 starts a series,
    // 6 breaks the numbering, 7 continues it, then a new date.
    for (const auto& n :
         {Name("A___", 1), Name("A___", 2), Name("A___", 3, "230716"), Name("A__S", 4),
          Name("A___", 6), Name("A___", 7), Name("A___", 9, "230716")})
        Touch(f / n);
    EXPECT_EQ(
        GroupNamesOf(dir.path().string()),
        (std::vector<std::string>{"230715_0001", "230715_0002", "230715_0003", "230716_0001"}));
}

TEST(Groups, SizeLimitStartsANewGroupNamedByThatFilesDate) {
    GroupLimitGuard guard;
    TempDir dir;
    for (int i = 1; i <= 201; ++i)
        Touch(dir / "Front" / Name("A___", i, i <= 200 ? "230715" : "230720"));
    SetGroupSizeLimit(200);
    EXPECT_EQ(GroupNamesOf(dir.path().string()),
              (std::vector<std::string>{"230715_0001", "230720_0001"}));
    SetGroupSizeLimit(50);
    EXPECT_EQ(GroupNamesOf(dir.path().string()).size(), 5u);
}

TEST(Groups, RearOnlyFilesFormGroupsUnderTheirFrontForm) {
    TempDir dir;
    Touch(dir / "Rear" / Name("A___", 5, "230715", 'R'));
    Touch(dir / "Rear" / Name("A___", 6, "230715", 'R'));
    Touch(dir / "Front" / Name("A___", 6));
    EXPECT_EQ(GroupNamesOf(dir.path().string()), (std::vector<std::string>{"230715_0001"}));
}

TEST(CardScan, TreeGroupsFlagsPlaceholdersAndGroupListing) {
    TempDir dir;
    const fs::path card = dir / "card";
    test::WriteCardOrFail(
        card, {Rec(Name("A___", 1)), Rec(Name("AG__", 2)), Rec(Name("AM__", 3), false, true),
               Rec(Name("A___", 10)), Rec(Name("P___", 11)), Rec(Name("PG__", 12))});
    Touch(card / "Normal/Front/notes.txt", 3);

    MemoryFolderTree tree;
    tree.SetRootPath(card.string());
    std::vector<RecordingEntry> entries, placeholders;
    ScanTarget target{&tree, &entries, &placeholders, true, 0};
    ASSERT_TRUE(ScanFolder(card.string(), nullptr, kTreeRoot, target, 0));

    // Tree mode adds no entries: the list comes from the group nodes.
    EXPECT_TRUE(entries.empty());
    const auto top = tree.Children(kTreeRoot);
    ASSERT_EQ(Texts(tree, kTreeRoot), (std::vector<std::string>{"Normal", "Parking"}));
    EXPECT_EQ(Texts(tree, top[0]), (std::vector<std::string>{"230715_0001", "230715_0002"}));
    EXPECT_EQ(Texts(tree, top[1]), (std::vector<std::string>{"230715_0001"}));
    EXPECT_EQ(tree.NodeCount(), 5u);

    const auto normalGroups = tree.Children(top[0]);
    // Group 1 holds 1..3 (continuous, shock, manual); group 2 holds 10.
    EXPECT_EQ(tree.ItemData(normalGroups[0]), kFlagContinuous | kFlagShock | kFlagManual);
    EXPECT_EQ(tree.ItemData(normalGroups[1]), kFlagContinuous);
    EXPECT_TRUE(tree.IsExpanded(normalGroups[0]));
    EXPECT_TRUE(tree.IsExpanded(top[0]));
    // The top folder's data: the playable recording files directly in Front
    // (the manual recording has only a rear file).
    EXPECT_EQ(tree.ItemData(top[0]), kFlagContinuous | kFlagShock);
    EXPECT_EQ(tree.ItemData(top[1]), kFlagParking | kFlagParkingShock);
    EXPECT_EQ(tree.ItemPath(normalGroups[1]), (card / "Normal/230715_0002").string());

    // One placeholder per group node, then the Front folder and its partner.
    std::vector<std::string> ph;
    for (const auto& p : placeholders) ph.push_back(p.frontPath);
    ASSERT_EQ(ph.size(), 7u);
    EXPECT_EQ(ph[0], (card / "Normal/Front" / Name("A___", 1)).string());
    EXPECT_EQ(ph[1], (card / "Normal/Front" / Name("A___", 10)).string());
    EXPECT_EQ(ph[2], (card / "Normal/Front").string());

    // List mode: the group node's path does not exist on disk.
    std::vector<RecordingEntry> group;
    ScanTarget list{&tree, &group, nullptr, true, 0};
    std::string out;
    ASSERT_TRUE(ScanFolder(tree.ItemPath(normalGroups[0]), &out, normalGroups[0], list, 2));
    EXPECT_EQ(out, (card / "Normal/Front").string());
    ASSERT_EQ(group.size(), 3u);
    EXPECT_EQ(list.found, 3);
    EXPECT_EQ(SequenceNumber(KeyName(group[2])), 3);
    EXPECT_TRUE(group[2].frontPath.empty());  // rear only
    EXPECT_EQ(tree.NodeCount(), 5u);          // list mode adds no nodes
}

TEST(FolderScan, SubfoldersGetNodesAndLooseFilesAreListed) {
    TempDir dir;
    const fs::path src = dir / "export";
    Touch(src / "trip1" / Name("A___", 1), 1);
    Touch(src / "trip2/inner" / Name("A___", 2), 1);
    Touch(src / Name("A___", 3, "230715", 'R'), 1);  // rear files alone keep the folder plain
    Touch(src / Name("A___", 4, "230715", 'R'), 0);  // empty: not playable

    MemoryFolderTree tree;
    tree.SetRootPath(dir.path().string());
    const TreeNode top = tree.InsertChild(kTreeRoot, "export");
    std::vector<RecordingEntry> entries;
    ScanTarget target{&tree, &entries, nullptr, false, 0};
    ASSERT_TRUE(ScanFolder(src.string(), nullptr, top, target, 0));
    EXPECT_EQ(Texts(tree, top), (std::vector<std::string>{"trip1", "trip2"}));
    EXPECT_TRUE(tree.Children(tree.Children(top)[1]).empty());  // not entered in folder mode
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rearName, Name("A___", 3, "230715", 'R'));

    // A folder holding front recordings: group nodes.
    const TreeNode trip = tree.Children(top)[0];
    std::vector<RecordingEntry> none;
    ScanTarget again{&tree, &none, nullptr, false, 0};
    ASSERT_TRUE(ScanFolder(tree.ItemPath(trip), nullptr, trip, again, 1));
    EXPECT_EQ(Texts(tree, trip), (std::vector<std::string>{"230715_0001"}));
    EXPECT_EQ(tree.ItemData(tree.Children(trip)[0]), 0u);  // folder mode: no flags
}

TEST(ScanLimits, EntriesNodesAndDepth) {
    TempDir dir;
    // 1005 loose rear recordings: 1000 entries, all counted as found.
    const fs::path loose = dir / "loose";
    for (int i = 1; i <= 1005; ++i) Touch(loose / Name("A___", i, "230715", 'R'), 1);
    MemoryFolderTree tree;
    std::vector<RecordingEntry> entries;
    ScanTarget target{&tree, &entries, nullptr, false, 0};
    ASSERT_TRUE(ScanFolder(loose.string(), nullptr, kTreeRoot, target, 0));
    EXPECT_EQ(entries.size(), kMaxScanEntries);
    EXPECT_EQ(target.found, 1005);
    // CollectRecordings has no such limit.
    std::vector<RecordingEntry> all;
    int files = 0;
    ASSERT_TRUE(CollectRecordings(loose.string(), all, files, 0));
    EXPECT_EQ(all.size(), 1005u);

    // 1600 subfolders: the tree stops at 1500 nodes.
    const fs::path many = dir / "many";
    for (int i = 0; i < 1600; ++i) fs::create_directories(many / ("d" + std::to_string(i)));
    MemoryFolderTree big;
    const TreeNode top = big.InsertChild(kTreeRoot, "many");
    ScanTarget t2{&big, &entries, nullptr, false, 0};
    ASSERT_TRUE(ScanFolder(many.string(), nullptr, top, t2, 0));
    EXPECT_EQ(big.NodeCount(), kMaxTreeNodes);

    // Card mode descends only while depth < 3.
    const fs::path nested = dir / "nested";
    Touch(nested / "a/b/c/d/Front" / Name("A___", 1), 1);
    MemoryFolderTree deep;
    std::vector<RecordingEntry> ph;
    ScanTarget t3{&deep, &entries, &ph, true, 0};
    ASSERT_TRUE(ScanFolder(nested.string(), nullptr, kTreeRoot, t3, 0));
    TreeNode n = kTreeRoot;
    int levels = 0;
    while (!deep.Children(n).empty()) {
        n = deep.Children(n)[0];
        ++levels;
    }
    EXPECT_EQ(levels, 3);  // a, b, c; d is below the limit
}

}  // namespace
}  // namespace trivexa
