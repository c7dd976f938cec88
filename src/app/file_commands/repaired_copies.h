#pragma once
// The repaired copies that playback of damaged clips leaves in this viewer's
// private repair folder (container/integrity.h, RepairFolder): when the main
// window returns to the empty state it offers to keep them (moving them into
// a folder the user chooses) and then deletes the folder. The folders of
// viewers that have gone are removed when the next viewer starts.
//
// Callers: the main window on the UI thread (the operations are short: a few
// renames, or copies when the chosen folder is on another volume).

#include <string>
#include <vector>

namespace trivexa {

// This viewer's repair folder ("" when it has none).
std::string RepairedCopiesFolder();
// The folder holds a repaired copy (there is something to offer). The
// records the repair keeps beside its copies (hidden names) do not count.
bool HasRepairedCopies(const std::string& folder = RepairedCopiesFolder());

struct RepairedMoveReport {
    int moved = 0;
    // Files left behind, by name; the folder is deleted afterwards anyway.
    std::vector<std::string> failed;
    bool Ok() const { return failed.empty(); }
};

// Moves every repaired copy of `folder` into `destination` (the hidden
// records beside them stay and go with the folder). A file never replaces one
// already there: it takes the name "<stem> (2)<ext>" (then (3), ...) instead.
// Across volumes a file is copied (complete before it appears under its name)
// and then removed.
RepairedMoveReport MoveRepairedCopies(const std::string& destination,
                                      const std::string& folder = RepairedCopiesFolder());

// Deletes `folder` (to the trash; removed outright when the trash refuses it)
// and waits in 200 ms steps until it is gone. True when it is gone.
bool DeleteRepairedCopies(const std::string& folder = RepairedCopiesFolder());

// UI strings of the question when the window returns to the empty state.
inline constexpr int kUiKeepRepairedCopies = 173;  // Yes / No, caption 104
inline constexpr int kUiRepairFolderTitle = 174;   // the folder chooser's title

// The main window, as the repaired-copies question needs it (UI thread).
class RepairedCopiesOwner {
public:
    virtual ~RepairedCopiesOwner() = default;
    // UI string 173 with caption 104, Yes and No; true for Yes.
    virtual bool AskKeepRepairedCopies() = 0;
    // The folder chooser (UI string 174, the remembered repair folder); empty
    // when cancelled.
    virtual std::string ChooseRepairFolder() = 0;
    // The folder becomes the remembered repair folder.
    virtual void RememberRepairFolder(const std::string& folder) = 0;
};

enum class RepairedCopiesOutcome {
    kNone,     // no repaired copies: nothing asked
    kDeleted,  // not kept (No, or no folder chosen); the folder is gone
    kMoved,    // moved into the chosen folder, then the folder deleted
    kPartly,   // some files could not be moved; the folder is deleted anyway
    kStuck,    // the folder could not be deleted
};

// The whole step, run when the window returns to the empty state (browse,
// delete with reload, source lost, shutdown): asks once, moves the copies
// when the user keeps them, and deletes the folder either way.
RepairedCopiesOutcome OfferRepairedCopies(RepairedCopiesOwner& owner,
                                          const std::string& folder = RepairedCopiesFolder());

}  // namespace trivexa
