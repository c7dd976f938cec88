// The user's own folders and the private session folders in them, on real
// folders; the other running program is a forked process holding its lock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/private_folders.h"
#include "support/test_support.h"

namespace trivexa::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old, had_ = true;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            ::setenv(name_, saved_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string saved_;
    bool had_ = false;
};

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(UserFolders, FollowTheBaseDirectoryRules) {
    TempDir dir;
    const std::string home = (dir / "home").string();
    ScopedEnv h("HOME", home.c_str());
    {
        // Relative values are ignored, as the base directory rules say.
        ScopedEnv c("XDG_CONFIG_HOME", "relative/config");
        ScopedEnv k("XDG_CACHE_HOME", nullptr);
        ScopedEnv r("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ(ConfigHome(), home + "/.config");
        EXPECT_EQ(CacheHome(), home + "/.cache");
        EXPECT_EQ(RuntimeHome(), "");
        EXPECT_EQ(AppConfigDirectory(), home + "/.config/trivexa");
        EXPECT_EQ(AppCacheDirectory(), home + "/.cache/trivexa");
    }
    const std::string config = (dir / "cfg").string();
    const std::string cache = (dir / "cache").string();
    ScopedEnv c("XDG_CONFIG_HOME", (config + "/").c_str());
    ScopedEnv k("XDG_CACHE_HOME", cache.c_str());
    ScopedEnv r("XDG_RUNTIME_DIR", "/run/user/4242");
    EXPECT_EQ(AppConfigDirectory(), config + "/trivexa");
    EXPECT_EQ(AppCacheDirectory(), cache + "/trivexa");
    EXPECT_EQ(RuntimeHome(), "/run/user/4242");
}

// The settings file lives in the configuration folder, never in the folder
// the program was started from; TRIVEXA_SETTINGS_DIR still overrides it.
TEST(UserFolders, SettingsLiveInTheConfigurationFolder) {
    TempDir dir;
    const std::string config = (dir / "cfg").string();
    ScopedEnv c("XDG_CONFIG_HOME", config.c_str());
    {
        ScopedEnv s("TRIVEXA_SETTINGS_DIR", nullptr);
        EXPECT_EQ(SettingsDirectory(), config + "/trivexa");
        EXPECT_NE(SettingsDirectory(), StartupDirectory());
        EXPECT_FALSE(fs::exists(config));
        ASSERT_TRUE(PrepareSettingsDirectory());
        EXPECT_TRUE(fs::is_directory(config + "/trivexa"));
        EXPECT_EQ(ModeOf(config + "/trivexa"), 0700u);
    }
    const std::string chosen = (dir / "chosen").string();
    fs::create_directories(chosen);
    fs::permissions(chosen, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    ScopedEnv s("TRIVEXA_SETTINGS_DIR", chosen.c_str());
    EXPECT_EQ(SettingsDirectory(), chosen);
    EXPECT_TRUE(PrepareSettingsDirectory());
    EXPECT_EQ(ModeOf(chosen), 0744u);  // the user's own folder is left as it is
}

TEST(PrivateFolders, MadePrivateWhileLinksFilesAndOthersFoldersAreRefused) {
    TempDir dir;
    // Missing, with missing parents: all made 0700.
    const fs::path deep = dir / "a" / "b" / "c";
    EXPECT_EQ(MakePrivateFolder(deep.string()), PrivateFolder::kOk);
    EXPECT_EQ(ModeOf(deep), 0700u);
    EXPECT_EQ(ModeOf(dir / "a" / "b"), 0700u);
    // An own folder open to others is narrowed.
    fs::create_directories(dir / "open");
    fs::permissions(dir / "open", fs::perms::all);
    EXPECT_EQ(MakePrivateFolder((dir / "open").string()), PrivateFolder::kOk);
    EXPECT_EQ(ModeOf(dir / "open"), 0700u);
    // A link to a folder is not the folder, even when it leads to a private one.
    fs::create_directory_symlink(deep, dir / "link");
    EXPECT_EQ(MakePrivateFolder((dir / "link").string()), PrivateFolder::kNotAFolder);
    WriteFile(dir / "file", "x");
    EXPECT_EQ(MakePrivateFolder((dir / "file").string()), PrivateFolder::kNotAFolder);
    EXPECT_EQ(MakePrivateFolder(""), PrivateFolder::kCannotCreate);
    // Another account's folder (made by root for a fixed other user).
    if (::geteuid() == 0) {
        fs::create_directories(dir / "theirs");
        ASSERT_EQ(::chown((dir / "theirs").c_str(), 4242, 4242), 0);
        EXPECT_EQ(MakePrivateFolder((dir / "theirs").string()), PrivateFolder::kForeignOwner);
    }
}

// A forked process: opens a session in `parent`, writes its folder to the
// pipe, then either waits for a byte on `hold` (a running program) or
// leaves at once without cleaning up (a program that crashed).
pid_t ForkSession(const std::string& parent, int report, int hold, bool crash) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    int status = 1;
    {
        SessionFolder session;
        if (session.Open(parent)) {
            WriteFile(fs::path(session.Path()) / "copy.AVI", "made by the other program");
            const std::string path = session.Path() + "\n";
            if (::write(report, path.data(), path.size()) == static_cast<ssize_t>(path.size())) {
                status = 0;
                if (crash) ::_exit(0);  // no destructor: the folder stays behind
                char c = 0;
                if (::read(hold, &c, 1) < 0) status = 2;
            }
        }
    }
    ::_exit(status);
}

std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

TEST(SessionFolders, RunningSessionsAreKeptAndOnlyThoseOfGoneProgramsRemoved) {
    TempDir dir;
    const std::string parent = (dir / "repaired_movie_files").string();
    int report[2];
    int hold[2];
    ASSERT_EQ(::pipe(report), 0);
    ASSERT_EQ(::pipe(hold), 0);

    const pid_t running = ForkSession(parent, report[1], hold[0], /*crash=*/false);
    ASSERT_GT(running, 0);
    const std::string theirs = ReadLine(report[0]);
    const pid_t crashed = ForkSession(parent, report[1], hold[0], /*crash=*/true);
    ASSERT_GT(crashed, 0);
    const std::string gone = ReadLine(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(crashed, &status, 0), crashed);
    ASSERT_FALSE(theirs.empty());
    ASSERT_FALSE(gone.empty());
    ASSERT_TRUE(fs::exists(fs::path(gone) / "copy.AVI"));
    // Names that are not a session's are never touched.
    WriteFile(fs::path(parent) / "notes.txt", "the user's");
    fs::create_directories(fs::path(parent) / "session-kept-by-user");

    {
        SessionFolder mine;
        ASSERT_TRUE(mine.Open(parent));
        EXPECT_EQ(ModeOf(parent), 0700u);
        EXPECT_EQ(ModeOf(mine.Path()), 0700u);
        EXPECT_NE(mine.Path(), theirs);
        // The other running program keeps its folder and what it holds.
        EXPECT_TRUE(fs::exists(fs::path(theirs) / "copy.AVI"));
        // The crashed one's folder and lock are gone.
        EXPECT_FALSE(fs::exists(gone));
        EXPECT_FALSE(fs::exists(gone + ".lock"));
        EXPECT_TRUE(fs::exists(fs::path(parent) / "notes.txt"));
        EXPECT_TRUE(fs::exists(fs::path(parent) / "session-kept-by-user"));
        // Cleaning again while both run removes nothing.
        EXPECT_EQ(RemoveAbandonedSessions(parent), 0);
        EXPECT_TRUE(fs::exists(theirs));
        EXPECT_TRUE(fs::exists(mine.Path()));
    }

    // The other program ends normally: its folder, still holding a copy,
    // stays until the next session opens.
    ASSERT_EQ(::write(hold[1], "x", 1), 1);
    ASSERT_EQ(::waitpid(running, &status, 0), running);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(fs::exists(theirs));
    EXPECT_EQ(RemoveAbandonedSessions(parent), 1);
    EXPECT_FALSE(fs::exists(theirs));
    for (int fd : {report[0], report[1], hold[0], hold[1]}) ::close(fd);
}

TEST(SessionFolders, RefusedInAParentThatIsALink) {
    TempDir dir;
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "planted");
    SessionFolder session;
    EXPECT_FALSE(session.Open((dir / "planted").string()));
    EXPECT_EQ(session.Path(), "");
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

TEST(SessionFolders, AnEmptyFolderGoesWithItsSession) {
    TempDir dir;
    std::string path;
    {
        SessionFolder session;
        ASSERT_TRUE(session.Open(dir.path().string()));
        path = session.Path();
        EXPECT_TRUE(IsSessionFolderName(path));
        EXPECT_TRUE(fs::is_directory(path));
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + ".lock"));
    EXPECT_FALSE(IsSessionFolderName("repaired_movie_files"));
    EXPECT_FALSE(IsSessionFolderName("session-../x"));
}

}  // namespace
}  // namespace trivexa::platform
