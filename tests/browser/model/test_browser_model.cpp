// The browser's display-free model on real cards: opening sources, loading
// nodes, the filter decision, the device file and the default folder.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/core/settings_file.h"
#include "browser/model/browser_model.h"
#include "platform/scratch_volume.h"
#include "platform/volumes.h"
#include "recordings/drive_utils.h"
#include "recordings/library_fixture.h"

namespace trivexa {
namespace {

using test::Name;
using test::Rec;
using test::TempDir;
using test::Touch;
namespace fs = std::filesystem;

FilterFlags Only(std::initializer_list<int> on) {
    FilterFlags f{};
    for (int i : on) f[static_cast<std::size_t>(i)] = true;
    return f;
}

TEST(FilterDecision, EachButtonAdmitsItsRecordings) {
    const std::string shock = Name("AG__", 1), manualParking = Name("PM__", 1),
                      timeLapseOption = Name("A_T_", 1), parkingShock = Name("PG__", 1),
                      approach = Name("TD__", 1), plain = Name("A___", 1);
    // All off: nothing.
    for (const auto& n : {shock, manualParking, timeLapseOption, parkingShock, approach, plain})
        EXPECT_FALSE(FilterAdmits(FilterFlags{}, n)) << n;
    // A shock recording is not shown by the continuous filter alone.
    EXPECT_FALSE(FilterAdmits(Only({kFilterContinuous}), shock));
    EXPECT_TRUE(FilterAdmits(Only({kFilterShock}), shock));
    EXPECT_TRUE(FilterAdmits(Only({kFilterContinuous}), plain));
    // A manual recording with mode P: filter 2 or filter 3.
    EXPECT_TRUE(FilterAdmits(Only({kFilterManual}), manualParking));
    EXPECT_TRUE(FilterAdmits(Only({kFilterParking}), manualParking));
    EXPECT_FALSE(FilterAdmits(Only({kFilterContinuous, kFilterShock}), manualParking));
    // Option T is admitted by the parking filter even with mode A.
    EXPECT_TRUE(FilterAdmits(Only({kFilterParking}), timeLapseOption));
    EXPECT_TRUE(FilterAdmits(Only({kFilterParkingShock}), parkingShock));
    EXPECT_FALSE(FilterAdmits(Only({kFilterParking}), parkingShock));
    EXPECT_TRUE(FilterAdmits(Only({kFilterApproach}), approach));
    EXPECT_FALSE(FilterAdmits(Only({kFilterContinuous}), approach));
    EXPECT_FALSE(FilterAdmits(Only({0, 1, 2, 3, 4, 5}), ""));
}

TEST(DeviceInfoFile, FieldsShortFilesAndBlankGpsVersion) {
    TempDir dir;
    const auto write = [&](const clipforge::DfcSpec& spec) {
        const auto bytes = clipforge::EncodeDfc(spec);
        test::WriteFile(dir / "DRFormatConfig.dfc", std::string(bytes.begin(), bytes.end()));
    };
    DeviceInfo info;
    EXPECT_FALSE(ReadDeviceInfo(dir.path().string(), info));  // missing

    write({"PL21-XQR", "010203", "   123", 128});
    ASSERT_TRUE(ReadDeviceInfo(dir.path().string(), info));
    EXPECT_EQ(info.modelId, "PL21-XQR");
    EXPECT_EQ(info.firmwareVersion, "1.2.3");
    EXPECT_EQ(info.gpsDataVersion, "000123");
    EXPECT_EQ(info.reserved, "");

    // 67 bytes: nothing changes.
    write({"OTHER-01", "090909", "000999", 67});
    EXPECT_FALSE(ReadDeviceInfo(dir.path().string(), info));
    EXPECT_EQ(info.modelId, "PL21-XQR");

    write({std::string("AB\0CDEFG", 8), "100000", "      ", 68});
    ASSERT_TRUE(ReadDeviceInfo(dir.path().string(), info));
    EXPECT_EQ(info.modelId, "AB");  // up to the first zero byte
    EXPECT_EQ(info.firmwareVersion, "10.0.0");
    EXPECT_EQ(info.gpsDataVersion, "");
}

TEST(BrowserModel, OpensACardLoadsGroupsAndCollectsEverything) {
    TempDir dir;
    const fs::path card = dir / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1)), Rec(Name("AG__", 2)), Rec(Name("A___", 8)),
                                 Rec(Name("P___", 20))});
    MemoryFolderTree tree;
    BrowserModel model(tree);
    std::vector<std::string> selected;
    model.onNodeSelected = [&](TreeNode n) { selected.push_back(tree.ItemPath(n)); };

    ASSERT_TRUE(model.OpenSource(card.string() + "/", SourceKind::SdCard));
    EXPECT_EQ(model.Kind(), SourceKind::SdCard);
    EXPECT_EQ(tree.RootPath(), card.string());
    // Later top nodes first, then the first one.
    EXPECT_EQ(selected,
              (std::vector<std::string>{(card / "Parking").string(), (card / "Normal").string()}));
    EXPECT_EQ(model.Device().modelId, "PL21-XQR");
    EXPECT_FALSE(model.Placeholders().empty());
    // The group limit follows the capacity class of the volume the card is on.
    EXPECT_EQ(GroupSizeLimit(), GroupSizeLimitForClass(CapacityClass(card.string())));

    // The default folder is the first group of Normal.
    const TreeNode def = model.SelectDefaultFolder();
    EXPECT_EQ(tree.Text(def), "230715_0001");
    EXPECT_EQ(model.PathText(), (card / "Normal/230715_0001").string());
    EXPECT_EQ(model.LoadFolder(def), 2);
    EXPECT_EQ(model.Master()[0].serial, 0);
    EXPECT_EQ(tree.CurrentNode(), def);

    // Loading the top folder rebuilds its groups and lists nothing itself.
    const TreeNode normal = tree.Children(kTreeRoot)[0];
    EXPECT_EQ(model.LoadFolder(normal), 0);
    EXPECT_EQ(tree.Children(normal).size(), 2u);

    // Filters act on the loaded list.
    model.LoadFolder(tree.Children(normal)[0]);
    model.SetFilter(kFilterShock, false);
    ASSERT_EQ(model.Displayed().size(), 1u);
    EXPECT_EQ(model.Displayed()[0].frontName, Name("A___", 1));
    EXPECT_EQ(model.SelectedRow(), 0);

    const auto all = model.CollectAll();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all.back().frontName, Name("P___", 20));

    // Opening again replaces the tree rather than adding to it.
    ASSERT_TRUE(model.OpenSource(card.string(), SourceKind::SdCard));
    EXPECT_EQ(tree.Children(kTreeRoot).size(), 2u);
    model.ClearSource();
    EXPECT_EQ(tree.NodeCount(), 0u);
    EXPECT_TRUE(model.Master().empty());
}

TEST(BrowserModel, FolderAndFileSources) {
    TempDir dir;
    const fs::path src = dir / "saved";
    Touch(src / "older/keep.txt", 1);
    Touch(src / Name("A___", 5, "230715", 'R'), 1);
    MemoryFolderTree tree;
    BrowserModel model(tree);
    ASSERT_TRUE(model.OpenSource(src.string(), SourceKind::Folder));
    EXPECT_EQ(tree.RootPath(), dir.path().string());
    ASSERT_EQ(tree.Children(kTreeRoot).size(), 1u);
    const TreeNode top = tree.Children(kTreeRoot)[0];
    EXPECT_EQ(tree.Text(top), "saved");
    EXPECT_EQ(tree.Text(tree.Children(top)[0]), "older");
    EXPECT_EQ(model.Master().size(), 1u);
    EXPECT_EQ(model.CollectAll().size(), 1u);
    EXPECT_EQ(DefaultFolder(tree), top);

    // A single clip.
    clipforge::ClipSpec spec = test::SmallClip();
    spec.name = Name("AG__", 9);
    ASSERT_TRUE(clipforge::WriteClip(dir / spec.name, spec));
    ASSERT_TRUE(model.OpenSource((dir / spec.name).string(), SourceKind::File));
    EXPECT_EQ(tree.NodeCount(), 0u);
    ASSERT_EQ(model.Displayed().size(), 1u);
    EXPECT_EQ(model.SelectedRow(), 0);
    EXPECT_EQ(model.PathText(), dir.path().string());
    EXPECT_EQ(model.CollectAll().size(), 1u);

    // An empty file is refused by the players' check.
    Touch(dir / Name("A___", 10), 0);
    EXPECT_FALSE(model.OpenSource((dir / Name("A___", 10)).string(), SourceKind::File));
    EXPECT_TRUE(model.Displayed().empty());
}

TEST(BrowserModel, RestoresTheRememberedFolderThenFile) {
    if (!platform::RemovableVolumes().empty()) GTEST_SKIP() << "a removable volume is mounted";
    TempDir dir;
    const std::string previous = SettingsDirectory();
    SetSettingsDirectory(dir.path().string());
    Touch(dir / "trips" / Name("A___", 1), 1);
    clipforge::ClipSpec spec = test::SmallClip();
    spec.name = Name("AG__", 2);
    ASSERT_TRUE(clipforge::WriteClip(dir / spec.name, spec));

    MemoryFolderTree tree;
    BrowserModel model(tree);
    std::vector<TreeNode> selected;
    model.onNodeSelected = [&](TreeNode n) { selected.push_back(n); };
    EXPECT_FALSE(model.RestoreSource());  // nothing remembered

    ASSERT_TRUE(WriteSetting("SOURCE", "FILE", (dir / spec.name).string()));
    ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", (dir / "gone").string()));
    ASSERT_TRUE(model.RestoreSource());
    EXPECT_EQ(model.Kind(), SourceKind::File);

    ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", (dir / "trips").string()));
    ASSERT_TRUE(model.RestoreSource());
    EXPECT_EQ(model.Kind(), SourceKind::Folder);
    // The default folder (the top node, a folder of recordings) was selected last.
    ASSERT_FALSE(selected.empty());
    EXPECT_EQ(tree.ItemPath(selected.back()), (dir / "trips").string());
    SetSettingsDirectory(previous);
}

// Two cards in two readers: the one mounted last is tried first, then the
// other, and nothing after the first that opens. The volumes are tmpfs mounts
// under /media in a mount namespace of this test process (a tmpfs over /media
// first, so the machine's own /media is neither seen nor touched).
TEST(BrowserModel, RestoreSourceTriesTheRemovableVolumesFromTheLast) {
    const auto mountAt = [](const char* source, const std::string& at) {
        fs::create_directories(at);
        return ::mount(source, at.c_str(), "tmpfs", 0, "size=1m") == 0;
    };
    if (!test::EnterPrivateMountNamespace() || !fs::is_directory("/media") ||
        !mountAt("none", "/media"))
        GTEST_SKIP() << "cannot mount a scratch tmpfs here";
    const bool mounted =
        mountAt("/dev/trivexa-card-a", "/media/a") && mountAt("/dev/trivexa-card-b", "/media/b");
    // No remembered folder or file to fall back on.
    TempDir settings;
    const std::string previous = SettingsDirectory();
    SetSettingsDirectory(settings.path().string());
    std::vector<std::string> tried;
    MemoryFolderTree tree;
    BrowserModel model(tree);
    const auto restore = [&](const std::string& opens) {
        tried.clear();
        return model.RestoreSource([&](const std::string& path, SourceKind kind) {
            EXPECT_EQ(kind, SourceKind::SdCard);
            tried.push_back(path);
            return path == opens;
        });
    };
    if (mounted) {
        EXPECT_FALSE(restore("none"));
        EXPECT_EQ(tried, (std::vector<std::string>{"/media/b", "/media/a"}));
        EXPECT_TRUE(restore("/media/b"));
        EXPECT_EQ(tried, (std::vector<std::string>{"/media/b"}));
        EXPECT_TRUE(restore("/media/a"));
        EXPECT_EQ(tried, (std::vector<std::string>{"/media/b", "/media/a"}));
    }
    SetSettingsDirectory(previous);
    ::umount2("/media", MNT_DETACH);
    ASSERT_TRUE(mounted);
}

TEST(BrowserModel, RemovingTheCardIsNoticed) {
    TempDir dir;
    const fs::path card = dir / "card";
    test::WriteCardOrFail(card, {Rec(Name("A___", 1))});
    std::atomic<bool> lost{false};
    MemoryFolderTree tree;
    BrowserModel model(tree, [&] { lost = true; });
    ASSERT_TRUE(model.OpenSource(card.string(), SourceKind::SdCard));
    fs::remove_all(card);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!lost && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(lost);
    EXPECT_TRUE(model.Watcher().Removed());
}

}  // namespace
}  // namespace trivexa
