#pragma once
// The file selection dialog as the main window's delete and join commands run
// it, kept apart from the window's own sources: the dialog's list rules and
// the graph's share names that one translation unit cannot hold together.
//
// Callers: the main window, on the UI thread; modal.

#include <string>
#include <vector>

#include "recordings/recording_entry.h"

class QWidget;

namespace trivexa {

// Shows the dialog (join mode when `join`, else delete mode with `full`, the
// source's whole list, offered beside the displayed one) named `objectName`,
// and returns the checked recordings in row order; empty when cancelled.
std::vector<RecordingEntry> RunFileSelection(QWidget* owner, bool join,
                                             const std::string& objectName,
                                             const std::vector<RecordingEntry>& full,
                                             const std::vector<RecordingEntry>& displayed);

}  // namespace trivexa
