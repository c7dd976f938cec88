#include "platform/volumes.h"

#include <mntent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>
#include <system_error>

namespace trivexa::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultMountTable = "/proc/self/mounts";

// File systems whose data lives on another machine.
constexpr std::array<std::string_view, 16> kNetworkTypes = {
    "nfs",  "nfs4",      "cifs",       "smb3",  "smbfs", "ncpfs",       "afs",    "9p",
    "ceph", "glusterfs", "fuse.sshfs", "sshfs", "davfs", "fuse.davfs2", "lustre", "fuse.rclone"};

// Folders under which desktops mount media the user plugs in.
constexpr std::array<std::string_view, 3> kRemovableRoots = {"/media/", "/run/media/", "/mnt/"};

struct MountRow {
    std::string device;
    std::string mountPoint;
    std::string fsType;
};

struct MountTableCloser {
    void operator()(FILE* f) const { ::endmntent(f); }
};

std::vector<MountRow> ReadMountTable(const char* path = kDefaultMountTable) {
    std::vector<MountRow> rows;
    std::unique_ptr<FILE, MountTableCloser> table(::setmntent(path, "r"));
    if (!table) return rows;
    mntent entry{};
    std::array<char, 4096> buffer{};
    // getmntent_r undoes the octal escapes of blanks in mount points.
    while (::getmntent_r(table.get(), &entry, buffer.data(), static_cast<int>(buffer.size()))) {
        rows.push_back({entry.mnt_fsname, entry.mnt_dir, entry.mnt_type});
    }
    return rows;
}

bool IsNetwork(const MountRow& row) {
    if (std::find(kNetworkTypes.begin(), kNetworkTypes.end(), row.fsType) != kNetworkTypes.end()) {
        return true;
    }
    // "//server/share" and "host:/export" name remote sources whatever the type says.
    return row.device.starts_with("//") || row.device.find(":/") != std::string::npos;
}

// The kernel's own flag for the block device (or for the disk holding the
// partition): set for card readers and USB sticks.
bool SysfsRemovable(const std::string& device) {
    if (!device.starts_with("/dev/")) return false;
    std::error_code ec;
    const fs::path dev = fs::canonical(device, ec);
    if (ec) return false;
    const fs::path block = fs::path("/sys/class/block") / dev.filename();
    for (const fs::path& candidate : {block / "removable", block / ".." / "removable"}) {
        std::ifstream in(candidate);
        char flag = 0;
        if (in.get(flag)) return flag == '1';
    }
    return false;
}

bool IsRemovable(const MountRow& row) {
    if (!row.device.starts_with("/dev/")) return false;
    for (std::string_view root : kRemovableRoots) {
        if (row.mountPoint.starts_with(root)) return true;
    }
    return SysfsRemovable(row.device);
}

bool FillSizes(const std::string& path, VolumeInfo& out) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0) return false;
    const std::uint64_t unit = st.f_frsize ? st.f_frsize : st.f_bsize;
    out.totalBytes = static_cast<std::uint64_t>(st.f_blocks) * unit;
    out.freeBytes = static_cast<std::uint64_t>(st.f_bfree) * unit;
    out.availableBytes = static_cast<std::uint64_t>(st.f_bavail) * unit;
    return true;
}

VolumeInfo FromRow(const MountRow& row) {
    VolumeInfo info;
    info.mountPoint = row.mountPoint;
    info.device = row.device;
    info.fsType = row.fsType;
    info.isNetwork = IsNetwork(row);
    info.isRemovable = IsRemovable(row);
    return info;
}

// `dir` lies inside `mountPoint` (component-wise prefix).
bool IsInside(const std::string& dir, const std::string& mountPoint) {
    if (mountPoint == "/") return true;
    return dir.starts_with(mountPoint) &&
           (dir.size() == mountPoint.size() || dir[mountPoint.size()] == '/');
}

// Absolute, resolved form of the nearest existing ancestor of `path`.
std::string ExistingAncestor(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    if (ec) return {};
    p = p.lexically_normal();
    while (true) {
        if (fs::exists(p, ec)) {
            fs::path resolved = fs::canonical(p, ec);
            return ec ? std::string() : resolved.string();
        }
        if (!p.has_relative_path()) return {};
        p = p.parent_path();
    }
}

// The highest folder above `dir` on the same file system: the root of the
// volume as this process sees it. Used when the mount table has no row for
// it (a chroot, some sandboxes), where the table lists only mounts outside.
std::string TopOfSameDevice(const std::string& dir) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) return {};
    fs::path top(dir);
    while (top.has_relative_path()) {
        const fs::path parent = top.parent_path();
        struct stat up {};
        if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
        top = parent;
    }
    return top.string();
}

}  // namespace

bool VolumeOf(const std::string& path, VolumeInfo& out) {
    return detail::VolumeOf(path, out, kDefaultMountTable);
}

bool detail::VolumeOf(const std::string& path, VolumeInfo& out, const char* mountTable) {
    if (path.empty()) return false;
    const std::string dir = ExistingAncestor(path);
    if (dir.empty()) return false;
    const MountRow* best = nullptr;
    const std::vector<MountRow> rows = ReadMountTable(mountTable);
    // Later rows are mounted on top of earlier ones at the same point.
    for (const MountRow& row : rows) {
        if (IsInside(dir, row.mountPoint) &&
            (!best || row.mountPoint.size() >= best->mountPoint.size())) {
            best = &row;
        }
    }
    if (!best) {
        // Sizes and free space still come from the folder itself; only what
        // the table would tell (device, type) stays unknown, and an unknown
        // volume is neither removable nor a network share.
        VolumeInfo unknown;
        unknown.mountPoint = TopOfSameDevice(dir);
        if (unknown.mountPoint.empty() || !FillSizes(dir, unknown)) return false;
        out = std::move(unknown);
        return true;
    }
    out = FromRow(*best);
    return FillSizes(dir, out);
}

std::vector<VolumeInfo> RemovableVolumes() {
    std::vector<VolumeInfo> volumes;
    for (const MountRow& row : ReadMountTable()) {
        VolumeInfo info = FromRow(row);
        if (info.isRemovable && FillSizes(info.mountPoint, info))
            volumes.push_back(std::move(info));
    }
    return volumes;
}

}  // namespace trivexa::platform
