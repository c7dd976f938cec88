#pragma once
// BrowserOwner: what the recording browser panel needs from the window that
// owns it (the main window, CVidorraDlg). The panel calls these on the UI
// thread only; the source watcher's loss notice is posted to MessageTarget()
// from the watcher's own thread.
//
// The main window implements this interface; the panel's preview program and
// the tests implement it as well.

#include <mutex>

#include "recordings/folder_tree.h"

class QObject;

namespace trivexa {

// The three flags of the main window's select-recording operation.
struct SelectRecordingFlags {
    bool resetSlider = true;
    bool clearGraph = true;
    bool clearTripPanel = true;
};

class BrowserOwner {
public:
    virtual ~BrowserOwner() = default;

    // The lock around the current row and the recording list (the main
    // window's listMutex). Re-entrant: the owner may already hold it when
    // its own code selects a row of the list.
    virtual std::recursive_mutex& ListMutex() = 0;
    // Row of the current recording in the panel's displayed list, −1 for
    // none. Read and written by the panel only under ListMutex().
    virtual int CurrentIndex() const = 0;
    virtual void SetCurrentIndex(int row) = 0;

    // Select recording: the list's selection moved to CurrentIndex(); the
    // owner stops what plays and schedules the open of that row. Called with
    // ListMutex() held.
    virtual void SelectRecording(const SelectRecordingFlags& flags) = 0;

    // UM_FOLDER_SELECTED: the folder tree's selection changed to `node`
    // (kTreeRoot when nothing is selected any more). The owner answers by
    // loading the node (CFilerContainerDlg::LoadFolder) unless the panel is
    // clearing its source (CFilerContainerDlg::Clearing).
    virtual void OnFolderSelected(TreeNode node) = 0;

    // A command of the panel's controls: the filter buttons 38700–38705. The
    // owner toggles the filter (CFilerContainerDlg::SetFilter with the
    // opposite of its state) and refreshes what depends on the list.
    virtual void OnCommand(int commandId) = 0;

    // Receiver of the panel's posted messages (UM_SOURCE_LOST). It must
    // outlive the panel.
    virtual QObject* MessageTarget() = 0;
};

}  // namespace trivexa
