#pragma once
// Read-only memory-mapped access to a file. Views start at a multiple of the
// page size (the allocation granularity of this platform); callers that need
// an arbitrary offset round down themselves (container/mapped_file.h does).
//
// Any thread may use its own ReadOnlyFile; one ReadOnlyFile may hand out
// several views at once, and views stay valid after the file is closed (the
// kernel keeps the mapping alive until the view is released).
//
// Reading a view that may lose its file
// -------------------------------------
// A view stays mapped when its file shrinks under it (another program cuts
// the clip short) or its medium goes away (the card is pulled out). Touching a
// page that has no readable file data behind it any more raises SIGBUS, which
// would end the whole viewer. Every read of card data through a view therefore
// goes through ReadGuarded (or CopyOut / FindByte, built on it), which turns
// such a fault into a failed read of that one call:
//
// - ReadGuarded(view, body, context) calls body(context) on the calling
//   thread. It returns true when the body ran to its end, false when the body
//   touched a page of `view` that could not be read. The body is then
//   abandoned at the faulting load and never resumed; whatever it stored
//   before stays stored. The bytes of the view are not to be trusted after a
//   failed read (the file has changed).
// - Because the body may be abandoned at any load from the view, it may only
//   read the view and store plain values: no allocation, no locks, no
//   exceptions, no objects with destructors, no calls into code that does
//   any of these, and no change of the signal mask. Copying bytes out and
//   searching them qualify; decoding into containers does not (copy first).
// - A fault is taken over only when the faulting address lies inside the view
//   of a guard open on the faulting thread (the innermost one that holds it;
//   guards nest and every thread has its own). Any other SIGBUS goes to the
//   handler that was installed before (a sanitizer's, a fuzzer's) or to the
//   default action, which ends the process: real bugs still stop where they
//   happen.
// - The SIGBUS handler is installed for the whole process when the first guard
//   opens, and stays. It runs with SA_NODEFER and jumps back with siglongjmp
//   without restoring the signal mask, so a guard costs no system call. Code
//   that installs its own SIGBUS handler afterwards must chain to the one it
//   replaces, as this one does.
// - Data written from a view by a system call (write(2) with a view as its
//   buffer) needs no guard: the kernel answers EFAULT for bytes it cannot read
//   and raises no signal.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
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

    // Copies the view's bytes [offset, offset + out.size()) into `out`. False
    // when the range does not lie inside the view or a page of it could not be
    // read (see the top of this header).
    bool CopyOut(std::size_t offset, std::span<std::byte> out) const;
    // The offset of the first byte equal to `value` in [from, to) of the view
    // (`to` is cut to the view's size), or the cut `to` when there is none.
    // Nothing when a page could not be read.
    std::optional<std::size_t> FindByte(std::size_t from, std::size_t to, std::byte value) const;

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

// Runs body(context) with faults in `view` turned into a false return (see the
// top of this header for what the body may do). False without running the
// body when the view is empty.
bool ReadGuarded(const MappedView& view, void (*body)(void*), void* context);

// The same for a callable that takes no arguments, under the same rules.
template <typename Body>
bool ReadGuarded(const MappedView& view, Body& body) {
    return ReadGuarded(
        view, [](void* context) { (*static_cast<Body*>(context))(); }, &body);
}

// Faults that guards have turned into failed reads in this process so far.
std::uint64_t GuardedFaultCount();

namespace test_hooks {
// Called on the mapping thread right after every view ReadOnlyFile::Map makes,
// with the file's descriptor and the view's place in the file; lets a test cut
// a file short at an exact moment of a running operation. Null (the default)
// calls nothing. Set it only while no view is being mapped.
using AfterMapHook = void (*)(int fd, std::uint64_t offset, std::size_t length);
void SetAfterMapHook(AfterMapHook hook);
}  // namespace test_hooks

}  // namespace trivexa::platform
