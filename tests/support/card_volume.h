#pragma once
// A recorder's card on a real card file system for tests: an image file made
// by mkfs in the temporary folder and mounted through FUSE, FAT32 with
// fusefat or exFAT with exfat-fuse on a loop device, as an SD card of up to
// 32 GB or of 64 GB and more is formatted. Pull() takes the card out of its
// slot while readers still hold its files: the mount is detached at once and
// the file system stops answering (reads fail, mapped pages cannot be read).
//
// Nothing outlives the test process, even when it crashes: the mounts are
// made in a mount namespace private to it (entered before main, while it has
// one thread, because a namespace entered later would hold only the calling
// thread), the file system's program is killed when the test process dies,
// and the loop device detaches itself when its last user closes it.
//
// Needs root, /dev/fuse, the programs (scripts/setup installs them) and, for
// exFAT, loop devices; where any is missing the volume is not mounted and
// Why() says what is missing, for a GTEST_SKIP.
//
// A volume is used by the thread that made it; Pull() may also be called from
// another thread (a test hook inside a running operation) while the owner
// waits.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include "support/test_support.h"

namespace trivexa::test {

enum class CardFileSystem { kFat32, kExfat };

// "FAT32" or "exFAT", for test names.
const char* CardFileSystemName(CardFileSystem fs);
// How GoogleTest shows a parameter: by its name.
inline void PrintTo(CardFileSystem fs, std::ostream* os) { *os << CardFileSystemName(fs); }

class CardVolume {
public:
    // Makes an image of `imageBytes` (sparse) and mounts it.
    CardVolume(CardFileSystem fs, std::uint64_t imageBytes);
    // Unmounts (detached when still busy), stops the file system's program
    // and removes the image.
    ~CardVolume();
    CardVolume(const CardVolume&) = delete;
    CardVolume& operator=(const CardVolume&) = delete;

    bool Mounted() const { return mounted_.load(); }
    // Why the volume could not be mounted ("" when it is).
    const std::string& Why() const { return why_; }
    const std::filesystem::path& Root() const { return root_; }
    const std::filesystem::path& Image() const { return image_; }
    CardFileSystem FileSystem() const { return fs_; }
    std::uint64_t ImageBytes() const { return imageBytes_; }

    // The card is pulled out: the mount is detached (lazily: open files stay
    // open) and the file system's program is killed, so every further read of
    // the card fails. Safe to call twice and from another thread.
    void Pull();
    bool Pulled() const { return pulled_.load(); }

    // Unmounts cleanly: the file system's program writes everything back and
    // ends. False when it had to be detached or killed instead.
    bool Unmount();

    // Unmounts cleanly and mounts the image again, as a card taken out safely
    // and put back: nothing of it is left in the system's caches.
    bool Remount();

    // The file system's own checker on the image, read-only (after Unmount).
    CommandResult Check() const;

private:
    bool Mount();
    bool Attach();
    bool MakeImage();
    bool AttachLoop();
    bool StartDaemon();
    bool WaitMounted();
    void StopDaemon(bool kill);

    CardFileSystem fs_;
    std::uint64_t imageBytes_;
    std::filesystem::path dir_;  // private folder holding the image and the mount point
    std::filesystem::path image_;
    std::filesystem::path root_;
    std::string loopDevice_;
    int loopFd_ = -1;
    pid_t daemon_ = -1;
    std::atomic<bool> mounted_{false};
    std::atomic<bool> pulled_{false};
    std::string why_;
};

}  // namespace trivexa::test

#define TRIVEXA_REQUIRE_CARD(volume) \
    if (!(volume).Mounted()) GTEST_SKIP() << (volume).Why()
