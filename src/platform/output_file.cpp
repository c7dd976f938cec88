#include "platform/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <random>
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

}  // namespace

OutputFile::~OutputFile() { Discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      kernelCopy_(other.kernelCopy_),
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
    const auto [dir, name] = SplitPath(finalPath);
    if (name.empty()) return false;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = dir + "." + name + "." + RandomTag() + ".part";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            size_ = 0;
            reserved_ = 0;
            tempPath_ = std::move(temp);
            finalPath_ = finalPath;
            return true;
        }
        if (errno != EEXIST) return false;
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
    bool ok = reserved_ <= size_ || ::ftruncate(fd, static_cast<off_t>(size_)) == 0;
    ok = ::close(fd) == 0 && ok;
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

}  // namespace trivexa::platform
