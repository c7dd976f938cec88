#pragma once
// BrowseForFolder: the viewer's folder chooser. It opens the toolkit's folder
// dialog with a title, starting at the folder remembered under (section, key)
// in the settings file, or at the start-up directory when none is stored, and
// returns the chosen folder. A choice without a path on the file system (a
// network location the dialog offers) is refused with UI string 95.
//
// The caller stores the result (WriteSetting) when it wants it remembered.
//
// Callers: the source dialog and the output commands (CSV, still, join,
// repaired copies), on the UI thread. `owner` may be null.

#include <string>

class QWidget;

namespace trivexa {

// The chosen folder, or "" when the user cancelled or the choice had no
// file-system path.
std::string BrowseForFolder(QWidget* owner, const std::string& section, const std::string& key,
                            const std::string& title);

}  // namespace trivexa
