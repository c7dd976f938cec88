#include "platform/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <mutex>
#include <random>
#include <system_error>
#include <utility>

#include "platform/mapping.h"
#include "platform/path.h"

namespace trivexa::platform {
namespace {

// Splits "dir/name" into "dir/" (kept as written, possibly empty) and "name".
// Only the final component is replaced, so the folder stays as written.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::string_view name = FileNameOf(path);
    return {path.substr(0, path.size() - name.size()), std::string(name)};
}

std::string RandomTag() {
    static std::atomic<std::uint64_t> counter{0};
    thread_local std::mt19937_64 rng{std::random_device{}()};
    const std::uint64_t v = rng() ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string tag;
    std::uint64_t x = v;
    for (int i = 0; i < 10; ++i) {
        tag.push_back(kDigits[x % 36]);
        x /= 36;
    }
    return tag;
}

constexpr std::size_t kTagLength = 10;
constexpr std::string_view kPartSuffix = ".part";

std::string PartName(const std::string& name) {
    return "." + name + "." + RandomTag() + std::string(kPartSuffix);
}

// ".<name>.<ten characters of 0-9a-z>.part", with a name of one character
// or more: the hidden parts this writer makes.
bool IsPartName(std::string_view n) {
    constexpr std::size_t kFixed = 1 + 1 + kTagLength + kPartSuffix.size();
    if (n.size() < kFixed + 1 || n.front() != '.' || !n.ends_with(kPartSuffix)) return false;
    const std::string_view tag =
        n.substr(n.size() - kPartSuffix.size() - kTagLength, kTagLength);
    if (n[n.size() - kPartSuffix.size() - kTagLength - 1] != '.') return false;
    for (char c : tag)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) return false;
    return true;
}

// A write beyond the process's file-size limit raises SIGXFSZ, which ends
// the program by default; ignored, the write fails with EFBIG instead and
// the writer cleans up. A handler someone installed is left alone.
void IgnoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction old {};
        if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && (old.sa_flags & SA_SIGINFO) == 0 &&
            old.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            ::sigaction(SIGXFSZ, &ignore, nullptr);
        }
    });
}

// Linking an unnamed file into place goes through /proc/self/fd, which any
// user may do (linking the descriptor itself needs a privilege).
bool ProcFdUsable() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

std::string ProcFdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Takes the lock that marks a part as being written; false when another
// open file holds it. Where the file system cannot lock at all the part is
// kept (the cleaning cannot lock it either).
bool LockPart(int fd) {
    int r;
    do {
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    return r == 0 || (errno != EWOULDBLOCK && errno != EAGAIN);
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      kernelCopy_(other.kernelCopy_),
      unnamed_(std::exchange(other.unnamed_, false)),
      unnamedAllowed_(other.unnamedAllowed_),
      size_(std::exchange(other.size_, 0)),
      reserved_(std::exchange(other.reserved_, 0)),
      buffer_(std::move(other.buffer_)),
      tempPath_(std::move(other.tempPath_)),
      finalPath_(std::move(other.finalPath_)) {
    other.tempPath_.clear();
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        kernelCopy_ = other.kernelCopy_;
        unnamed_ = std::exchange(other.unnamed_, false);
        unnamedAllowed_ = other.unnamedAllowed_;
        size_ = std::exchange(other.size_, 0);
        reserved_ = std::exchange(other.reserved_, 0);
        buffer_ = std::move(other.buffer_);
        tempPath_ = std::move(other.tempPath_);
        finalPath_ = std::move(other.finalPath_);
        other.tempPath_.clear();
    }
    return *this;
}

bool OutputFile::Create(const std::string& finalPath) {
    Discard();
    IgnoreFileSizeSignal();
    const auto [dir, name] = SplitPath(finalPath);
    if (name.empty()) return false;
    const std::string folder = dir.empty() ? std::string(".") : dir;
    RemoveStaleParts(folder);
    size_ = 0;
    reserved_ = 0;
    if (unnamedAllowed_ && ProcFdUsable()) {
        // Refused where the file system has no unnamed files (FAT, exFAT,
        // FUSE, old kernels): a named part follows.
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            LockPart(fd);  // held for the moment it has a name while replacing
            fd_ = fd;
            unnamed_ = true;
            tempPath_ = ProcFdPath(fd);
            finalPath_ = finalPath;
            return true;
        }
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = dir + PartName(name);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno != EEXIST) return false;
            continue;
        }
        // Locked while written; a cleaning that removed the fresh part before
        // the lock was taken leaves it without a name: try another.
        struct stat st {};
        if (!LockPart(fd) || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        fd_ = fd;
        unnamed_ = false;
        tempPath_ = std::move(temp);
        finalPath_ = finalPath;
        return true;
    }
    return false;
}

bool OutputFile::Write(std::span<const std::byte> bytes) {
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            lastError_ = errno;
            return false;
        }
        if (n == 0) {
            lastError_ = EIO;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
        size_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool OutputFile::Reserve(std::uint64_t totalBytes) {
    if (fd_ < 0) return false;
    if (totalBytes <= size_ || totalBytes <= reserved_) return true;
    if (totalBytes > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    // FALLOC_FL_KEEP_SIZE: the file's size still grows only as it is written
    // (FAT would otherwise write zeros over the whole range first).
    const off_t from = static_cast<off_t>(size_);
    const off_t length = static_cast<off_t>(totalBytes - size_);
    int r;
    do {
        r = ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, from, length);
    } while (r != 0 && errno == EINTR);
    if (r == 0) {
        reserved_ = totalBytes;
        return true;
    }
    return errno != ENOSPC && errno != EDQUOT && errno != EFBIG;
}

std::int64_t OutputFile::CopyFrom(int sourceFd, std::uint64_t offset, std::uint64_t length) {
    if (fd_ < 0 || sourceFd < 0) return -1;
    if (!kernelCopy_) return -2;
    if (length == 0) return 0;
    const std::uint64_t page = AllocationGranularity();
    if (offset % page == size_ % page) {
        const std::int64_t n = KernelCopy(sourceFd, offset, length);
        if (n != -2) return n;
    }
    return BufferedCopy(sourceFd, offset, length);
}

std::int64_t OutputFile::KernelCopy(int sourceFd, std::uint64_t offset, std::uint64_t length) {
    std::uint64_t done = 0;
    while (done < length) {
        loff_t in = static_cast<loff_t>(offset + done);
        const ssize_t n = ::copy_file_range(sourceFd, &in, fd_, nullptr,
                                            static_cast<std::size_t>(length - done), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // Nothing copied yet and the kernel cannot do it for this pair of
            // files (another file system on an old kernel, a special file).
            if (done == 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                              errno == EOPNOTSUPP || errno == EBADF))
                return -2;
            return -1;
        }
        if (n == 0) break;  // end of the source
        done += static_cast<std::uint64_t>(n);
        size_ += static_cast<std::uint64_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t OutputFile::BufferedCopy(int sourceFd, std::uint64_t offset, std::uint64_t length) {
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<std::byte[]>(kCopyBufferSize);
    std::uint64_t done = 0;
    while (done < length) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBufferSize, length - done));
        const ssize_t n = ::pread(sourceFd, buffer_.get(), want, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;  // end of the source
        if (!Write(std::span<const std::byte>(buffer_.get(), static_cast<std::size_t>(n))))
            return -1;
        done += static_cast<std::uint64_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool OutputFile::Commit(bool replace) {
    if (fd_ < 0) return false;
    const int fd = std::exchange(fd_, -1);
    // Room reserved beyond what was written goes back to the volume.
    const bool ok = reserved_ <= size_ || ::ftruncate(fd, static_cast<off_t>(size_)) == 0;
    const bool committed = ok && (unnamed_ ? CommitUnnamed(fd, replace) : CommitNamed(fd, replace));
    if (!ok) {
        ::close(fd);
        if (!unnamed_) ::unlink(tempPath_.c_str());
    }
    tempPath_.clear();
    unnamed_ = false;
    return committed;
}

bool OutputFile::CommitNamed(int fd, bool replace) {
    bool ok = ::close(fd) == 0;
    if (ok) {
        if (replace) {
            ok = ::rename(tempPath_.c_str(), finalPath_.c_str()) == 0;
        } else if (::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, finalPath_.c_str(),
                               RENAME_NOREPLACE) == 0) {
            ok = true;
        } else if (errno == EINVAL || errno == ENOSYS) {
            // The file system cannot refuse atomically: check, then rename.
            struct stat st {};
            ok = ::lstat(finalPath_.c_str(), &st) != 0 && errno == ENOENT &&
                 ::rename(tempPath_.c_str(), finalPath_.c_str()) == 0;
        } else {
            ok = false;
        }
    }
    if (!ok) ::unlink(tempPath_.c_str());
    return ok;
}

bool OutputFile::CommitUnnamed(int fd, bool replace) {
    const std::string self = ProcFdPath(fd);
    const auto link = [&](const std::string& to) {
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
    };
    if (!replace) {
        // The link itself refuses an existing file.
        if (!link(finalPath_)) {
            ::close(fd);
            return false;
        }
        if (::close(fd) != 0) {
            ::unlink(finalPath_.c_str());
            return false;
        }
        return true;
    }
    // Replacing: a name of its own first, then one atomic rename over the
    // existing file.
    const auto [dir, name] = SplitPath(finalPath_);
    std::string temp;
    bool linked = false;
    for (int attempt = 0; attempt < 16 && !linked; ++attempt) {
        temp = dir + PartName(name);
        linked = link(temp);
        if (!linked && errno != EEXIST) break;
    }
    if (!linked) {
        ::close(fd);
        return false;
    }
    // Renamed while still open, so the name is locked as long as it exists
    // (closing a local file, the only kind that has unnamed files, cannot
    // fail after the writes did not).
    const bool renamed = ::rename(temp.c_str(), finalPath_.c_str()) == 0;
    if (!renamed) ::unlink(temp.c_str());
    const bool closed = ::close(fd) == 0;
    return renamed && closed;
}

void OutputFile::Discard() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    // An unnamed file is gone with its descriptor.
    if (!tempPath_.empty() && !unnamed_) ::unlink(tempPath_.c_str());
    tempPath_.clear();
    unnamed_ = false;
    size_ = 0;
    reserved_ = 0;
}

ReadDescriptor::~ReadDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

bool ReadDescriptor::Open(const std::string& path) {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

std::uint64_t ReadDescriptor::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace {

// The path with ".", ".." and links resolved as far as it exists (the rest
// appended as written); empty when it cannot be resolved.
std::string ResolvedPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::weakly_canonical(path, ec);
    return ec ? std::string() : p.lexically_normal().string();
}

}  // namespace

bool IsOneOfInputs(const std::string& output, const std::vector<std::string>& inputs) {
    if (output.empty()) return false;
    struct stat out {};
    if (::stat(output.c_str(), &out) == 0) {
        // An existing output: one identity check per input covers every
        // spelling and link that leads to the same file.
        for (const std::string& input : inputs) {
            struct stat in {};
            if (!input.empty() && ::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
                in.st_ino == out.st_ino)
                return true;
        }
        return false;
    }
    // Not there yet: the same path once resolved (only an input of the same
    // name can resolve to it).
    const std::string_view name = FileNameOf(output);
    std::string resolved;
    for (const std::string& input : inputs) {
        if (input.empty() || FileNameOf(input) != name) continue;
        if (resolved.empty()) resolved = ResolvedPath(output);
        if (!resolved.empty() && resolved == ResolvedPath(input)) return true;
    }
    return false;
}

int RemoveStaleParts(const std::string& folder) {
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (!IsPartName(name)) continue;
        // Never a link, never anything but a regular file of this folder.
        const int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {}, named{};
        // The writer holds the lock for as long as it lives.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dirFd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
            ::unlinkat(dirFd, e->d_name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

}  // namespace trivexa::platform
