#pragma once
// Windowed read-only access to a clip, shared by all container code. Every read
// of a clip goes through a short-lived window of exactly the bytes needed; a
// window that would run past the end of the file is shortened, never extended.
//
// A clip can be cut short or lose its card while a window of it is mapped, so
// code that reads a window in place uses its guarded reads (CopyOut, FindByte,
// ReadGuarded; the contract is in platform/mapping.h). Bytes that are copied
// into memory anyway are read with ReadWindow instead, which needs no mapping.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "platform/mapping.h"

namespace trivexa {

// A mapped window onto part of a file; released on destruction. data() points
// at the byte that was asked for, size() is how many bytes from there are
// mapped (the requested length cut at the end of the file).
class MappedWindow {
public:
    MappedWindow() = default;
    MappedWindow(MappedWindow&&) noexcept = default;
    MappedWindow& operator=(MappedWindow&&) noexcept = default;

    const std::byte* data() const { return view_ ? view_.data() + skip_ : nullptr; }
    std::size_t size() const { return view_ ? view_.size() - skip_ : 0; }
    std::span<const std::byte> bytes() const { return {data(), size()}; }
    explicit operator bool() const { return static_cast<bool>(view_); }
    void Reset() {
        view_.Reset();
        skip_ = 0;
    }

    // Guarded reads; offsets count from data(). False (or nothing) when the
    // bytes could not be read because the file changed under the window.
    bool CopyOut(std::size_t offset, std::span<std::byte> out) const {
        return offset <= size() && view_.CopyOut(skip_ + offset, out);
    }
    std::optional<std::size_t> FindByte(std::size_t from, std::size_t to, std::byte value) const {
        if (from > size()) return size();
        const std::optional<std::size_t> at =
            view_.FindByte(skip_ + from, skip_ + std::min(to, size()), value);
        if (!at) return std::nullopt;
        return *at - skip_;
    }
    // Runs `body` under a guard over this window (the body's rules are in
    // platform/mapping.h). False when it touched bytes that could not be read.
    template <typename Body>
    bool ReadGuarded(Body& body) const {
        return platform::ReadGuarded(view_, body);
    }

private:
    friend class MappedFile;
    MappedWindow(platform::MappedView view, std::size_t skip)
        : view_(std::move(view)), skip_(skip) {}

    platform::MappedView view_;
    std::size_t skip_ = 0;
};

class MappedFile {
public:
    // Opens an existing file for reading (never for writing) and records its
    // size and the allocation granularity. A failure leaves nothing open.
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }

    // Maps `length` bytes at `offset`: the view starts at the offset rounded
    // down to the granularity and is cut so that it ends no later than the
    // file. Returns an empty window when the offset is at or past the end of
    // the file, the length is 0, or the system refuses the mapping.
    MappedWindow MapWindow(std::uint64_t offset, std::uint64_t length) const;
    static void UnmapWindow(MappedWindow& window) { window.Reset(); }

    // The bytes MapWindow(offset, length) would show, read into memory with
    // positioned reads: for bytes that are copied out anyway, where a mapping
    // buys nothing. Empty when MapWindow would give an empty window, and when
    // the file no longer holds all of those bytes (it was cut short after
    // Open, or its medium went away) or cannot be read.
    std::vector<std::byte> ReadWindow(std::uint64_t offset, std::uint64_t length) const;
    // The same into `out`, whose room is reused (callers that read often keep
    // one buffer and spare the allocator); false, with `out` empty, where the
    // other form gives nothing.
    bool ReadWindow(std::uint64_t offset, std::uint64_t length, std::vector<std::byte>& out) const;

    std::uint64_t Size() const { return file_.Size(); }
    const std::filesystem::path& Path() const { return path_; }
    std::size_t Granularity() const { return granularity_; }
    const platform::ReadOnlyFile& File() const { return file_; }

private:
    platform::ReadOnlyFile file_;
    std::filesystem::path path_;
    std::size_t granularity_ = platform::AllocationGranularity();
};

// Little- and big-endian loads and stores on byte buffers. The caller checks
// that the bytes lie inside the buffer.
inline std::uint32_t LoadLe32(const std::byte* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint16_t LoadLe16(const std::byte* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned>(p[0]) |
                                      (static_cast<unsigned>(p[1]) << 8));
}
inline std::uint32_t LoadBe32(const std::byte* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline std::uint16_t LoadBe16(const std::byte* p) {
    return static_cast<std::uint16_t>((static_cast<unsigned>(p[0]) << 8) |
                                      static_cast<unsigned>(p[1]));
}
inline void StoreLe32(std::byte* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
}
inline void StoreBe32(std::byte* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::byte>((v >> (8 * (3 - i))) & 0xFF);
}
inline void StoreBe16(std::byte* p, std::uint16_t v) {
    p[0] = static_cast<std::byte>(v >> 8);
    p[1] = static_cast<std::byte>(v & 0xFF);
}

// A fourcc as the 32-bit little-endian value it has in a file.
constexpr std::uint32_t FourCC(const char (&s)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(s[3])) << 24);
}

}  // namespace trivexa
