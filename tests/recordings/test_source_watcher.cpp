// The source watcher: a source that disappears, or a volume that is
// unmounted under it, is reported once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "recordings/source_watcher.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(MovieResource, ReportsARemovedSourceOnceAndForgetsIt) {
    TempDir dir;
    const fs::path source = dir / "card";
    fs::create_directories(source);
    std::atomic<int> calls{0};
    CMovieResource watcher([&] { ++calls; });
    watcher.SetPath(source.string());
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(calls.load(), 0);
    EXPECT_FALSE(watcher.Removed());

    fs::remove_all(source);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (calls.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(watcher.Removed());
    EXPECT_TRUE(watcher.Path().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(calls.load(), 1);  // reported once

    watcher.ClearRemoved();
    EXPECT_FALSE(watcher.Removed());
}

TEST(MovieResource, UnmountingAWatchedVolumeCountsAsRemoval) {
    TempDir dir;
    const fs::path mountPoint = dir / "sd";
    fs::create_directories(mountPoint);
    if (test::RunCommand({"mount", "-t", "tmpfs", "-o", "size=1m", "none", mountPoint.string()})
            .exitCode != 0)
        GTEST_SKIP() << "cannot mount a volume here";
    std::atomic<int> calls{0};
    CMovieResource watcher([&] { ++calls; });
    watcher.SetPath(mountPoint.string());
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(calls.load(), 0);
    ASSERT_EQ(test::RunCommand({"umount", mountPoint.string()}).exitCode, 0);
    ASSERT_TRUE(fs::is_directory(mountPoint));  // the empty folder stays
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (calls.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(watcher.Removed());
}

}  // namespace
}  // namespace trivexa
