// OutputFile on real files: copies that are byte-exact whichever way the bytes
// travel, room reserved and given back, and nothing left under a real name
// unless committed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "platform/output_file.h"
#include "platform/scratch_volume.h"
#include "support/test_support.h"

namespace trivexa::platform {
namespace {

namespace fs = std::filesystem;
using test::ScratchVolume;
using test::TempDir;

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

std::span<const std::byte> AsBytes(const std::string& s) {
    return std::as_bytes(std::span(s.data(), s.size()));
}

std::uint64_t AllocatedBytes(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

// The source holds more than two copy buffers, so the buffered path turns
// over more than once and ends on a partial buffer.
const std::string& Source() {
    static const std::string s = RandomBytes(2 * kCopyBufferSize + 12345, 7);
    return s;
}

// Copies [offset, offset + length) of `source` after a head of `head` bytes
// (which sets where the copy lands within a page) and checks the result
// byte for byte.
void CheckCopy(const fs::path& source, const fs::path& target, std::size_t head,
               std::uint64_t offset, std::uint64_t length) {
    SCOPED_TRACE("head " + std::to_string(head) + ", offset " + std::to_string(offset));
    ReadDescriptor in;
    ASSERT_TRUE(in.Open(source.string()));
    OutputFile out;
    ASSERT_TRUE(out.Create(target.string()));
    const std::string headBytes(head, 'h');
    ASSERT_TRUE(out.Write(AsBytes(headBytes)));
    ASSERT_EQ(out.CopyFrom(in.Get(), offset, length), static_cast<std::int64_t>(length));
    EXPECT_EQ(out.Size(), head + length);
    ASSERT_TRUE(out.Commit(/*replace=*/true));
    EXPECT_EQ(test::ReadFile(target), headBytes + Source().substr(offset, length));
}

TEST(OutputFile, CopiesAreExactWhereverTheyLandWithinAPage) {
    TempDir dir;
    test::WriteFile(dir / "source", Source());
    const std::uint64_t length = Source().size() - 5000;
    // Same place within a page (the kernel copies), and three that differ
    // (through the buffer), one of them with an empty head.
    CheckCopy(dir / "source", dir / "a", 396, 396, length);
    CheckCopy(dir / "source", dir / "b", 0, 4096, length);
    CheckCopy(dir / "source", dir / "c", 396, 292, length);
    CheckCopy(dir / "source", dir / "d", 0, 1, length);
    CheckCopy(dir / "source", dir / "e", 4095, 4999, length);
}

TEST(OutputFile, CopyStopsShortAtTheEndOfTheSource) {
    TempDir dir;
    test::WriteFile(dir / "source", Source());
    ReadDescriptor in;
    ASSERT_TRUE(in.Open((dir / "source").string()));
    for (const std::uint64_t head : {0u, 3u}) {
        OutputFile out;
        ASSERT_TRUE(out.Create((dir / "out").string()));
        ASSERT_TRUE(out.Write(AsBytes(std::string(head, 'h'))));
        const std::uint64_t from = Source().size() - 100;
        EXPECT_EQ(out.CopyFrom(in.Get(), from, 1000), 100) << "head " << head;
        EXPECT_EQ(out.CopyFrom(in.Get(), Source().size() + 10, 10), 0);
        EXPECT_EQ(out.Size(), head + 100);
    }
    OutputFile off;
    ASSERT_TRUE(off.Create((dir / "off").string()));
    off.SetKernelCopy(false);
    EXPECT_EQ(off.CopyFrom(in.Get(), 0, 10), -2);
    EXPECT_EQ(off.Size(), 0u);
}

TEST(OutputFile, CopiesBetweenTwoVolumes) {
    // A tmpfs source and a disk target: the kernel refuses to copy between
    // different file systems, so the buffer carries the bytes.
    ScratchVolume volume(64 * 1024 * 1024);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    TempDir dir;
    test::WriteFile(volume.root() / "source", Source());
    CheckCopy(volume.root() / "source", dir / "aligned", 396, 396, Source().size() - 396);
    CheckCopy(volume.root() / "source", dir / "shifted", 10, 396, Source().size() - 396);
}

TEST(OutputFile, ReservedRoomIsGivenBackAndAFullVolumeFailsAtOnce) {
    ScratchVolume volume(16 * 1024 * 1024);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    const fs::path target = volume.root() / "out";
    {
        OutputFile out;
        ASSERT_TRUE(out.Create(target.string()));
        EXPECT_FALSE(out.Reserve(64 * 1024 * 1024)) << "more than the volume holds";
        ASSERT_TRUE(out.Reserve(8 * 1024 * 1024));
        // The size still follows what is written.
        EXPECT_EQ(fs::file_size(out.TemporaryPath()), 0u);
        EXPECT_GE(AllocatedBytes(out.TemporaryPath()), 8u * 1024 * 1024);
        ASSERT_TRUE(out.Write(AsBytes(std::string(5000, 'x'))));
        ASSERT_TRUE(out.Commit(/*replace=*/false));
    }
    EXPECT_EQ(fs::file_size(target), 5000u);
    EXPECT_LT(AllocatedBytes(target), 64u * 1024) << "unwritten room went back to the volume";

    // Reserved and never committed: nothing stays, and the room is free again.
    {
        OutputFile out;
        ASSERT_TRUE(out.Create((volume.root() / "gone").string()));
        ASSERT_TRUE(out.Reserve(12 * 1024 * 1024));
    }
    EXPECT_FALSE(fs::exists(volume.root() / "gone"));
    EXPECT_EQ(std::distance(fs::directory_iterator(volume.root()), fs::directory_iterator()), 1);
    OutputFile again;
    ASSERT_TRUE(again.Create((volume.root() / "again").string()));
    EXPECT_TRUE(again.Reserve(12 * 1024 * 1024));
}

TEST(OutputFile, CommitWithoutReplaceKeepsAnExistingFile) {
    TempDir dir;
    test::WriteFile(dir / "taken", "old");
    OutputFile out;
    ASSERT_TRUE(out.Create((dir / "taken").string()));
    const std::string temp = out.TemporaryPath();
    ASSERT_TRUE(out.Write(AsBytes(std::string("new"))));
    EXPECT_FALSE(out.Commit(/*replace=*/false));
    EXPECT_EQ(test::ReadFile(dir / "taken"), "old");
    EXPECT_FALSE(fs::exists(temp));
}

}  // namespace
}  // namespace trivexa::platform
