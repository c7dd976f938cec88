#pragma once
// What the recording list shows for one row, decided without a window: the
// row's text, whether its clip still needs a repaired copy, and the colours of
// the row by selected / shock / damaged / repair pending. The list control
// paints what these functions return.
//
// Colours are 0xRRGGBB values (red in the high byte).
//
// Callers: the list control while it paints (UI thread), the file selection
// dialog and the tests. The repair checks look at the disk (the repaired
// copies folder); everything else is pure.

#include <cstdint>
#include <string>

#include "recordings/recording_library.h"

namespace trivexa {

using Rgb = std::uint32_t;

// The list's and the tree's background (the dark blue-black of the panel).
inline constexpr Rgb kListBackground = 0x231815;
// The one-pixel frame around every list row.
inline constexpr Rgb kListRowFrame = 0x888888;

struct RowColours {
    Rgb background = 0;
    Rgb text = 0;
};

// The state of one list row that decides its colours.
struct RowState {
    bool selected = false;       // the list's selected row
    bool shock = false;          // the row's name is a shock event
    bool damaged = false;        // front or rear damaged mark is 1
    bool repairPending = false;  // a damaged file has no repaired copy yet
};

RowColours ColoursForRow(const RowState& state);

// The row text: the short display form of the entry's front name, or of its
// rear name when the recording has no front file.
std::string RowText(const RecordingEntry& entry);

// True when `path`'s file is marked damaged and the repaired copy named for
// it cannot be named or does not exist (it would be made at playback).
bool RepairPendingFor(const std::string& path, bool damaged);

// The repair-pending marks of both camera files, looked up on disk.
struct RepairMarks {
    bool front = false;
    bool rear = false;
    bool Any() const { return front || rear; }
};
RepairMarks RepairMarksFor(const RecordingEntry& entry);

// The row's state for `entry` with its repair marks as looked up.
RowState StateForRow(const RecordingEntry& entry, bool selected, const RepairMarks& marks);

// A damaged camera file without a repaired copy: the join dialog never puts
// such a recording into its run.
bool NeedsRepair(const RecordingEntry& entry);

}  // namespace trivexa
