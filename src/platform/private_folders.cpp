#include "platform/private_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/path.h"

namespace trivexa::platform {
namespace {

constexpr std::string_view kAppFolder = "trivexa";
constexpr std::string_view kSessionPrefix = "session-";
constexpr std::string_view kLockSuffix = ".lock";
constexpr mode_t kPrivateMode = 0700;
// Names are random: a clash only means another try.
constexpr int kSessionAttempts = 16;

// An environment variable that holds an absolute path; the freedesktop.org
// base directory rules have relative values ignored.
std::string AbsoluteEnv(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || v[0] != '/') return {};
    return std::string(StripTrailingSeparators(v));
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The lock file of the session folder `name`.
std::string LockName(const std::string& name) { return name + std::string(kLockSuffix); }

// Takes the lock of session `name` in `parent` when its process has gone;
// then removes the folder and the lock file. True when a folder went.
bool RemoveIfAbandoned(const std::string& parent, const std::string& name) {
    const std::string lockPath = JoinPath(parent, LockName(name));
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool removed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds the lock: the session's process is gone. Its folder
        // holds only what that process made; links inside are removed, never
        // followed.
        const std::string folder = JoinPath(parent, name);
        struct stat st {};
        if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
            removed = !ec;
        }
        // While the lock is held, so that a session just being made under
        // this name notices (it checks its lock file is still there).
        ::unlink(lockPath.c_str());
    }
    ::close(fd);
    return removed;
}

std::string RandomHex() {
    unsigned char bytes[8] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // Unlikely; the pid and the clock still make a clash rare, and a
        // clash only costs another attempt.
        const auto t = static_cast<unsigned long long>(::time(nullptr)) ^
                       (static_cast<unsigned long long>(::getpid()) << 20);
        for (std::size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(t >> (8 * i));
    }
    char text[2 * sizeof bytes + 1] = {};
    for (std::size_t i = 0; i < sizeof bytes; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", static_cast<unsigned>(bytes[i]));
    return text;
}

}  // namespace

std::string HomeDirectory() {
    if (std::string home = AbsoluteEnv("HOME"); !home.empty()) return home;
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return std::string(StripTrailingSeparators(found->pw_dir));
    return {};
}

std::string ConfigHome() {
    if (std::string dir = AbsoluteEnv("XDG_CONFIG_HOME"); !dir.empty()) return dir;
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : JoinPath(home, ".config");
}

std::string CacheHome() {
    if (std::string dir = AbsoluteEnv("XDG_CACHE_HOME"); !dir.empty()) return dir;
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : JoinPath(home, ".cache");
}

std::string RuntimeHome() { return AbsoluteEnv("XDG_RUNTIME_DIR"); }

std::string AppConfigDirectory() {
    const std::string base = ConfigHome();
    return base.empty() ? std::string() : JoinPath(base, kAppFolder);
}

std::string AppCacheDirectory() {
    const std::string base = CacheHome();
    return base.empty() ? std::string() : JoinPath(base, kAppFolder);
}

PrivateFolder MakePrivateFolder(const std::string& path) {
    if (path.empty()) return PrivateFolder::kCannotCreate;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return PrivateFolder::kCannotCreate;
        const std::filesystem::path p(path);
        if (p.has_parent_path() && p.parent_path() != p) {
            const std::string parent = p.parent_path().string();
            struct stat ps {};
            if (::stat(parent.c_str(), &ps) != 0) {
                // Missing parents are ours to make, and as private.
                if (MakePrivateFolder(parent) != PrivateFolder::kOk &&
                    ::stat(parent.c_str(), &ps) != 0)
                    return PrivateFolder::kCannotCreate;
            }
        }
        if (::mkdir(path.c_str(), kPrivateMode) != 0 && errno != EEXIST)
            return PrivateFolder::kCannotCreate;
        if (::lstat(path.c_str(), &st) != 0) return PrivateFolder::kCannotCreate;
    }
    if (!S_ISDIR(st.st_mode)) return PrivateFolder::kNotAFolder;
    if (st.st_uid != ::geteuid()) return PrivateFolder::kForeignOwner;
    if ((st.st_mode & 0077) != 0) {
        // Opened without following a link, so the mode changes on this very
        // folder even if the name were swapped meanwhile.
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return PrivateFolder::kOpenToOthers;
        struct stat again {};
        const bool same = ::fstat(fd, &again) == 0 && again.st_ino == st.st_ino &&
                          again.st_dev == st.st_dev && again.st_uid == ::geteuid();
        const bool narrowed = same && ::fchmod(fd, kPrivateMode) == 0;
        ::close(fd);
        if (!narrowed) return PrivateFolder::kOpenToOthers;
    }
    return PrivateFolder::kOk;
}

bool IsSessionFolderName(const std::string& name) {
    const std::string_view n = FileNameOf(name);
    if (n.size() <= kSessionPrefix.size() || n.substr(0, kSessionPrefix.size()) != kSessionPrefix)
        return false;
    for (char c : n.substr(kSessionPrefix.size()))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '-')) return false;
    return true;
}

int RemoveAbandonedSessions(const std::string& parent) {
    std::vector<std::string> names;
    {
        std::unique_ptr<DIR, DirCloser> dir(::opendir(parent.c_str()));
        if (!dir) return 0;
        while (dirent* e = ::readdir(dir.get())) {
            std::string name = e->d_name;
            // A lock file left without its folder counts as its session.
            if (name.size() > kLockSuffix.size() &&
                name.compare(name.size() - kLockSuffix.size(), kLockSuffix.size(), kLockSuffix) ==
                    0)
                name.resize(name.size() - kLockSuffix.size());
            if (!IsSessionFolderName(name)) continue;
            bool seen = false;
            for (const std::string& n : names) seen = seen || n == name;
            if (!seen) names.push_back(std::move(name));
        }
    }
    int removed = 0;
    for (const std::string& name : names)
        if (RemoveIfAbandoned(parent, name)) ++removed;
    return removed;
}

bool SessionFolder::Open(const std::string& parent) {
    if (IsOpen()) return true;
    if (MakePrivateFolder(parent) != PrivateFolder::kOk) return false;
    RemoveAbandonedSessions(parent);
    const std::string stem = std::string(kSessionPrefix) + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < kSessionAttempts; ++attempt) {
        const std::string name = stem + RandomHex();
        const std::string lockPath = JoinPath(parent, LockName(name));
        const int fd =
            ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        // A cleaner may have taken and removed the lock file between its
        // creation and this lock: then it no longer names this file.
        struct stat mine {};
        struct stat named {};
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &mine) != 0 ||
            ::lstat(lockPath.c_str(), &named) != 0 || mine.st_ino != named.st_ino ||
            mine.st_dev != named.st_dev) {
            ::close(fd);
            continue;
        }
        const std::string folder = JoinPath(parent, name);
        if (::mkdir(folder.c_str(), kPrivateMode) != 0) {
            ::unlink(lockPath.c_str());
            ::close(fd);
            if (errno == EEXIST) continue;
            return false;
        }
        lockFd_ = fd;
        path_ = folder;
        lockPath_ = lockPath;
        return true;
    }
    return false;
}

SessionFolder::~SessionFolder() {
    if (lockFd_ < 0) return;
    // rmdir removes only an empty folder; the lock file goes with it (while
    // the lock is still held) or, when the folder was already deleted, alone.
    if (::rmdir(path_.c_str()) == 0 || errno == ENOENT) ::unlink(lockPath_.c_str());
    ::close(lockFd_);
}

}  // namespace trivexa::platform
