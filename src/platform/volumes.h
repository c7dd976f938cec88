#pragma once
// Mounted volumes: the one holding a path, its size and free space, and the
// removable media a user may have plugged in. Linux reads the mount table and
// statvfs; no type of the OS appears here.

#include <cstdint>
#include <string>
#include <vector>

namespace trivexa::platform {

struct VolumeInfo {
    std::string mountPoint;  // root folder of the volume, e.g. "/media/user/SDCARD"
    std::string device;      // what is mounted, e.g. "/dev/sdb1"
    std::string fsType;      // e.g. "vfat", "exfat", "ext4", "nfs4"
    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0;       // free to the superuser
    std::uint64_t availableBytes = 0;  // free to this user
    bool isNetwork = false;            // nfs, cifs, sshfs and the like
    bool isRemovable = false;          // mounted under a removable-media folder
};

// Fills `out` for the volume holding `path`. The path need not exist: the
// nearest existing ancestor decides. Sizes come from statvfs of that folder.
// When the mount table has no row for it (a chroot, some sandboxes), the
// volume's root is the highest folder on the same file system, the device and
// type stay empty, and it counts as neither removable nor network. False only
// when no ancestor exists or statvfs fails.
bool VolumeOf(const std::string& path, VolumeInfo& out);

namespace detail {
// VolumeOf with another mount table file, for tests.
bool VolumeOf(const std::string& path, VolumeInfo& out, const char* mountTable);
}  // namespace detail

// Mounted removable media (under /media, /run/media and /mnt), mount order.
std::vector<VolumeInfo> RemovableVolumes();

}  // namespace trivexa::platform
