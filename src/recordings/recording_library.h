#pragma once
// The recording library: turns a source (a card written by the recorder, a
// folder or one clip) into the folder tree and the list of recordings the
// viewer shows. It lists folders, recognises recording files by their names,
// pairs each front file with the rear file of the same recording, runs the
// integrity check on both, sorts the entries and groups consecutive
// recordings into virtual group nodes of the tree.
//
// Everything runs on the caller's thread (the browser panel's thread, the file
// commands' worker); the source watcher is recordings/source_watcher.h. Paths are UTF-8 with
// '/' as separator; '\' is accepted in input where a final component is taken.
//
// Every listing and scan stays inside its bounds (SourceBounds): the
// source's root when the caller gives one, else the folder it was asked to
// list. A symbolic link leading out of them is not followed, and a partner
// file that lies outside counts as missing; links within are followed (a
// folder reached twice is listed once).

#include <cstdint>
#include <string>
#include <vector>

#include "recordings/drive_utils.h"
#include "recordings/folder_tree.h"
#include "recordings/recording_entry.h"
#include "recordings/recording_name.h"

namespace trivexa {

// One directory entry found by a listing.
struct FileListing {
    std::string name;  // final component
    std::string path;  // full path (for ListFrontForms: the front-form path)
    bool isFolder = false;
    bool isHidden = false;
};

// ---- Process-wide values (browser panel's thread) -------------------------

// The serial counter stamped into new entries.
void ResetSerialCounter();
std::int32_t SerialCounter();
// How many consecutive recordings one group node may hold (200 at start; the
// browser sets 200, 100 or 50 from the card's capacity class).
void SetGroupSizeLimit(int limit);
int GroupSizeLimit();

inline constexpr std::size_t kMaxScanEntries = 1000;  // entries a scan adds
inline constexpr std::size_t kMaxTreeNodes = 1500;    // nodes a scan inserts
inline constexpr int kMaxScanDepth = 3;               // folder recursion stops below

// ---- Folder listings -----------------------------------------------------

// Lists the folder, skipping hidden entries and links leading out of
// `bounds` (null: out of `folder`). False when it cannot be listed.
bool ListFolder(const std::string& folder, std::vector<FileListing>& out,
                const SourceBounds* bounds = nullptr);
// Like ListFolder but descends into every subfolder (hidden ones included),
// adding the subfolders' contents instead of the subfolders; hidden files are
// skipped. A folder reached twice (through a link loop) is listed once.
bool ListTree(const std::string& folder, std::vector<FileListing>& out,
              const SourceBounds* bounds = nullptr);
// ListTree with each file's path replaced by its front-form path; a path
// already present is not added again (a recording is listed once).
bool ListFrontForms(const std::string& folder, std::vector<FileListing>& out,
                    const SourceBounds* bounds = nullptr);
// Folders first, then files, each by full path (bytewise). With no files the
// whole vector is sorted by path.
void SortListing(std::vector<FileListing>& listing);
// Recording names first, then the others, each by name positions 19-24.
void SortByNameNumber(std::vector<FileListing>& listing);
// What IsRecordingFolder finds in a folder (the numbers are the Part's).
enum class FolderContents : int {
    NoRecordings = 0,  // neither a "Front" subfolder nor a front recording file
    Recordings = 1,    // a subfolder "Front" or a front recording file
    CannotList = 2,    // the folder cannot be listed (or is a group node)
};
// The first qualifying entry in listing order decides. The listing made is
// returned in `listing`.
FolderContents IsRecordingFolder(const std::string& folder,
                                 std::vector<FileListing>* listing = nullptr,
                                 const SourceBounds* bounds = nullptr);

// True when the file opens read-only for mapping and is not empty (what the
// players check before they open a file).
bool IsPlayableFile(const std::string& path);

// ---- Entries -------------------------------------------------------------

struct PairPaths {
    std::string front;
    std::string rear;
};
// Front and rear paths of the recording `path` belongs to; false when the
// name is no recording file name (IsRecordingFileName) or either path is
// already in `entries`.
bool ResolvePair(const std::string& path, const std::vector<RecordingEntry>& entries,
                 PairPaths& out);
// Checks both files and appends an entry; false (nothing appended) when the
// front path does not end in ".AVI".
bool MakeEntry(const std::string& frontPath, const std::string& rearPath,
               std::vector<RecordingEntry>& entries);
// Appends a placeholder carrying only `path` and its name.
void MakePlaceholder(const std::string& path, std::vector<RecordingEntry>& entries);
// ResolvePair + MakeEntry for one file; always true.
bool AddRecordingForFile(const std::string& path, std::vector<RecordingEntry>& entries);
// Non-parking recordings, parking recordings, others; each by sequence text.
void SortRecordings(std::vector<RecordingEntry>& entries);
// Appends `from` to `to`; returns the number appended.
std::size_t AppendEntries(std::vector<RecordingEntry>& to, const std::vector<RecordingEntry>& from);
// Keeps only the entries whose key path (front, else rear) matches no entry
// of `removed`.
void RemoveEntries(std::vector<RecordingEntry>& list, const std::vector<RecordingEntry>& removed);
// Index of the entry whose key path (front, else rear) is `keyPath`; -1 when
// none is.
int RowOfKeyPath(const std::vector<RecordingEntry>& list, const std::string& keyPath);

// ---- Scans ---------------------------------------------------------------

// Everything a scan needs besides the folder. `tree` may be null (no nodes
// are made); `placeholders` may be null (card subfolders are then not
// entered); `found` counts the recordings seen.
struct ScanTarget {
    FolderTree* tree = nullptr;
    std::vector<RecordingEntry>* entries = nullptr;
    std::vector<RecordingEntry>* placeholders = nullptr;
    bool cardMode = false;
    int found = 0;
    // The source's bounds; null: the folder given to the outermost scan.
    const SourceBounds* bounds = nullptr;
};

// Fills the tree under `parent` and the entries from `folder`. `outPath`
// (may be null) receives the folder that holds the files. False only when a
// nested scan failed, which ends the whole walk.
bool ScanFolder(const std::string& folder, std::string* outPath, TreeNode parent,
                ScanTarget& target, int depth);
// The folder holds no recordings itself: subfolder nodes and loose files.
bool ScanSubfolders(const std::string& folder, std::vector<FileListing>& listing, TreeNode parent,
                    ScanTarget& target, int depth);
// The folder holds recordings. Tree mode (`groupName` null): one node per
// recording group under `parent`. List mode: the entries of that group.
// False when the folder cannot be listed.
bool ScanGroups(const std::string& folder, TreeNode parent, ScanTarget& target,
                const std::string* groupName);
// Group names of the front-form recordings of `folder` in scan order (the
// names the tree would show); for tools and tests.
std::vector<std::string> GroupNamesOf(const std::string& folder);
// Every recording under `folder` down to depth 3, for the file commands
// (no entry limit). `fileCounter` counts the files seen. With
// `withDataHeaders` the key clip's embedded data header is read too, while
// the clip is open for its check (RecordingEntry::dataHeader).
// Nothing outside `bounds` (null: outside `folder`) is collected.
bool CollectRecordings(const std::string& folder, std::vector<RecordingEntry>& entries,
                       int& fileCounter, int depth, bool withDataHeaders = false,
                       const SourceBounds* bounds = nullptr);

}  // namespace trivexa
