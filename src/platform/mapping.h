#pragma once
// Read-only memory-mapped access to a file. Views start at a multiple of the
// page size (the allocation granularity of this platform); callers that need
// an arbitrary offset round down themselves (container/mapped_file.h does).
//
// Any thread may use its own ReadOnlyFile; one ReadOnlyFile may hand out
// several views at once, and views stay valid after the file is closed (the
// kernel keeps the mapping alive until the view is released).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace trivexa::platform {

// The page size: offsets of views must be multiples of it.
std::size_t AllocationGranularity();

// One mapped view; unmapped on destruction. Move-only.
class MappedView {
public:
    MappedView() = default;
    ~MappedView();
    MappedView(MappedView&& other) noexcept;
    MappedView& operator=(MappedView&& other) noexcept;
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;

    const std::byte* data() const { return static_cast<const std::byte*>(base_); }
    std::size_t size() const { return length_; }
    std::span<const std::byte> bytes() const { return {data(), length_}; }
    explicit operator bool() const { return base_ != nullptr; }

    // Releases the view now (the destructor does the same).
    void Reset();

private:
    friend class ReadOnlyFile;
    MappedView(void* base, std::size_t length) : base_(base), length_(length) {}

    void* base_ = nullptr;
    std::size_t length_ = 0;
};

// A file opened for reading only; it is never written through this class.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens an existing regular file and records its size. False when it does
    // not exist, is not a regular file or cannot be read.
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    std::uint64_t Size() const { return size_; }

    // Maps `length` bytes at `offset`. The offset must be a multiple of
    // AllocationGranularity() and the range must lie inside the file; an empty
    // view is returned otherwise or when the system refuses the mapping.
    MappedView Map(std::uint64_t offset, std::size_t length) const;

    // Reads up to out.size() bytes at `offset` with one positioned read.
    // Returns the number of bytes read, or -1 on a read error.
    std::int64_t ReadAt(std::uint64_t offset, std::span<std::byte> out) const;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace trivexa::platform
