#pragma once
// The rules of the source selection dialog, without a window: the mode it
// starts in, when OK may be pressed, what OK remembers in the settings file,
// and how the main window checks the chosen path before it opens it.
//
// Callers: CSourceOpenDlg and the main window's source command (UI thread);
// tests.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/model/browser_model.h"

namespace trivexa {

// The mode the dialog starts in from SOURCE/SELECT: "SD" → card, "FOLDER" →
// folder, "FILE" → file; anything else (also nothing) → card.
SourceKind StartingSourceMode(std::string_view select);

// OK may be pressed when the mode has something to open: a drive selected
// (card), a folder text (folder), a file text (file).
bool SourceOkEnabled(SourceKind mode, bool driveSelected, std::string_view folder,
                     std::string_view file);

// What OK writes into section SOURCE: SELECT = key, then key = value.
struct SourceSetting {
    std::string key;  // "SD", "FOLDER" or "FILE"
    std::string value;
    bool operator==(const SourceSetting&) const = default;
};
// Nothing when no mode was chosen.
std::optional<SourceSetting> SettingForChoice(SourceKind mode, std::string_view drive,
                                              std::string_view folder, std::string_view file);
// Writes the choice (SELECT first, then the key). False when a write failed.
bool RememberChoice(const SourceSetting& setting);

// The drive list: the mount points of the removable volumes, in mount order
// (the dialog preselects the last one).
std::vector<std::string> RemovableDriveTexts();

// The main window's check of a chosen path before OpenSource.
enum class ChosenSourceCheck {
    kOpen,          // open it (the path has lost one trailing separator)
    kNothing,       // empty or missing: open nothing
    kNotRecording,  // a file whose name is no recording name: UI string 96
};
ChosenSourceCheck CheckChosenSource(SourceKind mode, std::string& path);

}  // namespace trivexa
