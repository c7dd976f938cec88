// OutputFile on real files: copies that are byte-exact whichever way the bytes
// travel, room reserved and given back, and nothing left under a real name
// unless committed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
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

std::size_t EntryCount(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(OutputFile, CommitWithoutReplaceKeepsAnExistingFile) {
    // Both kinds of temporary file: unnamed (where the file system has them)
    // and the named part.
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        TempDir dir;
        test::WriteFile(dir / "taken", "old");
        OutputFile out;
        out.SetUnnamedAllowed(unnamed);
        ASSERT_TRUE(out.Create((dir / "taken").string()));
        if (!unnamed) {
            EXPECT_FALSE(out.IsUnnamed());
        }
        ASSERT_TRUE(out.Write(AsBytes(std::string("new"))));
        EXPECT_FALSE(out.Commit(/*replace=*/false));
        EXPECT_EQ(test::ReadFile(dir / "taken"), "old");
        EXPECT_EQ(EntryCount(dir.path()), 1u) << "no temporary file stays";

        // With replace the new file takes the name, and nothing else stays.
        ASSERT_TRUE(out.Create((dir / "taken").string()));
        ASSERT_TRUE(out.Write(AsBytes(std::string("new"))));
        EXPECT_TRUE(out.Commit(/*replace=*/true));
        EXPECT_EQ(test::ReadFile(dir / "taken"), "new");
        EXPECT_EQ(EntryCount(dir.path()), 1u);
    }
}

std::uint64_t FreeBytes(const fs::path& p) {
    struct statvfs st {};
    if (::statvfs(p.c_str(), &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

// Runs `body` in a child process and kills it with SIGKILL once it has
// written one byte to its pipe (the moment it is half-way through a write).
void KillMidWrite(const std::function<void(int signalFd)>& body) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        body(fds[1]);
        ::_exit(3);  // the body never returns on its own
    }
    ::close(fds[1]);
    char c = 0;
    const bool reached = ::read(fds[0], &c, 1) == 1;
    ::close(fds[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(reached) << "the child never reached its write";
    EXPECT_TRUE(WIFSIGNALED(status));
}

TEST(OutputFile, AWriterKilledHalfWayLeavesNoReservationBehind) {
    ScratchVolume volume(32 * 1024 * 1024);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    const std::uint64_t freeBefore = FreeBytes(volume.root());
    const auto writeAndHang = [&](bool unnamed) {
        return [&volume, unnamed](int signalFd) {
            OutputFile out;
            out.SetUnnamedAllowed(unnamed);
            if (!out.Create(volume / "joined.AVI") || !out.Reserve(20 * 1024 * 1024) ||
                !out.Write(AsBytes(std::string(1024 * 1024, 'j'))))
                ::_exit(4);
            (void)::write(signalFd, "x", 1);
            for (;;) ::pause();
        };
    };

    // Unnamed: the kernel frees it with the process.
    KillMidWrite(writeAndHang(true));
    EXPECT_EQ(EntryCount(volume.root()), 0u);
    EXPECT_GE(FreeBytes(volume.root()) + 64 * 1024, freeBefore);

    // Named: the part outlives the process, and the next file made in that
    // folder removes it with its reservation.
    KillMidWrite(writeAndHang(false));
    ASSERT_EQ(EntryCount(volume.root()), 1u);
    EXPECT_LT(FreeBytes(volume.root()) + 16 * 1024 * 1024, freeBefore);
    OutputFile next;
    next.SetUnnamedAllowed(false);
    ASSERT_TRUE(next.Create(volume / "other.AVI"));
    EXPECT_EQ(EntryCount(volume.root()), 1u) << "only the new part";
    EXPECT_GE(FreeBytes(volume.root()) + 64 * 1024, freeBefore);
    next.Discard();
    EXPECT_EQ(EntryCount(volume.root()), 0u);
}

TEST(OutputFile, OnlyPartsWhoseWriterIsGoneAreCleaned) {
    TempDir dir;
    // A part being written by a live writer (named, so it shows in the folder).
    OutputFile live;
    live.SetUnnamedAllowed(false);
    ASSERT_TRUE(live.Create((dir / "live.AVI").string()));
    const std::string livePart = live.TemporaryPath();
    ASSERT_TRUE(live.Write(AsBytes(std::string("live"))));
    // A part left by a writer that is gone, and files that only look alike.
    test::WriteFile(dir / ".clip.AVI.0a1b2c3d4e.part", "stale");
    const std::vector<std::string> kept = {
        ".notes.part",                 // no random tag
        "clip.AVI.0a1b2c3d4e.part",    // not hidden
        ".clip.AVI.0A1B2C3D4E.part",   // not our tag's characters
        ".clip.AVI.0a1b2c3d4.part",    // tag too short
        "..0a1b2c3d4e.part",           // no name
    };
    for (const std::string& name : kept) test::WriteFile(dir / name, "user");
    test::WriteFile(dir / "target", "outside");
    fs::create_symlink(dir / "target", dir / ".link.AVI.0a1b2c3d4e.part");
    fs::create_directory(dir / ".folder.AVI.0a1b2c3d4e.part");

    EXPECT_EQ(RemoveStaleParts(dir.path().string()), 1);
    EXPECT_FALSE(fs::exists(dir / ".clip.AVI.0a1b2c3d4e.part"));
    EXPECT_TRUE(fs::exists(livePart));
    for (const std::string& name : kept) EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_TRUE(fs::is_symlink(dir / ".link.AVI.0a1b2c3d4e.part"));
    EXPECT_EQ(test::ReadFile(dir / "target"), "outside");
    EXPECT_TRUE(fs::is_directory(dir / ".folder.AVI.0a1b2c3d4e.part"));

    ASSERT_TRUE(live.Commit(/*replace=*/false));
    EXPECT_EQ(test::ReadFile(dir / "live.AVI"), "live");
}

TEST(OutputFile, AFileSizeLimitFailsTheWriteInsteadOfEndingTheProgram) {
    TempDir dir;
    for (const bool unnamed : {true, false}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit limit{64 * 1024, 64 * 1024};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(5);
            OutputFile out;
            out.SetUnnamedAllowed(unnamed);
            if (!out.Create((dir / "big.AVI").string())) ::_exit(4);
            (void)out.Reserve(1024 * 1024);  // room only: the size is not set
            if (out.Write(AsBytes(std::string(200 * 1024, 'b')))) ::_exit(7);
            if (out.LastError() != EFBIG) ::_exit(8);
            out.Discard();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(EntryCount(dir.path()), 0u) << "nothing left behind";
    }
}

TEST(OutputFile, AFullVolumeFailsTheWriteAndKeepsTheOldFile) {
    ScratchVolume volume(256 * 1024);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    test::WriteFile(volume.root() / "still.jpg", "old picture");
    // Fill what is left.
    {
        OutputFile filler;
        ASSERT_TRUE(filler.Create(volume / "filler"));
        while (filler.Write(AsBytes(std::string(4096, 'f')))) {
        }
        EXPECT_EQ(filler.LastError(), ENOSPC);
        ASSERT_TRUE(filler.Commit(/*replace=*/false));
    }
    for (const bool unnamed : {true, false}) {
        OutputFile out;
        out.SetUnnamedAllowed(unnamed);
        if (!out.Create(volume / "still.jpg")) continue;  // no room even for a name
        EXPECT_FALSE(out.Write(AsBytes(std::string(10 * 1024, 'n'))) && out.Commit(true));
    }
    EXPECT_EQ(test::ReadFile(volume.root() / "still.jpg"), "old picture");
    EXPECT_EQ(EntryCount(volume.root()), 2u);
}

TEST(OutputFile, AnOutputThatIsOneOfTheInputsIsRecognised) {
    TempDir dir;
    fs::create_directories(dir / "card/Normal");
    const fs::path clip = dir / "card/Normal/clip.AVI";
    test::WriteFile(clip, "clip");
    test::WriteFile(dir / "other.AVI", "other");
    fs::create_symlink(clip, dir / "link.jpg");
    fs::create_hard_link(clip, dir / "hard.AVI");
    fs::create_directory_symlink(dir / "card", dir / "alias");
    const std::vector<std::string> inputs = {(dir / "other.AVI").string(), clip.string()};
    struct Case {
        fs::path output;
        bool isInput;
    };
    const std::vector<Case> cases = {
        {clip, true},
        {dir / "card/./Normal//clip.AVI", true},
        {dir / "card/Normal/../Normal/clip.AVI", true},
        {dir / "link.jpg", true},  // a link to the clip
        {dir / "hard.AVI", true},  // the same file under another name
        {dir / "alias/Normal/clip.AVI", true},
        {dir / "card/Normal/new.jpg", false},
        {dir / "card/Normal/clip.AVI.jpg", false},
        {dir / "alias/Normal/new.jpg", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsOneOfInputs(c.output.string(), inputs), c.isInput) << c.output;
    // An input that does not exist (yet) is still the same path.
    EXPECT_TRUE(IsOneOfInputs((dir / "alias/x.AVI").string(), {(dir / "card/x.AVI").string()}));
    EXPECT_FALSE(IsOneOfInputs("", inputs));
    EXPECT_FALSE(IsOneOfInputs(clip.string(), {}));
}

}  // namespace
}  // namespace trivexa::platform
