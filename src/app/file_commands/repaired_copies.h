#pragma once
// The repaired copies that playback of damaged clips leaves in
// "repaired_movie_files" under the temporary directory: when the main window
// returns to the empty state it offers to keep them (moving them into a
// folder the user chooses) and then deletes the folder; at start-up it
// deletes the folder without asking.
//
// Callers: the main window on the UI thread (the operations are short: a few
// renames, or copies when the chosen folder is on another volume).

#include <string>
#include <vector>

namespace trivexa {

// "<temporary directory>/repaired_movie_files".
std::string RepairedCopiesFolder();
// The folder exists (there is something to offer).
bool HasRepairedCopies(const std::string& folder = RepairedCopiesFolder());

struct RepairedMoveReport {
    int moved = 0;
    // Files left behind, by name; the folder is deleted afterwards anyway.
    std::vector<std::string> failed;
    bool Ok() const { return failed.empty(); }
};

// Moves every file of `folder` into `destination`. A file never replaces one
// already there: it takes the name "<stem> (2)<ext>" (then (3), ...) instead.
// Across volumes a file is copied (complete before it appears under its name)
// and then removed.
RepairedMoveReport MoveRepairedCopies(const std::string& destination,
                                      const std::string& folder = RepairedCopiesFolder());

// Deletes `folder` (to the trash; removed outright when the trash refuses it)
// and waits in 200 ms steps until it is gone. True when it is gone.
bool DeleteRepairedCopies(const std::string& folder = RepairedCopiesFolder());

}  // namespace trivexa
