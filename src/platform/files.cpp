#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/path.h"
#include "platform/private_folders.h"

namespace trivexa::platform {
namespace {

// Owns a file descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

private:
    int fd_;
};

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// Only FAT and exFAT keep DOS attributes; asking other volumes would cost an
// open per entry for nothing.
bool HasDosAttributes(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return false;
    return fs.f_type == MSDOS_SUPER_MAGIC || fs.f_type == static_cast<long>(EXFAT_SUPER_MAGIC);
}

// An ioctl the file system does not implement: the volume has no DOS attributes.
bool IsUnsupported(int err) {
    return err == ENOTTY || err == ENOSYS || err == EOPNOTSUPP || err == EINVAL;
}

bool ReadDosAttributes(int fd, std::uint32_t& attrs) {
    return ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attrs) == 0;
}

std::string CurrentDirectory() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::current_path(ec);
    return ec ? std::string(".") : p.string();
}

// Captures the working directory before main() runs, so that a later change
// of directory (a file dialog, a library) cannot change what it reports.
struct StartupCapture {
    StartupCapture() { StartupDirectory(); }
} const startupCapture;

}  // namespace

bool ListDirectory(const std::string& folder, std::vector<DirEntry>& out, bool withSizes) {
    out.clear();
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return false;
    const int dirFd = ::dirfd(dir.get());
    const bool dosAttributes = HasDosAttributes(dirFd);
    while (dirent* e = ::readdir(dir.get())) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        DirEntry entry;
        entry.name = std::string(name);
        entry.isHidden = name.front() == '.';
        entry.isFolder = e->d_type == DT_DIR;
        entry.isSymlink = e->d_type == DT_LNK;
        struct stat st {};
        if (e->d_type == DT_UNKNOWN) {
            if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished
            entry.isSymlink = S_ISLNK(st.st_mode);
        }
        // Links are followed to what they lead to (a dangling link stays in
        // the listing as a file of size 0); entries of unknown kind and, when
        // sizes are asked for, files are looked up too.
        if (entry.isSymlink || e->d_type == DT_UNKNOWN || (withSizes && !entry.isFolder)) {
            if (::fstatat(dirFd, e->d_name, &st, 0) == 0) {
                entry.isFolder = S_ISDIR(st.st_mode);
                if (withSizes && S_ISREG(st.st_mode))
                    entry.size = static_cast<std::uint64_t>(st.st_size);
            } else if (!entry.isSymlink) {
                continue;  // removed while listing
            }
        }
        if (dosAttributes && !entry.isHidden && !entry.isSymlink) {
            Fd fd(::openat(dirFd, e->d_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
            std::uint32_t attrs = 0;
            if (fd.ok() && ReadDosAttributes(fd.get(), attrs)) {
                entry.isHidden = (attrs & ATTR_HIDDEN) != 0;
            }
        }
        out.push_back(std::move(entry));
    }
    return true;
}

bool SetHiddenAttribute(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.ok()) return false;
    std::uint32_t attrs = 0;
    if (!ReadDosAttributes(fd.get(), attrs)) return IsUnsupported(errno);
    if (attrs & ATTR_HIDDEN) return true;
    attrs |= ATTR_HIDDEN;
    return ::ioctl(fd.get(), FAT_IOCTL_SET_ATTRIBUTES, &attrs) == 0;
}

bool HasHiddenAttribute(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    std::uint32_t attrs = 0;
    return fd.ok() && ReadDosAttributes(fd.get(), attrs) && (attrs & ATTR_HIDDEN) != 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot rename atomically without replacing: check first.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0 || errno != ENOENT) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::uint64_t RegularFileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool IsWritableFolder(const std::string& folder) {
    return IsDirectory(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSymlink(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string ResolvedPath(const std::string& path) {
    if (path.empty()) return {};
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    if (ec || resolved.empty()) return {};
    return resolved.string();
}

bool StampOf(const std::string& path, FileStamp& out) {
    out = {};
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                     static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    out.device = static_cast<std::uint64_t>(st.st_dev);
    out.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

std::string TempDirectory() {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty()) dir = "/tmp";
    return std::string(StripTrailingSeparators(dir));
}

const std::string& StartupDirectory() {
    static const std::string dir = CurrentDirectory();
    return dir;
}

namespace {
const char* SettingsOverride() {
    const char* env = std::getenv("TRIVEXA_SETTINGS_DIR");
    return env && *env ? env : nullptr;
}
}  // namespace

std::string SettingsDirectory() {
    if (const char* env = SettingsOverride()) return env;
    return AppConfigDirectory();
}

bool PrepareSettingsDirectory() {
    if (const char* env = SettingsOverride()) return IsDirectory(env);
    return MakePrivateFolder(AppConfigDirectory()) == PrivateFolder::kOk;
}

}  // namespace trivexa::platform
