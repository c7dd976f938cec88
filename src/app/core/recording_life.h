#pragma once
// The decisions of a recording's life in the main window that are arithmetic:
// how many ready and end reports complete an open, what an open's combined
// result means for the user, where playback goes at the end of a recording,
// which event a click on the graph jumps to, and the recorder model code.
//
// Callers: the viewer controller on the UI thread. Pure functions.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace trivexa {

// How many players must report (ready, or ended) for the current recording:
// 2 when both opened their file, 1 when one did, 0 when none did.
int ExpectedReports(bool frontOpened, bool rearOpened);

// What an open of both players amounted to.
enum class OpenOutcome : int {
    kOpened = 0,    // at least one file opened, none too short
    kTooShort = 1,  // a file was too short to play (UI string 97)
    kFailed = 2,    // no file opened (UI string 96)
};
// From the combined result: bit 0 at least one opened, bit 1 one too short.
OpenOutcome ClassifyOpen(int combinedResult);
// The UI string shown for a failed open (caption "ERROR"): 97 when a file
// was too short, else 96.
int OpenFailureMessageId(OpenOutcome outcome);

// Where playback goes when the current recording has ended (or next was
// pressed).
enum class EndStep : int {
    kNextRow = 0,      // the row below becomes current and opens
    kNextFolder = 1,   // the last row: the folder tree's next node is loaded
    kStopAtStart = 2,  // the last row of the last folder: stop at position 0
    kNothing = 3,      // no current row
};
EndStep EndOfRecordingStep(int currentRow, int rowCount, bool treeHasNextNode);

// Event jumps over the event list (frames of the displayed events, in list
// order, which is the recording's order).
// Previous: the last event before `current`; none: the last event of the
// recording (the last event before `duration` + 1).
std::optional<std::size_t> PreviousEventIndex(std::span<const std::int64_t> frames,
                                              std::int64_t current, std::int64_t duration);
// Next: the first event after `current`; none: the first event.
std::optional<std::size_t> NextEventIndex(std::span<const std::int64_t> frames,
                                          std::int64_t current);

// The recorder model code of a model text: 2 "PL35-XQR", 1 "PL21-XQR", else 0.
// Trailing blanks and NULs of a fixed-width field are ignored.
int ModelCodeOf(std::string_view model);

}  // namespace trivexa
