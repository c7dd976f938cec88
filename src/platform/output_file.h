#pragma once
// A file being written that becomes visible under its real name only when it
// is complete. Where the file system allows it the file has no name at all
// until Commit links it into place (O_TMPFILE), so a process killed half-way
// leaves nothing behind; elsewhere (FAT, exFAT, FUSE) it is created under a
// unique hidden name in the folder of the final path (same volume, so the
// final rename is atomic) and held locked while it is written. Creating a
// file in a folder removes the hidden parts there whose writer is gone (the
// name pattern below, no lock held). A file that is never committed is
// removed when the object is destroyed. Every write and the closing of the
// file are checked; a file-size limit fails the write (EFBIG) instead of
// ending the program. Bulk data can be copied from another file inside the
// kernel (copy_file_range) where that is the fastest way, else through one
// buffer of kCopyBufferSize bytes.
//
// One thread uses an OutputFile at a time; it throws nothing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace trivexa::platform {

// The buffer CopyFrom reads through when the kernel does not copy.
inline constexpr std::size_t kCopyBufferSize = 4u * 1024 * 1024;

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates an empty temporary file in the folder of `finalPath`: unnamed
    // where the file system allows it, else named ".<name>.<random>.part"
    // (ten characters of 0-9 and a-z; never replacing anything). False when
    // the folder does not exist or is not writable.
    bool Create(const std::string& finalPath);
    bool IsOpen() const { return fd_ >= 0; }
    // A path that reaches the temporary file while it is open: its hidden
    // name, or "/proc/self/fd/N" for an unnamed file. Empty when none is open.
    const std::string& TemporaryPath() const { return tempPath_; }
    // True when the temporary file has no name in the folder.
    bool IsUnnamed() const { return unnamed_; }
    // With false, Create always makes a named part (to test that path, and
    // for callers that need the name).
    void SetUnnamedAllowed(bool allowed) { unnamedAllowed_ = allowed; }
    const std::string& FinalPath() const { return finalPath_; }

    // Asks the file system for the room the file will need once it has grown
    // to `totalBytes`, without changing its size, so a full disk shows at the
    // start of a long write rather than near its end (and the blocks come in
    // one piece, which also makes the write faster). False only when the
    // volume has no room; true, reserving nothing, where the file system
    // cannot reserve. Commit gives back what was reserved and not written.
    bool Reserve(std::uint64_t totalBytes);

    // Appends all of `bytes`. False on any write error (disk full included).
    // `bytes` may be a mapped view of another file: when that file has been
    // cut short or its medium has gone, the write fails with EFAULT (see
    // LastError) instead of raising a signal.
    bool Write(std::span<const std::byte> bytes);
    // The system's error number of the last Write that failed (0 when none
    // has): EFAULT says the bytes given could not be read, anything else that
    // this file could not be written.
    int LastError() const { return lastError_; }

    // Appends `length` bytes of the file `source` starting at `offset`.
    // The kernel copies them (copy_file_range) when the source offset and the
    // end of this file lie at the same place within a page: it then moves
    // whole pages and is fastest. Otherwise, or when the kernel cannot copy
    // between these two files, they go through a buffer of kCopyBufferSize
    // bytes, which beats the kernel's page-straddling copy. Returns the bytes
    // copied (short only at the end of the source), -1 on an error, or -2 when
    // copying is switched off (see SetKernelCopy).
    std::int64_t CopyFrom(int sourceFd, std::uint64_t offset, std::uint64_t length);
    // With false, CopyFrom always answers -2, so callers copy themselves (for
    // file systems where reading the source by descriptor misbehaves, and to
    // test that path).
    void SetKernelCopy(bool enabled) { kernelCopy_ = enabled; }

    // Bytes written so far (the current end of the file).
    std::uint64_t Size() const { return size_; }

    // Closes the file (a failed close fails the commit) and renames or links
    // it to the final path. With `replace` an existing file there is replaced
    // atomically; without it an existing file fails the commit. On failure
    // the temporary file is removed and an existing file is left as it was.
    bool Commit(bool replace);

    // Closes and removes the temporary file (nothing when already committed).
    void Discard();

private:
    std::int64_t KernelCopy(int sourceFd, std::uint64_t offset, std::uint64_t length);
    std::int64_t BufferedCopy(int sourceFd, std::uint64_t offset, std::uint64_t length);

    bool CommitUnnamed(int fd, bool replace);
    bool CommitNamed(int fd, bool replace);

    int fd_ = -1;
    int lastError_ = 0;
    bool kernelCopy_ = true;
    bool unnamed_ = false;
    bool unnamedAllowed_ = true;
    std::uint64_t size_ = 0;
    std::uint64_t reserved_ = 0;  // end of the reserved room, 0 when none
    std::unique_ptr<std::byte[]> buffer_;
    std::string tempPath_;
    std::string finalPath_;
};

// A file opened for reading only, as a plain descriptor for OutputFile::CopyFrom.
class ReadDescriptor {
public:
    ReadDescriptor() = default;
    ~ReadDescriptor();
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;

    // Opens an existing file read-only. False when it cannot be opened.
    bool Open(const std::string& path);
    int Get() const { return fd_; }
    // The file's size; 0 when closed or the size cannot be read.
    std::uint64_t Size() const;

private:
    int fd_ = -1;
};

// True when both paths name the same existing file (same device and inode),
// whatever links or spellings lead to it.
bool SameFile(const std::string& a, const std::string& b);

// True when writing `output` would replace or overwrite one of `inputs`: the
// same existing file (device and inode, links followed), or the same path
// once ".", "..", repeated separators and links in it are resolved. Every
// command checks its output with this before it writes.
bool IsOneOfInputs(const std::string& output, const std::vector<std::string>& inputs);

// Removes the hidden parts ".<name>.<random>.part" in `folder` whose writer
// is gone (no lock held on them). Create does this for the folder it writes
// in. Returns how many were removed.
int RemoveStaleParts(const std::string& folder);

}  // namespace trivexa::platform
