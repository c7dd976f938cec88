// The trip panel's texts, marks, badges and layout as tables.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/core/ui_strings.h"
#include "controls/core/skin_table.h"
#include "panels/core/trip_rules.h"

namespace trivexa {
namespace {

SystemTime At(int y, int mo, int d, int h, int mi, int s) {
    SystemTime t;
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(mo);
    t.day = static_cast<std::uint16_t>(d);
    t.hour = static_cast<std::uint16_t>(h);
    t.minute = static_cast<std::uint16_t>(mi);
    t.second = static_cast<std::uint16_t>(s);
    return t;
}

TripValues Prepared(SystemTime start, int frame, float interval, bool timeLapse = false) {
    TripValues v;
    v.dataValid = true;
    v.startTime = start;
    v.frame = frame;
    v.frameInterval = interval;
    v.timeLapse = timeLapse;
    return v;
}

TEST(TripDate, FileTimeArithmetic) {
    EXPECT_EQ(FileTimeOf(At(1601, 1, 1, 0, 0, 0)), 0u);
    EXPECT_EQ(FileTimeOf(At(1970, 1, 1, 0, 0, 0)), 116444736000000000ull);
    EXPECT_EQ(FileTimeOf(At(2024, 2, 30, 0, 0, 0)), std::nullopt);
    EXPECT_EQ(FileTimeOf(At(2023, 2, 29, 0, 0, 0)), std::nullopt);
    EXPECT_EQ(FileTimeOf(At(0, 0, 0, 0, 0, 0)), std::nullopt);
    EXPECT_EQ(FileTimeOf(At(2023, 7, 15, 24, 0, 0)), std::nullopt);
    for (const SystemTime t : {At(1601, 1, 1, 0, 0, 1), At(2000, 2, 29, 23, 59, 59),
                               At(2051, 12, 31, 12, 0, 0), At(30827, 12, 31, 23, 59, 59)}) {
        const auto ticks = FileTimeOf(t);
        ASSERT_TRUE(ticks);
        const auto back = SystemTimeOf(*ticks);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->year, t.year);
        EXPECT_EQ(back->month, t.month);
        EXPECT_EQ(back->day, t.day);
        EXPECT_EQ(back->second, t.second);
    }
    EXPECT_EQ(SystemTimeOf(*FileTimeOf(At(2023, 7, 15, 0, 0, 0)))->dayOfWeek, 6);  // Saturday
    EXPECT_EQ(SystemTimeOf(std::numeric_limits<std::uint64_t>::max()), std::nullopt);
}

TEST(TripDate, FrameDateTexts) {
    const SystemTime start = At(2023, 7, 15, 8, 15, 22);
    const struct {
        TripValues v;
        std::optional<std::string> text;
    } cases[] = {
        {Prepared(start, 0, 33.3f), "2023/07/15 08:15:22"},
        {Prepared(start, -1, 33.3f), std::nullopt},
        {Prepared(start, 300, 100.0f), "2023/07/15 08:15:52"},
        // A time-lapse frame covers 14.985 frame intervals of real time.
        {Prepared(start, 60, 1000.0f / 14.985f, true), "2023/07/15 08:16:22"},
        // Years from 2050 are shown 35 years earlier.
        {Prepared(At(2051, 1, 2, 3, 4, 5), 0, 33.3f), "2016/01/02 03:04:05"},
        {Prepared(At(2049, 1, 2, 3, 4, 5), 0, 33.3f), "2049/01/02 03:04:05"},
        // No start time, the zero file time and times past the calendar.
        {Prepared(SystemTime{}, 10, 33.3f), std::nullopt},
        {Prepared(At(1601, 1, 1, 0, 0, 0), 0, 33.3f), std::nullopt},
        {Prepared(At(30827, 12, 31, 23, 59, 59), 1000000, 1000.0f), std::nullopt},
        {Prepared(start, 1000, std::numeric_limits<float>::infinity()), std::nullopt},
        {Prepared(start, 1000, std::nanf("")), std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(FrameDateText(cases[i].v), cases[i].text) << "case " << i;
    TripValues invalid = Prepared(start, 5, 33.3f);
    invalid.dataValid = false;
    EXPECT_EQ(FrameDateText(invalid), std::nullopt);
}

// Every frame shows the second of real time it lies in, as the recorder's
// stamp on the picture does: the interval the player holds is single
// precision, and a frame that starts a second must not show the one before.
TEST(TripDate, EveryFrameShowsTheSecondItLiesIn) {
    const SystemTime start = At(2024, 5, 18, 14, 0, 0);
    auto text = [](int seconds) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "2024/05/18 %02d:%02d:%02d", 14 + seconds / 3600,
                      seconds / 60 % 60, seconds % 60);
        return std::string(buffer);
    };
    const struct {
        std::uint32_t rate, scale;
        bool timeLapse;
        int frames;
        int numerator, denominator;  // real seconds of frame f: f x num / den
    } clips[] = {
        {30, 1, false, 901, 1, 30},      // 30 s at 30 fps and the frame after
        {55, 2, false, 826, 2, 55},      // the rear camera's 27.5 fps
        {14985, 1000, true, 240, 1, 1},  // time-lapse: a picture a second
        {30000, 1001, false, 1800, 1001, 30000},
    };
    for (const auto& c : clips) {
        TripValues v =
            Prepared(start, 0, static_cast<float>(1000.0 * c.scale / c.rate), c.timeLapse);
        v.frameRate = c.rate;
        v.frameScale = c.scale;
        int wrong = 0;
        for (int f = 0; f < c.frames; ++f) {
            v.frame = f;
            const int seconds =
                static_cast<int>(static_cast<long long>(f) * c.numerator / c.denominator);
            const auto shown = FrameDateText(v);
            if (shown != text(seconds)) {
                ++wrong;
                ADD_FAILURE() << c.rate << "/" << c.scale << " frame " << f << ": "
                              << shown.value_or("(none)") << ", not " << text(seconds);
                if (wrong > 5) break;
            }
        }
    }
    // Whole milliseconds, cut toward zero.
    TripValues v = Prepared(start, 1, 1000.0f / 30.0f);
    v.frameRate = 30;
    v.frameScale = 1;
    EXPECT_EQ(FrameOffsetMs(v), 33);
    v.frame = 2;
    EXPECT_EQ(FrameOffsetMs(v), 66);
    // Offsets past any calendar are no time at all.
    v.frameRate = 1;
    v.frameScale = 0xFFFFFFFFu;
    v.frame = 0x7FFFFFFF;
    v.timeLapse = true;
    EXPECT_EQ(FrameOffsetMs(v), std::nullopt);
    EXPECT_EQ(FrameDateText(v), std::nullopt);
}

TEST(TripReadouts, Accelerations) {
    const struct {
        double g;
        bool placeholder;
        const char* text;
    } cases[] = {
        {1.238, false, "1.23G"},
        {-0.004, false, "0.00G"},
        {-1.0, false, "-1.00G"},
        {-4.999, false, "-4.99G"},
        {-5.0, true, "-0.00G"},
        {-7.5, true, "-0.00G"},
        {0.0, false, "0.00G"},
        {2.999, false, "2.99G"},
        {1e300, false, "99.99G"},
        {std::nan(""), true, "-0.00G"},
        {std::numeric_limits<double>::infinity(), false, "99.99G"},
    };
    for (const auto& c : cases) {
        const AccelReadout r = AccelText(c.g);
        EXPECT_EQ(r.placeholder, c.placeholder) << c.g;
        EXPECT_EQ(r.text, c.text) << c.g;
    }
}

TEST(TripReadouts, SpeedVoltageReceptionAndMic) {
    TripValues v;
    v.speedShown = true;
    v.speedValid = true;
    const struct {
        double speed;
        SpeedShow show;
        const char* text;
    } speeds[] = {{0.0, SpeedShow::Value, "0 "},
                  {42.4, SpeedShow::Value, "42 "},
                  {999.0, SpeedShow::Value, "999 "},
                  {1000.0, SpeedShow::Placeholder, ""},
                  {-1.0, SpeedShow::Placeholder, ""},
                  {32767.0, SpeedShow::Placeholder, ""},
                  {std::nan(""), SpeedShow::Placeholder, ""}};
    for (const auto& c : speeds) {
        v.speed = c.speed;
        EXPECT_EQ(SpeedText(v).show, c.show) << c.speed;
        EXPECT_EQ(SpeedText(v).text, c.text) << c.speed;
    }
    v.speed = 50.0;
    v.speedValid = false;
    EXPECT_EQ(SpeedText(v).show, SpeedShow::Placeholder);
    v.speedShown = false;
    EXPECT_EQ(SpeedText(v).show, SpeedShow::Off);
    EXPECT_EQ(SpeedText(v).text, "OFF");

    // The voltage shows only with both flags.
    v.voltage = 124;
    EXPECT_EQ(VoltageText(v).show, VoltageShow::Hidden);
    v.voltageEnabled = true;
    EXPECT_EQ(VoltageText(v).show, VoltageShow::Hidden);
    v.voltageShown = true;
    EXPECT_EQ(VoltageText(v).show, VoltageShow::Value);
    EXPECT_EQ(VoltageText(v).text, "12.4");
    v.voltage = -1;
    EXPECT_EQ(VoltageText(v).show, VoltageShow::Placeholder);
    v.voltage = 0;
    EXPECT_EQ(VoltageText(v).text, "0.0");

    v.receptionShown = false;
    EXPECT_EQ(ReceptionOf(v), ReceptionShow::Off);
    v.receptionShown = true;
    EXPECT_EQ(ReceptionOf(v), ReceptionShow::Nothing);
    v.speedValid = true;
    EXPECT_EQ(ReceptionOf(v), ReceptionShow::Mark);

    EXPECT_EQ(MicPicture('R'), skin::kMicSound);
    EXPECT_EQ(MicPicture('r'), skin::kMicPlain);
    EXPECT_EQ(MicPicture('M'), skin::kMicOff);
    EXPECT_EQ(MicPicture('\0'), skin::kMicOff);
}

TEST(TripFacts, QualityClassAndBadges) {
    EXPECT_EQ(QualityClass(360, 'H', 0), 1);
    EXPECT_EQ(QualityClass(1440, 'L', 0), 8);
    EXPECT_EQ(QualityClass(1080, 'X', 0), 12);  // another letter: no quality word
    EXPECT_EQ(QualityClass(360, 'X', 0), 0);
    EXPECT_EQ(QualityClass(0, 'H', 720), 11);  // rear player only: the letter is not used
    EXPECT_EQ(QualityClass(0, 'L', 1296), 0);
    // The 3M low-quality badge for 1296 lines with 'L'; nothing for 480 lines.
    EXPECT_EQ(BadgePicture(QualityClass(1296, 'L', 0)), 361);
    EXPECT_EQ(BadgePicture(QualityClass(480, 'L', 0)), 0);
    EXPECT_EQ(BadgePicture(13), 0);
}

TEST(TripFacts, VoltageQualificationAndSpeedLabels) {
    const struct {
        const char* name;
        bool shows;
    } names[] = {
        {"P___-230715-081522-000001F.AVI", true},
        {"PG__-230715-081522-000001F.AVI", true},
        {"A_T_-230715-081522-000001F.AVI", false},
        {"T_T_-230715-081522-000001F.AVI", false},
        {"__T_-230715-081522-000001F.AVI", true},
        {"_GT_-230715-081522-000001F.AVI", true},
        {"A___-230715-081522-000001F.AVI", false},
        {"/card/Parking/Front/P___-230715-081522-000001F.AVI", true},
        {"", false},
        {"_", false},
    };
    for (const auto& n : names) EXPECT_EQ(NameShowsVoltage(n.name), n.shows) << n.name;
    EXPECT_TRUE(
        VoltageShownFor(true, "A___-230715-081522-000001F.AVI", "P___-230715-081522-000001R.AVI"));
    EXPECT_FALSE(VoltageShownFor(false, "P___-230715-081522-000001F.AVI", ""));

    const int ids[][2] = {{1, 57}, {2, 58}, {4, 59}, {-2, 60}, {-4, 61}, {-1, 0}, {3, 0}};
    for (const auto& c : ids) EXPECT_EQ(SpeedLabelId(c[0]), c[1]) << c[0];
    EXPECT_EQ(SpeedLabelText(1), UiString(57));
    EXPECT_EQ(SpeedLabelText(0), "");
}

TEST(TripValuesTest, ResetAndFrameRecord) {
    TripValues v;
    AccelEntry e;
    e.x = 0.5;
    e.y = -0.25;
    e.z = -1.0;
    e.voltage = 131;
    e.status = 'r';
    PositionEntry p;
    p.speed = 48.0;
    p.valid = true;
    ApplyFrameRecord(v, &e, &p);
    EXPECT_EQ(v.x, 0.5);
    EXPECT_EQ(v.voltage, 131);
    EXPECT_EQ(v.mic, 'r');
    EXPECT_EQ(v.speed, 48.0);
    EXPECT_TRUE(v.speedValid);
    ApplyFrameRecord(v, &e, nullptr);
    EXPECT_FALSE(v.speedValid);
    ApplyFrameRecord(v, nullptr, nullptr);
    EXPECT_EQ(v.x, kNoAccel);
    EXPECT_EQ(v.z, kNoAccel);
    EXPECT_EQ(v.voltage, -1);
    EXPECT_EQ(v.mic, 'M');

    v.frame = 20;
    v.badgeCode = 5;
    v.axisButtons = {false, true, false};
    v.speed = 12.0;
    v.dataValid = true;
    ResetTripValues(v);
    EXPECT_EQ(v.frame, -1);
    EXPECT_EQ(v.badgeCode, 0);
    EXPECT_EQ(v.speed, -1.0);
    EXPECT_EQ(v.axisButtons, (std::array<bool, 3>{true, true, true}));
    EXPECT_TRUE(v.dataValid);  // not a value with a reset value

    SensorHeader h;
    h.speedFlag = '1';
    h.receptionFlag = 0;
    ApplyHeaderFlags(v, h);
    EXPECT_TRUE(v.speedShown);
    EXPECT_FALSE(v.receptionShown);
}

TEST(TripLayoutTest, BoxesAtScaleAndWidthFactor) {
    const TripLayout l = ComputeTripLayout(1.0f, 1.0f);
    EXPECT_EQ(l.date, (Box{26, 7, 200, 19}));
    EXPECT_EQ(l.axisButton[2], (Box{306, 45, 12, 12}));
    EXPECT_EQ(l.axisValue[1], (Box{188, 62, 58, 20}));
    EXPECT_EQ(l.badge, (Box{440, 45, 74, 22}));
    EXPECT_EQ(l.micSlot.x, 515);
    EXPECT_EQ(l.receptionOff.Right(), 625);

    // Maximised: x positions stretch by 1.15 in single precision (140 × 1.15
    // is 161), the speed box by 1.15^1.1; sizes do not stretch.
    const TripLayout m = ComputeTripLayout(1.0f, 1.15f);
    EXPECT_EQ(m.axisButton[2].x, 29 + 2 * 161);
    EXPECT_EQ(m.speed.x, 618);
    EXPECT_EQ(m.badge.x, 506);
    EXPECT_EQ(m.date.w, 200);

    const TripLayout big = ComputeTripLayout(1.5f, 1.0f);
    EXPECT_EQ(big.date, (Box{39, 10, 300, 28}));
    EXPECT_EQ(big.badge, (Box{660, 67, 111, 33}));
}

}  // namespace
}  // namespace trivexa
