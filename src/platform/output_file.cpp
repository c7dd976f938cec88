#include "platform/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>
#include <utility>

namespace trivexa::platform {
namespace {

// Splits "dir/name" into "dir/" (kept as written, possibly empty) and "name".
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
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

}  // namespace

OutputFile::~OutputFile() { Discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      kernelCopy_(other.kernelCopy_),
      size_(std::exchange(other.size_, 0)),
      tempPath_(std::move(other.tempPath_)),
      finalPath_(std::move(other.finalPath_)) {
    other.tempPath_.clear();
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        kernelCopy_ = other.kernelCopy_;
        size_ = std::exchange(other.size_, 0);
        tempPath_ = std::move(other.tempPath_);
        finalPath_ = std::move(other.finalPath_);
        other.tempPath_.clear();
    }
    return *this;
}

bool OutputFile::Create(const std::string& finalPath) {
    Discard();
    const auto [dir, name] = SplitPath(finalPath);
    if (name.empty()) return false;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = dir + "." + name + "." + RandomTag() + ".part";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            size_ = 0;
            tempPath_ = std::move(temp);
            finalPath_ = finalPath;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool OutputFile::Write(std::span<const std::byte> bytes) {
    if (fd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
        size_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

std::int64_t OutputFile::CopyFrom(int sourceFd, std::uint64_t offset, std::uint64_t length) {
    if (fd_ < 0 || sourceFd < 0) return -1;
    if (!kernelCopy_) return -2;
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

bool OutputFile::Commit(bool replace) {
    if (fd_ < 0) return false;
    const int fd = std::exchange(fd_, -1);
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
    if (!ok) {
        ::unlink(tempPath_.c_str());
    }
    tempPath_.clear();
    return ok;
}

void OutputFile::Discard() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
    size_ = 0;
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

}  // namespace trivexa::platform
