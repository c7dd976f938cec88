// File services of the platform layer on real folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/files.h"
#include "platform/private_folders.h"
#include "platform/scratch_volume.h"
#include "platform/volumes.h"
#include "support/test_support.h"

namespace trivexa::platform {
namespace {

namespace fs = std::filesystem;
using test::ScratchVolume;
using test::TempDir;
using test::WriteFile;

constexpr std::uint64_t kSmallVolume = 16 * 1024 * 1024;

const DirEntry* Find(const std::vector<DirEntry>& entries, const std::string& name) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const DirEntry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

TEST(PlatformFiles, ListingReportsFoldersHiddenEntriesLinksAndSizes) {
    TempDir dir;
    fs::create_directories(dir.path() / "Normal/Front");
    fs::create_directories(dir.path() / ".Trash-0");
    WriteFile(dir / "clip.AVI", std::string(1234, 'c'));
    WriteFile(dir / ".hidden", "h");
    WriteFile(dir / "\xe6\x97\xa5\xe6\x9c\xac.AVI", "");
    fs::create_symlink(dir / "Normal", dir / "link-to-folder");
    fs::create_symlink(dir / "clip.AVI", dir / "link-to-clip");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_symlink(dir / "loop", dir / "loop");

    std::vector<DirEntry> entries;
    // Kinds come the same with or without sizes; sizes only when asked for.
    for (const bool withSizes : {true, false}) {
        SCOPED_TRACE(withSizes ? "with sizes" : "without sizes");
        entries = {{"stale", true, true, true, 9}};
        ASSERT_TRUE(ListDirectory(dir.path().string(), entries, withSizes));
        EXPECT_EQ(entries.size(), 9u) << "'.' and '..' are never listed";
        const DirEntry* normal = Find(entries, "Normal");
        ASSERT_TRUE(normal);
        EXPECT_TRUE(normal->isFolder);
        EXPECT_FALSE(normal->isHidden);
        ASSERT_TRUE(Find(entries, ".Trash-0"));
        EXPECT_TRUE(Find(entries, ".Trash-0")->isHidden);
        EXPECT_TRUE(Find(entries, ".hidden")->isHidden);
        const DirEntry* clip = Find(entries, "clip.AVI");
        ASSERT_TRUE(clip);
        EXPECT_EQ(clip->size, withSizes ? 1234u : 0u);
        EXPECT_FALSE(clip->isFolder || clip->isHidden || clip->isSymlink);
        ASSERT_TRUE(Find(entries, "\xe6\x97\xa5\xe6\x9c\xac.AVI"));
        EXPECT_TRUE(Find(entries, "link-to-folder")->isFolder);
        EXPECT_TRUE(Find(entries, "link-to-folder")->isSymlink);
        EXPECT_EQ(Find(entries, "link-to-clip")->size, withSizes ? 1234u : 0u);
        EXPECT_FALSE(Find(entries, "link-to-clip")->isFolder);
        ASSERT_TRUE(Find(entries, "dangling"));
        EXPECT_FALSE(Find(entries, "dangling")->isFolder);
        EXPECT_TRUE(Find(entries, "dangling")->isSymlink);
        ASSERT_TRUE(Find(entries, "loop"));
    }

    EXPECT_FALSE(ListDirectory((dir / "missing").string(), entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(ListDirectory((dir / "clip.AVI").string(), entries));
}

TEST(PlatformFiles, HiddenAttributeIsANoOpWithoutDosAttributes) {
    // This kernel has no FAT driver: the ioctl path must report the volume as
    // one without DOS attributes and leave the file as it is.
    TempDir dir;
    const std::string file = (dir / "Default_Folder.ini").string();
    WriteFile(file, "[SOURCE]\n");
    EXPECT_TRUE(SetHiddenAttribute(file));
    EXPECT_FALSE(HasHiddenAttribute(file));
    EXPECT_TRUE(SetHiddenAttribute(dir.path().string()));
    EXPECT_EQ(test::ReadFile(file), "[SOURCE]\n");
    EXPECT_FALSE(SetHiddenAttribute((dir / "missing").string()));
    EXPECT_FALSE(SetHiddenAttribute(""));
    EXPECT_FALSE(HasHiddenAttribute((dir / "missing").string()));

    ScratchVolume volume(kSmallVolume);
    if (volume.mounted()) {
        WriteFile(volume.root() / "x.AVI", "x");
        EXPECT_TRUE(SetHiddenAttribute(volume / "x.AVI"));
    }
}

TEST(PlatformFiles, RenameNeverReplacesAnExistingTarget) {
    TempDir dir;
    WriteFile(dir / "a.AVI", "a");
    WriteFile(dir / "b.DMY", "b");
    EXPECT_FALSE(RenameNoReplace((dir / "a.AVI").string(), (dir / "b.DMY").string()));
    EXPECT_EQ(test::ReadFile(dir / "b.DMY"), "b");
    EXPECT_EQ(test::ReadFile(dir / "a.AVI"), "a");
    EXPECT_TRUE(RenameNoReplace((dir / "a.AVI").string(), (dir / "a.DMY").string()));
    EXPECT_EQ(test::ReadFile(dir / "a.DMY"), "a");
    EXPECT_FALSE(PathExists((dir / "a.AVI").string()));
    EXPECT_FALSE(RenameNoReplace((dir / "gone").string(), (dir / "c").string()));
}

TEST(PlatformFiles, TrashIsCreatedOnFirstUseAndKeepsRestoreInformation) {
    TempDir dir;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", (dir / "fresh-account/share").c_str(), 1);
    fs::create_directories(dir / "fresh-account/share");
    WriteFile(dir / "AG_S-230715-081522-000123F.AVI", "clip");
    fs::create_directories(dir / "folder/inner");

    EXPECT_TRUE(MoveToTrash((dir / "AG_S-230715-081522-000123F.AVI").string()));
    EXPECT_TRUE(MoveToTrash((dir / "folder").string()));
    EXPECT_FALSE(MoveToTrash((dir / "missing").string()));
    EXPECT_FALSE(MoveToTrash(""));
    const fs::path trash = dir / "fresh-account/share/Trash";
    EXPECT_EQ(test::ReadFile(trash / "files/AG_S-230715-081522-000123F.AVI"), "clip");
    EXPECT_TRUE(fs::is_directory(trash / "files/folder/inner"));
    const std::string info =
        test::ReadFile(trash / "info/AG_S-230715-081522-000123F.AVI.trashinfo");
    EXPECT_NE(info.find("Path="), std::string::npos) << info;
    EXPECT_FALSE(PathExists((dir / "folder").string()));

    if (saved.empty()) {
        unsetenv("XDG_DATA_HOME");
    } else {
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    }
}

TEST(PlatformFiles, WellKnownFolders) {
    EXPECT_EQ(StartupDirectory(), fs::current_path().string());
    const char* env = std::getenv("TRIVEXA_SETTINGS_DIR");
    EXPECT_EQ(SettingsDirectory(), env && *env ? std::string(env) : AppConfigDirectory());
    const std::string temp = TempDirectory();
    EXPECT_TRUE(IsDirectory(temp));
    EXPECT_TRUE(temp == "/" || temp.back() != '/');
}

}  // namespace
}  // namespace trivexa::platform
