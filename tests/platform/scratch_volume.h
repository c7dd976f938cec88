#pragma once
// A real volume for tests: a tmpfs of a chosen size mounted on a scratch
// folder inside a mount namespace private to the test process, so that
// volume roots, sizes and card detection run against the kernel's own mount
// table without touching the machine's mounts. Needs the right to mount
// (root in a container); tests skip when it is missing.

#include <sched.h>
#include <sys/mount.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace trivexa::test {

inline bool EnterPrivateMountNamespace() {
    static const bool entered = ::unshare(CLONE_NEWNS) == 0 &&
                                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return entered;
}

class ScratchVolume {
public:
    // `folderName` may contain blanks to exercise the mount table's escapes.
    explicit ScratchVolume(std::uint64_t sizeBytes, const std::string& folderName = "volume")
        : root_(dir_ / folderName) {
        std::filesystem::create_directories(root_);
        const std::string options = "size=" + std::to_string(sizeBytes);
        mounted_ = EnterPrivateMountNamespace() &&
                   ::mount("tmpfs", root_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~ScratchVolume() {
        if (mounted_) ::umount2(root_.c_str(), MNT_DETACH);
    }
    ScratchVolume(const ScratchVolume&) = delete;
    ScratchVolume& operator=(const ScratchVolume&) = delete;

    bool mounted() const { return mounted_; }
    const std::filesystem::path& root() const { return root_; }
    std::string operator/(const std::string& sub) const { return (root_ / sub).string(); }

private:
    TempDir dir_;
    std::filesystem::path root_;
    bool mounted_ = false;
};

}  // namespace trivexa::test

#define TRIVEXA_REQUIRE_MOUNTED(volume) \
    if (!(volume).mounted()) GTEST_SKIP() << "cannot mount a scratch tmpfs here"
