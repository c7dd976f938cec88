#pragma once
// The still button: pause, reset the zoom, choose a folder, ask before
// replacing a picture, save one JPEG per camera at its native size, put the
// layout back and say how it went. The order of those steps and which message
// follows which outcome live here; the main window does each step through
// StillCaptureOwner (its players, its layout, its message boxes).
//
// Each picture is named by the letter of the camera it shows: a recording
// with only a rear file gives one file with R, never the rear picture under F.
//
// Callers: the main window's still command, on the UI thread. RunStillCapture
// returns after the last owner call; it keeps no state.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recordings/recording_name.h"

namespace trivexa {

// UI strings of the command.
inline constexpr int kUiStillFolderTitle = 100;  // the folder chooser's title
inline constexpr int kUiOverwriteQuestion = 90;  // a file of that name exists
inline constexpr int kUiTaskComplete = 44;       // "done", with caption 45
inline constexpr int kUiTaskCompleteCaption = 45;
inline constexpr int kUiStillFailed = 98;  // with caption "ERROR"

class StillCaptureOwner {
public:
    virtual ~StillCaptureOwner() = default;
    // No recording loaded, or playback within the end margin: nothing happens.
    virtual bool CanCapture() = 0;
    // Pauses as the play/pause button does (speed reset, muted) unless the
    // data camera is paused already; resets both screens' zoom, repaints
    // both players and disables every control (as for a task, no bar).
    virtual void PrepareCapture() = 0;
    // The folder chooser (UI string 100, the remembered snapshot folder);
    // empty when cancelled.
    virtual std::string ChooseFolder() = 0;
    // The name of the current row's recording (front file, else rear file)
    // and the data camera's position in frames (negative when unknown).
    virtual std::string RecordingName() = 0;
    virtual std::int64_t Position() = 0;
    // The files the pictures are taken from (the row's front and rear
    // clips); a picture path that leads to one of them fails the capture.
    virtual std::vector<std::string> InputPaths() { return {}; }
    // UI string 90 with caption 104, OK and Cancel; true for OK.
    virtual bool ConfirmOverwrite(const std::string& path) = 0;
    // Whether the camera's player has a clip open, and saving its picture
    // at native size (false when it could not be written).
    virtual bool HasPicture(Camera camera) = 0;
    virtual bool SaveFrame(Camera camera, const std::string& path) = 0;
    // The folder becomes the remembered snapshot folder.
    virtual void RememberFolder(const std::string& folder) = 0;
    // Puts the video layout back (done after every save attempt).
    virtual void RestoreLayout() = 0;
    // A message box: `text` UI string id; caption UI string id, or -1 for
    // "ERROR".
    virtual void ShowMessage(int text, int caption) = 0;
    // Enables the controls again and runs the button enabling.
    virtual void EndCapture() = 0;
};

enum class StillCaptureResult {
    kNotAvailable,       // no recording or at the end: nothing was done
    kFolderCancelled,    // no folder chosen: no message
    kOverwriteDeclined,  // the user kept the existing file: no message
    kFailed,             // nothing saved: UI string 98
    kSaved,              // at least one picture saved: UI string 44
};

struct StillCaptureReport {
    StillCaptureResult result = StillCaptureResult::kNotAvailable;
    std::string frontPath;  // the paths saved, empty for a camera not saved
    std::string rearPath;
};

StillCaptureReport RunStillCapture(StillCaptureOwner& owner);

}  // namespace trivexa
