#include "recordings/recording_name.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <regex>

#include "app/core/ui_strings.h"

namespace trivexa {
namespace {

// Positions inside a recording name.
constexpr std::size_t kModePos = 0;
constexpr std::size_t kEventPos = 1;
constexpr std::size_t kOptionPos = 2;
constexpr std::size_t kFirstDashPos = 4;
constexpr std::size_t kDatePos = 5;
constexpr std::size_t kTimePos = 12;
constexpr std::size_t kSequencePos = 19;
constexpr std::size_t kSequenceDigits = 6;
// SequenceText stops before the camera letter and the extension.
constexpr std::size_t kSequenceTailLength = 5;
// The short list text keeps the four trigger letters.
constexpr std::size_t kTriggerLetters = 4;
// StillBaseName drops the trigger letters and their '-', keeps date, time
// and their '-' separators.
constexpr std::size_t kStillSkip = 5;
constexpr std::size_t kStillKeep = 14;
constexpr int kYearBase = 2000;

// UI strings that make up the trigger texts.
constexpr int kTextContinuous = 160;
constexpr int kTextSpeedCamera = 161;
constexpr int kTextManual = 163;
constexpr int kTextShock = 164;
constexpr int kTextTimeLapse = 165;
constexpr int kTextParking = 166;
constexpr int kTextParkingShock = 167;
constexpr int kTextParkingTimeLapse = 168;
constexpr int kTextApproachAlert = 181;

// The recorder's grammar. The '.' before AVI deliberately matches any
// character: names are searched, not matched, and the scans test the
// extension separately.
const std::regex& PatternFor(CameraFilter filter) {
    static const std::regex any(
        "[APT_]{1,1}[GMD_]{1,1}[T_]{1,1}[S_]{1,1}-[0-9]{6,6}-[0-9]{6,6}-[0-9]{6,6}[FR]{1,1}.AVI",
        std::regex::ECMAScript);
    static const std::regex front(
        "[APT_]{1,1}[GMD_]{1,1}[T_]{1,1}[S_]{1,1}-[0-9]{6,6}-[0-9]{6,6}-[0-9]{6,6}[F]{1,1}.AVI",
        std::regex::ECMAScript);
    static const std::regex rear(
        "[APT_]{1,1}[GMD_]{1,1}[T_]{1,1}[S_]{1,1}-[0-9]{6,6}-[0-9]{6,6}-[0-9]{6,6}[R]{1,1}.AVI",
        std::regex::ECMAScript);
    switch (filter) {
        case CameraFilter::Front:
            return front;
        case CameraFilter::Rear:
            return rear;
        case CameraFilter::Any:
            break;
    }
    return any;
}

bool OneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

bool IsDigits(std::string_view s) {
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The pattern matched by hand at the first character, which is where every
// name the recorder writes has it. Only a sure match answers here; anything
// else goes to the regular expression search, so the result is always the
// search's. The '.' before AVI is left to the search for the line-ending and
// NUL characters whose treatment is the regex engine's business. Needs at
// least 30 characters.
bool MatchesAtStart(std::string_view name, CameraFilter filter) {
    const std::string_view cameras = filter == CameraFilter::Front  ? "F"
                                     : filter == CameraFilter::Rear ? "R"
                                                                    : "FR";
    const char any = name[26];
    return OneOf(name[0], "APT_") && OneOf(name[1], "GMD_") && OneOf(name[2], "T_") &&
           OneOf(name[3], "S_") && name[4] == '-' && IsDigits(name.substr(5, 6)) &&
           name[11] == '-' && IsDigits(name.substr(12, 6)) && name[18] == '-' &&
           IsDigits(name.substr(19, 6)) && OneOf(name[25], cameras) && any != '\n' && any != '\r' &&
           any != '\0' && name.substr(27, 3) == "AVI";
}

// Character at `pos`, or '\0' past the end: short names then fall into the
// "anything else" rows of the tables below.
char At(std::string_view name, std::size_t pos) { return pos < name.size() ? name[pos] : '\0'; }

std::string_view Sub(std::string_view s, std::size_t pos,
                     std::size_t count = std::string_view::npos) {
    if (pos >= s.size()) return {};
    return s.substr(pos, count);
}

// Text from `pos` up to (not including) the next '-', or to the end.
std::string_view FieldFrom(std::string_view name, std::size_t pos) {
    std::string_view rest = Sub(name, pos);
    return rest.substr(0, rest.find('-'));
}

// atoi over a bounded piece of text: leading white space, an optional sign,
// then decimal digits; 0 when there are none. Bounded so it cannot overflow.
int ParseInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1'000'000'000) break;
    }
    return static_cast<int>(negative ? -value : value);
}

std::string UiText(int id) { return UiString(id); }

std::string PlusSpeedCamera(char option) {
    return option == 'O' ? "+" + UiText(kTextSpeedCamera) : std::string();
}

}  // namespace

bool IsRecordingName(std::string_view path, CameraFilter filter) {
    std::string_view name = FileNameOf(path);
    if (name.size() > kFirstDashPos && name[kFirstDashPos] != '-') return false;
    if (name.size() < kRecordingNameLength) return false;  // the pattern spans 30 characters
    if (!MatchesAtStart(name, filter) &&
        !std::regex_search(name.begin(), name.end(), PatternFor(filter))) {
        return false;
    }
    return TriggerKindOf(name) != TriggerKind::None;
}

bool IsRecordingFileName(std::string_view path, CameraFilter filter) {
    return FileNameOf(path).size() == kRecordingNameLength && IsRecordingName(path, filter);
}

TriggerKind TriggerKindOf(std::string_view path) {
    std::string_view name = FileNameOf(path);
    const char mode = At(name, kModePos);
    const char event = At(name, kEventPos);
    if (mode == 'A' || mode == 'T') {
        if (event == 'D') return TriggerKind::ApproachAlert;
        if (event == 'M') return TriggerKind::Manual;
        if (event == 'G') return TriggerKind::Shock;
        return TriggerKind::Continuous;
    }
    if (mode == 'P') return event == 'G' ? TriggerKind::ParkingShock : TriggerKind::Parking;
    if (At(name, kOptionPos) == 'T') return TriggerKind::Parking;
    return TriggerKind::None;
}

bool AddTriggerFlags(std::string_view path, TriggerFlags& flags) {
    std::string_view name = FileNameOf(path);
    const char mode = At(name, kModePos);
    const char event = At(name, kEventPos);
    const char option = At(name, kOptionPos);
    if (mode == 'A' || mode == 'T') flags |= kFlagContinuous;
    if (event == 'D') flags |= kFlagApproachAlert;
    if (event == 'M') flags |= kFlagManual;
    if (event == 'G') flags |= mode == 'P' ? kFlagParkingShock : kFlagShock;
    if (mode == 'P' && event != 'G') flags |= kFlagParking;
    if (option == 'O') flags |= kFlagSpeedCamera;
    if (option == 'T') flags |= kFlagContinuous;
    return true;
}

std::string TriggerText(std::string_view path) {
    std::string_view name = FileNameOf(path);
    if (name.size() < kRecordingNameLength) return {};
    const char mode = name[kModePos];
    const char event = name[kEventPos];
    const char option = name[kOptionPos];
    if (mode == 'A') {
        switch (event) {
            case '_':
                if (option == '_') return UiText(kTextContinuous);
                if (option == 'O') return UiText(kTextSpeedCamera);
                if (option == 'T') return UiText(kTextParkingTimeLapse);
                return {};
            case 'D':
                return UiText(kTextApproachAlert) + PlusSpeedCamera(option);
            case 'M':
                return UiText(kTextManual) + PlusSpeedCamera(option);
            case 'G':
                return UiText(kTextShock) + PlusSpeedCamera(option);
            default:
                return {};
        }
    }
    if (mode == 'T') {
        const std::string lapse = UiText(kTextTimeLapse);
        switch (event) {
            case '_':
                return lapse + PlusSpeedCamera(option);
            case 'D':
                return lapse + "+" + UiText(kTextApproachAlert) + PlusSpeedCamera(option);
            case 'M':
                return lapse + "+" + UiText(kTextManual) + PlusSpeedCamera(option);
            case 'G':
                return lapse + "+" + UiText(kTextShock) + PlusSpeedCamera(option);
            default:
                return {};
        }
    }
    if (mode == 'P') {
        if (event == '_' && option == '_') return UiText(kTextParking);
        if (event == 'G' && option == '_') return UiText(kTextParkingShock);
        if (event == '_' && option == 'T') return UiText(kTextParkingTimeLapse);
        if (event == 'G' && option == 'T') {
            return UiText(kTextParkingTimeLapse) + "+" + UiText(kTextShock);
        }
    }
    return {};
}

bool IsTimeLapse(std::string_view path) {
    std::string_view name = FileNameOf(path);
    return At(name, kModePos) == 'T' || At(name, kOptionPos) == 'T';
}

bool IsParking(std::string_view path) {
    const TriggerKind kind = TriggerKindOf(path);
    return kind == TriggerKind::Parking || kind == TriggerKind::ParkingShock;
}

bool HasRecognisedKind(std::string_view path) { return TriggerKindOf(path) != TriggerKind::None; }

bool IsShockEvent(std::string_view path) {
    std::string_view name = FileNameOf(path);
    const char mode = At(name, kModePos);
    return (mode == 'A' || mode == 'T' || mode == 'P') && At(name, kEventPos) == 'G';
}

SystemTime RecordingDateTime(std::string_view path) {
    std::string_view name = FileNameOf(path);
    const std::string_view date = FieldFrom(name, kDatePos);
    const std::string_view time = FieldFrom(name, kTimePos);
    auto pair = [](std::string_view text, std::size_t index) {
        return ParseInt(Sub(text, index * 2, 2));
    };

    // The fields are wall-clock time with daylight saving off, so normalising
    // them is pure calendar arithmetic (what mktime does without a DST shift).
    // Every field holds at most two characters, so the conversion cannot fail.
    return NormalizedWallClock(kYearBase + pair(date, 0), pair(date, 1), pair(date, 2),
                               pair(time, 0) * 3600LL + pair(time, 1) * 60LL + pair(time, 2));
}

SystemTime NormalizedWallClock(int year, int month, int day, long long seconds) {
    using namespace std::chrono;
    // The calendar types hold the years -32767 to 32767. Recording times
    // never come near their ends; fields far out are clamped so that even
    // their sum stays inside.
    constexpr long long kMaxDays = 1'000'000;  // about 2,700 years
    year = std::clamp(year, -5'000, 5'000);
    month = std::clamp(month, -60'000, 60'000);
    const long long dayOffset = std::clamp<long long>(day, -kMaxDays, kMaxDays) - 1;
    seconds = std::clamp<long long>(seconds, -kMaxDays * 86'400, kMaxDays * 86'400);

    // Month 13 is January of the next year, month 0 December of the previous.
    const long long monthIndex = static_cast<long long>(month) - 1;
    const long long yearCarry = monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
    year += static_cast<int>(yearCarry);
    month = static_cast<int>(monthIndex - yearCarry * 12 + 1);

    const sys_days firstOfMonth =
        sys_days{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} / 1};
    const sys_seconds instant = firstOfMonth + days{dayOffset} + std::chrono::seconds{seconds};
    const sys_days dayStart = floor<days>(instant);
    const year_month_day ymd{dayStart};
    const hh_mm_ss<std::chrono::seconds> hms{instant - dayStart};

    SystemTime out;
    out.year = static_cast<std::uint16_t>(static_cast<int>(ymd.year()));
    out.month = static_cast<std::uint16_t>(static_cast<unsigned>(ymd.month()));
    out.day = static_cast<std::uint16_t>(static_cast<unsigned>(ymd.day()));
    out.dayOfWeek = static_cast<std::uint16_t>(weekday{dayStart}.c_encoding());
    out.hour = static_cast<std::uint16_t>(hms.hours().count());
    out.minute = static_cast<std::uint16_t>(hms.minutes().count());
    out.second = static_cast<std::uint16_t>(hms.seconds().count());
    out.milliseconds = 0;
    return out;
}

std::string SequenceText(std::string_view path) {
    std::string_view name = FileNameOf(path);
    if (name.size() < kSequencePos + kSequenceTailLength) return {};
    const std::size_t end = name.size() - kSequenceTailLength;
    if (end <= kSequencePos) return {};
    return std::string(name.substr(kSequencePos, end - kSequencePos));
}

int SequenceNumber(std::string_view path) {
    return ParseInt(Sub(FileNameOf(path), kSequencePos, kSequenceDigits));
}

std::string ShortDisplayName(std::string_view path) {
    std::string_view name = FileNameOf(path);
    if (IsRecordingName(name, CameraFilter::Any)) {
        std::string out(Sub(name, 0, kTriggerLetters));
        out += '-';
        out += FieldFrom(name, kTimePos);
        out += '-';
        out += SequenceText(name);
        return out;
    }
    return std::string(name.substr(0, name.find('.')));
}

std::string StillBaseName(std::string_view path) {
    std::string_view name = FileNameOf(path);
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view rest = Sub(name.substr(0, dot), kStillSkip);
    if (rest.empty()) return {};
    std::string out(rest.substr(0, kStillKeep));
    out += rest.back();
    return out;
}

std::string PartnerPath(std::string_view path, std::string_view fromFolder,
                        std::string_view toFolder, std::string_view fromSuffix,
                        std::string_view toSuffix) {
    // The folder part is everything before the last separator, as written.
    std::string name(FileNameOf(path));
    const bool hasFolder = name.size() != path.size();
    std::string folder(hasFolder ? path.substr(0, path.size() - name.size() - 1)
                                 : std::string_view());

    // The camera folder is swapped only where it is the file's own parent.
    if (!fromFolder.empty()) {
        for (std::size_t at = path.find(fromFolder); at != std::string_view::npos;
             at = path.find(fromFolder, at + 1)) {
            const std::size_t after = at + fromFolder.size();
            if (after < path.size() && IsPathSeparator(path[after]) &&
                path.substr(after + 1) == name) {
                folder = std::string(path.substr(0, at)) + std::string(toFolder);
                break;
            }
        }
    }

    if (!fromSuffix.empty() && path.find(fromSuffix) != std::string_view::npos) {
        std::string swapped;
        std::size_t start = 0;
        for (std::size_t at = name.find(fromSuffix); at != std::string::npos;
             at = name.find(fromSuffix, start)) {
            swapped.append(name, start, at - start);
            swapped += toSuffix;
            start = at + fromSuffix.size();
        }
        swapped.append(name, start, std::string::npos);
        name = std::move(swapped);
    }

    if (!hasFolder) return name;
    return WithForwardSlashes(folder) + "/" + name;
}

std::string FrontToRearPath(std::string_view path) {
    return PartnerPath(path, "Front", "Rear", "F.AVI", "R.AVI");
}

std::string RearToFrontPath(std::string_view path) {
    return PartnerPath(path, "Rear", "Front", "R.AVI", "F.AVI");
}

std::string CardFilePath(std::string_view baseFolder, std::string_view cameraFolder,
                         std::string_view namePrefix, int sequenceNumber, char cameraLetter,
                         std::string_view extension) {
    char number[16];
    std::snprintf(number, sizeof number, "%06d", sequenceNumber);
    std::string out;
    out.reserve(baseFolder.size() + cameraFolder.size() + namePrefix.size() + extension.size() +
                16);
    out.append(baseFolder).append("/").append(cameraFolder).append("/").append(namePrefix);
    out.append(number);
    out += cameraLetter;
    out.append(".").append(extension);
    return out;
}

}  // namespace trivexa
