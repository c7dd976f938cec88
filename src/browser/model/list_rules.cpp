#include "browser/model/list_rules.h"

#include <filesystem>

#include "container/integrity.h"
#include "platform/files.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

// Row backgrounds (RGB).
constexpr Rgb kSelectedShock = 0xB2B28E;
constexpr Rgb kSelected = 0xB2B2B2;
constexpr Rgb kShockRepairPending = 0xBFBF99;
constexpr Rgb kShock = 0xFFFFCC;
// Row texts.
constexpr Rgb kRepairPendingText = 0xFFFF00;  // yellow
constexpr Rgb kDamagedText = 0x00FF00;        // green
constexpr Rgb kDarkText = 0x000000;
constexpr Rgb kLightText = 0xFFFFFF;

}  // namespace

RowColours ColoursForRow(const RowState& s) {
    RowColours c;
    if (s.selected)
        c.background = s.shock ? kSelectedShock : kSelected;
    else if (s.shock)
        c.background = s.repairPending ? kShockRepairPending : kShock;
    else
        c.background = kListBackground;
    // Light rows (selected or shock) carry dark text, the plain dark rows white.
    const bool lightRow = s.selected || s.shock;
    if (s.repairPending)
        c.text = kRepairPendingText;
    else if (s.damaged)
        c.text = kDamagedText;
    else
        c.text = lightRow ? kDarkText : kLightText;
    return c;
}

std::string RowText(const RecordingEntry& entry) {
    return ShortDisplayName(FileNameOf(KeyName(entry)));
}

bool RepairPendingFor(const std::string& path, bool damaged) {
    if (!damaged) return false;
    std::filesystem::path copy;
    if (!RepairFolderPath(FileNameOf(path), copy)) return true;
    return !platform::IsRegularFile(copy.string());
}

RepairMarks RepairMarksFor(const RecordingEntry& entry) {
    RepairMarks m;
    m.front = RepairPendingFor(entry.frontPath, entry.frontDamaged == 1);
    m.rear = RepairPendingFor(entry.rearPath, entry.rearDamaged == 1);
    return m;
}

RowState StateForRow(const RecordingEntry& entry, bool selected, const RepairMarks& marks) {
    RowState s;
    s.selected = selected;
    s.shock = IsShockEvent(FileNameOf(KeyName(entry)));
    s.damaged = entry.frontDamaged == 1 || entry.rearDamaged == 1;
    s.repairPending = marks.Any();
    return s;
}

bool NeedsRepair(const RecordingEntry& entry) { return RepairMarksFor(entry).Any(); }

}  // namespace trivexa
