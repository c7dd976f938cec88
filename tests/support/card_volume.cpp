#include "support/card_volume.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace trivexa::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A mount namespace of this process alone, entered while it has one thread:
// mounts made in it are seen by this process and its children only, and
// vanish with them.
bool EnterOwnMountNamespace() {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}
const bool ownMountNamespace = EnterOwnMountNamespace();

// The mount, the start of the file system's program and its end after an
// unmount take a few milliseconds; a loaded machine may take much longer.
constexpr auto kMountTimeout = std::chrono::seconds(20);
constexpr auto kExitTimeout = std::chrono::seconds(20);
constexpr auto kPoll = std::chrono::milliseconds(5);

std::string FindProgram(const std::string& name) {
    std::vector<std::string> dirs = {"/usr/sbin", "/sbin", "/usr/bin", "/bin"};
    if (const char* path = std::getenv("PATH")) {
        std::string p = path;
        std::size_t start = 0;
        while (start <= p.size()) {
            const std::size_t end = p.find(':', start);
            dirs.push_back(p.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    for (const std::string& dir : dirs) {
        const std::string candidate = dir + "/" + name;
        if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// Runs a program to its end with its output discarded; its exit code, or -1.
int RunQuietly(const std::vector<std::string>& argv) {
    const CommandResult r = RunCommand(argv);
    return r.exitCode;
}

bool ReapWithin(pid_t pid, std::chrono::steady_clock::duration limit) {
    const auto end = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) return true;
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(kPoll);
    }
}

// True when `dir` is the root of a mount: it lies on another device than its
// parent folder.
bool IsMountPoint(const fs::path& dir) {
    struct stat self {};
    struct stat parent {};
    if (::stat(dir.c_str(), &self) != 0) return false;
    if (::stat(dir.parent_path().c_str(), &parent) != 0) return false;
    return self.st_dev != parent.st_dev;
}

}  // namespace

const char* CardFileSystemName(CardFileSystem fs) {
    return fs == CardFileSystem::kFat32 ? "FAT32" : "exFAT";
}

CardVolume::CardVolume(CardFileSystem fs, std::uint64_t imageBytes)
    : fs_(fs), imageBytes_(imageBytes) {
    mounted_.store(Mount());
    if (!mounted_.load()) {
        StopDaemon(true);
        if (loopFd_ >= 0) ::close(loopFd_);  // the loop device clears itself
        loopFd_ = -1;
    }
}

CardVolume::~CardVolume() {
    if (!pulled_.load()) Unmount();
    if (loopFd_ >= 0) ::close(loopFd_);
    std::error_code ec;
    // Only once nothing is mounted on the mount point: never delete through it.
    if (!dir_.empty() && !IsMountPoint(root_)) fs::remove_all(dir_, ec);
}

bool CardVolume::Mount() {
    if (::geteuid() != 0) {
        why_ = "mounting a card image needs root";
        return false;
    }
    if (!ownMountNamespace) {
        why_ = "cannot enter a mount namespace of this test process";
        return false;
    }
    const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fuse < 0) {
        why_ = std::string("no usable /dev/fuse: ") + std::strerror(errno);
        return false;
    }
    ::close(fuse);
    for (const char* program :
         fs_ == CardFileSystem::kFat32
             ? std::vector<const char*>{"mkfs.fat", "fusefat", "fsck.fat"}
             : std::vector<const char*>{"mkfs.exfat", "mount.exfat-fuse", "fsck.exfat"}) {
        if (FindProgram(program).empty()) {
            why_ = std::string(program) + " is not installed (scripts/setup installs it)";
            return false;
        }
    }
    if (fs_ == CardFileSystem::kExfat && ::access("/dev/loop-control", R_OK | W_OK) != 0) {
        why_ = "no loop devices (/dev/loop-control)";
        return false;
    }

    std::string pattern = (fs::temp_directory_path() / "trivexa-card-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        why_ = "cannot make a folder for the card image";
        return false;
    }
    dir_ = pattern;
    image_ = dir_ / "card.img";
    root_ = dir_ / "card";
    std::error_code ec;
    fs::create_directory(root_, ec);
    if (ec || !MakeImage()) return false;
    return Attach();
}

bool CardVolume::Attach() {
    if (fs_ == CardFileSystem::kExfat && !AttachLoop()) return false;
    if (!StartDaemon() || !WaitMounted()) return false;
    if (loopFd_ >= 0) {
        // The file system's program holds the device now; from here on the
        // device detaches itself when that program closes it.
        ::close(loopFd_);
        loopFd_ = -1;
    }
    return true;
}

bool CardVolume::MakeImage() {
    {
        const int fd = ::open(image_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(imageBytes_)) != 0) {
            why_ = "cannot make the card image " + image_.string();
            if (fd >= 0) ::close(fd);
            return false;
        }
        ::close(fd);
    }
    // 4 KB clusters on FAT32 (the recorder's cards use 32 KB, which a small
    // image cannot have: FAT32 needs at least 65525 clusters).
    const int rc = fs_ == CardFileSystem::kFat32
                       ? RunQuietly({FindProgram("mkfs.fat"), "-F", "32", "-s", "8", "-n",
                                     "DRIVEREC", image_.string()})
                       : RunQuietly({FindProgram("mkfs.exfat"), "-L", "DRIVEREC", image_.string()});
    if (rc != 0) {
        why_ = "mkfs failed on " + image_.string();
        return false;
    }
    return true;
}

bool CardVolume::AttachLoop() {
    const int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    if (control < 0) {
        why_ = "cannot open /dev/loop-control";
        return false;
    }
    const int image = ::open(image_.c_str(), O_RDWR | O_CLOEXEC);
    // Another process may take the free device between asking and binding.
    for (int attempt = 0; image >= 0 && attempt < 32 && loopFd_ < 0; ++attempt) {
        const int number = ::ioctl(control, LOOP_CTL_GET_FREE);
        if (number < 0) break;
        const std::string device = "/dev/loop" + std::to_string(number);
        const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            std::this_thread::sleep_for(kPoll);  // the node may not be there yet
            continue;
        }
        loop_config config{};
        config.fd = static_cast<__u32>(image);
        config.info.lo_flags = LO_FLAGS_AUTOCLEAR;
        std::strncpy(reinterpret_cast<char*>(config.info.lo_file_name), image_.c_str(),
                     LO_NAME_SIZE - 1);
        if (::ioctl(fd, LOOP_CONFIGURE, &config) == 0) {
            loopFd_ = fd;
            loopDevice_ = device;
        } else {
            ::close(fd);
        }
    }
    if (image >= 0) ::close(image);
    ::close(control);
    if (loopFd_ < 0) {
        why_ = "no free loop device could be bound to the card image";
        return false;
    }
    return true;
}

bool CardVolume::StartDaemon() {
    std::vector<std::string> argv;
    if (fs_ == CardFileSystem::kFat32) {
        // -f: stays a child of this process; -s: one thread (its writing is
        // experimental); rw+: its writing mode.
        argv = {FindProgram("fusefat"), "-f", "-s", "-o", "rw+", image_.string(), root_.string()};
    } else {
        // -d: stays a child of this process (and logs, which goes nowhere).
        argv = {FindProgram("mount.exfat-fuse"), "-d", loopDevice_, root_.string()};
    }
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        why_ = "cannot start the file system's program";
        return false;
    }
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    daemon_ = pid;
    return true;
}

bool CardVolume::WaitMounted() {
    const auto end = Clock::now() + kMountTimeout;
    while (Clock::now() < end) {
        if (IsMountPoint(root_)) return true;
        int status = 0;
        if (::waitpid(daemon_, &status, WNOHANG) == daemon_) {
            daemon_ = -1;
            why_ = std::string(CardFileSystemName(fs_)) +
                   " file system program ended without mounting the image";
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    why_ = "the card image was not mounted in time";
    return false;
}

void CardVolume::StopDaemon(bool kill) {
    if (daemon_ <= 0) return;
    if (kill) ::kill(daemon_, SIGKILL);
    if (!ReapWithin(daemon_, kExitTimeout)) {
        ::kill(daemon_, SIGKILL);
        ReapWithin(daemon_, kExitTimeout);
    }
    daemon_ = -1;
}

void CardVolume::Pull() {
    if (!mounted_.load() || pulled_.exchange(true)) return;
    ::umount2(root_.c_str(), MNT_DETACH);
    StopDaemon(true);
}

bool CardVolume::Unmount() {
    if (!mounted_.load() || pulled_.load()) return false;
    bool clean = ::umount2(root_.c_str(), 0) == 0;
    if (!clean) ::umount2(root_.c_str(), MNT_DETACH);
    // After a clean unmount the program writes back and ends on its own.
    if (clean && daemon_ > 0) {
        if (ReapWithin(daemon_, kExitTimeout)) {
            daemon_ = -1;
        } else {
            clean = false;
        }
    }
    StopDaemon(true);
    mounted_.store(false);
    return clean;
}

bool CardVolume::Remount() {
    if (!Unmount()) return false;
    mounted_.store(Attach());
    if (!mounted_.load()) {
        StopDaemon(true);
        if (loopFd_ >= 0) ::close(loopFd_);
        loopFd_ = -1;
    }
    return mounted_.load();
}

CommandResult CardVolume::Check() const {
    if (fs_ == CardFileSystem::kFat32)
        return RunCommand({FindProgram("fsck.fat"), "-n", image_.string()});
    return RunCommand({FindProgram("fsck.exfat"), "-n", image_.string()});
}

}  // namespace trivexa::test
