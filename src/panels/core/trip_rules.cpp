#include "panels/core/trip_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "controls/core/skin_table.h"

namespace trivexa {

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kTicksPerDay = kTicksPerSecond * 86'400;
constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;
// Years from this one are shown kYearShift years earlier.
constexpr int kShiftedYears = 2050;
constexpr int kYearShift = 35;
// Shown accelerations stay within this many G.
constexpr double kShownAccelLimit = 99.99;
constexpr double kHighestSpeed = 999.0;

// Days from 1601-01-01 to y-m-d of the proleptic Gregorian calendar.
std::int64_t DaysFrom1601(int y, int m, int d) {
    // Days from the civil epoch 0000-03-01, shifted to 1601-01-01.
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = y / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days0 = era * 146097 + doe;  // since 0000-03-01
    constexpr std::int64_t k1601 = 584694;          // 1601-01-01 since 0000-03-01
    return days0 - k1601;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// truncate(n·s × k), the product taken in single precision like the width
// factor itself (140 × 1.15 is 161, not 160.99999).
int Scaled(int n, float s, float k) {
    const float v = static_cast<float>(Units(n, s)) * k;
    return v >= static_cast<float>(std::numeric_limits<int>::max())
               ? std::numeric_limits<int>::max()
               : static_cast<int>(v);
}

}  // namespace

void ResetTripValues(TripValues& v) {
    v.frame = kNoFrame;
    v.x = v.y = v.z = kNoAccel;
    v.speed = kNoSpeedValue;
    v.speedValid = false;
    v.voltage = kNoVoltageValue;
    v.mic = kNoMicMark;
    v.badgeCode = kNoBadge;
    v.axisButtons = {true, true, true};
}

void ApplyFrameRecord(TripValues& v, const AccelEntry* entry, const PositionEntry* position) {
    if (entry == nullptr) {
        v.x = v.y = v.z = kNoAccel;
        v.speedValid = false;
        v.voltage = kNoVoltageValue;
        v.mic = kNoMicMark;
        return;
    }
    v.x = entry->x;
    v.y = entry->y;
    v.z = entry->z;
    v.voltage = entry->voltage;
    v.mic = static_cast<char>(entry->status & 0xFF);
    if (position != nullptr) {
        v.speed = position->speed;
        v.speedValid = position->valid != 0;
    } else {
        v.speedValid = false;
    }
}

void ApplyHeaderFlags(TripValues& v, const SensorHeader& header) {
    v.speedShown = header.speedFlag != 0;
    v.receptionShown = header.receptionFlag != 0;
}

std::optional<std::uint64_t> FileTimeOf(const SystemTime& t) {
    if (t.year < kFirstYear || t.year > kLastYear || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59 ||
        t.milliseconds > 999)
        return std::nullopt;
    const std::uint64_t days = static_cast<std::uint64_t>(DaysFrom1601(t.year, t.month, t.day));
    const std::uint64_t seconds = (days * 24 + t.hour) * 3600 + t.minute * 60u + t.second;
    return seconds * kTicksPerSecond + t.milliseconds * 10'000ull;
}

std::optional<SystemTime> SystemTimeOf(std::uint64_t ticks) {
    const std::uint64_t days = ticks / kTicksPerDay;
    std::uint64_t rest = ticks % kTicksPerDay;
    // Civil date from days since 0000-03-01.
    const std::int64_t z = static_cast<std::int64_t>(days) + 584694;
    const std::int64_t era = z / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    if (y > kLastYear) return std::nullopt;
    SystemTime t;
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(m);
    t.day = static_cast<std::uint16_t>(d);
    t.dayOfWeek = static_cast<std::uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    t.hour = static_cast<std::uint16_t>(rest / (3600 * kTicksPerSecond));
    rest %= 3600 * kTicksPerSecond;
    t.minute = static_cast<std::uint16_t>(rest / (60 * kTicksPerSecond));
    rest %= 60 * kTicksPerSecond;
    t.second = static_cast<std::uint16_t>(rest / kTicksPerSecond);
    t.milliseconds = static_cast<std::uint16_t>((rest % kTicksPerSecond) / 10'000);
    return t;
}

// Offsets from here on lie past the calendar's end whatever the start (and
// their ticks still fit 63 bits).
constexpr std::int64_t kLatestOffsetMs = 900'000'000'000'000;

std::optional<std::int64_t> FrameOffsetMs(const TripValues& v) {
    if (v.frame < 0) return std::nullopt;
    if (v.frameRate != 0 && v.frameScale != 0) {
        // frame x scale / rate seconds of video, times 14.985 for a
        // time-lapse frame: in integers, so that a frame that starts a second
        // shows that second (single precision lands a hair before it on
        // many frames). floor(q x p / r) = (q / r) x p + floor((q % r) x p / r).
        const std::uint64_t perFrame = v.timeLapse ? kTimeLapseThousandths : 1000u;
        const std::uint64_t q = static_cast<std::uint64_t>(v.frame) * v.frameScale;
        const std::uint64_t whole = q / v.frameRate;
        if (whole >= static_cast<std::uint64_t>(kLatestOffsetMs) / perFrame) return std::nullopt;
        const std::uint64_t ms = whole * perFrame + (q % v.frameRate) * perFrame / v.frameRate;
        return static_cast<std::int64_t>(ms);
    }
    // No rate in the header: the interval the media gave, in double
    // precision, rounded to a tenth of a millisecond before it is cut to
    // whole milliseconds so that the interval's own rounding does not move a
    // frame into the second before it.
    const double factor = v.timeLapse ? kTimeLapseThousandths / 1000.0 : 1.0;
    const double ms = static_cast<double>(v.frame) * static_cast<double>(v.frameInterval) * factor;
    if (!std::isfinite(ms) || ms <= -static_cast<double>(kLatestOffsetMs) ||
        ms >= static_cast<double>(kLatestOffsetMs))
        return std::nullopt;
    return static_cast<std::int64_t>(std::floor(std::round(ms * 10.0) / 10.0));
}

std::optional<std::string> FrameDateText(const TripValues& v) {
    if (!v.dataValid || v.frame < 0) return std::nullopt;
    const std::optional<std::uint64_t> start = FileTimeOf(v.startTime);
    if (!start) return std::nullopt;
    const std::optional<std::int64_t> offsetMs = FrameOffsetMs(v);
    if (!offsetMs) return std::nullopt;
    const std::int64_t delta = *offsetMs * 10'000;
    if (delta < 0 && static_cast<std::uint64_t>(-delta) > *start) return std::nullopt;
    if (delta > 0 &&
        static_cast<std::uint64_t>(delta) > std::numeric_limits<std::uint64_t>::max() - *start)
        return std::nullopt;
    const std::uint64_t t = *start + static_cast<std::uint64_t>(delta);
    if (t == 0) return std::nullopt;
    const std::optional<SystemTime> shown = SystemTimeOf(t);
    if (!shown || shown->year == 0) return std::nullopt;
    int year = shown->year;
    if (year >= kShiftedYears) year -= kYearShift;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d %02d:%02d:%02d", year, shown->month,
                  shown->day, shown->hour, shown->minute, shown->second);
    return std::string(buffer);
}

AccelReadout AccelText(double g) {
    if (!(g > kNoAccel)) return {true, "-0.00G"};
    g = std::min(g, kShownAccelLimit);
    // Truncated toward zero to whole hundredths in integers, so that -0.004
    // shows as 0.00 and never as -0.00.
    const long long hundredths = static_cast<long long>(g * 100.0);
    return {false, Format("%.2fG", static_cast<double>(hundredths) / 100.0)};
}

SpeedReadout SpeedText(const TripValues& v) {
    if (!v.speedShown) return {SpeedShow::Off, std::string(kOffText)};
    if (v.speedValid && v.speed >= 0.0 && v.speed <= kHighestSpeed)
        return {SpeedShow::Value, Format("%.0f ", v.speed)};
    return {SpeedShow::Placeholder, {}};
}

VoltageReadout VoltageText(const TripValues& v) {
    if (!v.voltageEnabled || !v.voltageShown) return {VoltageShow::Hidden, {}};
    if (v.voltage == kNoVoltageValue) return {VoltageShow::Placeholder, {}};
    return {VoltageShow::Value, Format("%.1f", static_cast<float>(v.voltage) / 10.0f)};
}

ReceptionShow ReceptionOf(const TripValues& v) {
    if (!v.receptionShown) return ReceptionShow::Off;
    return v.speedValid ? ReceptionShow::Mark : ReceptionShow::Nothing;
}

int MicPicture(char mark) {
    if (mark == 'R') return skin::kMicSound;
    if (mark == 'r') return skin::kMicPlain;
    return skin::kMicOff;
}

int BadgePicture(int badgeCode) {
    if (badgeCode < 1 || badgeCode > 12) return 0;
    return skin::kBadges[badgeCode - 1];
}

int QualityClass(int frontHeight, char qualityLetter, int rearHeight) {
    if (frontHeight > 0) {
        if (qualityLetter == 'H' || qualityLetter == 'L') {
            const bool high = qualityLetter == 'H';
            switch (frontHeight) {
                case 360:
                    return high ? 1 : 2;
                case 720:
                    return high ? 3 : 4;
                case 1080:
                    return high ? 5 : 6;
                case 1296:
                    return high ? 9 : 10;
                case 1440:
                    return high ? 7 : 8;
                default:
                    return 0;
            }
        }
        if (frontHeight == 720) return 11;
        if (frontHeight == 1080) return 12;
        return 0;
    }
    if (rearHeight == 720) return 11;
    if (rearHeight == 1080) return 12;
    return 0;
}

bool NameShowsVoltage(std::string_view name) {
    name = FileNameOf(name);
    if (name.empty()) return false;
    const char mode = name[0];
    if (mode == 'P') return true;
    return name.size() > 2 && mode != 'A' && mode != 'T' && name[2] == 'T';
}

bool VoltageShownFor(bool voltageEnabled, std::string_view frontName, std::string_view rearName) {
    if (!voltageEnabled) return false;
    return NameShowsVoltage(frontName) || NameShowsVoltage(rearName);
}

int SpeedLabelId(int rateCode) {
    switch (rateCode) {
        case 1:
            return 57;
        case 2:
            return 58;
        case 4:
            return 59;
        case -2:
            return 60;
        case -4:
            return 61;
        default:
            return 0;
    }
}

std::string SpeedLabelText(int rateCode) {
    const int id = SpeedLabelId(rateCode);
    return id == 0 ? std::string() : std::string(UiString(id));
}

TripLayout ComputeTripLayout(float s, float k) {
    if (!(k > 0.0f)) k = 1.0f;
    const auto U = [s](int n) { return Units(n, s); };
    const auto X = [s, k](int n) { return Scaled(n, s, k); };
    TripLayout l;
    l.date = {X(26), U(7), U(200), U(19)};
    l.speedLabel = {X(300), U(7), U(160), U(27)};
    l.speed = {Scaled(530, s, std::pow(k, 1.1f)), U(7), U(100), U(21)};
    l.voltage = {X(560), U(78), U(60), U(60)};
    l.voltageUnitShift = U(18);
    l.voltagePlaceholderShift = U(19);
    for (int i = 0; i < 3; ++i) {
        const int x = X(26) + i * X(140);
        l.axisName[i] = {x + U(22), U(40), U(150), U(40)};
        l.axisValue[i] = {x + U(22), U(62), U(58), U(20)};
        l.axisButton[i] = {x, U(45), U(12), U(12)};
    }
    const SkinPictureInfo* badge = FindSkinPicture(skin::kBadges[0]);
    const int badgeX = static_cast<int>(static_cast<float>(U(370) + U(70)) * k);
    l.badge = {badgeX, U(45), badge ? U(badge->width) : 0, badge ? U(badge->height) : 0};
    l.micSlot = {badgeX + X(75), l.badge.y + U(1), U(60), U(20)};
    l.receptionSlot = {badgeX + X(140), l.badge.y, U(60), U(20)};
    l.receptionOff = {badgeX + U(185) - U(60), l.badge.y + U(9), U(60), U(20)};
    return l;
}

}  // namespace trivexa
