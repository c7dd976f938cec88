// Volumes from the kernel's mount table, checked on tmpfs mounts made for
// the test in a private mount namespace.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>

#include "platform/scratch_volume.h"
#include "platform/volumes.h"
#include "support/test_support.h"

namespace trivexa::platform {
namespace {

namespace fs = std::filesystem;
using test::ScratchVolume;

constexpr std::uint64_t kSize = 48ULL * 1024 * 1024;

TEST(PlatformVolumes, VolumeOfAPathIsItsNearestMount) {
    ScratchVolume outer(kSize, "SD CARD\tno.1");
    TRIVEXA_REQUIRE_MOUNTED(outer);
    VolumeInfo info;
    ASSERT_TRUE(VolumeOf(outer / "Normal/Front/missing.AVI", info));
    EXPECT_EQ(info.mountPoint, fs::canonical(outer.root()).string()) << "blanks survive the table";
    EXPECT_EQ(info.fsType, "tmpfs");
    EXPECT_EQ(info.totalBytes, kSize);
    EXPECT_EQ(info.availableBytes, kSize);
    EXPECT_FALSE(info.isNetwork);
    EXPECT_FALSE(info.isRemovable);

    // A volume mounted inside another one owns its own folders.
    fs::create_directories(outer.root() / "inner");
    ASSERT_EQ(::mount("tmpfs", (outer / "inner").c_str(), "tmpfs", 0, "size=8m"), 0);
    ASSERT_TRUE(VolumeOf(outer / "inner/x", info));
    EXPECT_EQ(info.totalBytes, 8u * 1024 * 1024);
    EXPECT_EQ(info.mountPoint, fs::canonical(outer.root() / "inner").string());
    ASSERT_TRUE(VolumeOf(outer / "innerX", info)) << "prefix must end at a folder boundary";
    EXPECT_EQ(info.mountPoint, fs::canonical(outer.root()).string());
    ::umount2((outer / "inner").c_str(), MNT_DETACH);

    // A symbolic link elsewhere leads to the volume it points into.
    test::TempDir dir;
    fs::create_directory_symlink(outer.root(), dir / "card-link");
    ASSERT_TRUE(VolumeOf((dir / "card-link/Normal").string(), info));
    EXPECT_EQ(info.fsType, "tmpfs");
}

TEST(PlatformVolumes, RootRelativeAndEmptyPaths) {
    VolumeInfo root;
    ASSERT_TRUE(VolumeOf("/", root));
    EXPECT_EQ(root.mountPoint, "/");
    EXPECT_GT(root.totalBytes, 0u);
    EXPECT_GE(root.freeBytes, root.availableBytes);

    VolumeInfo here;
    VolumeInfo relative;
    ASSERT_TRUE(VolumeOf(fs::current_path().string(), here));
    ASSERT_TRUE(VolumeOf("no/such/folder/../x", relative));
    EXPECT_EQ(relative.mountPoint, here.mountPoint);

    VolumeInfo none;
    EXPECT_FALSE(VolumeOf("", none));

    for (const VolumeInfo& v : RemovableVolumes()) {
        EXPECT_TRUE(v.isRemovable) << v.mountPoint;
        EXPECT_NE(v.fsType, "tmpfs") << "only real media count";
    }
}

// In a chroot the mount table lists only mounts outside the root: the volume
// is still found, with its sizes, and its root is where its file system
// starts.
TEST(PlatformVolumes, PathWithoutMountRowStillHasItsSizes) {
    test::TempDir dir;
    const fs::path table = dir / "mounts";
    { std::ofstream(table) << ""; }

    // Any folder: the sizes are those of the folder's own file system.
    VolumeInfo here;
    ASSERT_TRUE(detail::VolumeOf((dir / "no/such/file").string(), here, table.c_str()));
    struct statvfs st {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &st), 0);
    EXPECT_EQ(here.totalBytes, static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize);
    EXPECT_GT(here.availableBytes, 0u);
    const std::string canonicalDir = fs::canonical(dir.path()).string();
    EXPECT_TRUE(here.mountPoint == "/" || canonicalDir.starts_with(here.mountPoint + "/"))
        << here.mountPoint;
    EXPECT_TRUE(here.device.empty());
    EXPECT_FALSE(here.isRemovable);
    EXPECT_FALSE(here.isNetwork);

    VolumeInfo none;
    EXPECT_FALSE(detail::VolumeOf("", none, table.c_str()));
}

// A volume of its own without a row: its root is where its file system starts.
TEST(PlatformVolumes, VolumeWithoutMountRowStartsAtItsOwnRoot) {
    test::TempDir dir;
    const fs::path table = dir / "mounts";
    { std::ofstream(table) << ""; }
    ScratchVolume card(kSize, "card");
    TRIVEXA_REQUIRE_MOUNTED(card);
    fs::create_directories(card.root() / "Normal/Front");
    VolumeInfo info;
    ASSERT_TRUE(detail::VolumeOf((card / "Normal/Front/missing.AVI"), info, table.c_str()));
    EXPECT_EQ(info.mountPoint, fs::canonical(card.root()).string());
    EXPECT_EQ(info.totalBytes, kSize);
    EXPECT_EQ(info.availableBytes, kSize);
    EXPECT_TRUE(info.fsType.empty());
}

}  // namespace
}  // namespace trivexa::platform
