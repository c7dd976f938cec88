// The CSV export: line formats as tables, then whole files written from forge
// cards and read back byte for byte, and the command line.
#include <gtest/gtest.h>

#include <atomic>

#include "app/core/ui_strings.h"
#include "app/file_commands/csv_export.h"
#include "forge_card.h"
#include "platform/locale.h"
#include "platform/scratch_volume.h"
#include "support/local_http_server.h"

namespace trivexa::test {
namespace {

CsvClip Clip(const std::string& name, std::uint32_t frames, std::uint32_t rate, std::uint32_t scale,
             std::int32_t height, char quality = 'H') {
    CsvClip c;
    c.name = name;
    c.readable = true;
    c.frames = frames;
    c.rate = rate;
    c.scale = scale;
    c.height = height;
    c.quality = quality;
    return c;
}

std::vector<std::string> Split(const std::string& line, char sep = ',') {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == sep) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

TEST(CsvLines, DataLinesFollowTheRecordersFormats) {
    struct Case {
        CsvClip clip;
        std::uint64_t front, rear;
        std::string expected;
    };
    const std::string lapse = UiString(159);
    const std::string high = UiString(55);
    const std::string low = UiString(56);
    const std::vector<Case> cases = {
        // One minute at 30 fps, sizes rounded down to whole megabytes.
        {Clip("AG_S-210503-070809-000001F.AVI", 1800, 30, 1, 1080), 3 * 1048576 + 5, 1048575,
         "AG_S-210503-070809-000001F.AVI,2021/05/03,07:08:09,00:01:00," +
             TriggerText("AG_S-210503-070809-000001F.AVI") + ",FHD," + high + ",30.0fps,3MB,0MB"},
        // 27.5 fps (rate/scale 55/2); an hour and a bit; low quality.
        {Clip("A___-210503-235959-000002F.AVI", 99110, 55, 2, 720, 'L'), 0, 0,
         "A___-210503-235959-000002F.AVI,2021/05/03,23:59:59,01:00:04," +
             TriggerText("A___-210503-235959-000002F.AVI") + ",HD," + low + ",27.5fps,0MB,0MB"},
        // Time-lapse: frames x 14.985 (single precision, truncated) / fps,
        // and the frame-rate column is UI string 159.
        {Clip("T_T_-210503-071009-000003F.AVI", 1000, 30, 1, 1440), 0, 0,
         "T_T_-210503-071009-000003F.AVI,2021/05/03,07:10:09,00:08:19," +
             TriggerText("T_T_-210503-071009-000003F.AVI") + ",WQHD," + high + "," + lapse +
             ",0MB,0MB"},
        // A height with no class: empty class and quality.
        {Clip("P___-210503-070809-000004R.AVI", 300, 30, 1, 480), 0, 7 * 1048576,
         "P___-210503-070809-000004R.AVI,2021/05/03,07:08:09,00:00:10," +
             TriggerText("P___-210503-070809-000004R.AVI") + ",,,30.0fps,0MB,7MB"},
    };
    for (const Case& c : cases) {
        CsvClip clip = c.clip;
        clip.frontBytes = c.front;
        clip.rearBytes = c.rear;
        EXPECT_EQ(CsvDataLine(clip), c.expected + "\r\n") << c.clip.name;
    }
    // 14.985 in single precision: 1000 frames give 14985 (not 14984) frames.
    EXPECT_EQ(static_cast<std::int64_t>(1000 * kCsvTimeLapseFactor) / 30, 499);
}

TEST(CsvLines, HeaderFallbackAndFileName) {
    const std::string header = CsvHeaderLine();
    ASSERT_TRUE(header.ends_with("\r\n"));
    const auto fields = Split(header.substr(0, header.size() - 2));
    ASSERT_EQ(fields.size(), 10u);
    const int ids[] = {30, 29, 37, 36, 38, 35, 34, 32, 148, 149};
    for (int i = 0; i < 10; ++i) {
        std::string text = UiString(ids[i]);
        if (i < 9) text.pop_back();  // each ends with its comma but the last
        EXPECT_EQ(fields[static_cast<std::size_t>(i)], text);
    }

    RecordingEntry both;
    both.frontPath = "/card/Normal/Front/AG_S-210503-070809-000001F.AVI";
    both.frontName = "AG_S-210503-070809-000001F.AVI";
    both.rearPath = "/card/Normal/Rear/AG_S-210503-070809-000001R.AVI";
    both.rearName = "AG_S-210503-070809-000001R.AVI";
    EXPECT_EQ(CsvFallbackLine(both), "AG_S-210503-070809-000001F.AVI,-,-,-,-,-,-,fps,0MB,0MB\r\n");
    EXPECT_EQ(CsvFileName(both), "Dv_20210503_070809.csv");

    // A rear-only recording: named by its rear file; its fallback line has no
    // front name and so starts with a comma.
    RecordingEntry rearOnly;
    rearOnly.rearPath = "/card/Normal/Rear/A___-211231-235958-000002R.AVI";
    rearOnly.rearName = "A___-211231-235958-000002R.AVI";
    EXPECT_EQ(CsvFileName(rearOnly), "Dv_20211231_235958.csv");
    EXPECT_EQ(CsvFallbackLine(rearOnly), ",-,-,-,-,-,-,fps,0MB,0MB\r\n");

    // A line far longer than 260 bytes is built whole.
    CsvClip longName =
        Clip(std::string(300, 'x') + "AG_S-210503-070809-000001F.AVI", 30, 30, 1, 720);
    const std::string line = CsvDataLine(longName);
    EXPECT_GT(line.size(), 330u);
    EXPECT_TRUE(line.starts_with(longName.name + ","));
    EXPECT_TRUE(line.ends_with(",0MB,0MB\r\n"));
}

TEST(CsvLines, CharsetIsTheLocalesUnlessItCannotHoldTheHeader) {
    EXPECT_EQ(CsvCharset("EUC-JP"), "EUC-JP");
    EXPECT_EQ(CsvCharset("SHIFT_JIS"), "SHIFT_JIS");
    EXPECT_EQ(CsvCharset("UTF-8"), "UTF-8");
    // The plain C/POSIX locale: UTF-8 rather than a header of question marks.
    EXPECT_EQ(CsvCharset("ANSI_X3.4-1968"), "UTF-8");
    // Nor can Latin-1 hold it; and a charset iconv lacks.
    EXPECT_EQ(CsvCharset("ISO-8859-1"), "UTF-8");
    EXPECT_EQ(CsvCharset("NO-SUCH-CHARSET"), "UTF-8");
}

class CsvFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteForgeCard(
            dir_ / "card",
            {ForgeRec("AG_S-210503-070809-000001F.AVI"), ForgeRec("T_T_-210503-071009-000003F.AVI"),
             ForgeRec("A___-210503-070909-000002F.AVI", /*front=*/false)});
        fs::create_directories(dir_ / "out");
        list_ = CollectCard(dir_ / "card");
        ASSERT_EQ(list_.size(), 3u);
    }
    TempDir dir_;
    std::vector<RecordingEntry> list_;
};

TEST_F(CsvFileTest, WritesHeaderAndOneLinePerRecordingInTheChosenCharset) {
    std::vector<std::pair<int, int>> progress;
    CsvOptions options;
    options.charset = "EUC-JP";
    const CsvReport r = WriteCsvFile(list_, (dir_ / "out").string(), options,
                                     [&](int d, int t) { progress.emplace_back(d, t); });
    ASSERT_EQ(r.result, CsvResult::kDone) << r.error;
    EXPECT_EQ(r.path, (dir_ / "out" / "Dv_20210503_070809.csv").string());
    EXPECT_EQ(r.lines, 3);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));

    const std::string bytes = ReadFile(r.path);
    // No byte-order mark; Japanese in EUC-JP; read back, the lines are those
    // the builders make, each ending in CR LF.
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.find("\xE3\x83"), std::string::npos) << "UTF-8 found in an EUC-JP file";
    const std::string text = platform::DecodeToUtf8(bytes, "EUC-JP");
    std::string expected = CsvHeaderLine();
    for (const auto& e : list_) expected += CsvLineFor(e);
    EXPECT_EQ(text, expected);

    const auto lines = Split(text, '\n');
    ASSERT_EQ(lines.size(), 5u);  // four lines and the empty rest
    EXPECT_TRUE(
        lines[1].starts_with("AG_S-210503-070809-000001F.AVI,2021/05/03,07:08:09,00:00:01,"));
    EXPECT_TRUE(lines[1].ends_with(",HD," + std::string(UiString(55)) + ",30.0fps,0MB,0MB\r"));
    // The rear-only recording is named by its rear file.
    EXPECT_TRUE(lines[2].starts_with("A___-210503-070909-000002R.AVI,2021/05/03,07:09:09,"));
    // 30 frames x 14.985 at 30 fps: 14 s; frame-rate column UI string 159.
    EXPECT_TRUE(
        lines[3].starts_with("T_T_-210503-071009-000003F.AVI,2021/05/03,07:10:09,00:00:14,"));
    EXPECT_TRUE(lines[3].ends_with("," + std::string(UiString(159)) + ",0MB,0MB\r"));
}

// The export takes sizes, header fields and (when the scan was asked for it)
// the data header from the library's scan instead of opening every clip
// again. Every line must be the one read from the files themselves, and a
// scan with data headers must need no file at all. Returns the number of
// readable (full) lines.
int ExpectScanLinesMatchTheFiles(const fs::path& folder, const fs::path& movedAway) {
    std::vector<RecordingEntry> plain, withHeaders;
    int files = 0;
    EXPECT_TRUE(CollectRecordings(folder.string(), plain, files, 0));
    EXPECT_TRUE(CollectRecordings(folder.string(), withHeaders, files, 0, true));
    EXPECT_EQ(plain.size(), withHeaders.size());
    if (plain.size() != withHeaders.size()) return 0;

    std::vector<std::string> fromFiles;
    int readable = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        RecordingEntry unscanned = plain[i];
        unscanned.scanned = false;
        fromFiles.push_back(CsvLineFor(unscanned));
        readable += ReadCsvClip(unscanned).readable ? 1 : 0;
        EXPECT_EQ(CsvLineFor(plain[i]), fromFiles[i]) << i;
        EXPECT_EQ(CsvLineFor(withHeaders[i]), fromFiles[i]) << i;
        EXPECT_NE(withHeaders[i].dataHeader, DataHeaderScan::kNotAsked) << i;
        // Sizes show as whole megabytes; compare the bytes the scan kept.
        for (const auto& [path, bytes] : {std::pair{plain[i].frontPath, plain[i].frontBytes},
                                          std::pair{plain[i].rearPath, plain[i].rearBytes}})
            EXPECT_EQ(bytes, path.empty() ? 0 : fs::file_size(path)) << path;
    }
    fs::rename(folder, movedAway);
    for (std::size_t i = 0; i < withHeaders.size(); ++i)
        EXPECT_EQ(CsvLineFor(withHeaders[i]), fromFiles[i]) << i;
    return readable;
}

// The seed clips (damaged, unreadable headers, no or odd sensor blocks,
// time-lapse, rear-only) and a card of HD clips with the quality letter.
TEST(CsvScanFacts, LinesFromTheScanAreTheLinesReadFromTheClips) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(cf::WriteSeeds(dir / "seeds", &error)) << error;
    const int seeds = ExpectScanLinesMatchTheFiles(dir / "seeds", dir / "seeds-gone");
    EXPECT_GT(seeds, 3);  // and the rest fall back: both kinds of line are covered
    EXPECT_LT(seeds, 14);

    WriteForgeCard(dir / "card", {ForgeRec("AG_S-210503-070809-000001F.AVI"),
                                  ForgeRec("T_T_-210503-071009-000003F.AVI"),
                                  ForgeRec("A___-210503-070909-000002F.AVI", /*front=*/false)});
    EXPECT_EQ(ExpectScanLinesMatchTheFiles(dir / "card", dir / "card-gone"), 3);
}

TEST_F(CsvFileTest, FailuresAndCancelLeaveNoFile) {
    const std::string out = (dir_ / "out").string();
    const std::string target = out + "/Dv_20210503_070809.csv";

    EXPECT_EQ(WriteCsvFile({}, out).result, CsvResult::kNoRecordings);
    EXPECT_EQ(CsvResultMessages(CsvResult::kNoRecordings), (std::vector<int>{99, 93}));

    EXPECT_EQ(WriteCsvFile(list_, (dir_ / "missing").string()).result, CsvResult::kCannotCreate);
    EXPECT_EQ(CsvResultMessages(CsvResult::kCannotCreate), (std::vector<int>{93, 93}));

    // Cancelled after the first line: nothing appears.
    std::atomic<bool> cancel{false};
    const CsvReport r = WriteCsvFile(
        list_, out, {}, [&](int done, int) { cancel.store(done >= 0); }, &cancel);
    EXPECT_EQ(r.result, CsvResult::kCancelled);
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));

    // A file of that name is replaced only when the user agreed.
    WriteFile(target, "keep");
    EXPECT_EQ(WriteCsvFile(list_, out).result, CsvResult::kExists);
    EXPECT_EQ(ReadFile(target), "keep");
    CsvOptions replace;
    replace.replaceExisting = true;
    EXPECT_EQ(WriteCsvFile(list_, out, replace).result, CsvResult::kDone);
    EXPECT_NE(ReadFile(target), "keep");
}

TEST_F(CsvFileTest, NeverWritesOverOneOfTheRecordingsItLists) {
    // A link under the list's name that leads to a clip: even with the
    // user's agreement to replace, the clip stays as it was.
    const std::string out = (dir_ / "out").string();
    const fs::path clip = list_.front().frontPath;
    const std::string before = ReadFile(clip);
    fs::create_symlink(clip, out + "/Dv_20210503_070809.csv");
    fs::create_hard_link(clip, dir_ / "card" / "Dv_20210503_070809.csv");
    CsvOptions replace;
    replace.replaceExisting = true;
    for (const std::string& folder : {out, (dir_ / "card").string()}) {
        const CsvReport r = WriteCsvFile(list_, folder, replace);
        EXPECT_EQ(r.result, CsvResult::kCannotCreate) << folder;
        EXPECT_NE(r.error.find("recordings"), std::string::npos) << r.error;
    }
    EXPECT_TRUE(ReadFile(clip) == before) << "the clip was changed";
    EXPECT_TRUE(fs::is_symlink(out + "/Dv_20210503_070809.csv"));
}

TEST_F(CsvFileTest, AFullDiskFailsTheExportAndKeepsTheFolderClean) {
    // A volume with room for the header but not for the lines.
    ScratchVolume volume(4096);
    TRIVEXA_REQUIRE_MOUNTED(volume);
    std::vector<RecordingEntry> many;
    for (int i = 0; i < 100; ++i) many.insert(many.end(), list_.begin(), list_.end());
    const CsvReport r = WriteCsvFile(many, volume.root().string());
    EXPECT_EQ(r.result, CsvResult::kCannotWrite) << r.error;
    EXPECT_TRUE(fs::is_empty(volume.root()));
}

TEST_F(CsvFileTest, CommandLineWritesTheFileAndPrintsItsPath) {
    const std::string cli = BuiltProgram("trivexa-cli").string();
    const std::string out = (dir_ / "out").string();
    const std::string target = out + "/Dv_20210503_070809.csv";

    // The plain C locale cannot hold the header: the file is UTF-8.
    ScopedEnv lcAll("LC_ALL", "C");
    CommandResult r = RunCommand({cli, "csv", (dir_ / "card").string(), out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, target + "\n");
    const std::string bytes = ReadFile(target);
    EXPECT_TRUE(bytes.starts_with(CsvHeaderLine()));
    EXPECT_EQ(bytes.find('?'), std::string::npos);

    // A second run needs --force (here with another charset); a folder that
    // is not there is an error.
    EXPECT_EQ(RunCommand({cli, "csv", (dir_ / "card").string(), out}).exitCode, 1);
    r = RunCommand({cli, "csv", "--force", "--charset", "EUC-JP", (dir_ / "card").string(), out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(platform::DecodeToUtf8(ReadFile(target), "EUC-JP"), bytes);
    EXPECT_EQ(RunCommand({cli, "csv", (dir_ / "card").string(), (dir_ / "none").string()}).exitCode,
              1);
    EXPECT_EQ(RunCommand({cli, "csv", (dir_ / "card").string()}).exitCode, 2);
}

}  // namespace
}  // namespace trivexa::test
