#pragma once
// Card layout and small drive, folder and file operations shared by the
// library, the file commands and the dialogs: is a path on a recorder's card,
// the card's capacity class, free space, deleting recordings (hidden on the
// card so the recorder can reuse the files, to the trash elsewhere) and the
// clip extension test. Built on the platform layer; run on the calling thread
// and keep no state.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace trivexa {

// One camera folder of the card layout.
struct CardLayoutRow {
    std::string_view subPath;          // "Normal/Front"
    std::string_view topFolder;        // "Normal"
    std::string_view cameraFolder;     // "Front"
    char cameraLetter;                 // 'F'
    std::string_view liveExtension;    // "AVI"
    std::string_view hiddenExtension;  // "DMY": deleted, free for the recorder
};

// Normal/Front, Normal/Rear, Parking/Front, Parking/Rear, in this order.
extern const std::array<CardLayoutRow, 4> kCardLayout;

// True when the volume holding `path` has Normal/Front or Parking/Front at its
// root. Paths on network file systems are never card paths.
bool IsCardPath(const std::string& path);

// Capacity class 0, 1 or 2 of a volume of `totalBytes`
// (<= 36e9, <= 108e9, larger) and the group size limit of each class.
int CapacityClassForSize(std::uint64_t totalBytes);
int GroupSizeLimitForClass(int capacityClass);
// Class of the volume holding `path` (0 when the volume cannot be queried).
int CapacityClass(const std::string& path);

// Bytes available to the user on the volume holding `folder`; 0 on failure.
std::uint64_t FreeBytes(const std::string& folder);

// The last four characters are ".avi" in any case (and are the extension).
bool HasAviExtension(std::string_view path);

// Moves one file or folder to the trash. False for an empty or missing path
// or when the move fails.
bool ShellDelete(const std::string& path);

// Moves an existing path to the trash and waits (polling every 200 ms) until
// it is gone. Gives up when the move fails instead of waiting for ever.
void ShellDeleteAndWait(const std::string& path);

// Deletes a recording on the card given either camera's file: marks hidden
// and renames to ".DMY" that file and its own partner (the other camera's
// file of the same name in the partner camera folder), front first. Nothing
// else is touched: the path must be a recording file (IsRecordingFileName)
// in one of the card's camera folders. False when it is not, when neither
// file exists, when a ".DMY" name is taken or the hidden attribute cannot be
// set (a front file hidden before that stays hidden).
bool HideOnCard(const std::string& path);

// Deletes one recording, given the paths its row holds: hidden on the card,
// to the trash elsewhere. Either path may be empty (a recording of one
// camera); both empty is a failure. Only the row's own files are touched: a
// row whose rear path is not the front file's own partner is refused.
bool DeleteRecording(const std::string& frontPath, const std::string& rearPath);

// The folder a source is read from (a card's root, a chosen folder). Scans
// and commands stay inside it: a path lies inside when, with every symbolic
// link on it followed, it is the root or lies below it. So a link leading out
// of the source (to "/", to another user's folder) is never followed, while a
// link from one folder of the source to another of the same source is. A
// dangling link leads nowhere and counts as outside.
//
// Each folder a path is checked in is resolved once and remembered; make a
// new object for each scan, so that a folder replaced meanwhile is looked at
// again. One thread at a time.
class SourceBounds {
public:
    // A root that cannot be resolved holds nothing.
    explicit SourceBounds(const std::string& root);
    // The resolved root (empty when it could not be resolved).
    const std::string& Root() const { return root_; }
    // Whether `path` (which need not exist) lies inside.
    bool Contains(const std::string& path) const;
    // Whether the entry `name` listed in `folder`, itself inside, may be
    // followed: only a symbolic link needs resolving.
    bool Admits(const std::string& folder, std::string_view name, bool isSymlink) const;

private:
    bool Within(const std::string& resolved) const;

    std::string root_;
    mutable std::unordered_map<std::string, std::string> folders_;
};

// First folder the folder chooser shows: the remembered folder when there is
// one, else the start-up directory.
std::string BrowseStartFolder(const std::string& rememberedFolder);

}  // namespace trivexa
