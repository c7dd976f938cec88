// Listings, pairing, entries, sorting and collection on cards written to disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>

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

std::vector<std::string> KeyNames(const std::vector<RecordingEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(KeyName(e));
    return out;
}

TEST(RecordingLibrary, CollectPairsFrontAndRearAndKeepsRearOnlyUnderFrontForm) {
    TempDir dir;
    const fs::path card = dir / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1)), Rec(Name("A___", 2), false, true),
                                 Rec(Name("AG__", 3), true, false), Rec(Name("P___", 4))});

    std::vector<RecordingEntry> entries;
    int files = 0;
    ResetSerialCounter();
    ASSERT_TRUE(CollectRecordings(card.string(), entries, files, 0));
    // Every recording once: the rear files of paired recordings are not listed
    // a second time.
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_GE(files, 6);

    const auto bySeq = [&](int seq) {
        auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const auto& e) { return SequenceNumber(KeyName(e)) == seq; });
        EXPECT_NE(it, entries.end());
        return it == entries.end() ? RecordingEntry{} : *it;
    };
    const RecordingEntry both = bySeq(1);
    EXPECT_EQ(both.frontPath, (card / "Normal/Front" / Name("A___", 1)).string());
    EXPECT_EQ(both.rearPath, (card / "Normal/Rear" / Name("A___", 1, "230715", 'R')).string());
    EXPECT_EQ(both.frontName, Name("A___", 1));
    // Intact clips: the expected size is the file size.
    EXPECT_EQ(both.frontExpectedSize, static_cast<std::int64_t>(fs::file_size(both.frontPath)));
    EXPECT_EQ(both.rearExpectedSize, static_cast<std::int64_t>(fs::file_size(both.rearPath)));
    EXPECT_FALSE(both.frontDamaged || both.rearDamaged);

    const RecordingEntry rearOnly = bySeq(2);
    EXPECT_TRUE(rearOnly.frontPath.empty());
    EXPECT_TRUE(rearOnly.frontName.empty());
    EXPECT_EQ(rearOnly.rearName, Name("A___", 2, "230715", 'R'));
    EXPECT_EQ(rearOnly.frontExpectedSize, 0);

    const RecordingEntry frontOnly = bySeq(3);
    EXPECT_TRUE(frontOnly.rearPath.empty());
    EXPECT_TRUE(bySeq(4).parking);
    EXPECT_FALSE(frontOnly.parking);

    // Serials come from the process-wide counter in creation order.
    std::vector<int> serials;
    for (const auto& e : entries) serials.push_back(e.serial);
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(SerialCounter(), 4);
}

TEST(RecordingLibrary, CollectionKeepsLibraryOrderAcrossSubfolders) {
    TempDir dir;
    Touch(dir / "trip1" / Name("A___", 5), 1);
    Touch(dir / "trip1" / Name("P___", 2), 1);
    Touch(dir / "trip2" / Name("A___", 1), 1);
    Touch(dir / "trip2" / Name("AG__", 9), 1);
    Touch(dir / "loose.AVI", 1);  // not a recording: never listed
    std::vector<RecordingEntry> entries;
    int files = 0;
    ASSERT_TRUE(CollectRecordings(dir.path().string(), entries, files, 0));
    EXPECT_EQ(files, 5);
    EXPECT_EQ(KeyNames(entries), (std::vector<std::string>{Name("A___", 1), Name("A___", 5),
                                                           Name("AG__", 9), Name("P___", 2)}));
}

TEST(RecordingLibrary, DamagedClipsAreMarkedWithTheirExpectedSize) {
    TempDir dir;
    clipforge::ClipSpec spec = test::SmallClip();
    spec.name = Name("A___", 7);
    clipforge::ClipReport intact;
    ASSERT_TRUE(clipforge::WriteClip(dir / spec.name, spec, &intact));
    spec.name = Name("A___", 7, "230715", 'R');
    spec.damage.indexSizeField = 8;
    ASSERT_TRUE(clipforge::WriteClip(dir / spec.name, spec));

    std::vector<RecordingEntry> entries;
    ASSERT_TRUE(AddRecordingForFile((dir / Name("A___", 7)).string(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_FALSE(entries[0].frontDamaged);
    EXPECT_TRUE(entries[0].rearDamaged);
    EXPECT_EQ(entries[0].frontExpectedSize, static_cast<std::int64_t>(intact.fileSize));
    // The same recording given again (by its rear file) is not added twice.
    ASSERT_TRUE(AddRecordingForFile((dir / spec.name).string(), entries));
    EXPECT_EQ(entries.size(), 1u);
}

TEST(RecordingLibrary, MakeEntryAndPlaceholders) {
    std::vector<RecordingEntry> entries;
    // Without ".AVI" nothing is made.
    EXPECT_FALSE(MakeEntry("/nowhere/A___-230715-081522-000001F.AV", "", entries));
    EXPECT_TRUE(entries.empty());
    // Neither file exists: both sides empty, nothing checked.
    ASSERT_TRUE(MakeEntry("/nowhere/A___-230715-081522-000001F.AVI", "/nowhere/x.AVI", entries));
    EXPECT_TRUE(entries[0].frontPath.empty());
    EXPECT_TRUE(entries[0].rearPath.empty());

    MakePlaceholder("/card/Normal/Front", entries);
    const RecordingEntry& p = entries.back();
    EXPECT_EQ(p.frontPath, "/card/Normal/Front");
    EXPECT_EQ(p.frontName, "Front");
    EXPECT_EQ(p.serial, -1);
    EXPECT_EQ(p.frontExpectedSize, -1);
    EXPECT_EQ(p.rearExpectedSize, -1);
    EXPECT_TRUE(p.rearPath.empty());
}

TEST(RecordingLibrary, ResolvePairDirectionsAndDuplicates) {
    std::vector<RecordingEntry> entries;
    PairPaths p;
    ASSERT_TRUE(ResolvePair("/c/Normal/Rear/AM__-230715-081522-000009R.AVI", entries, p));
    EXPECT_EQ(p.front, "/c/Normal/Front/AM__-230715-081522-000009F.AVI");
    EXPECT_EQ(p.rear, "/c/Normal/Rear/AM__-230715-081522-000009R.AVI");
    ASSERT_TRUE(ResolvePair("/backup/AM__-230715-081522-000009F.AVI", entries, p));
    EXPECT_EQ(p.rear, "/backup/AM__-230715-081522-000009R.AVI");
    EXPECT_FALSE(ResolvePair("/backup/MOVIE.AVI", entries, p));

    RecordingEntry taken;
    taken.rearPath = "/c/Normal/Rear/AM__-230715-081522-000009R.AVI";
    entries.push_back(taken);
    EXPECT_FALSE(ResolvePair("/c/Normal/Front/AM__-230715-081522-000009F.AVI", entries, p));
}

TEST(RecordingLibrary, SortRecordingsPutsNormalThenParkingThenOthers) {
    std::vector<RecordingEntry> entries(6);
    entries[0].frontName = "MOVIE.AVI";
    entries[1].frontName = Name("P___", 5);
    entries[2].rearName = Name("A___", 9, "230715", 'R');
    entries[3].frontName = Name("AG__", 2);
    entries[4].frontName = Name("PG__", 1);
    entries[5].frontName = Name("T___", 4, "230801");
    SortRecordings(entries);
    EXPECT_EQ(KeyNames(entries),
              (std::vector<std::string>{Name("AG__", 2), Name("T___", 4, "230801"),
                                        Name("A___", 9, "230715", 'R'), Name("PG__", 1),
                                        Name("P___", 5), "MOVIE.AVI"}));
}

// Many entries with repeated sequence numbers: every entry comes out once,
// in its part and sequence order, and entries that compare equal keep the
// order they had (the serial tells them apart).
TEST(RecordingLibrary, SortRecordingsIsAStablePermutation) {
    std::mt19937 rng(11);
    const std::vector<std::string> kinds = {"A___", "P___", "PG__", "AG__", "T___", "other"};
    std::vector<RecordingEntry> entries(500);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& kind = kinds[rng() % kinds.size()];
        const int seq = static_cast<int>(rng() % 40) + 1;
        const std::string name =
            kind == "other" ? "MOVIE" + std::to_string(seq) + ".AVI" : Name(kind, seq);
        (rng() % 4 == 0 ? entries[i].rearName : entries[i].frontName) = name;
        entries[i].frontPath = "/card/" + name;
        entries[i].serial = static_cast<std::int32_t>(i);
    }
    const auto part = [](const RecordingEntry& e) {
        const std::string& n = KeyName(e);
        return n[0] == 'P' ? 1 : n[0] == 'M' ? 2 : 0;
    };
    const auto sequence = [](const RecordingEntry& e) {
        const std::string& n = KeyName(e);
        return n.size() > 19 ? n.substr(19, 6) : std::string();
    };
    std::vector<RecordingEntry> expected = entries;
    std::stable_sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
        if (part(a) != part(b)) return part(a) < part(b);
        return sequence(a) < sequence(b);
    });
    SortRecordings(entries);
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ASSERT_EQ(entries[i].serial, expected[i].serial) << "position " << i;
        ASSERT_EQ(entries[i].frontPath, expected[i].frontPath) << "position " << i;
    }
}

TEST(RecordingLibrary, AppendAndRemoveEntriesByKeyPath) {
    std::vector<RecordingEntry> list(3), removed(2), more(2);
    list[0].frontPath = "/a/F1";
    list[1].rearPath = "/a/R2";  // rear only: keyed by its rear path
    list[2].frontPath = "/a/F3";
    removed[0].rearPath = "/a/R2";
    removed[1].frontPath = "/a/F3";
    removed[1].rearPath = "/a/R3";
    RemoveEntries(list, removed);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].frontPath, "/a/F1");
    EXPECT_EQ(AppendEntries(list, more), 2u);
    EXPECT_EQ(list.size(), 3u);
}

TEST(RecordingLibrary, ListingsHideHiddenEntriesAndFoldRearIntoFrontForms) {
    TempDir dir;
    const fs::path f = dir / "Normal";
    Touch(f / "Front" / Name("A___", 1), 1);
    Touch(f / "Rear" / Name("A___", 1, "230715", 'R'), 1);
    Touch(f / "Rear" / Name("A___", 2, "230715", 'R'), 1);
    Touch(f / "Front" / ".hidden.AVI", 1);
    Touch(f / ".cache" / Name("A___", 3), 1);  // hidden folder: its files still count

    std::vector<FileListing> top;
    ASSERT_TRUE(ListFolder(f.string(), top));
    EXPECT_EQ(top.size(), 2u);  // Front, Rear; .cache is hidden

    std::vector<FileListing> forms;
    ASSERT_TRUE(ListFrontForms(f.string(), forms));
    std::vector<std::string> paths;
    for (const auto& l : forms) paths.push_back(l.path);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{(f / ".cache" / Name("A___", 3)).string(),
                                               (f / "Front" / Name("A___", 1)).string(),
                                               (f / "Front" / Name("A___", 2)).string()}));

    EXPECT_EQ(IsRecordingFolder(f.string()), FolderContents::Recordings);
    // Rear files alone do not count.
    EXPECT_EQ(IsRecordingFolder((f / "Rear").string()), FolderContents::NoRecordings);
    EXPECT_EQ(IsRecordingFolder((f / "Front").string()), FolderContents::Recordings);
    EXPECT_EQ(IsRecordingFolder((dir / "missing").string()), FolderContents::CannotList);
    // The numbers stay the Part's.
    EXPECT_EQ(static_cast<int>(FolderContents::NoRecordings), 0);
    EXPECT_EQ(static_cast<int>(FolderContents::Recordings), 1);
    EXPECT_EQ(static_cast<int>(FolderContents::CannotList), 2);

    std::vector<FileListing> mixed = {
        {"b", "/x/b", false}, {"Z", "/x/Z", true}, {"a", "/x/a", false}, {"A", "/x/A", true}};
    SortListing(mixed);
    EXPECT_EQ(mixed[0].path, "/x/A");
    EXPECT_EQ(mixed[1].path, "/x/Z");
    EXPECT_EQ(mixed[2].path, "/x/a");
}

// Bad input from a card: link loops, vanished folders, empty and giant files,
// names of every length. Each gives an answer, never a crash or a hang.
TEST(RecordingLibrary, HostileFoldersAndFiles) {
    TempDir dir;
    const fs::path src = dir / "src";
    Touch(src / Name("A___", 1, "230715", 'R'), 0);  // empty: not playable
    Touch(src / Name("A___", 2, "230715", 'R'), 1);
    Touch(src / "deep/a/b/c/d" / Name("A___", 3, "230715", 'R'), 1);  // below depth 3
    fs::create_directory_symlink("..", src / "deep/loop");
    fs::create_directory_symlink(src / "gone", src / "dangling");
    {
        // A sparse 6 GB clip whose header claims nothing sensible.
        std::ofstream giant(src / Name("AG__", 4, "230715", 'R'), std::ios::binary);
        giant.seekp(6LL * 1024 * 1024 * 1024);
        giant.put('\0');
    }
    for (std::size_t len : {1u, 4u, 5u, 29u, 30u, 31u, 100u, 250u}) {
        std::string name = Name("A___", static_cast<int>(len) + 100, "230715", 'R');
        name.resize(len, 'x');
        Touch(src / name, 1);
        Touch(src / (name + "\xE3\x83\x89\xFF"), 1);  // non-ASCII and invalid UTF-8
    }

    std::vector<RecordingEntry> entries;
    int files = 0;
    ASSERT_TRUE(CollectRecordings(src.string(), entries, files, 0));
    std::vector<int> seqs;
    for (const auto& e : entries) seqs.push_back(SequenceNumber(KeyName(e)));
    std::sort(seqs.begin(), seqs.end());
    // 1 is empty, 3 is too deep, only the 30-character name is a recording.
    EXPECT_EQ(seqs, (std::vector<int>{2, 4, 130}));
    const auto giant = std::find_if(entries.begin(), entries.end(),
                                    [](const auto& e) { return SequenceNumber(KeyName(e)) == 4; });
    ASSERT_NE(giant, entries.end());
    EXPECT_TRUE(giant->rearDamaged);

    // The same folder through the tree listing: the loop is followed once.
    std::vector<FileListing> tree;
    ASSERT_TRUE(ListTree(src.string(), tree));
    EXPECT_LT(tree.size(), 100u);

    // Folders that are not there, or not folders.
    EXPECT_FALSE(CollectRecordings((dir / "nothing").string(), entries, files, 0));
    std::vector<FileListing> none;
    EXPECT_FALSE(ListTree((src / Name("A___", 2, "230715", 'R')).string(), none));
    EXPECT_EQ(IsRecordingFolder((src / "dangling").string()), FolderContents::CannotList);
}

// The recorder's names have one extension: a copy named on past it is no
// recording, is not listed, and does not pair with the recording it is named
// after.
TEST(RecordingLibrary, ANameWithASecondExtensionIsNoRecording) {
    TempDir dir;
    const fs::path front = dir / "Normal/Front" / Name("A___", 3);
    const fs::path rear = dir / "Normal/Rear" / Name("A___", 3, "230715", 'R');
    Touch(front, 1);
    Touch(rear, 1);
    Touch(front.string() + ".AVI", 1);
    Touch(rear.string() + ".AVI", 1);
    Touch(dir / "Normal/Front" / (Name("A___", 4) + " (1).avi"), 1);
    EXPECT_FALSE(IsRecordingFileName(front.string() + ".AVI"));
    EXPECT_TRUE(IsRecordingName(front.string() + ".AVI")) << "the name texts still read it";
    EXPECT_TRUE(IsRecordingFileName(front.string()));

    std::vector<RecordingEntry> entries;
    int files = 0;
    ASSERT_TRUE(CollectRecordings(dir.path().string(), entries, files, 0));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].frontPath, front.string());
    EXPECT_EQ(entries[0].rearPath, rear.string());
    EXPECT_EQ(GroupNamesOf((dir / "Normal").string()), std::vector<std::string>{"230715_0001"});
    PairPaths pair;
    EXPECT_FALSE(ResolvePair(front.string() + ".AVI", {}, pair));
}

// A folder source on a Unix file system may hold links. One leading out of
// the source (to "/", to a folder elsewhere, to a file elsewhere, or a camera
// folder that is a link elsewhere) is not followed by a listing, a scan or
// the pairing; a link to another folder of the same source still is.
TEST(SourceBounds, LinksLeadingOutOfTheSourceAreNotFollowed) {
    TempDir dir;
    const fs::path src = dir / "src";
    const fs::path out = dir / "outside";
    Touch(src / "Normal/Front" / Name("A___", 1), 1);
    Touch(src / "stash" / Name("A___", 5), 1);
    Touch(out / Name("A___", 2), 1);
    Touch(out / Name("A___", 3), 1);
    Touch(out / "Rear" / Name("A___", 1, "230715", 'R'), 1);
    fs::create_directory_symlink("/", src / "Normal/Front/x");
    fs::create_directory_symlink(out, src / "Normal/Front/y");
    fs::create_directory_symlink(src / "stash", src / "Normal/Front/z");
    fs::create_symlink(out / Name("A___", 3), src / "Normal/Front" / Name("A___", 3));
    fs::create_directory_symlink(out / "Rear", src / "Normal/Rear");
    fs::create_symlink(src / "gone", src / "Normal/Front" / Name("A___", 6));

    const SourceBounds bounds(src.string());
    EXPECT_TRUE(bounds.Contains(src.string()));
    EXPECT_TRUE(bounds.Contains((src / "Normal/Front/z" / Name("A___", 5)).string()));
    EXPECT_TRUE(bounds.Contains((src / "not/there/yet.AVI").string()));
    EXPECT_FALSE(bounds.Contains((src / "Normal/Front/y" / Name("A___", 2)).string()));
    EXPECT_FALSE(bounds.Contains((src / "Normal/Front/x/etc").string()));
    EXPECT_FALSE(bounds.Contains((src / "Normal/Rear").string()));
    EXPECT_FALSE(bounds.Contains((src / "Normal/Front" / Name("A___", 6)).string()));
    EXPECT_FALSE(bounds.Contains((src / "..").string()));
    EXPECT_FALSE(bounds.Contains(out.string()));

    const auto names = [](const std::vector<FileListing>& listing) {
        std::vector<std::string> out;
        for (const auto& l : listing) out.push_back(l.name);
        std::sort(out.begin(), out.end());
        return out;
    };
    // The group listing of the camera folder: within the source, z is
    // followed; on its own, only the folder itself is listed.
    std::vector<FileListing> tree;
    ASSERT_TRUE(ListTree((src / "Normal/Front").string(), tree, &bounds));
    EXPECT_EQ(names(tree), (std::vector<std::string>{Name("A___", 1), Name("A___", 5)}));
    tree.clear();
    ASSERT_TRUE(ListTree((src / "Normal/Front").string(), tree));
    EXPECT_EQ(names(tree), (std::vector<std::string>{Name("A___", 1)}));
    std::vector<FileListing> folder;
    ASSERT_TRUE(ListFolder((src / "Normal").string(), folder));
    EXPECT_EQ(names(folder), std::vector<std::string>{"Front"});

    // The full collection: recording 1 without the rear file that lies
    // outside, 5 through the link within, nothing from outside.
    std::vector<RecordingEntry> entries;
    int files = 0;
    ASSERT_TRUE(CollectRecordings(src.string(), entries, files, 0));
    std::vector<std::string> keys = KeyNames(entries);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{Name("A___", 1), Name("A___", 5)}));
    for (const auto& e : entries) EXPECT_TRUE(e.rearPath.empty()) << e.rearPath;

    // The browser's scan of the recording folder and of its group node.
    MemoryFolderTree groups;
    std::vector<RecordingEntry> listed;
    ScanTarget target{&groups, &listed, nullptr, false, 0, &bounds};
    ASSERT_TRUE(ScanFolder((src / "Normal").string(), nullptr, kTreeRoot, target, 1));
    // 5 is reached through z, within the source; it starts a group of its own.
    ASSERT_EQ(Texts(groups, kTreeRoot),
              (std::vector<std::string>{"230715_0001", "230715_0002"}));
    ASSERT_TRUE(
        ScanFolder((src / "Normal/230715_0001").string(), nullptr, kTreeRoot, target, 1));
    EXPECT_EQ(KeyNames(listed), (std::vector<std::string>{Name("A___", 1)}));
    EXPECT_TRUE(listed[0].rearPath.empty());
}

TEST(RecordingLibrary, UnreadableSubfolderEndsTheCollection) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
    TempDir dir;
    Touch(dir / "locked" / Name("A___", 1), 1);
    Touch(dir / "open" / Name("A___", 2), 1);
    ASSERT_EQ(chmod((dir / "locked").c_str(), 0), 0);
    std::vector<RecordingEntry> entries;
    int files = 0;
    EXPECT_FALSE(CollectRecordings(dir.path().string(), entries, files, 0));
    chmod((dir / "locked").c_str(), 0755);
}

}  // namespace
}  // namespace trivexa
