#include "browser/model/browser_model.h"

#include <cstdio>
#include <regex>

#include "app/core/settings_file.h"
#include "platform/files.h"
#include "platform/mapping.h"
#include "platform/path.h"
#include "platform/volumes.h"
#include "recordings/drive_utils.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

// DRFormatConfig.dfc: fixed ASCII fields, no terminators.
constexpr const char* kDeviceFile = "DRFormatConfig.dfc";
constexpr std::size_t kDfcModelOffset = 48;
constexpr std::size_t kDfcModelSize = 8;
constexpr std::size_t kDfcFirmwareOffset = 56;  // three two-digit numbers
constexpr std::size_t kDfcGpsOffset = 62;       // six digits or six spaces
constexpr std::size_t kDfcGpsSize = 6;
constexpr std::size_t kDfcMinimumSize = 68;

// Letters of a recording name the filters look at.
constexpr std::size_t kModePos = 0;
constexpr std::size_t kEventPos = 1;
constexpr std::size_t kOptionPos = 2;

// A group node's text: YYMMDD_NNNN.
const std::regex& GroupNodePattern() {
    static const std::regex pattern("[0-9]{6,6}_[0-9]{4,4}", std::regex::ECMAScript);
    return pattern;
}

// The card's top folders, "Normal|Parking".
const std::regex& TopFolderPattern() {
    static const std::regex pattern = [] {
        const std::string normal(kCardLayout[0].topFolder);
        const std::string parking(kCardLayout[2].topFolder);
        return std::regex(normal + "|" + parking, std::regex::ECMAScript);
    }();
    return pattern;
}

// Decimal value like atoi: leading blanks, an optional sign, then digits.
int AsciiToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1'000'000'000L) break;
    }
    return static_cast<int>(negative ? -value : value);
}

// The model field is ASCII; any other byte is shown as '?' so that the text
// stays valid wherever it goes (JSON, the update check's query).
std::string AsciiText(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\0') break;
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 0x20 && u < 0x7F) ? c : '?';
    }
    return out;
}

bool IsCardRoot(const std::string& path) {
    return platform::IsDirectory(JoinPath(path, kCardLayout[0].subPath)) ||
           platform::IsDirectory(JoinPath(path, kCardLayout[2].subPath));
}

}  // namespace

bool FilterAdmits(const FilterFlags& f, std::string_view name) {
    const char mode = name.size() > kModePos ? name[kModePos] : '\0';
    const char event = name.size() > kEventPos ? name[kEventPos] : '\0';
    const char option = name.size() > kOptionPos ? name[kOptionPos] : '\0';
    const bool continuous = mode == 'A' || mode == 'T';
    const bool parking = mode == 'P';
    // b and a are overwritten step by step: a shock recording is shown by the
    // shock filter alone, not by the continuous one.
    bool b = continuous && f[kFilterContinuous];
    if (event == 'G' && continuous) {
        b = f[kFilterShock];
        if (b) return true;
    }
    if (event == 'M') {
        b = f[kFilterManual];
        if (b) return true;
    }
    bool a = (parking || option == 'T') && f[kFilterParking];
    if (parking && event == 'G') {
        a = f[kFilterParkingShock];
        if (a) return true;
    }
    if (event == 'D' && continuous) {
        b = f[kFilterApproach];
        if (b) return true;
    }
    return b || a;
}

std::vector<RecordingEntry> FilterEntries(const std::vector<RecordingEntry>& master,
                                          const FilterFlags& filters) {
    std::vector<RecordingEntry> out;
    for (const auto& e : master) {
        if (FilterAdmits(filters, FileNameOf(KeyName(e)))) out.push_back(e);
    }
    return out;
}

bool ReadDeviceInfo(const std::string& root, DeviceInfo& info) {
    platform::ReadOnlyFile file;
    if (!file.Open(JoinPath(root, kDeviceFile)) || file.Size() < kDfcMinimumSize) return false;
    std::array<std::byte, kDfcMinimumSize> raw{};
    if (file.ReadAt(0, raw) != static_cast<std::int64_t>(raw.size())) return false;
    const std::string_view bytes(reinterpret_cast<const char*>(raw.data()), raw.size());

    char firmware[48];
    std::snprintf(firmware, sizeof firmware, "%d.%d.%d",
                  AsciiToInt(bytes.substr(kDfcFirmwareOffset, 2)),
                  AsciiToInt(bytes.substr(kDfcFirmwareOffset + 2, 2)),
                  AsciiToInt(bytes.substr(kDfcFirmwareOffset + 4, 2)));
    info.firmwareVersion = firmware;

    const std::string_view gps = bytes.substr(kDfcGpsOffset, kDfcGpsSize);
    if (gps.find_first_not_of(' ') == std::string_view::npos) {
        info.gpsDataVersion.clear();
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%06d", AsciiToInt(gps));
        info.gpsDataVersion = text;
    }
    info.reserved.clear();
    info.modelId = AsciiText(bytes.substr(kDfcModelOffset, kDfcModelSize));
    return true;
}

TreeNode DefaultFolder(const FolderTree& tree) {
    const auto top = tree.Children(kTreeRoot);
    if (top.empty()) return kTreeRoot;
    const TreeNode first = top.front();
    if (!std::regex_match(tree.Text(first), TopFolderPattern())) return first;
    const auto children = tree.Children(first);
    if (!children.empty() && std::regex_match(tree.Text(children.front()), GroupNodePattern()))
        return children.front();
    return first;
}

SourceKind GuessSourceKind(const std::string& path) {
    if (platform::IsDirectory(path))
        return IsCardRoot(path) ? SourceKind::SdCard : SourceKind::Folder;
    return SourceKind::File;
}

bool ParseSourceKind(std::string_view text, SourceKind& kind) {
    if (text == "sd")
        kind = SourceKind::SdCard;
    else if (text == "folder")
        kind = SourceKind::Folder;
    else if (text == "file")
        kind = SourceKind::File;
    else
        return false;
    return true;
}

BrowserModel::BrowserModel(FolderTree& tree, CMovieResource::LostCallback onSourceLost)
    : tree_(tree), watcher_(std::make_unique<CMovieResource>(std::move(onSourceLost))) {
    ResetSerialCounter();
    SetGroupSizeLimit(200);
    // The panel switches every filter on when its controls are created.
    filters_.fill(true);
}

void BrowserModel::Select(TreeNode node) {
    if (node == kTreeRoot) return;
    if (onNodeSelected) onNodeSelected(node);
}

void BrowserModel::SelectTopNodes() {
    const auto top = tree_.Children(kTreeRoot);
    for (std::size_t i = 1; i < top.size(); ++i) Select(top[i]);
    if (!top.empty()) Select(top.front());
}

std::unique_lock<std::recursive_mutex> BrowserModel::LockLists() {
    return listLock_ ? std::unique_lock<std::recursive_mutex>(*listLock_)
                     : std::unique_lock<std::recursive_mutex>();
}

bool BrowserModel::OpenSource(const std::string& rawPath, SourceKind kind) {
    // Opening again (after a delete, or another source) replaces the tree
    // instead of adding a second copy of its nodes.
    tree_.DeleteAll();
    tree_.SetCurrentNode(kTreeRoot);
    {
        auto lock = LockLists();
        master_.clear();
        displayed_.clear();
        placeholders_.clear();
        selectedRow_ = -1;
    }
    watcher_->ClearRemoved();
    ResetSerialCounter();
    kind_ = kind;
    const std::string path(StripTrailingSeparators(rawPath));
    sourcePath_ = path;
    watcher_->SetPath(path);
    pathText_.clear();

    // Scans fill local lists, which replace the model's under the list lock.
    std::vector<RecordingEntry> master;
    std::vector<RecordingEntry> placeholders;
    const auto adopt = [&] {
        SortRecordings(master);
        auto lock = LockLists();
        master_ = std::move(master);
        placeholders_ = std::move(placeholders);
    };
    switch (kind) {
        case SourceKind::SdCard: {
            SetGroupSizeLimit(GroupSizeLimitForClass(CapacityClass(path)));
            tree_.SetRootPath(path);
            ScanTarget target;
            target.tree = &tree_;
            target.entries = &master;
            target.placeholders = &placeholders;
            target.cardMode = IsCardRoot(path);
            const bool ok = ScanFolder(path, nullptr, kTreeRoot, target, 0);
            adopt();
            SelectTopNodes();
            ReadDeviceInfo(path);
            return ok;
        }
        case SourceKind::Folder: {
            tree_.SetRootPath(std::string(ParentOf(path)));
            const TreeNode top = tree_.InsertChild(kTreeRoot, std::string(FileNameOf(path)));
            ScanTarget target;
            target.tree = &tree_;
            target.entries = &master;
            const bool ok = ScanFolder(path, nullptr, top, target, 0);
            adopt();
            SelectTopNodes();
            return ok;
        }
        case SourceKind::File: {
            const bool accepted = acceptsFile ? acceptsFile(path) : IsPlayableFile(path);
            if (!accepted) return false;
            AddRecordingForFile(path, master);
            const std::string folder(ParentOf(path));
            tree_.SetRootPath(folder);
            {
                auto lock = LockLists();
                master_ = std::move(master);
                Refilter();
                if (!displayed_.empty()) selectedRow_ = 0;
            }
            pathText_ = folder;
            return true;
        }
        default:
            return false;
    }
}

bool BrowserModel::RestoreSource() {
    return RestoreSource(
        [this](const std::string& path, SourceKind kind) { return OpenSource(path, kind); });
}

bool BrowserModel::RestoreSource(const OpenFunction& open) {
    tree_.DeleteAll();
    bool opened = false;
    const auto removable = platform::RemovableVolumes();
    for (auto it = removable.rbegin(); it != removable.rend() && !opened; ++it) {
        if (platform::IsDirectory(it->mountPoint))
            opened = open(it->mountPoint, SourceKind::SdCard);
    }
    if (!opened) {
        const std::string folder = ReadSetting("SOURCE", "FOLDER");
        if (!folder.empty() && platform::PathExists(folder))
            opened = open(folder, SourceKind::Folder);
    }
    if (!opened) {
        const std::string file = ReadSetting("SOURCE", "FILE");
        if (!file.empty() && platform::PathExists(file) &&
            IsRecordingFileName(file, CameraFilter::Any))
            opened = open(file, SourceKind::File);
    }
    if (opened) SelectDefaultFolder();
    return opened;
}

int BrowserModel::LoadFolder(TreeNode node) {
    const std::string path = tree_.ItemPath(node);
    if (path.empty()) return 0;
    pathText_ = path;
    {
        auto lock = LockLists();
        master_.clear();
    }
    watcher_->ClearRemoved();
    ResetSerialCounter();
    tree_.DeleteChildren(node);
    std::vector<RecordingEntry> master;
    ScanTarget target;
    target.tree = &tree_;
    target.entries = &master;
    target.cardMode = kind_ == SourceKind::SdCard;
    // A node's folder is scanned within the source it belongs to: a link
    // leading out of the source is not followed.
    const SourceBounds bounds(sourcePath_);
    target.bounds = &bounds;
    ScanFolder(path, nullptr, node, target, tree_.Depth(node));
    SortRecordings(master);
    tree_.ExpandUp(node);
    auto lock = LockLists();
    master_ = std::move(master);
    Refilter();
    return static_cast<int>(displayed_.size());
}

int BrowserModel::CountFolder(TreeNode node) const {
    const std::string path = tree_.ItemPath(node);
    if (path.empty()) return 0;
    // The scan builds the nodes it meets: into a tree of its own.
    MemoryFolderTree scratch;
    std::vector<RecordingEntry> entries;
    ScanTarget target;
    target.tree = &scratch;
    target.entries = &entries;
    target.cardMode = kind_ == SourceKind::SdCard;
    ScanFolder(path, nullptr, kTreeRoot, target, tree_.Depth(node));
    return static_cast<int>(FilterEntries(entries, filters_).size());
}

TreeNode BrowserModel::SelectDefaultFolder() {
    const TreeNode node = DefaultFolder(tree_);
    pathText_ = tree_.ItemPath(node);
    Select(node);
    return node;
}

std::vector<RecordingEntry> BrowserModel::CollectAll(bool withDataHeaders) {
    std::vector<RecordingEntry> all;
    ResetSerialCounter();
    int files = 0;
    switch (kind_) {
        case SourceKind::SdCard:
            CollectRecordings(tree_.RootPath(), all, files, 0, withDataHeaders);
            break;
        case SourceKind::File:
            AddRecordingForFile(sourcePath_, all);
            break;
        case SourceKind::Folder: {
            const auto top = tree_.Children(kTreeRoot);
            if (!top.empty())
                CollectRecordings(tree_.ItemPath(top.front()), all, files, 0, withDataHeaders);
            break;
        }
        default:
            break;
    }
    return all;
}

void BrowserModel::ClearSource() {
    tree_.DeleteAll();
    tree_.SetCurrentNode(kTreeRoot);
    pathText_.clear();
    auto lock = LockLists();
    master_.clear();
    displayed_.clear();
    placeholders_.clear();
    selectedRow_ = -1;
}

bool BrowserModel::ReadDeviceInfo(const std::string& root) {
    return ::trivexa::ReadDeviceInfo(root, device_);
}

void BrowserModel::RemoveEntries(const std::vector<RecordingEntry>& removed) {
    auto lock = LockLists();
    ::trivexa::RemoveEntries(master_, removed);
    ::trivexa::RemoveEntries(displayed_, removed);
    if (selectedRow_ >= static_cast<int>(displayed_.size())) selectedRow_ = -1;
}

void BrowserModel::SetFilter(int index, bool on) {
    if (index < 0 || index >= kFilterCount) return;
    filters_[static_cast<std::size_t>(index)] = on;
    auto lock = LockLists();
    Refilter();
    if (!displayed_.empty()) selectedRow_ = 0;
}

bool BrowserModel::Filter(int index) const {
    return index >= 0 && index < kFilterCount && filters_[static_cast<std::size_t>(index)];
}

void BrowserModel::Refilter() {
    auto filtered = FilterEntries(master_, filters_);
    auto lock = LockLists();
    displayed_ = std::move(filtered);
}

void BrowserModel::SelectRow(int index) {
    if (index >= 0 && index < static_cast<int>(displayed_.size())) selectedRow_ = index;
}

}  // namespace trivexa
