#pragma once
// The rules of the main window's playback commands that need no display: play
// states and rate codes, the speed labels, a recording's default rate, the end
// margin, the next rate code of faster and slower, the seek target, the
// volume slider, the display switch, the full-screen refusal and
// the window in which a polled position is shown after a seek.
//
// Positions and durations are frame units of the data camera's clip; frame
// intervals are milliseconds per frame.
//
// Callers: the main window controller on the UI thread. Pure functions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trivexa {

// A player's play state, numbered as the players number it.
enum class PlayState : int {
    kClosed = 0,
    kStopped = 1,
    kPlaying = 2,
    kPaused = 3,
};

// Rate codes: forward 1, 2, 4; −1 backward (or the toggle between normal and
// half speed on a player that cannot play backwards); −2, −4 half and quarter
// speed (or backward at 2 and 4 on a player that can).
enum class RateCode : int {
    kQuarter = -4,
    kHalf = -2,
    kBackward = -1,
    kNormal = 1,
    kDouble = 2,
    kQuadruple = 4,
};

// Which of the two playback engines the data camera plays through; the slower
// command steps differently on each. Our FFmpeg engine stands where the
// Media Foundation engine stood.
enum class PlaybackEngine : int {
    kMediaFoundation = 0,
    kDirectShow = 1,
};

enum class RateStep : int { kFaster, kSlower };

// The speed label's UI string: 57 (×1), 58 (×2), 59 (×4), 60 (×1/2),
// 61 (×1/4); none for any other code.
std::optional<int> SpeedLabelId(RateCode code);
// The label's text, empty for a code without one.
std::string SpeedLabelText(RateCode code);

// −2 when the front or the rear file name denotes a time-lapse recording,
// otherwise 1. Either name may be empty (a recording with one camera).
RateCode DefaultRateCode(std::string_view frontName, std::string_view rearName);

// The frame interval used when the player reports none.
inline constexpr float kFallbackFrameIntervalMs = 34.36426f;

// The end margin in frames: int(o · 1000 / 29.1 / f) with o = 40 at rate
// code 2, 80 at 4 and 20 otherwise, and f the frame interval (the fallback
// when it is 0 or unusable).
int EndMarginFrames(RateCode code, float frameIntervalMs);

// Whether the data camera is within its end margin: only while it plays,
// position + margin ≥ duration.
bool WithinEndMargin(PlayState state, std::int64_t position, std::int64_t duration, RateCode code,
                     float frameIntervalMs);

// The next rate code of faster or slower. Not playing: 1. Playing: the table
// of the two commands (faster by whether the player can play backwards,
// slower by engine).
RateCode NextRateCode(RateStep step, RateCode current, bool playing, bool canPlayBackwards,
                      PlaybackEngine engine);

// The seek margin: 40 frames at rate code 2, 80 at 4, else 20.
int SeekMarginFrames(RateCode code);

// `seekRange`: first and one-past-last position of the current recording.
struct SeekRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
    bool operator==(const SeekRange&) const = default;
};

struct SeekPlan {
    std::int64_t target = 0;  // where the players go
    std::int64_t shown = 0;   // what the panels, the slider and the map show
    bool operator==(const SeekPlan&) const = default;
};

// *Seek (position p)*: the players go to p, or to end − margin when p lies
// beyond it (so a seek never lands inside the end margin); the shown position
// is p clamped into [first, end − 1].
SeekPlan PlanSeek(std::int64_t p, const SeekRange& range, RateCode code);

// p clamped into the seek range (at most end − 1, at least first).
std::int64_t ClampToSeekRange(std::int64_t p, const SeekRange& range);

// The position poll shows a position p > 0 only when no seek is pending
// (pendingSeek −1) or p lies strictly within pendingSeek ± (d / 1000 + 30).
bool AcceptPolledPosition(std::int64_t p, std::int64_t pendingSeek, std::int64_t duration);

// The volume slider's range and the volume a slider position stands for
// (clamped into 0..65535). The setting itself is read and written by
// settings_file.h (ReadVolume, WriteVolume, ReadAspectOn, WriteAspectOn).
inline constexpr int kVolumeMax = 65535;
int VolumeFromSlider(int position);

// Toggle full screen is refused while windowed when position + 10 ≥ duration.
bool FullScreenRefused(bool fullScreen, std::int64_t position, std::int64_t duration);

// A double click on the primary surface toggles full screen only when it is
// not in zoom mode, no file task has disabled the controls, the list has rows
// and a recording is loaded.
bool DoubleClickTogglesFullScreen(bool zoomMode, bool busyTask, int rowCount, bool mediaLoaded);

// *38015 Display switch*: the screens trade places and the secondary window's
// caption names the camera now shown in it.
struct ScreenAssignment {
    int primary = 0;
    int secondary = 1;
    int secondaryCaptionId = 146;  // UI string of the secondary window's caption
    bool operator==(const ScreenAssignment&) const = default;
};
ScreenAssignment SwapScreens(int primary);
// The secondary caption for a primary screen: 146 when screen 0 is primary,
// else 145.
int SecondaryCaptionId(int primary);

// A clip shorter than two seconds is opened again after a display switch:
// duration in frames × frame interval below 2000 ms.
bool ShorterThanTwoSeconds(std::int64_t durationFrames, float frameIntervalMs);

}  // namespace trivexa
