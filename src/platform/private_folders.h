#pragma once
// The user's own folders (the freedesktop.org base directories) and private
// folders inside them: the settings file lives in the configuration folder,
// the web profile, the tile cache and the repaired copies in the cache
// folder. Nothing of the user's goes under a fixed name in a shared folder
// such as /tmp, where another account could read it, take its name first or
// plant a file in it.
//
// A session folder is the private folder of one running process inside a
// private parent. A lock held by the process for as long as it runs tells
// other processes that the folder is in use; a folder whose process has gone
// (ended, crashed, killed) is removed by the next process that opens a
// session in the same parent. Only names this class makes are ever removed.
//
// All functions are safe to call from any thread and throw nothing.

#include <string>

namespace trivexa::platform {

// $HOME, else the account's home folder from the user database; "" when
// neither is known.
std::string HomeDirectory();
// $XDG_CONFIG_HOME when it is an absolute path, else <home>/.config.
std::string ConfigHome();
// $XDG_CACHE_HOME when it is an absolute path, else <home>/.cache.
std::string CacheHome();
// $XDG_RUNTIME_DIR when it is an absolute path, else "" (no fallback: the
// folder is made by the login session, never by us).
std::string RuntimeHome();

// The program's folders in them: <config home>/trivexa, <cache home>/trivexa.
std::string AppConfigDirectory();
std::string AppCacheDirectory();

// What MakePrivateFolder found.
enum class PrivateFolder : int {
    kOk = 0,
    kCannotCreate = 1,  // missing, and could not be created
    kNotAFolder = 2,    // a symbolic link, a file or anything but a real folder
    kForeignOwner = 3,  // a folder owned by another account
    kOpenToOthers = 4,  // others may enter it, and its mode could not be narrowed
};

// Creates `path` with mode 0700 when it is missing (missing parents are
// created 0700 too), then checks that it is a real folder, not a link,
// owned by this user; a mode wider than 0700 is narrowed to 0700.
PrivateFolder MakePrivateFolder(const std::string& path);

// The private folder of this process inside `parent`.
class SessionFolder {
public:
    SessionFolder() = default;
    // Releases the lock. An empty folder is removed with its lock file; one
    // that still holds files stays for the next session to clean up.
    ~SessionFolder();
    SessionFolder(const SessionFolder&) = delete;
    SessionFolder& operator=(const SessionFolder&) = delete;

    // Makes `parent` a private folder, removes the folders of sessions that
    // have gone, then creates this session's folder (mode 0700) and takes its
    // lock. False when the parent is not private or nothing can be created.
    bool Open(const std::string& parent);
    bool IsOpen() const { return lockFd_ >= 0; }
    // The session's folder (no trailing '/'); "" before Open succeeded.
    const std::string& Path() const { return path_; }

private:
    int lockFd_ = -1;
    std::string path_;
    std::string lockPath_;
};

// Removes, inside `parent`, the session folders (and their lock files) whose
// process no longer runs; folders of running sessions and every name that is
// not a session's are left alone. Returns how many folders were removed.
int RemoveAbandonedSessions(const std::string& parent);

// True when `path` is a session folder name made by SessionFolder (the final
// component only is looked at).
bool IsSessionFolderName(const std::string& name);

}  // namespace trivexa::platform
