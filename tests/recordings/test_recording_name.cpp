// Recording names: grammar, kinds and categories, texts, date-time, sequence
// and partner paths, on the names the recorder writes and on names it never
// would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "app/core/ui_strings.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

std::string Ui(int id) { return UiString(id); }

std::string Name(std::string_view letters, std::string_view rest = "-230715-081522-000123F.AVI") {
    return std::string(letters) + std::string(rest);
}

struct KindCase {
    const char* letters;
    bool isRecording;
    TriggerKind kind;
    TriggerFlags flags;
    std::string text;
    bool timeLapse;
    bool parking;
    bool shock;
};

TEST(RecordingName, KindsCategoriesAndTextsFollowTheTriggerLetters) {
    const std::vector<KindCase> cases = {
        {"AG_S", true, TriggerKind::Shock, 0x05, Ui(164), false, false, true},
        {"A___", true, TriggerKind::Continuous, 0x01, Ui(160), false, false, false},
        {"A_T_", true, TriggerKind::Continuous, 0x01, Ui(168), true, false, false},
        {"AD__", true, TriggerKind::ApproachAlert, 0x41, Ui(181), false, false, false},
        {"AM__", true, TriggerKind::Manual, 0x03, Ui(163), false, false, false},
        {"TM__", true, TriggerKind::Manual, 0x03, Ui(165) + "+" + Ui(163), true, false, false},
        {"T___", true, TriggerKind::Continuous, 0x01, Ui(165), true, false, false},
        {"TG__", true, TriggerKind::Shock, 0x05, Ui(165) + "+" + Ui(164), true, false, true},
        {"P___", true, TriggerKind::Parking, 0x08, Ui(166), false, true, false},
        {"PG__", true, TriggerKind::ParkingShock, 0x10, Ui(167), false, true, true},
        {"P_T_", true, TriggerKind::Parking, 0x09, Ui(168), true, true, false},
        {"PGTS", true, TriggerKind::ParkingShock, 0x11, Ui(168) + "+" + Ui(164), true, true, true},
        {"__T_", true, TriggerKind::Parking, 0x01, "", true, true, false},
        {"____", false, TriggerKind::None, 0x00, "", false, false, false},
        {"_G__", false, TriggerKind::None, 0x04, "", false, false, false},
        // Speed-camera warnings are understood but never listed.
        {"AGOS", false, TriggerKind::Shock, 0x25, Ui(164) + "+" + Ui(161), false, false, true},
        {"A_O_", false, TriggerKind::Continuous, 0x21, Ui(161), false, false, false},
        {"TDO_", false, TriggerKind::ApproachAlert, 0x61, Ui(165) + "+" + Ui(181) + "+" + Ui(161),
         true, false, false},
        {"PGO_", false, TriggerKind::ParkingShock, 0x30, "", false, true, true},
        {"AX__", false, TriggerKind::Continuous, 0x01, "", false, false, false},
    };
    for (const KindCase& c : cases) {
        const std::string name = Name(c.letters);
        SCOPED_TRACE(name);
        EXPECT_EQ(IsRecordingName(name), c.isRecording);
        EXPECT_EQ(TriggerKindOf(name), c.kind);
        TriggerFlags flags = 0;
        EXPECT_TRUE(AddTriggerFlags(name, flags));
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(TriggerText(name), c.text);
        EXPECT_EQ(IsTimeLapse(name), c.timeLapse);
        EXPECT_EQ(IsParking(name), c.parking);
        EXPECT_EQ(IsShockEvent(name), c.shock);
        EXPECT_EQ(HasRecognisedKind(name), c.kind != TriggerKind::None);
    }
    TriggerFlags accumulated = 0x80;
    AddTriggerFlags(Name("PG__"), accumulated);
    AddTriggerFlags(Name("AM__"), accumulated);
    EXPECT_EQ(accumulated, 0x80u | 0x10 | 0x01 | 0x02) << "flags are only ever added";
}

TEST(RecordingName, GrammarIsSearchedWithCameraFilterAndDashTest) {
    const std::string front = "AG_S-230715-081522-000123F.AVI";
    const std::string rear = "AG_S-230715-081522-000123R.AVI";
    EXPECT_TRUE(IsRecordingName(front, CameraFilter::Front));
    EXPECT_FALSE(IsRecordingName(front, CameraFilter::Rear));
    EXPECT_TRUE(IsRecordingName(rear, CameraFilter::Rear));
    EXPECT_FALSE(IsRecordingName(rear, CameraFilter::Front));
    EXPECT_TRUE(IsRecordingName("/media/SD/Normal/Front/" + front));
    EXPECT_TRUE(IsRecordingName("E:\\Normal\\Front\\" + front));

    EXPECT_TRUE(IsRecordingName(front + ".bak")) << "searched, not anchored";
    EXPECT_TRUE(IsRecordingName("ABCD-" + front)) << "pattern found after a dash at 4";
    EXPECT_FALSE(IsRecordingName("x" + front)) << "position 4 must be '-'";
    EXPECT_TRUE(IsRecordingName("AG_S-230715-081522-000123F_AVI")) << "'.' matches any char";
    EXPECT_FALSE(IsRecordingName("AG_S-230715-081522-000123F.avi")) << "case-sensitive";
    EXPECT_FALSE(IsRecordingName("AG_S-230715-081522-00123F.AVI"));
    EXPECT_FALSE(IsRecordingName("AG_S-230715-081522-000123X.AVI"));
    EXPECT_FALSE(IsRecordingName("AG_S"));
    EXPECT_FALSE(IsRecordingName(""));
    EXPECT_FALSE(IsRecordingName("/media/SD/Normal/Front/"));
}

// The answer must be the one a plain search with the pattern gives, for
// names one character away from a valid one at every position.
TEST(RecordingName, GrammarAnswersLikeAPlainSearch) {
    const std::string head =
        "[APT_]{1,1}[GMD_]{1,1}[T_]{1,1}[S_]{1,1}-[0-9]{6,6}-[0-9]{6,6}-[0-9]{6,6}";
    const std::pair<CameraFilter, std::string> filters[] = {{CameraFilter::Any, "[FR]{1,1}.AVI"},
                                                            {CameraFilter::Front, "[F]{1,1}.AVI"},
                                                            {CameraFilter::Rear, "[R]{1,1}.AVI"}};
    const std::string valid = "AG_S-230715-081522-000123F.AVI";
    const std::string replacements = std::string("APT_GMDSORFRX-09.a\n\r\xff", 21) + '\0';
    std::vector<std::string> names;
    for (std::size_t pos = 0; pos < valid.size(); ++pos) {
        for (char c : replacements) {
            std::string name = valid;
            name[pos] = c;
            names.push_back(name);
            names.push_back("xxxx-" + name);
            names.push_back(name.substr(1));
        }
    }
    for (const auto& [filter, tail] : filters) {
        const std::regex fresh(head + tail, std::regex::ECMAScript);
        for (const std::string& name : names) {
            const bool expected = (name.size() <= 4 || name[4] == '-') &&
                                  std::regex_search(name, fresh) &&
                                  TriggerKindOf(name) != TriggerKind::None;
            EXPECT_EQ(IsRecordingName(name, filter), expected) << name;
        }
    }
}

TEST(RecordingName, SequenceShortNameAndStillBase) {
    const std::string name = "AG_S-230715-081522-000123F.AVI";
    EXPECT_EQ(SequenceText(name), "000123");
    EXPECT_EQ(SequenceNumber(name), 123);
    EXPECT_EQ(ShortDisplayName("/card/Normal/Front/" + name), "AG_S-081522-000123");
    EXPECT_EQ(StillBaseName(name), "230715-081522-F");

    const std::string bak = name + ".bak";
    EXPECT_EQ(SequenceText(bak), "000123F.AV");
    EXPECT_EQ(SequenceNumber(bak), 123);
    EXPECT_EQ(ShortDisplayName(bak), "AG_S-081522-000123F.AV");

    EXPECT_EQ(ShortDisplayName("MOVIE.AVI"), "MOVIE");
    EXPECT_EQ(ShortDisplayName("/x/y/MOVIE"), "MOVIE");
    EXPECT_EQ(ShortDisplayName("AGOS-230715-081522-000123F.AVI"), "AGOS-230715-081522-000123F");
    EXPECT_EQ(SequenceNumber("AG_S-230715-081522-12ab56F.AVI"), 12);
    EXPECT_EQ(SequenceNumber("AG_S-230715-081522-"), 0);
    EXPECT_EQ(StillBaseName("NODOT"), "");
    EXPECT_EQ(StillBaseName("AB.AVI"), "");
    EXPECT_EQ(StillBaseName("ABCDEFG.AVI"), "FGG");
}

SystemTime DateOf(std::string_view date, std::string_view time) {
    return RecordingDateTime("AG_S-" + std::string(date) + "-" + std::string(time) +
                             "-000001F.AVI");
}

void ExpectDate(const SystemTime& t, int y, int mo, int d, int h, int mi, int s, int dow) {
    EXPECT_EQ(t.year, y);
    EXPECT_EQ(t.month, mo);
    EXPECT_EQ(t.day, d);
    EXPECT_EQ(t.hour, h);
    EXPECT_EQ(t.minute, mi);
    EXPECT_EQ(t.second, s);
    EXPECT_EQ(t.dayOfWeek, dow);
    EXPECT_EQ(t.milliseconds, 0);
}

// Restores the time zone after a test that changes it.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old, hadZone_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (hadZone_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::string saved_;
    bool hadZone_ = false;
};

TEST(RecordingName, DateTimeRollsOverLikeTheCalendarWithoutDaylightSaving) {
    // A zone with summer time must not move the recorder's wall clock.
    for (const char* zone : {"UTC0", "Europe/Berlin", "America/New_York", "Asia/Tokyo"}) {
        ZoneGuard guard(zone);
        SCOPED_TRACE(zone);
        ExpectDate(DateOf("230715", "081522"), 2023, 7, 15, 8, 15, 22, 6);
        ExpectDate(DateOf("230230", "120000"), 2023, 3, 2, 12, 0, 0, 4);  // 30 February
        ExpectDate(DateOf("231301", "000000"), 2024, 1, 1, 0, 0, 0, 1);   // month 13
        ExpectDate(DateOf("230700", "000000"), 2023, 6, 30, 0, 0, 0, 5);  // day 0
        ExpectDate(DateOf("991231", "246060"), 2100, 1, 1, 1, 1, 0, 5);   // every field overflows
        ExpectDate(DateOf("000000", "000000"), 1999, 11, 30, 0, 0, 0, 2);
        // Summer-time change nights keep their written hour.
        ExpectDate(DateOf("230326", "023000"), 2023, 3, 26, 2, 30, 0, 0);
    }
    // Short or garbled fields count as 0 and still give a valid date.
    ExpectDate(RecordingDateTime("AG_S-23-1"), 2022, 11, 30, 0, 0, 0, 3);
    ExpectDate(RecordingDateTime("AG_S-2307xx-08ab22-000123F.AVI"), 2023, 6, 30, 8, 0, 22, 5);
    ExpectDate(RecordingDateTime(""), 1999, 11, 30, 0, 0, 0, 2);
}

TEST(RecordingName, PartnerPathSwapsOnlyTheParentCameraFolder) {
    const std::string f = "AG__-230715-081522-000123F.AVI";
    const std::string r = "AG__-230715-081522-000123R.AVI";
    EXPECT_EQ(FrontToRearPath("E:\\Normal\\Front\\" + f), "E:/Normal/Rear/" + r);
    EXPECT_EQ(FrontToRearPath("/media/SD/Normal/Front/" + f), "/media/SD/Normal/Rear/" + r);
    EXPECT_EQ(RearToFrontPath("/media/SD/Parking/Rear/" + r), "/media/SD/Parking/Front/" + f);
    EXPECT_EQ(FrontToRearPath("D:\\backup\\" + f), "D:/backup/" + r);
    EXPECT_EQ(FrontToRearPath("/x/Frontal/" + f), "/x/Frontal/" + r);
    EXPECT_EQ(FrontToRearPath("/Front/x/Front/" + f), "/Front/x/Rear/" + r);
    EXPECT_EQ(FrontToRearPath("/Front/" + f), "/Rear/" + r);
    EXPECT_EQ(FrontToRearPath(f), r) << "a bare name stays a bare name";
    EXPECT_EQ(FrontToRearPath("/x/Front/MOVIE.AVI"), "/x/Rear/MOVIE.AVI");
    EXPECT_EQ(FrontToRearPath("/x/AF.AVIF.AVI"), "/x/AR.AVIR.AVI");
    EXPECT_EQ(FrontToRearPath(""), "");
    EXPECT_EQ(PartnerPath("/a/Front/", "Front", "Rear", "F.AVI", "R.AVI"), "/a/Rear/");

    EXPECT_EQ(CardFilePath("/m/SD/Normal", "Front", "AG_S-230715-081522-", 123, 'F', "DMY"),
              "/m/SD/Normal/Front/AG_S-230715-081522-000123F.DMY");
    EXPECT_EQ(CardFilePath("/m", "Rear", "", 1234567, 'R', "AVI"), "/m/Rear/1234567R.AVI");
}

TEST(RecordingName, NamesOfAnyLengthAndByteNeverBreakAnything) {
    const std::string valid = "AG_S-230715-081522-000123F.AVI";
    const std::vector<std::string> fills = {
        "A", "-", "\\", "/", ".", "\xff", "\xe6\x97\xa5", "0", std::string(1, '\0'), "F.AVI"};
    int checked = 0;
    for (std::size_t length = 0; length <= 300; ++length) {
        for (const std::string& fill : fills) {
            std::string plain;
            while (plain.size() < length) plain += fill;
            plain.resize(length);
            std::string prefixed = valid.substr(0, std::min(length, valid.size()));
            while (prefixed.size() < length) prefixed += fill;
            prefixed.resize(length);
            for (const std::string& name : {plain, prefixed, "/dir/" + prefixed, prefixed + "/"}) {
                TriggerFlags flags = 0;
                AddTriggerFlags(name, flags);
                const std::string_view last = FileNameOf(name);
                if (last.size() < kRecordingNameLength) {
                    EXPECT_EQ(TriggerText(name), "");
                }
                if (last.size() <= 4) {
                    EXPECT_FALSE(IsRecordingName(name));
                }
                const SystemTime t = RecordingDateTime(name);
                EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
                (void)IsRecordingName(name, CameraFilter::Rear);
                (void)SequenceText(name);
                (void)SequenceNumber(name);
                (void)ShortDisplayName(name);
                (void)StillBaseName(name);
                (void)FrontToRearPath(name);
                (void)RearToFrontPath(name);
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 301 * 10 * 4);
}

}  // namespace
}  // namespace trivexa
