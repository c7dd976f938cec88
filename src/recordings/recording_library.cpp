#include "recordings/recording_library.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <unordered_set>

#include "container/integrity.h"
#include "container/sensor_loader.h"
#include "platform/files.h"
#include "platform/mapping.h"
#include "platform/path.h"
#include "recordings/drive_utils.h"

namespace trivexa {
namespace {

// Name positions 19-24: the sequence number the lists are ordered by.
constexpr std::size_t kSequencePos = 19;
constexpr std::size_t kSequenceLen = 6;
// Name position 3: 'S' when the recorder started a new series.
constexpr std::size_t kSeriesPos = 3;
// Name position 5: start of the date text (YYMMDD).
constexpr std::size_t kDatePos = 5;
// Folder listings nested deeper than this are cut off; the recorder's own
// layout is two levels deep and anything far deeper is a link loop or junk.
constexpr int kMaxListDepth = 32;

constexpr std::string_view kFrontFolder = "Front";
constexpr std::string_view kRearFolder = "Rear";

std::atomic<std::int32_t> g_serial{0};

// MakeEntry for a scan that already holds the listed clip open (defined below).
bool MakeEntryOpened(const std::string& frontPath, const std::string& rearPath,
                     std::vector<RecordingEntry>& entries, const platform::ReadOnlyFile* opened,
                     const std::string& openedPath, bool withDataHeader = false,
                     const SourceBounds* bounds = nullptr);
bool OpenPlayable(const std::string& path, platform::ReadOnlyFile& file);
std::atomic<int> g_groupLimit{200};

std::string_view SequenceKey(std::string_view name) {
    if (name.size() <= kSequencePos) return {};
    return name.substr(kSequencePos, kSequenceLen);
}

// Characters from position 5 up to the next '-' (or the end).
std::string DateText(std::string_view name) {
    if (name.size() <= kDatePos) return {};
    auto rest = name.substr(kDatePos);
    return std::string(rest.substr(0, rest.find('-')));
}

// The bounds a listing or scan keeps to: the caller's, else `own`, made for
// `folder` on first use.
class BoundsOf {
public:
    BoundsOf(const SourceBounds* given, const std::string& folder) : given_(given), folder_(folder) {}
    const SourceBounds& operator*() {
        if (given_) return *given_;
        if (!own_) own_.emplace(folder_);
        return *own_;
    }
    const SourceBounds* get() { return &**this; }

private:
    const SourceBounds* given_;
    const std::string& folder_;
    std::optional<SourceBounds> own_;
};

FileListing MakeListing(const std::string& folder, platform::DirEntry&& e) {
    FileListing l;
    l.path = JoinPath(folder, e.name);
    l.name = std::move(e.name);
    l.isFolder = e.isFolder;
    l.isHidden = e.isHidden;
    return l;
}

// Paths already taken by entries, so that pairing a large folder does not
// compare every new file with every entry (the result equals the linear
// search of ResolvePair).
class PairIndex {
public:
    explicit PairIndex(const std::vector<RecordingEntry>& entries) {
        for (const auto& e : entries) Add(e);
    }
    void Add(const RecordingEntry& e) {
        if (!e.frontPath.empty()) fronts_.insert(e.frontPath);
        if (!e.rearPath.empty()) rears_.insert(e.rearPath);
    }
    bool Taken(const PairPaths& p) const {
        return (!p.front.empty() && fronts_.count(p.front)) ||
               (!p.rear.empty() && rears_.count(p.rear));
    }

private:
    std::unordered_set<std::string> fronts_;
    std::unordered_set<std::string> rears_;
};

// The front and rear paths a recording file stands for (no duplicate test).
bool PairPathsOf(const std::string& path, PairPaths& out) {
    if (IsRecordingFileName(path, CameraFilter::Front)) {
        out.front = path;
        out.rear = FrontToRearPath(path);
        return true;
    }
    if (IsRecordingFileName(path, CameraFilter::Rear)) {
        out.rear = path;
        out.front = RearToFrontPath(path);
        return true;
    }
    return false;
}

// ResolvePair + MakeEntry through the index; counts the pair as found.
// Returns whether a pair was resolved.
bool AddPair(const std::string& path, std::vector<RecordingEntry>& entries, PairIndex& index,
             std::size_t limit, int* found, const SourceBounds& bounds) {
    PairPaths p;
    if (!PairPathsOf(path, p) || index.Taken(p)) return false;
    if (found) ++*found;
    if (entries.size() < limit &&
        MakeEntryOpened(p.front, p.rear, entries, nullptr, {}, false, &bounds))
        index.Add(entries.back());
    return true;
}

// A recording file the scans take from a plain listing: ".AVI", a recording
// name of either camera and a file the players can open. The cheap name tests
// come first so that only candidates are opened.
bool IsCandidateFile(const FileListing& l) {
    return !l.isFolder && HasAviExtension(l.path) && IsRecordingFileName(l.path, CameraFilter::Any);
}

void ExpandWithAncestors(FolderTree& tree, TreeNode node) {
    for (TreeNode n = node; n != kTreeRoot; n = tree.Parent(n)) tree.Expand(n);
}

bool HasRoom(const FolderTree* tree) { return tree && tree->NodeCount() < kMaxTreeNodes; }

// Assigns recording groups to front-form files visited in SortByNameNumber
// order. The date map lives for one scan of one folder, so a group node
// listed later (list mode) gets the same name as when the tree was built.
class GroupFormation {
public:
    const std::string& Next(const FileListing& file) {
        std::string_view name = FileNameOf(file.path);
        const int s = SequenceNumber(name);
        const int p = previous_.empty() ? 0 : SequenceNumber(FileNameOf(previous_));
        const bool series = name.size() > kSeriesPos && name[kSeriesPos] == 'S';
        // The first file always starts a group: otherwise a first file numbered
        // 000001 would join an unnamed group that has no node in the tree.
        const bool first = previous_.empty();
        if (first || members_ >= GroupSizeLimit() || series || s != p + 1) {
            members_ = 0;
            const std::string date = DateText(name);
            const int n = ++perDate_[date];
            char number[16];
            std::snprintf(number, sizeof number, "_%04d", n);
            group_ = date + number;
        }
        ++members_;
        previous_ = file.path;
        return group_;
    }

private:
    std::string group_;
    int members_ = 0;
    std::string previous_;
    std::map<std::string, int> perDate_;
};

// Front-form recording files of a group folder in group order.
bool GroupFiles(const std::string& folder, std::vector<FileListing>& files,
                const SourceBounds* bounds) {
    std::vector<FileListing> listing;
    if (!ListFrontForms(folder, listing, bounds)) return false;
    SortByNameNumber(listing);
    for (auto& l : listing) {
        if (!l.isFolder && HasAviExtension(l.path) &&
            IsRecordingFileName(l.path, CameraFilter::Front))
            files.push_back(std::move(l));
    }
    return true;
}

// Trigger categories of the recording files directly inside `folder`.
TriggerFlags FlagsOfFolderFiles(const std::string& folder, const SourceBounds* bounds) {
    TriggerFlags flags = 0;
    std::vector<FileListing> listing;
    if (!ListFolder(folder, listing, bounds)) return 0;
    for (const auto& l : listing) {
        if (!IsCandidateFile(l)) continue;
        TriggerFlags mine = 0;
        AddTriggerFlags(l.path, mine);
        // Opening the file only matters when it would add a category.
        if ((mine & ~flags) != 0 && IsPlayableFile(l.path)) flags |= mine;
    }
    return flags;
}

// Canonical form of a folder path, to notice a folder reached again through a
// link; the path itself when it cannot be resolved.
std::string FolderIdentity(const std::string& folder) {
    std::error_code ec;
    auto canonical = std::filesystem::canonical(folder, ec);
    return ec ? folder : canonical.string();
}

bool CollectInto(const std::string& folder, std::vector<RecordingEntry>& entries, PairIndex& index,
                 std::set<std::string>& visited, int& fileCounter, int depth,
                 bool withDataHeaders, const SourceBounds& bounds) {
    // A folder met again through a link loop would list its recordings twice.
    if (!visited.insert(FolderIdentity(folder)).second) return true;
    std::vector<FileListing> listing;
    if (!ListFolder(folder, listing, &bounds)) return false;
    SortListing(listing);
    for (const auto& l : listing) {
        if (l.isFolder) {
            if (depth >= kMaxScanDepth) continue;
            // What was collected so far is set aside, the subfolder is collected
            // into it and the whole is sorted again, so the list keeps the
            // library's order across subfolders.
            std::vector<RecordingEntry> aside = std::move(entries);
            entries.clear();
            const int before = fileCounter;
            const bool ok =
                CollectInto(l.path, aside, index, visited, fileCounter, depth + 1, withDataHeaders,
                            bounds);
            if (ok && fileCounter != before) SortRecordings(aside);
            entries = std::move(aside);
            if (!ok) return false;
            continue;
        }
        ++fileCounter;
        if (!IsCandidateFile(l)) continue;
        PairPaths p;
        if (!PairPathsOf(l.path, p) || index.Taken(p)) continue;
        platform::ReadOnlyFile clip;
        if (!OpenPlayable(l.path, clip)) continue;
        if (MakeEntryOpened(p.front, p.rear, entries, &clip, l.path, withDataHeaders, &bounds))
            index.Add(entries.back());
    }
    return true;
}

bool ListTreeInto(const std::string& folder, std::vector<FileListing>& out,
                  std::set<std::string>& visited, int depth, const SourceBounds& bounds) {
    if (!visited.insert(FolderIdentity(folder)).second) return true;  // seen: a link loop
    std::vector<platform::DirEntry> dir;
    if (!platform::ListDirectory(folder, dir)) return false;
    for (auto& e : dir) {
        if (!bounds.Admits(folder, e.name, e.isSymlink)) continue;
        if (e.isFolder) {
            // Unreadable or too deep subfolders are left out, not fatal.
            if (depth < kMaxListDepth)
                ListTreeInto(JoinPath(folder, e.name), out, visited, depth + 1, bounds);
            continue;
        }
        if (e.isHidden) continue;
        out.push_back(MakeListing(folder, std::move(e)));
    }
    return true;
}

}  // namespace

// ---- Process-wide values ---------------------------------------------------

void ResetSerialCounter() { g_serial.store(0); }
std::int32_t SerialCounter() { return g_serial.load(); }
void SetGroupSizeLimit(int limit) { g_groupLimit.store(limit > 0 ? limit : 1); }
int GroupSizeLimit() { return g_groupLimit.load(); }

// ---- Listings --------------------------------------------------------------

bool ListFolder(const std::string& folder, std::vector<FileListing>& out,
                const SourceBounds* bounds) {
    BoundsOf within(bounds, folder);
    if (!(*within).Contains(folder)) return false;
    std::vector<platform::DirEntry> dir;
    if (!platform::ListDirectory(folder, dir)) return false;
    for (auto& e : dir) {
        if (e.isHidden || !(*within).Admits(folder, e.name, e.isSymlink)) continue;
        out.push_back(MakeListing(folder, std::move(e)));
    }
    return true;
}

bool ListTree(const std::string& folder, std::vector<FileListing>& out,
              const SourceBounds* bounds) {
    BoundsOf within(bounds, folder);
    if (!(*within).Contains(folder)) return false;
    std::set<std::string> visited;
    return ListTreeInto(folder, out, visited, 0, *within);
}

bool ListFrontForms(const std::string& folder, std::vector<FileListing>& out,
                    const SourceBounds* bounds) {
    std::vector<FileListing> all;
    if (!ListTree(folder, all, bounds)) return false;
    std::unordered_set<std::string> seen;
    for (const auto& l : out) seen.insert(l.path);
    for (auto& l : all) {
        std::string front = RearToFrontPath(l.path);
        if (!seen.insert(front).second) continue;
        if (front != l.path) {
            l.name = std::string(FileNameOf(front));
            l.path = std::move(front);
        }
        out.push_back(std::move(l));
    }
    return true;
}

void SortListing(std::vector<FileListing>& listing) {
    const bool anyFile =
        std::any_of(listing.begin(), listing.end(), [](const auto& l) { return !l.isFolder; });
    std::stable_sort(listing.begin(), listing.end(), [anyFile](const auto& a, const auto& b) {
        if (anyFile && a.isFolder != b.isFolder) return a.isFolder;
        return a.path < b.path;
    });
}

void SortByNameNumber(std::vector<FileListing>& listing) {
    std::vector<std::pair<FileListing*, bool>> items;
    items.reserve(listing.size());
    for (auto& l : listing) items.emplace_back(&l, IsRecordingName(l.name, CameraFilter::Any));
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        if (a.second != b.second) return a.second;
        return SequenceKey(a.first->name) < SequenceKey(b.first->name);
    });
    std::vector<FileListing> sorted;
    sorted.reserve(listing.size());
    for (auto& [l, rec] : items) sorted.push_back(std::move(*l));
    listing = std::move(sorted);
}

FolderContents IsRecordingFolder(const std::string& folder, std::vector<FileListing>* listing,
                                 const SourceBounds* bounds) {
    std::vector<FileListing> local;
    std::vector<FileListing>& l = listing ? *listing : local;
    l.clear();
    if (!ListFolder(folder, l, bounds)) return FolderContents::CannotList;
    for (const auto& e : l) {
        if (e.isFolder && e.name == kFrontFolder) return FolderContents::Recordings;
        if (!e.isFolder && IsRecordingFileName(e.path, CameraFilter::Front))
            return FolderContents::Recordings;
    }
    return FolderContents::NoRecordings;
}

bool IsPlayableFile(const std::string& path) {
    platform::ReadOnlyFile file;
    return !path.empty() && file.Open(path) && file.Size() != 0;
}

// ---- Entries ---------------------------------------------------------------

bool ResolvePair(const std::string& path, const std::vector<RecordingEntry>& entries,
                 PairPaths& out) {
    PairPaths p;
    if (!PairPathsOf(path, p)) return false;
    for (const auto& e : entries) {
        if (!p.front.empty() && p.front == e.frontPath) return false;
        if (!p.rear.empty() && p.rear == e.rearPath) return false;
    }
    out = std::move(p);
    return true;
}

namespace {

// What FillClip sets for one camera of an entry.
struct ClipSlot {
    std::string& path;
    std::string& name;
    bool& damaged;
    std::int64_t& expectedSize;
    std::uint64_t& bytes;
    ClipVideoFacts& video;
    // Null unless the data header of this clip is wanted.
    RecordingEntry* dataHeader;
};

// One clip of a new entry: present when it is a regular file; the check runs
// on `opened` when the caller already holds that clip open. Otherwise the
// clip is opened once, which also answers whether it is a regular file; only
// when that fails is it looked up, since an unreadable clip is still present.
// The file's size and header fields are kept for the CSV summary.
void FillClip(const std::string& path, const platform::ReadOnlyFile* opened,
              const std::string& openedPath, const ClipSlot& out, const SourceBounds* bounds) {
    if (path.empty()) return;
    const bool listed = opened != nullptr && opened->IsOpen() && path == openedPath;
    // A file outside the source (its camera folder a link leading out) is
    // not this source's: it counts as missing. The clip the scan listed and
    // opened came from a listing within the source already.
    if (bounds && !listed && !bounds->Contains(path)) return;
    platform::ReadOnlyFile own;
    const platform::ReadOnlyFile* file = nullptr;
    if (listed) {
        file = opened;
    } else if (own.Open(path)) {
        file = &own;
    } else if (!platform::IsRegularFile(path)) {
        return;
    }
    out.path = path;
    out.name = std::string(FileNameOf(path));
    std::uint64_t expected = 0;
    const ClipCheck result =
        file != nullptr ? CheckClip(*file, path, &expected, &out.video) : ClipCheck::kUnreadable;
    // A file that cannot be opened counts as not damaged, expected size 0;
    // its size still comes from the file system.
    out.damaged = result == ClipCheck::kDamaged;
    out.expectedSize = static_cast<std::int64_t>(expected);
    out.bytes = file != nullptr ? file->Size() : platform::RegularFileSize(path);
    if (out.dataHeader == nullptr) return;
    // Only an intact clip with a frame rate gets a CSV line of its own.
    RecordingEntry& e = *out.dataHeader;
    e.dataHeader = DataHeaderScan::kNotReadable;
    if (file == nullptr || out.damaged || !out.video.read || out.video.rate == 0 ||
        out.video.scale == 0)
        return;
    if (ReadSensorQuality(*file, path, e.dataQuality)) e.dataHeader = DataHeaderScan::kRead;
}

bool MakeEntryOpened(const std::string& frontPath, const std::string& rearPath,
                     std::vector<RecordingEntry>& entries, const platform::ReadOnlyFile* opened,
                     const std::string& openedPath, bool withDataHeader,
                     const SourceBounds* bounds) {
    if (!HasAviExtension(frontPath)) return false;
    RecordingEntry e;
    // The key clip is the front one when it is there, else the rear one.
    FillClip(frontPath, opened, openedPath,
             {e.frontPath, e.frontName, e.frontDamaged, e.frontExpectedSize, e.frontBytes,
              e.frontVideo, withDataHeader ? &e : nullptr},
             bounds);
    FillClip(rearPath, opened, openedPath,
             {e.rearPath, e.rearName, e.rearDamaged, e.rearExpectedSize, e.rearBytes, e.rearVideo,
              withDataHeader && e.frontPath.empty() ? &e : nullptr},
             bounds);
    e.scanned = true;
    e.serial = g_serial.fetch_add(1);
    e.parking = IsParking(KeyName(e));
    entries.push_back(std::move(e));
    return true;
}

// The "playable" test of a listed clip, keeping the clip open for its check.
bool OpenPlayable(const std::string& path, platform::ReadOnlyFile& file) {
    return !path.empty() && file.Open(path) && file.Size() != 0;
}

}  // namespace

bool MakeEntry(const std::string& frontPath, const std::string& rearPath,
               std::vector<RecordingEntry>& entries) {
    return MakeEntryOpened(frontPath, rearPath, entries, nullptr, {});
}

void MakePlaceholder(const std::string& path, std::vector<RecordingEntry>& entries) {
    RecordingEntry e;
    e.frontPath = path;
    e.frontName = std::string(FileNameOf(path));
    e.serial = -1;
    e.frontExpectedSize = -1;
    e.rearExpectedSize = -1;
    entries.push_back(std::move(e));
}

bool AddRecordingForFile(const std::string& path, std::vector<RecordingEntry>& entries) {
    PairPaths p;
    if (ResolvePair(path, entries, p)) MakeEntry(p.front, p.rear, entries);
    return true;
}

void SortRecordings(std::vector<RecordingEntry>& entries) {
    // Normal recordings, then parking, then anything else, each part in
    // ascending sequence order and stable. The order is worked out on small
    // keys and then applied in place, so the entries themselves move once
    // and no second list of them is built.
    struct Key {
        int part;
        std::string_view sequence;
        std::uint32_t at;
    };
    std::vector<Key> keys;
    keys.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = KeyName(entries[i]);
        const int part = IsParking(name) ? 1 : IsRecordingName(name, CameraFilter::Any) ? 0 : 2;
        keys.push_back({part, SequenceKey(name), static_cast<std::uint32_t>(i)});
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        if (a.part != b.part) return a.part < b.part;
        if (a.sequence != b.sequence) return a.sequence < b.sequence;
        return a.at < b.at;
    });
    // Position i receives entry keys[i].at: follow each cycle of the
    // permutation, holding one entry aside.
    std::vector<bool> placed(entries.size(), false);
    for (std::size_t start = 0; start < entries.size(); ++start) {
        if (placed[start] || keys[start].at == start) continue;
        RecordingEntry held = std::move(entries[start]);
        std::size_t to = start;
        for (;;) {
            placed[to] = true;
            const std::size_t from = keys[to].at;
            if (from == start) break;
            entries[to] = std::move(entries[from]);
            to = from;
        }
        entries[to] = std::move(held);
    }
}

std::size_t AppendEntries(std::vector<RecordingEntry>& to,
                          const std::vector<RecordingEntry>& from) {
    to.insert(to.end(), from.begin(), from.end());
    return from.size();
}

void RemoveEntries(std::vector<RecordingEntry>& list, const std::vector<RecordingEntry>& removed) {
    std::unordered_set<std::string> gone;
    for (const auto& e : removed) gone.insert(KeyPath(e));
    std::erase_if(list, [&gone](const RecordingEntry& e) { return gone.count(KeyPath(e)) != 0; });
}

int RowOfKeyPath(const std::vector<RecordingEntry>& list, const std::string& keyPath) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (KeyPath(list[i]) == keyPath) return static_cast<int>(i);
    }
    return -1;
}

// ---- Scans -----------------------------------------------------------------

bool ScanFolder(const std::string& folder, std::string* outPath, TreeNode parent,
                ScanTarget& target, int depth) {
    // Without the caller's bounds the scan keeps to the folder it was given
    // (a group node's folder does not exist: then to its parent).
    std::optional<SourceBounds> own;
    if (target.bounds == nullptr) {
        own.emplace(platform::PathExists(folder) ? folder : std::string(ParentOf(folder)));
        target.bounds = &*own;
    }
    struct Restore {
        ScanTarget& target;
        bool owned;
        ~Restore() {
            if (owned) target.bounds = nullptr;
        }
    } restore{target, own.has_value()};
    std::vector<FileListing> listing;
    const FolderContents contents = IsRecordingFolder(folder, &listing, target.bounds);
    std::string chosen = folder;
    bool ok = false;
    if (contents == FolderContents::NoRecordings) {
        ok = ScanSubfolders(folder, listing, parent, target, depth);
    } else if (contents == FolderContents::Recordings) {
        const std::string front = JoinPath(folder, kFrontFolder);
        if (platform::IsDirectory(front)) chosen = front;
        ok = ScanGroups(folder, parent, target, nullptr);
    } else {
        // Not on disk: a recording group node, listed from its parent folder.
        const std::string parentPath(ParentOf(folder));
        const std::string group(LastComponent(folder));
        chosen = parentPath;
        const std::string front = JoinPath(parentPath, kFrontFolder);
        if (platform::IsDirectory(front)) chosen = front;
        ok = ScanGroups(parentPath, parent, target, &group);
    }
    if (ok && outPath) *outPath = chosen;
    return ok;
}

bool ScanSubfolders(const std::string& folder, std::vector<FileListing>& listing, TreeNode parent,
                    ScanTarget& target, int depth) {
    (void)folder;
    std::stable_sort(listing.begin(), listing.end(),
                     [](const auto& a, const auto& b) { return a.path < b.path; });
    static const std::vector<RecordingEntry> kNone;
    PairIndex index(target.entries ? *target.entries : kNone);
    for (const auto& l : listing) {
        if (l.isFolder) {
            if (depth >= kMaxScanDepth || !HasRoom(target.tree)) continue;
            FolderTree& tree = *target.tree;
            if (target.cardMode) {
                if (l.name == kRearFolder) continue;
                const TreeNode node =
                    l.name == kFrontFolder ? parent : tree.InsertChild(parent, l.name);
                if (!target.placeholders) continue;
                std::string out;
                if (!ScanFolder(l.path, &out, node, target, depth + 1)) return false;
                MakePlaceholder(out, *target.placeholders);
                if (LastComponent(out) == kFrontFolder) {
                    MakePlaceholder(PartnerPath(out, "Front", "Rear", "F.AVI", "R.AVI"),
                                    *target.placeholders);
                    const TriggerFlags flags = FlagsOfFolderFiles(out, target.bounds);
                    if (flags != 0 && node != kTreeRoot) tree.SetItemData(node, flags);
                }
            } else {
                tree.InsertChild(parent, l.name);
            }
            continue;
        }
        if (!target.entries || !IsCandidateFile(l)) continue;
        PairPaths p;
        platform::ReadOnlyFile clip;
        if (!PairPathsOf(l.path, p) || index.Taken(p) || !OpenPlayable(l.path, clip)) continue;
        ++target.found;
        if (target.entries->size() < kMaxScanEntries &&
            MakeEntryOpened(p.front, p.rear, *target.entries, &clip, l.path, false, target.bounds))
            index.Add(target.entries->back());
    }
    return true;
}

bool ScanGroups(const std::string& folder, TreeNode parent, ScanTarget& target,
                const std::string* groupName) {
    BoundsOf within(target.bounds, folder);
    std::vector<FileListing> files;
    if (!GroupFiles(folder, files, within.get())) return false;
    GroupFormation groups;
    if (!groupName) {
        FolderTree* tree = target.tree;
        TreeNode node = kTreeRoot;
        std::string nodeGroup;
        bool started = false;
        TriggerFlags accumulated = 0;
        auto finishNode = [&] {
            if (target.cardMode && node != kTreeRoot) {
                tree->SetItemData(node, accumulated);
                ExpandWithAncestors(*tree, node);
            }
            accumulated = 0;
        };
        for (const auto& f : files) {
            const std::string& group = groups.Next(f);
            if (!started || group != nodeGroup) {
                if (!HasRoom(tree)) {
                    // The tree is full: later groups get no node and must not
                    // add their categories to the last one.
                    if (started) finishNode();
                    node = kTreeRoot;
                    break;
                }
                if (started) finishNode();
                started = true;
                nodeGroup = group;
                node = tree->InsertChild(parent, group);
                if (target.placeholders) MakePlaceholder(f.path, *target.placeholders);
            }
            if (target.cardMode) AddTriggerFlags(f.path, accumulated);
        }
        if (started && node != kTreeRoot) finishNode();
        return true;
    }
    if (!target.entries) return true;
    PairIndex index(*target.entries);
    for (const auto& f : files) {
        if (groups.Next(f) != *groupName) continue;
        AddPair(f.path, *target.entries, index, kMaxScanEntries, &target.found, *within);
    }
    return true;
}

std::vector<std::string> GroupNamesOf(const std::string& folder) {
    std::vector<FileListing> files;
    std::vector<std::string> names;
    if (!GroupFiles(folder, files, nullptr)) return names;
    GroupFormation groups;
    for (const auto& f : files) {
        const std::string& g = groups.Next(f);
        if (names.empty() || names.back() != g) names.push_back(g);
    }
    return names;
}

bool CollectRecordings(const std::string& folder, std::vector<RecordingEntry>& entries,
                       int& fileCounter, int depth, bool withDataHeaders,
                       const SourceBounds* bounds) {
    PairIndex index(entries);
    std::set<std::string> visited;
    BoundsOf within(bounds, folder);
    return CollectInto(folder, entries, index, visited, fileCounter, depth, withDataHeaders,
                       *within);
}

}  // namespace trivexa
