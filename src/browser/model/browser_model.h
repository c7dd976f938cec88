#pragma once
// What the recording browser panel knows and decides, without a window: the
// opened source and its kind, the master, displayed and placeholder lists, the
// six trigger filters, the device information read from the card, the
// default folder choice and the source watcher. The panel's widgets present
// this model and forward the user's actions to it; the CLI drives it with an
// in-memory folder tree.
//
// All operations run on the browser's (user-interface) thread; only the
// watcher's loss callback comes from its own thread.

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "recordings/folder_tree.h"
#include "recordings/recording_library.h"
#include "recordings/source_watcher.h"

namespace trivexa {

enum class SourceKind : int { None = 0, SdCard = 1, Folder = 2, File = 3 };

// The recorder's model and versions from DRFormatConfig.dfc, in the order the
// update check takes them.
struct DeviceInfo {
    std::string firmwareVersion;  // "1.2.3"
    std::string gpsDataVersion;   // "000123", empty when the card has none
    std::string reserved;         // always empty
    std::string modelId;          // "PL21-XQR"
};

// The six filter buttons, by index.
enum BrowserFilter : int {
    kFilterContinuous = 0,
    kFilterShock = 1,
    kFilterManual = 2,
    kFilterParking = 3,
    kFilterParkingShock = 4,
    kFilterApproach = 5,
    kFilterCount = 6,
};
using FilterFlags = std::array<bool, kFilterCount>;

// Whether a recording named `name` passes the filters (the decision the list
// applies to each master entry's front name, else rear name).
bool FilterAdmits(const FilterFlags& filters, std::string_view name);
// The master entries the filters admit, in master order.
std::vector<RecordingEntry> FilterEntries(const std::vector<RecordingEntry>& master,
                                          const FilterFlags& filters);

// Reads DRFormatConfig.dfc in `root`. When the file is missing, unreadable or
// shorter than 68 bytes nothing changes and false is returned.
bool ReadDeviceInfo(const std::string& root, DeviceInfo& info);

// The node the browser selects after opening a source: the first top-level
// node, or its first child when the top node is a card folder (Normal,
// Parking) and that child a recording group. kTreeRoot for an empty tree.
TreeNode DefaultFolder(const FolderTree& tree);

// The kind a source path is opened as when the user does not say: a folder
// with Normal/Front or Parking/Front is a card, another folder a folder
// source, anything else a file.
SourceKind GuessSourceKind(const std::string& path);
// "sd", "folder" or "file" (the names scripts use); false for anything else.
bool ParseSourceKind(std::string_view text, SourceKind& kind);

class BrowserModel {
public:
    // `tree` outlives the model. `onSourceLost` runs on the watcher's thread
    // when the opened source disappears (the panel posts UM_SOURCE_LOST).
    explicit BrowserModel(FolderTree& tree, CMovieResource::LostCallback onSourceLost = {});
    BrowserModel(const BrowserModel&) = delete;
    BrowserModel& operator=(const BrowserModel&) = delete;

    // Tree selection notifications raised while a source is opened; the main
    // window answers them by loading the node (LoadFolder).
    std::function<void(TreeNode)> onNodeSelected;
    // The playback engines' file check for file sources; by default the file
    // must open for mapping and not be empty.
    std::function<bool(const std::string&)> acceptsFile;

    // The lock the master, displayed and placeholder lists are replaced
    // under (the main window's listMutex), so that a worker copying paths
    // under it never sees a list half rebuilt. Scans run outside it.
    void SetListLock(std::recursive_mutex* lock) { listLock_ = lock; }

    // Opens a card (the card's root folder), a folder or one clip, replacing
    // what was open. False when nothing could be listed.
    bool OpenSource(const std::string& path, SourceKind kind);
    // Reopens the last source at start-up: the last removable volume that is
    // mounted (as a card), else the remembered folder, else the remembered
    // recording file (settings section SOURCE, keys FOLDER and FILE); then
    // selects the default folder. False when nothing was opened.
    bool RestoreSource();
    // The same walk, opening through `open` (the panel's OpenSource, which
    // also refreshes its windows).
    using OpenFunction = std::function<bool(const std::string&, SourceKind)>;
    bool RestoreSource(const OpenFunction& open);
    // Lists the recordings under `node` into the master and displayed lists;
    // returns the number of displayed rows (0 when the node has no path).
    int LoadFolder(TreeNode node);
    // The number of rows LoadFolder(node) would list (filters applied),
    // scanned afresh without touching the lists or the tree.
    int CountFolder(TreeNode node) const;
    // Selects DefaultFolder (raising onNodeSelected) and returns it.
    TreeNode SelectDefaultFolder();
    // Every recording of the source, independent of filters and folder. The
    // CSV summary asks `withDataHeaders` (see CollectRecordings).
    std::vector<RecordingEntry> CollectAll(bool withDataHeaders = false);
    // Forgets the source: tree, lists and placeholders.
    void ClearSource();
    // Reads DRFormatConfig.dfc in `root` into Device(); false (nothing
    // changed) when it is missing or short.
    bool ReadDeviceInfo(const std::string& root);
    // Drops the recordings of `removed` from the master and displayed lists
    // (after they were deleted).
    void RemoveEntries(const std::vector<RecordingEntry>& removed);

    void SetFilter(int index, bool on);
    bool Filter(int index) const;
    const FilterFlags& Filters() const { return filters_; }
    // Rebuilds the displayed list from the master list.
    void Refilter();
    // Selects row `index` of the displayed list when it exists.
    void SelectRow(int index);
    int SelectedRow() const { return selectedRow_; }

    SourceKind Kind() const { return kind_; }
    const std::string& SourcePath() const { return sourcePath_; }
    const std::vector<RecordingEntry>& Master() const { return master_; }
    std::vector<RecordingEntry>& Master() { return master_; }
    const std::vector<RecordingEntry>& Displayed() const { return displayed_; }
    std::vector<RecordingEntry>& Displayed() { return displayed_; }
    const std::vector<RecordingEntry>& Placeholders() const { return placeholders_; }
    const DeviceInfo& Device() const { return device_; }
    const std::string& PathText() const { return pathText_; }
    FolderTree& Tree() { return tree_; }
    CMovieResource& Watcher() { return *watcher_; }

private:
    void SelectTopNodes();
    void Select(TreeNode node);
    std::unique_lock<std::recursive_mutex> LockLists();

    FolderTree& tree_;
    SourceKind kind_ = SourceKind::None;
    std::string sourcePath_;
    std::vector<RecordingEntry> master_;
    std::vector<RecordingEntry> displayed_;
    std::vector<RecordingEntry> placeholders_;
    FilterFlags filters_{};
    int selectedRow_ = -1;
    DeviceInfo device_;
    std::string pathText_;  // what the path box shows
    std::recursive_mutex* listLock_ = nullptr;
    std::unique_ptr<CMovieResource> watcher_;
};

}  // namespace trivexa
