#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "container/mapped_file.h"
#include "platform/mapping.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

using test::TempDir;

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

TEST(MappedFile, WindowsStartAtAnyOffsetAndStopAtTheEndOfTheFile) {
    TempDir dir;
    const std::size_t g = platform::AllocationGranularity();
    const std::string bytes = Pattern(3 * g + 100);
    test::WriteFile(dir / "f.bin", bytes);

    MappedFile file;
    ASSERT_TRUE(file.Open(dir / "f.bin"));
    EXPECT_EQ(file.Size(), bytes.size());
    EXPECT_EQ(file.Granularity(), g);

    for (std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{g - 1},
                                 std::uint64_t{g}, std::uint64_t{2 * g + 13}}) {
        MappedWindow w = file.MapWindow(offset, 64);
        ASSERT_TRUE(w) << offset;
        ASSERT_EQ(w.size(), 64u);
        EXPECT_EQ(std::memcmp(w.data(), bytes.data() + offset, 64), 0) << offset;
        MappedFile::UnmapWindow(w);
        EXPECT_FALSE(w);
    }

    // A window asked to run past the end is cut at the last byte.
    const MappedWindow tail = file.MapWindow(bytes.size() - 10, 1000);
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail.size(), 10u);
    EXPECT_EQ(std::memcmp(tail.data(), bytes.data() + bytes.size() - 10, 10), 0);

    EXPECT_FALSE(file.MapWindow(bytes.size(), 1));
    EXPECT_FALSE(file.MapWindow(bytes.size() + g, 1));
    EXPECT_FALSE(file.MapWindow(0, 0));

    // Windows outlive the open file.
    const MappedWindow kept = file.MapWindow(g + 5, 16);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    ASSERT_TRUE(kept);
    EXPECT_EQ(std::memcmp(kept.data(), bytes.data() + g + 5, 16), 0);
    EXPECT_FALSE(file.MapWindow(0, 1));
}

TEST(MappedFile, OpensOnlyExistingRegularFiles) {
    TempDir dir;
    MappedFile file;
    EXPECT_FALSE(file.Open(dir / "missing.AVI"));
    EXPECT_FALSE(file.Open(dir.path()));
    test::WriteFile(dir / "empty.AVI", "");
    ASSERT_TRUE(file.Open(dir / "empty.AVI"));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_FALSE(file.MapWindow(0, 4));

    platform::ReadOnlyFile raw;
    test::WriteFile(dir / "short.bin", "abc");
    ASSERT_TRUE(raw.Open(dir / "short.bin"));
    std::array<std::byte, 8> buf{};
    EXPECT_EQ(raw.ReadAt(1, buf), 2);
    EXPECT_EQ(buf[0], std::byte{'b'});
    // Views must start on the granularity.
    EXPECT_FALSE(raw.Map(1, 1));
}

}  // namespace
}  // namespace trivexa
