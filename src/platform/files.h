#pragma once
// File and folder services of the operating system: listing with hidden
// entries, the FAT hidden attribute, trash, rename without replacing, and the
// well-known folders. Every file-system call outside memory mapping goes
// through here so that the core never includes an OS header.
//
// All functions are safe to call from any thread, take UTF-8 paths with '/'
// as separator and report failures through their return value; none throws.

#include <cstdint>
#include <string>
#include <vector>

namespace trivexa::platform {

// One entry of a folder listing ("." and ".." are never reported).
struct DirEntry {
    std::string name;        // final component only
    bool isFolder = false;   // a directory, or a symbolic link to one
    bool isHidden = false;   // name starts with '.', or the FAT hidden attribute is set
    bool isSymlink = false;  // the entry itself is a symbolic link
    // Bytes of a regular file (after following a link), else 0; only filled
    // when the listing was asked for sizes.
    std::uint64_t size = 0;
};

// Lists `folder` in the order the file system returns. On FAT and exFAT
// volumes the hidden attribute is read as well. False when the folder cannot
// be opened. The kind of an entry comes with the folder's own records where
// the file system provides it; only links (and entries of unknown kind) are
// looked up one by one, and every entry is when `withSizes` asks for sizes.
// An entry that vanishes while it is looked up is skipped.
bool ListDirectory(const std::string& folder, std::vector<DirEntry>& out, bool withSizes = false);

// Sets the FAT hidden attribute (keeping the other attributes) of the file or
// folder at `path`. On volumes without DOS attributes this is a no-op that
// succeeds. False when the path cannot be opened or the volume refuses.
bool SetHiddenAttribute(const std::string& path);

// True when the FAT hidden attribute of `path` is set (false on volumes
// without DOS attributes and on any failure).
bool HasHiddenAttribute(const std::string& path);

// Moves a file or folder to the user's trash (freedesktop.org trash on Linux),
// creating the trash folders first when they do not exist yet.
bool MoveToTrash(const std::string& path);

// Renames `from` to `to` without ever replacing an existing `to`.
bool RenameNoReplace(const std::string& from, const std::string& to);

// Existence tests that never throw; symbolic links are followed.
bool PathExists(const std::string& path);
// The size of the regular file at `path` (one stat, the file is not opened);
// 0 when there is none.
std::uint64_t RegularFileSize(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
// True when `path` itself is a symbolic link (dangling or not).
bool IsSymlink(const std::string& path);

// `path` made absolute with every symbolic link on it followed and every "."
// and ".." taken out. When the path does not exist (yet), its deepest existing
// part is resolved so and the rest appended as written. Empty when it cannot
// be resolved (a link loop, a folder that cannot be searched).
std::string ResolvedPath(const std::string& path);

// What identifies a file's present contents cheaply: its size and the time
// it was last written, and which file it is (device and inode).
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // nanoseconds since 1970
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};
// The stamp of the regular file at `path` (links followed). False when there
// is no such file.
bool StampOf(const std::string& path, FileStamp& out);

// True when `folder` is a folder this process may create files in (false on
// a read-only mount or without write permission).
bool IsWritableFolder(const std::string& folder);

// The system's folder for temporary files ($TMPDIR, else /tmp), no trailing '/'.
std::string TempDirectory();

// The process's working directory as it was when the program started.
const std::string& StartupDirectory();

// Folder holding the settings file: $TRIVEXA_SETTINGS_DIR when set and not
// empty, else the program's folder in the user's configuration folder
// ($XDG_CONFIG_HOME/trivexa, by default ~/.config/trivexa), never the
// directory the program happened to be started from.
std::string SettingsDirectory();
// Creates the default settings folder (mode 0700) when it is missing; a
// folder named by $TRIVEXA_SETTINGS_DIR is the user's and is left as it is.
// True when the settings folder exists afterwards.
bool PrepareSettingsDirectory();

}  // namespace trivexa::platform
