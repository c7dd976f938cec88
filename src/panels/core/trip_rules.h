#pragma once
// The trip information panel's rules, free of any display: the values it
// holds with their reset values, the texts and pictures it shows for them,
// the recording facts the main window derives for it (quality badge, voltage
// qualification, playback-speed label) and the layout of its boxes. CInfoDlg
// (panels/info_dlg.h) only paints what these return.
//
// Every size is a design size times the layout scale s, truncated; the panel's
// width factor k stretches the x positions. All functions are pure and
// thread-safe.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "container/sensor_reader.h"
#include "recordings/recording_name.h"

namespace trivexa {

// Reset values: they mark a missing value.
inline constexpr int kNoFrame = -1;
inline constexpr double kNoAccel = -5.0;
inline constexpr double kNoSpeedValue = -1.0;
inline constexpr int kNoVoltageValue = -1;
inline constexpr char kNoMicMark = 'M';
inline constexpr int kNoBadge = 0;

// The values the panel shows; the main window writes them (Parts of the
// recording's life: prepared, position fan-out, speed changes).
struct TripValues {
    bool dataValid = false;   // a recording is prepared
    SystemTime startTime{};   // from the recording's file name
    int frame = kNoFrame;     // current frame
    float frameInterval = 0;  // ms per frame of the data camera
    // The data camera's frame rate as its stream header states it (frames
    // per second = rate / scale); 0 when the header gave none.
    std::uint32_t frameRate = 0, frameScale = 0;
    bool timeLapse = false;                           // a time-lapse recording
    double x = kNoAccel, y = kNoAccel, z = kNoAccel;  // G
    double speed = kNoSpeedValue;                     // km/h
    bool speedValid = false;                          // the linked position entry has a fix
    int voltage = kNoVoltageValue;                    // tenths of a volt
    char mic = kNoMicMark;                            // microphone state character
    int badgeCode = kNoBadge;                         // quality class 0..12
    bool speedShown = false;                          // header speed display flag set
    bool receptionShown = false;                      // header reception mark flag set
    bool voltageEnabled = false;                      // the source is a card with "pvtrace.txt"
    bool voltageShown = false;                        // ... and the recording qualifies
    std::string speedText;                            // playback-speed label
    std::array<bool, 3> axisButtons{true, true, true};
};

// Reset: every value that has a reset value gets it.
void ResetTripValues(TripValues& v);

// The position fan-out's copy of the frame's record: accelerations, voltage
// and microphone mark from the acceleration entry, speed and its validity
// from the linked position entry. Without an entry the accelerations, voltage
// and microphone mark return to their reset values and the speed is marked
// invalid; without a position entry only the speed is marked invalid.
void ApplyFrameRecord(TripValues& v, const AccelEntry* entry, const PositionEntry* position);

// Header flags of the recording (unit bytes 26 and 27): shown unless zero.
void ApplyHeaderFlags(TripValues& v, const SensorHeader& header);

// --- date and time of the frame ---------------------------------------------

inline constexpr std::string_view kNoDateText = "0000/00/00 00:00:00";
// The 100-ns tick count since 1601-01-01 of a calendar time; nothing for a
// field out of range (year before 1601 or after 30827, an impossible day, ...).
std::optional<std::uint64_t> FileTimeOf(const SystemTime& t);
// The calendar time of a tick count (day of week filled in); nothing past
// year 30827.
std::optional<SystemTime> SystemTimeOf(std::uint64_t ticks);
// Factor of the frame time of time-lapse recordings.
inline constexpr float kTimeLapseFactor = 14.985f;
inline constexpr std::uint32_t kTimeLapseThousandths = 14985;
// Whole milliseconds of real time from the start of the recording to the
// frame: exact from the stream's rate and scale when they are known (a
// time-lapse frame covers 14.985 frame intervals), else from the frame
// interval. Nothing for a frame below 0 or an interval that is no number.
std::optional<std::int64_t> FrameOffsetMs(const TripValues& v);
// "%04d/%02d/%02d %02d:%02d:%02d" of the frame, years from 2050 shown 35
// years earlier; nothing (the placeholder is drawn) without valid data, for a
// frame below 0 or a time that cannot be shown.
std::optional<std::string> FrameDateText(const TripValues& v);

// --- read-outs ----------------------------------------------------------------

// An acceleration: a value above −5.0 G truncated toward zero to hundredths,
// "%.2fG" (shown values are kept within ±99.99 so the text fits its box);
// otherwise the placeholder with "-0.00G".
struct AccelReadout {
    bool placeholder = false;
    std::string text;
};
AccelReadout AccelText(double g);

enum class SpeedShow { Value, Placeholder, Off };
struct SpeedReadout {
    SpeedShow show = SpeedShow::Off;
    std::string text;  // "%.0f " for a value; "OFF" when switched off
};
inline constexpr std::string_view kOffText = "OFF";
inline constexpr std::string_view kSpeedUnit = "km/h";
SpeedReadout SpeedText(const TripValues& v);

enum class VoltageShow { Hidden, Value, Placeholder };
struct VoltageReadout {
    VoltageShow show = VoltageShow::Hidden;
    std::string text;  // "%.1f" of the voltage for a value
};
inline constexpr std::string_view kVoltageUnit = "V";
VoltageReadout VoltageText(const TripValues& v);

enum class ReceptionShow { Mark, Nothing, Off };
ReceptionShow ReceptionOf(const TripValues& v);

// The microphone picture: 'R' with sound waves, 'r' plain, else crossed out.
int MicPicture(char mark);
// The badge picture of a quality class 1..12; 0 (nothing) for any other.
int BadgePicture(int badgeCode);

// --- recording facts the main window derives ----------------------------------

// The quality class from the front player's picture height and the quality
// letter of the front clip's data header; with only the rear player (front
// height 0), from the rear height alone. 0: no badge.
int QualityClass(int frontHeight, char qualityLetter, int rearHeight);

// Whether a recording's file name lets the voltage show: mode letter 'P', or
// option letter 'T' with a mode letter other than 'A', 'T' and 'P'.
bool NameShowsVoltage(std::string_view name);
// The voltage shown flag: enabled, and the front name (or, when that does not
// qualify, the rear name) qualifies.
bool VoltageShownFor(bool voltageEnabled, std::string_view frontName, std::string_view rearName);

// The UI string of a rate code's playback-speed label; 0 for none.
int SpeedLabelId(int rateCode);
std::string SpeedLabelText(int rateCode);

// --- layout ---------------------------------------------------------------------

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
    friend bool operator==(const Box&, const Box&) = default;
};

struct TripLayout {
    Box date;
    Box speedLabel;
    Box speed;  // "km/h" follows its right edge
    Box voltage;
    int voltageUnitShift = 0;         // "V": the voltage box moved this far right
    int voltagePlaceholderShift = 0;  // the placeholder: moved this far right
    std::array<Box, 3> axisName;
    std::array<Box, 3> axisValue;
    std::array<Box, 3> axisButton;
    Box badge;
    Box micSlot;        // the mark is centred in it horizontally, at its top
    Box receptionSlot;  // likewise
    Box receptionOff;   // "OFF" right-aligned in it
};
// *Layout* at scale s and width factor k.
TripLayout ComputeTripLayout(float s, float k);

// Command ids of the three axis buttons (X, Y, Z).
inline constexpr int kAxisButtonFirstId = 38600;

}  // namespace trivexa
