// Guarded reads of mapped views whose file is cut short under them: the fault
// becomes a failed read of that one call and the process goes on, while
// faults that no guard covers still end the process or reach the handler
// that was installed before.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/mapping.h"
#include "support/test_support.h"

namespace trivexa::platform {
namespace {

using test::TempDir;

const std::size_t kPage = AllocationGranularity();

// A file of `pages` pages, byte i holding 'a' + i % 26, mapped whole.
struct CutFile {
    TempDir dir;
    std::filesystem::path path = dir / "clip.AVI";
    ReadOnlyFile file;
    MappedView view;

    explicit CutFile(std::size_t pages) {
        std::string bytes(pages * kPage, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
        test::WriteFile(path, bytes);
        EXPECT_TRUE(file.Open(path));
        view = file.Map(0, bytes.size());
        EXPECT_TRUE(view);
    }
    // What another program (or a pulled card) does to the file under the view.
    void CutTo(std::uint64_t bytes) const { ASSERT_EQ(::truncate(path.c_str(), bytes), 0); }
};

// Exit code of a death-test child whose set-up went wrong.
constexpr int kSetUpFailed = 3;

// The way a fault nobody takes over ends a process: SIGBUS, or under a
// sanitizer its report and a failing exit.
bool DiedOfTheFault(int status) {
    return (WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) ||
           (WIFEXITED(status) && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != kSetUpFailed);
}

TEST(GuardedRead, BytesCutFromUnderAViewFailTheReadNotTheProcess) {
    CutFile f(8);
    std::array<std::byte, 16> buf{};
    ASSERT_TRUE(f.view.CopyOut(5 * kPage + 1, buf));
    EXPECT_EQ(static_cast<char>(buf[0]), static_cast<char>('a' + (5 * kPage + 1) % 26));
    EXPECT_EQ(f.view.FindByte(0, 8 * kPage, std::byte{'z'}), 25u);
    EXPECT_EQ(f.view.FindByte(0, 8 * kPage, std::byte{'!'}), 8 * kPage);
    EXPECT_EQ(f.view.FindByte(0, 100 * kPage, std::byte{'!'}), 8 * kPage);  // cut to the view
    EXPECT_FALSE(f.view.CopyOut(8 * kPage - 4, buf));  // not inside the view: nothing read

    const std::uint64_t before = GuardedFaultCount();
    f.CutTo(2 * kPage + 100);
    // What the file still holds reads as before; the rest of its last page
    // reads as zeros.
    ASSERT_TRUE(f.view.CopyOut(2 * kPage + 90, buf));
    EXPECT_EQ(static_cast<char>(buf[9]), static_cast<char>('a' + (2 * kPage + 99) % 26));
    EXPECT_EQ(buf[10], std::byte{0});
    EXPECT_EQ(f.view.FindByte(2 * kPage + 100, 3 * kPage, std::byte{'a'}), 3 * kPage);
    EXPECT_EQ(GuardedFaultCount(), before);

    // Pages past the new end fail their reads, however they are reached.
    EXPECT_FALSE(f.view.CopyOut(3 * kPage, buf));
    EXPECT_FALSE(f.view.CopyOut(3 * kPage - 8, buf));  // starts in a page that is still there
    EXPECT_EQ(f.view.FindByte(2 * kPage + 100, 8 * kPage, std::byte{'!'}), std::nullopt);
    EXPECT_EQ(GuardedFaultCount(), before + 3);

    // The process goes on, and the same view still serves what is left.
    ASSERT_TRUE(f.view.CopyOut(kPage, buf));
    EXPECT_EQ(static_cast<char>(buf[0]), static_cast<char>('a' + kPage % 26));
}

TEST(GuardedRead, GuardsNestAndEveryThreadHasItsOwn) {
    CutFile outer(4), inner(4);
    outer.CutTo(kPage);
    inner.CutTo(kPage);
    const std::uint64_t before = GuardedFaultCount();

    // A fault in the inner guard's view ends the inner guard only; one in the
    // outer view, touched while no inner guard is open, ends the outer one.
    struct Body {
        const CutFile& outer;
        const CutFile& inner;
        bool innerRead = true;
        bool reachedOuterFault = false;
        volatile char sink = 0;
        void operator()() {
            std::array<std::byte, 4> b{};
            innerRead = inner.view.CopyOut(2 * kPage, b);
            reachedOuterFault = true;
            sink = static_cast<char>(outer.view.data()[3 * kPage]);
            reachedOuterFault = false;  // never comes here
        }
    } body{outer, inner};
    EXPECT_FALSE(ReadGuarded(outer.view, body));
    EXPECT_FALSE(body.innerRead);
    EXPECT_TRUE(body.reachedOuterFault);
    EXPECT_EQ(GuardedFaultCount(), before + 2);

    // Threads fault at the same time, each caught by its own guard.
    constexpr int kThreads = 4, kReads = 200;
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::array<std::byte, 8> b{};
            for (int i = 0; i < kReads; ++i) {
                const CutFile& f = (t + i) % 2 ? outer : inner;
                if (!f.view.CopyOut(kPage + (i % 3) * kPage, b)) ++failed;
                if (!f.view.CopyOut(0, b)) ADD_FAILURE() << "a page that is there failed";
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failed.load(), kThreads * kReads);
    EXPECT_EQ(GuardedFaultCount(), before + 2 + kThreads * kReads);
}

// Reads a page that is gone with no guard open at all.
void ReadCutPageUnguarded() {
    CutFile f(4);
    f.CutTo(kPage);
    std::array<std::byte, 4> b{};
    if (!f.view.CopyOut(0, b)) std::_Exit(kSetUpFailed);  // installs the handler
    std::fprintf(stderr, "%d\n", static_cast<int>(f.view.data()[2 * kPage]));
    std::_Exit(0);
}

// Reads a page that is gone while a guard is open over another view.
void ReadCutPageUnderAnotherGuard() {
    CutFile guarded(4);
    CutFile other(4);
    other.CutTo(kPage);
    struct Body {
        const CutFile& other;
        void operator()() {
            std::fprintf(stderr, "%d\n", static_cast<int>(other.view.data()[2 * kPage]));
        }
    } body{other};
    ReadGuarded(guarded.view, body);
    std::_Exit(0);
}

void ExitWith42(int) { std::_Exit(42); }

// Installs a SIGBUS handler of its own before any guard, then faults both
// inside a guard (taken over) and outside (passed on).
void FaultWithAHandlerInstalledBefore() {
    struct sigaction mine {};
    mine.sa_handler = &ExitWith42;
    sigemptyset(&mine.sa_mask);
    sigaction(SIGBUS, &mine, nullptr);
    CutFile f(4);
    f.CutTo(kPage);
    std::array<std::byte, 4> b{};
    if (f.view.CopyOut(2 * kPage, b)) std::_Exit(kSetUpFailed);
    std::fprintf(stderr, "%d\n", static_cast<int>(f.view.data()[2 * kPage]));
    std::_Exit(0);
}

TEST(GuardedReadDeathTest, FaultsNoGuardCoversStillEndTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ReadCutPageUnguarded(), DiedOfTheFault, "");
    EXPECT_EXIT(ReadCutPageUnderAnotherGuard(), DiedOfTheFault, "");
}

TEST(GuardedReadDeathTest, FaultsNotOursGoToTheHandlerInstalledBefore) {
    // "threadsafe" runs the statement in a fresh process, so the test's own
    // handler is installed before the guards' one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FaultWithAHandlerInstalledBefore(), ::testing::ExitedWithCode(42), "");
}

}  // namespace
}  // namespace trivexa::platform
