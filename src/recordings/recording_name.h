#pragma once
// The recorder's clip names and everything derived from them before a clip is
// opened: trigger kind and category bits, display texts, start date and time,
// sequence number, short list text and the other camera's path.
//
// A full name has 30 characters, e.g. "AG_S-230715-081522-000123F.AVI":
//   0 mode (A continuous, P parking, T time-lapse, _), 1 event (G shock,
//   M manual, D approach alert, _), 2 option (T time-lapse, O speed camera, _),
//   3 series (S, _), 5-10 YYMMDD, 12-17 HHMMSS, 19-24 sequence, 25 camera F/R,
//   26-29 ".AVI".
//
// Every function is pure (never touches the disk), thread-safe, and works on
// the final component of the given path: the text after the last '\' or '/'.
// Any byte sequence of any length is accepted; short names simply fail the
// tests or give empty texts.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/path.h"

namespace trivexa {

enum class TriggerKind : std::int32_t {
    None = -1,
    Continuous = 0,
    Shock = 1,
    Manual = 2,
    Parking = 3,
    ParkingShock = 4,
    ApproachAlert = 5,
};

// Category bits marking folder nodes and filtering lists.
using TriggerFlags = std::uint32_t;
inline constexpr TriggerFlags kFlagContinuous = 0x01;
inline constexpr TriggerFlags kFlagManual = 0x02;
inline constexpr TriggerFlags kFlagShock = 0x04;
inline constexpr TriggerFlags kFlagParking = 0x08;
inline constexpr TriggerFlags kFlagParkingShock = 0x10;
inline constexpr TriggerFlags kFlagSpeedCamera = 0x20;
inline constexpr TriggerFlags kFlagApproachAlert = 0x40;

enum class Camera { Front, Rear };
enum class CameraFilter { Any, Front, Rear };

// Calendar date-time with the day of week, field for field like the Windows
// SYSTEMTIME the recorder's tools use (dayOfWeek 0 = Sunday).
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

inline constexpr std::size_t kRecordingNameLength = 30;
// Characters of a name up to and including the third '-' ("AG_S-230715-081522-").
inline constexpr std::size_t kNamePrefixLength = 19;

// Whether the name matches the recording grammar for the camera filter (a
// search, not an anchored match) and has a recognised trigger kind.
bool IsRecordingName(std::string_view path, CameraFilter filter = CameraFilter::Any);

// Whether the final component is, as a whole, a name the recorder writes: a
// recording name of exactly 30 characters. The recorder's names have one
// extension and nothing after it, so a file named like a recording with more
// behind it ("...F.AVI.AVI", "...F.AVI (1).avi", a copy) is not a recording
// file: the scans leave it out, and pairing and deleting never derive another
// file's path from it. The name texts above still read such names.
bool IsRecordingFileName(std::string_view path, CameraFilter filter = CameraFilter::Any);

TriggerKind TriggerKindOf(std::string_view path);

// ORs the name's category bits into `flags` (never clears any); returns true.
bool AddTriggerFlags(std::string_view path, TriggerFlags& flags);

// Display text of the trigger built from UI strings joined by "+"; empty for
// names shorter than 30 characters and for combinations without a text.
std::string TriggerText(std::string_view path);

bool IsTimeLapse(std::string_view path);
bool IsParking(std::string_view path);
bool HasRecognisedKind(std::string_view path);
bool IsShockEvent(std::string_view path);

// Start of the recording as local wall-clock time, normalised like mktime
// with daylight saving off (30 February gives 2 March); the Unix epoch in
// local time when the fields cannot be converted.
SystemTime RecordingDateTime(std::string_view path);

// The calendar arithmetic of recording times (names and sensor records alike):
// wall-clock fields normalised so that each rolls over into the next larger
// one (month 13 is January of the next year, 30 February is 2 March), with no
// time zone or daylight saving shift, since the recorder writes its local
// clock as it reads it. `seconds` counts from the start of `day` and may be
// negative or longer than a day. Any int fields give a valid result.
SystemTime NormalizedWallClock(int year, int month, int day, long long seconds);

// Characters from position 19 up to the last five characters of the name.
std::string SequenceText(std::string_view path);
// Leading decimal digits of positions 19-24, like atoi (0 when none).
int SequenceNumber(std::string_view path);

// "AG_S-081522-000123" for a recording name, else the name up to its first '.'.
std::string ShortDisplayName(std::string_view path);

// Beginning of a still image's file name: "230715-081522-F".
std::string StillBaseName(std::string_view path);

// Path of the other camera's file: when `fromFolder` is the file's own parent
// folder it becomes `toFolder`, and `fromSuffix` in the name becomes
// `toSuffix`. Accepts '\' and '/' in `path`; the result uses '/'.
std::string PartnerPath(std::string_view path, std::string_view fromFolder,
                        std::string_view toFolder, std::string_view fromSuffix,
                        std::string_view toSuffix);
// The two directions the viewer uses ("Front"/"F.AVI" <-> "Rear"/"R.AVI").
std::string FrontToRearPath(std::string_view path);
std::string RearToFrontPath(std::string_view path);

// "<base>/<cameraFolder>/<namePrefix><number, 6 digits><cameraLetter>.<extension>",
// e.g. CardFilePath("/media/SD/Normal", "Front", "AG_S-230715-081522-", 123, 'F', "DMY").
std::string CardFilePath(std::string_view baseFolder, std::string_view cameraFolder,
                         std::string_view namePrefix, int sequenceNumber, char cameraLetter,
                         std::string_view extension);

}  // namespace trivexa
