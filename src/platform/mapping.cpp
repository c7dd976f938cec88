#include "platform/mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

namespace trivexa::platform {
namespace {
std::atomic<test_hooks::AfterMapHook> g_afterMap{nullptr};
}  // namespace

void test_hooks::SetAfterMapHook(AfterMapHook hook) { g_afterMap.store(hook); }

std::size_t AllocationGranularity() {
    static const std::size_t granularity = [] {
        const long page = ::sysconf(_SC_PAGESIZE);
        return page > 0 ? static_cast<std::size_t>(page) : std::size_t{4096};
    }();
    return granularity;
}

MappedView::~MappedView() { Reset(); }

MappedView::MappedView(MappedView&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)), length_(std::exchange(other.length_, 0)) {}

MappedView& MappedView::operator=(MappedView&& other) noexcept {
    if (this != &other) {
        Reset();
        base_ = std::exchange(other.base_, nullptr);
        length_ = std::exchange(other.length_, 0);
    }
    return *this;
}

void MappedView::Reset() {
    if (base_ != nullptr) ::munmap(base_, length_);
    base_ = nullptr;
    length_ = 0;
}

ReadOnlyFile::~ReadOnlyFile() { Close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

bool ReadOnlyFile::Open(const std::filesystem::path& path) {
    Close();
    // O_NOCTTY/O_NONBLOCK keep a stray device or FIFO name from blocking the
    // open; anything that is not a regular file is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void ReadOnlyFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

MappedView ReadOnlyFile::Map(std::uint64_t offset, std::size_t length) const {
    if (fd_ < 0 || length == 0 || offset % AllocationGranularity() != 0) return {};
    if (offset >= size_ || length > size_ - offset) return {};
    void* base = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(offset));
    if (base == MAP_FAILED) return {};
    if (const test_hooks::AfterMapHook hook = g_afterMap.load(std::memory_order_relaxed))
        hook(fd_, offset, length);
    return MappedView(base, length);
}

std::int64_t ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
    if (fd_ < 0) return -1;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace trivexa::platform
