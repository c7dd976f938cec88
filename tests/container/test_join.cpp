// Joining recordings: the joined clip's layout checked byte by byte against
// the sources, ffmpeg/ffprobe as outside readers, and the guarantees around
// failure and cancel (no file under the real name, sources untouched).
#include <gtest/gtest.h>

#include <atomic>
#include <utility>

#include "container/avi_reader.h"
#include "container/concat.h"
#include "container/integrity.h"
#include "container/join_test_util.h"
#include "platform/scratch_volume.h"

namespace trivexa::test {
namespace {

constexpr std::size_t kFullMovi = 392;  // movi fourcc, full layout
constexpr std::size_t kShortMovi = 288;

struct SourceFacts {
    std::string bytes;
    std::uint32_t movi = 0;
    std::vector<cf::IndexEntry> index;
    std::string records;  // the sensor records as stored
};

SourceFacts Facts(const std::string& path, const cf::ClipReport& report, bool front) {
    SourceFacts f;
    f.bytes = ReadFile(path);
    f.movi = report.moviListSize;
    f.index = report.index;
    if (front && report.sensorOffset != 0)
        f.records = f.bytes.substr(report.sensorOffset + 40,
                                   static_cast<std::size_t>(report.sensorRecords) * 130);
    return f;
}

// Checks a joined clip against its sources: sizes, counts, chunk data, the
// shifted index (every entry pointing at its chunk) and the sensor block.
void ExpectJoined(const std::string& out, const std::vector<SourceFacts>& src, std::size_t moviAt,
                  bool withSensor) {
    const std::string b = ReadFile(out);
    ASSERT_GT(b.size(), moviAt + 4);
    std::uint64_t movi = 4, frames48 = 0, frames140 = 0, audio = 0;
    std::string chunkData, records;
    std::vector<cf::IndexEntry> index;
    for (const SourceFacts& s : src) {
        for (cf::IndexEntry e : s.index) {
            e.offset += static_cast<std::uint32_t>(movi - 4);
            index.push_back(e);
        }
        movi += s.movi - 4;
        frames48 += Le32At(s.bytes, 48);
        frames140 += Le32At(s.bytes, 140);
        if (moviAt == kFullMovi) audio += Le32At(s.bytes, 264);
        chunkData += s.bytes.substr(moviAt + 4, s.movi - 4);
        records += s.records;
    }
    EXPECT_EQ(Le32At(b, moviAt - 4), movi) << "movi list size";
    EXPECT_EQ(b.substr(moviAt, 4), "movi");
    EXPECT_EQ(Le32At(b, 48), frames48);
    EXPECT_EQ(Le32At(b, 140), frames140);
    if (moviAt == kFullMovi) {
        EXPECT_EQ(Le32At(b, 264), audio);
    }
    EXPECT_TRUE(b.compare(moviAt + 4, chunkData.size(), chunkData) == 0) << "chunk data";

    const std::size_t idx = moviAt + movi;
    ASSERT_GE(b.size(), idx + 8 + 16 * index.size());
    EXPECT_EQ(b.substr(idx, 4), "idx1");
    EXPECT_EQ(Le32At(b, idx + 4), 16 * index.size());
    EXPECT_EQ(Le32At(b, 4), idx + 8 + 16 * index.size() - 8) << "RIFF size";
    for (std::size_t i = 0; i < index.size(); ++i) {
        const std::size_t e = idx + 8 + 16 * i;
        const std::string fourcc(index[i].fourcc.data(), 4);
        ASSERT_EQ(b.substr(e, 4), fourcc) << "entry " << i;
        ASSERT_EQ(Le32At(b, e + 4), index[i].flags) << "entry " << i;
        ASSERT_EQ(Le32At(b, e + 8), index[i].offset) << "entry " << i;
        ASSERT_EQ(Le32At(b, e + 12), index[i].size) << "entry " << i;
        // The entry leads to its chunk in the joined movi list.
        ASSERT_EQ(b.substr(moviAt + index[i].offset, 4), fourcc) << "entry " << i;
        ASSERT_EQ(Le32At(b, moviAt + index[i].offset + 4), index[i].size) << "entry " << i;
    }
    const std::size_t block = idx + 8 + 16 * index.size();
    if (!withSensor) {
        EXPECT_EQ(b.size(), block) << "no sensor block expected";
        return;
    }
    const std::size_t n = records.size() / 130;
    ASSERT_EQ(b.size(), block + 68 + records.size());
    EXPECT_EQ(b.substr(block, 6), "CSMDAT");
    EXPECT_EQ(Be16At(b, block + 38), n);
    EXPECT_TRUE(b.compare(block + 40, records.size(), records) == 0) << "sensor records";
    EXPECT_EQ(b.substr(block + 40 + records.size(), 6), "CSMEND");
    EXPECT_EQ(Be32At(b, block + 40 + records.size() + 16), n);
}

using Progress = std::vector<std::pair<int, int>>;

class JoinTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path out() {
        fs::create_directories(dir / "out");
        return dir / "out";
    }
};

TEST_F(JoinTest, ThreeRecordingsJoinLosslesslyAndOutsideReadersAgree) {
    auto recs = ForgeRecordings(dir / "card", 3);
    std::vector<SourceFacts> fronts, rears;
    std::vector<fs::file_time_type> times;
    for (const auto& r : recs) {
        fronts.push_back(Facts(r.front, r.frontReport, true));
        rears.push_back(Facts(r.rear, r.rearReport, false));
        times.push_back(fs::last_write_time(r.front));
    }
    const fs::path o = out();
    const std::string frontOut = (o / fs::path(recs[0].front).filename()).string();
    const std::string rearOut = (o / fs::path(recs[0].rear).filename()).string();

    std::atomic<bool> cancel{false};
    Progress progress;
    JoinSummary summary;
    ASSERT_EQ(JoinRecordings(
                  Selection(recs), frontOut, rearOut, cancel,
                  [&](int d, int t) { progress.emplace_back(d, t); }, {}, &summary),
              JoinResult::kDone)
        << summary.error.detail;
    EXPECT_TRUE(summary.frontWritten);
    EXPECT_TRUE(summary.rearWritten);
    EXPECT_EQ(
        progress,
        (Progress{{1, 3}, {2, 6}, {3, 6}, {50, 100}, {10, 100}, {40, 100}, {100, 100}, {3, 3}}));
    EXPECT_EQ(Listing(o), (std::vector<std::string>{fs::path(frontOut).filename().string(),
                                                    fs::path(rearOut).filename().string()}));

    ExpectJoined(frontOut, fronts, kFullMovi, true);
    ExpectJoined(rearOut, rears, kFullMovi, false);

    // Outside readers: every packet decodes, and ffprobe sees one video packet
    // per video index entry.
    for (const auto& [path, reps] : {std::pair{frontOut, &fronts}, std::pair{rearOut, &rears}}) {
        long videoEntries = 0;
        for (const SourceFacts& s : *reps)
            for (const auto& e : s.index) videoEntries += std::string(e.fourcc.data(), 4) == "00dc";
        EXPECT_EQ(DecodeErrors(path), "") << path;
        EXPECT_EQ(CountVideoPackets(path), videoEntries) << path;
    }

    // Our own reader takes the joined clip as one clip with the summed counts.
    auto info = ReadClipInfo(frontOut);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sensorHeaderCount, summary.frontSensorRecords);
    EXPECT_EQ(info->indexEntries.size(), summary.frontIndexEntries);

    // The sources are exactly as they were.
    for (std::size_t i = 0; i < recs.size(); ++i) {
        EXPECT_TRUE(ReadFile(recs[i].front) == fronts[i].bytes);
        EXPECT_TRUE(ReadFile(recs[i].rear) == rears[i].bytes);
        EXPECT_EQ(fs::last_write_time(recs[i].front), times[i]);
    }
}

TEST_F(JoinTest, SingleRecordingIsCopiedUnchanged) {
    auto recs = ForgeRecordings(dir / "card", 1);
    const fs::path o = out();
    const std::string frontOut = (o / fs::path(recs[0].front).filename()).string();
    const std::string rearOut = (o / fs::path(recs[0].rear).filename()).string();
    std::atomic<bool> cancel{false};
    ASSERT_EQ(JoinRecordings(Selection(recs), frontOut, rearOut, cancel), JoinResult::kDone);
    EXPECT_TRUE(ReadFile(frontOut) == ReadFile(recs[0].front));
    // The rear output carries no sensor block: it ends after the index.
    const std::string rear = ReadFile(recs[0].rear);
    const std::size_t rearEnd =
        recs[0].rearReport.sensorOffset ? recs[0].rearReport.sensorOffset : rear.size();
    EXPECT_TRUE(ReadFile(rearOut) == rear.substr(0, rearEnd));
}

// With copying by descriptor switched off, chunk data goes through mapped
// windows; the result is the same file.
TEST_F(JoinTest, MappedCopyWritesTheSameBytes) {
    auto recs = ForgeRecordings(dir / "card", 2);
    const fs::path o = out();
    fs::create_directories(o / "mapped");
    const std::string name = fs::path(recs[0].front).filename().string();
    std::atomic<bool> cancel{false};
    ASSERT_EQ(JoinRecordings(Selection(recs), (o / name).string(), "", cancel), JoinResult::kDone);
    JoinOptions mapped;
    mapped.mappedCopy = true;
    ASSERT_EQ(
        JoinRecordings(Selection(recs), (o / "mapped" / name).string(), "", cancel, {}, mapped),
        JoinResult::kDone);
    EXPECT_TRUE(ReadFile(o / name) == ReadFile(o / "mapped" / name));
}

TEST_F(JoinTest, TimeLapseClipsKeepTheShortLayout) {
    auto recs = ForgeRecordings(
        dir / "card", 2, [](cf::ClipSpec&, int) {}, "T___");
    std::vector<SourceFacts> fronts;
    for (const auto& r : recs) fronts.push_back(Facts(r.front, r.frontReport, true));
    const fs::path o = out();
    const std::string frontOut = (o / fs::path(recs[0].front).filename()).string();
    std::atomic<bool> cancel{false};
    JoinSummary summary;
    ASSERT_EQ(
        JoinRecordings(Selection(recs), frontOut, (o / "r.AVI").string(), cancel, {}, {}, &summary),
        JoinResult::kDone)
        << summary.error.detail;
    ExpectJoined(frontOut, fronts, kShortMovi, true);
    // No audio stream: the bytes where the full layout keeps the audio length
    // are the first clip's, untouched.
    const std::string joined = ReadFile(frontOut);
    EXPECT_EQ(joined.substr(212, 68), fronts[0].bytes.substr(212, 68));
    EXPECT_EQ(DecodeErrors(frontOut), "");
}

TEST_F(JoinTest, UnlimitedSensorCountsAreCountedFromTheRecords) {
    auto recs = ForgeRecordings(dir / "card", 2, [](cf::ClipSpec& s, int) {
        s.sensor.countMode = cf::CountMode::Unlimited;
    });
    const fs::path o = out();
    const std::string frontOut = (o / fs::path(recs[0].front).filename()).string();
    std::atomic<bool> cancel{false};
    JoinSummary summary;
    ASSERT_EQ(JoinRecordings(Selection(recs), frontOut, "", cancel, {}, {}, &summary),
              JoinResult::kDone)
        << summary.error.detail;
    const int total = recs[0].frontReport.sensorRecords + recs[1].frontReport.sensorRecords;
    ASSERT_GT(total, 0);
    EXPECT_EQ(summary.frontSensorRecords, static_cast<std::uint32_t>(total));
    std::vector<SourceFacts> fronts;
    for (const auto& r : recs) fronts.push_back(Facts(r.front, r.frontReport, true));
    ExpectJoined(frontOut, fronts, kFullMovi, true);
    EXPECT_FALSE(summary.rearWritten);
}

// More merged sensor records than the 16-bit header count can describe: the
// join fails before writing anything.
TEST_F(JoinTest, TooManySensorRecordsFailBeforeWriting) {
    auto recs = ForgeRecordings(dir / "card", 2, [](cf::ClipSpec& s, int) {
        s.video.content = cf::VideoContent::Synthetic;
        s.drive.records = 33000;
    });
    const fs::path o = out();
    std::atomic<bool> cancel{false};
    Progress progress;
    JoinSummary summary;
    EXPECT_EQ(JoinRecordings(
                  Selection(recs), (o / "f.AVI").string(), (o / "r.AVI").string(), cancel,
                  [&](int d, int t) { progress.emplace_back(d, t); }, {}, &summary),
              JoinResult::kFailed);
    EXPECT_EQ(summary.error, (CoreError{CoreErrorCode::kTooManySensorRecords, "66000"}));
    EXPECT_TRUE(Listing(o).empty());
    EXPECT_EQ(progress, (Progress{{1, 2}}));
}

TEST_F(JoinTest, CancelAndFailureLeaveNoFileBehind) {
    auto recs = ForgeRecordings(dir / "card", 3);
    const fs::path o = out();
    const std::string frontOut = (o / fs::path(recs[0].front).filename()).string();
    const std::string rearOut = (o / fs::path(recs[0].rear).filename()).string();

    // Cancelled while reading the clips, and while the outputs are being
    // copied (the copy checks the flag between steps).
    for (std::pair<int, int> at : {std::pair{1, 3}, std::pair{10, 100}, std::pair{40, 100}}) {
        std::atomic<bool> cancel{false};
        EXPECT_EQ(JoinRecordings(Selection(recs), frontOut, rearOut, cancel,
                                 [&](int d, int t) {
                                     if (std::pair{d, t} == at) cancel = true;
                                 }),
                  JoinResult::kCancelled)
            << at.first << "/" << at.second;
        EXPECT_TRUE(Listing(o).empty()) << at.first << "/" << at.second;
    }

    // A source whose chunk data vanished after it was read fails the write;
    // neither output appears.
    {
        std::atomic<bool> cancel{false};
        const std::string saved = ReadFile(recs[2].front);
        JoinSummary summary;
        EXPECT_EQ(JoinRecordings(
                      Selection(recs), frontOut, rearOut, cancel,
                      [&](int d, int t) {
                          if (d == 10 && t == 100) fs::resize_file(recs[2].front, 500);
                      },
                      {}, &summary),
                  JoinResult::kFailed);
        EXPECT_TRUE(summary.error);
        EXPECT_TRUE(Listing(o).empty());
        WriteFile(recs[2].front, saved);
    }

    // An unreadable middle clip fails the join while reading.
    {
        auto sel = Selection(recs);
        sel[1].frontPath = (dir / "missing" / fs::path(recs[1].front).filename()).string();
        std::atomic<bool> cancel{false};
        JoinSummary summary;
        EXPECT_EQ(JoinRecordings(sel, frontOut, rearOut, cancel, {}, {}, &summary),
                  JoinResult::kFailed);
        EXPECT_EQ(summary.error, (CoreError{CoreErrorCode::kCannotRead, sel[1].frontPath}));
        EXPECT_TRUE(Listing(o).empty());
    }

    // An existing output is kept unless replacing was agreed to.
    {
        WriteFile(frontOut, "keep me");
        std::atomic<bool> cancel{false};
        EXPECT_EQ(JoinRecordings(Selection(recs), frontOut, rearOut, cancel), JoinResult::kFailed);
        EXPECT_EQ(ReadFile(frontOut), "keep me");
        JoinOptions replace;
        replace.replaceExisting = true;
        EXPECT_EQ(JoinRecordings(Selection(recs), frontOut, rearOut, cancel, {}, replace),
                  JoinResult::kDone);
        EXPECT_EQ(ReadFile(frontOut).substr(0, 4), "RIFF");
    }

    // An output that is one of the sources is refused.
    {
        std::atomic<bool> cancel{false};
        const std::string before = ReadFile(recs[0].front);
        JoinOptions replace;
        replace.replaceExisting = true;
        EXPECT_EQ(JoinRecordings(Selection(recs), recs[0].front, rearOut, cancel, {}, replace),
                  JoinResult::kFailed);
        EXPECT_TRUE(ReadFile(recs[0].front) == before);
    }
}

// A volume too small for the joined clip fails before any chunk data is
// copied, says why, and keeps nothing; the same join fits a larger volume,
// where the recordings come from another file system.
TEST_F(JoinTest, FullVolumeFailsAtOnceAndKeepsNothing) {
    auto recs = ForgeRecordings(dir / "card", 3);
    std::uint64_t sources = 0;
    for (const auto& r : recs) sources += fs::file_size(r.front);
    ScratchVolume small(sources / 2);
    TRIVEXA_REQUIRE_MOUNTED(small);
    const std::string name = fs::path(recs[0].front).filename().string();
    std::atomic<bool> cancel{false};
    Progress progress;
    JoinSummary summary;
    EXPECT_EQ(JoinRecordings(
                  Selection(recs), (small.root() / name).string(), "", cancel,
                  [&](int d, int t) { progress.emplace_back(d, t); }, {}, &summary),
              JoinResult::kFailed);
    EXPECT_EQ(summary.error.code, CoreErrorCode::kNotEnoughSpace) << summary.error.detail;
    EXPECT_TRUE(Listing(small.root()).empty());
    EXPECT_EQ(progress.back(), std::pair(10, 100)) << "failed before copying";

    ScratchVolume large(sources * 2);
    ASSERT_EQ(JoinRecordings(Selection(recs), (large.root() / name).string(), "", cancel),
              JoinResult::kDone);
    std::vector<SourceFacts> fronts;
    for (const auto& r : recs) fronts.push_back(Facts(r.front, r.frontReport, true));
    ExpectJoined((large.root() / name).string(), fronts, kFullMovi, true);
}

TEST_F(JoinTest, MissingRearClipDropsOnlyTheRearOutput) {
    auto recs = ForgeRecordings(dir / "card", 3);
    const auto selection = Selection(recs);
    fs::remove(recs[1].rear);
    const fs::path o = out();
    const std::string frontOut = (o / fs::path(recs[0].front).filename()).string();
    const std::string rearOut = (o / fs::path(recs[0].rear).filename()).string();
    std::atomic<bool> cancel{false};
    JoinSummary summary;
    ASSERT_EQ(JoinRecordings(selection, frontOut, rearOut, cancel, {}, {}, &summary),
              JoinResult::kDone);
    EXPECT_TRUE(summary.frontWritten);
    EXPECT_FALSE(summary.rearWritten);
    EXPECT_TRUE(summary.rearNote);
    EXPECT_EQ(Listing(o), (std::vector<std::string>{fs::path(frontOut).filename().string()}));
}

TEST_F(JoinTest, MixedLayoutsAndDamagedClipsAreRefused) {
    auto normal = ForgeRecordings(dir / "a", 1);
    auto lapse = ForgeRecordings(
        dir / "b", 1, [](cf::ClipSpec&, int) {}, "T___", 2);
    auto lost = ForgeRecordings(
        dir / "c", 1, [](cf::ClipSpec& s, int) { s.damage.missingIndex = true; }, "A___", 3);
    const fs::path o = out();
    std::atomic<bool> cancel{false};
    JoinSummary summary;
    auto sel = Selection(normal);
    sel.push_back(Selection(lapse)[0]);
    EXPECT_EQ(JoinRecordings(sel, (o / "f.AVI").string(), "", cancel, {}, {}, &summary),
              JoinResult::kFailed);
    EXPECT_EQ(summary.error.code, CoreErrorCode::kLayoutMismatch) << summary.error.detail;
    sel = Selection(normal);
    sel.push_back(Selection(lost)[0]);
    EXPECT_EQ(JoinRecordings(sel, (o / "f.AVI").string(), "", cancel, {}, {}, &summary),
              JoinResult::kFailed);
    EXPECT_EQ(summary.error, (CoreError{CoreErrorCode::kDamagedClip, sel.back().frontPath}));
    EXPECT_TRUE(Listing(o).empty());
}

// Overwrites 4 bytes of a file (little- or big-endian).
void Patch32(const std::string& path, std::uint64_t at, std::uint32_t v, bool bigEndian = false) {
    std::string b = ReadFile(path);
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<char>((v >> (8 * (bigEndian ? 3 - i : i))) & 0xFF);
    WriteFile(path, b);
}

// A clip the integrity check calls damaged is refused, whichever camera and
// wherever in the selection, naming the clip: an index size field larger
// than the file, or one entry too many (the reader would take sensor block
// bytes for entries and the join would copy them into its index).
TEST_F(JoinTest, ClipsTheCheckCallsDamagedAreRefusedByName) {
    auto recs = ForgeRecordings(dir / "card", 2);
    const fs::path o = out();
    const std::string frontOut = (o / fs::path(recs[0].front).filename()).string();
    const std::string rearOut = (o / fs::path(recs[0].rear).filename()).string();
    struct Case {
        const char* what;
        std::string path;
        const cf::ClipReport* report;
        bool pastTheFile;
    };
    const std::vector<Case> cases = {
        {"second front, size field past the file", recs[1].front, &recs[1].frontReport, true},
        {"second front, one entry too many", recs[1].front, &recs[1].frontReport, false},
        {"first front, one entry too many", recs[0].front, &recs[0].frontReport, false},
        {"second rear, one entry too many", recs[1].rear, &recs[1].rearReport, false},
        {"first rear, size field past the file", recs[0].rear, &recs[0].rearReport, true},
    };
    for (const Case& c : cases) {
        const std::string saved = ReadFile(c.path);
        const std::uint32_t field =
            c.pastTheFile ? static_cast<std::uint32_t>(saved.size() + 4096)
                          : static_cast<std::uint32_t>(16 * (c.report->index.size() + 1));
        Patch32(c.path, c.report->idx1Offset + 4, field);
        ASSERT_EQ(CheckClip(c.path), ClipCheck::kDamaged) << c.what;
        std::atomic<bool> cancel{false};
        JoinSummary summary;
        JoinOptions replace;
        replace.replaceExisting = true;
        EXPECT_EQ(JoinRecordings(Selection(recs), frontOut, rearOut, cancel, {}, replace, &summary),
                  JoinResult::kFailed)
            << c.what;
        EXPECT_EQ(summary.error, (CoreError{CoreErrorCode::kDamagedClip, c.path})) << c.what;
        EXPECT_TRUE(Listing(o).empty()) << c.what;
        WriteFile(c.path, saved);
    }
    // Mended, the same recordings join, and the joined clip is intact.
    std::atomic<bool> cancel{false};
    ASSERT_EQ(JoinRecordings(Selection(recs), frontOut, rearOut, cancel), JoinResult::kDone);
    EXPECT_EQ(CheckClip(frontOut), ClipCheck::kIntact);
    EXPECT_EQ(CheckClip(rearOut), ClipCheck::kIntact);
}

// A trailer whose record count is 0xFFFFFFFF: the space a join needs never
// exceeds what the clips hold (it used to claim some 558 GB), and the join
// refuses the clip for its damaged sensor block rather than for space.
TEST_F(JoinTest, ACorruptTrailerCountClaimsNoSpaceAndIsRefusedForItsSensorData) {
    auto recs = ForgeRecordings(dir / "card", 2);
    const std::string bad = recs[1].front;
    Patch32(bad, fs::file_size(bad) - 28 + 16, 0xFFFFFFFFu, /*bigEndian=*/true);
    std::uint64_t total = 0;
    for (const auto& r : recs) total += fs::file_size(r.front) + fs::file_size(r.rear);
    // The expected sizes as the recording library takes them from the check.
    std::vector<RecordingEntry> sel = Selection(recs);
    for (RecordingEntry& e : sel) {
        std::uint64_t front = 0, rear = 0;
        EXPECT_EQ(CheckClip(e.frontPath, &front), ClipCheck::kIntact);
        EXPECT_EQ(CheckClip(e.rearPath, &rear), ClipCheck::kIntact);
        e.frontExpectedSize = static_cast<std::int64_t>(front);
        e.rearExpectedSize = static_cast<std::int64_t>(rear);
    }

    JoinPlan plan;
    ASSERT_EQ(PrepareJoin(sel, out().string(), plan), JoinPrepareResult::kReady)
        << plan.requiredBytes << " bytes needed";
    EXPECT_LE(plan.requiredBytes, total);
    // Whatever an entry claims, a clip counts at most its own size.
    sel[1].frontExpectedSize = std::int64_t{1} << 40;
    ASSERT_EQ(PrepareJoin(sel, out().string(), plan), JoinPrepareResult::kReady);
    EXPECT_LE(plan.requiredBytes, total);

    std::atomic<bool> cancel{false};
    JoinSummary summary;
    EXPECT_EQ(JoinRecordings(sel, plan.frontOutput, plan.rearOutput, cancel, {}, {}, &summary),
              JoinResult::kFailed);
    EXPECT_EQ(summary.error, (CoreError{CoreErrorCode::kDamagedSensorBlock, bad}));
    EXPECT_TRUE(Listing(out()).empty());
}

// A join owns both output names. Recordings 1-2 joined, then 1-3 into the
// same folder where 3 has no rear clip: with replacing agreed the front
// output is replaced and the earlier rear output removed (and said so), so
// no rear clip of the first join pairs with the front clip of the second;
// without it, nothing changes.
TEST_F(JoinTest, ASecondJoinWithoutARearClipLeavesNoEarlierRearOutput) {
    auto recs = ForgeRecordings(dir / "card", 3);
    const fs::path o = out();
    const std::string frontOut = (o / fs::path(recs[0].front).filename()).string();
    const std::string rearOut = (o / fs::path(recs[0].rear).filename()).string();
    std::atomic<bool> cancel{false};
    auto first = Selection(recs);
    first.pop_back();
    ASSERT_EQ(JoinRecordings(first, frontOut, rearOut, cancel), JoinResult::kDone);
    const std::string firstFront = ReadFile(frontOut), firstRear = ReadFile(rearOut);

    auto second = Selection(recs);
    fs::remove(recs[2].rear);
    second[2].rearPath.clear();
    second[2].rearName.clear();
    JoinPlan plan;
    ASSERT_EQ(PrepareJoin(second, o.string(), plan), JoinPrepareResult::kReady);
    EXPECT_TRUE(plan.frontOutputExists);
    EXPECT_TRUE(plan.rearOutputExists);

    JoinSummary summary;
    EXPECT_EQ(JoinRecordings(second, frontOut, rearOut, cancel, {}, {}, &summary),
              JoinResult::kFailed);
    EXPECT_EQ(summary.error.code, CoreErrorCode::kAlreadyExists);
    EXPECT_TRUE(ReadFile(frontOut) == firstFront);
    EXPECT_TRUE(ReadFile(rearOut) == firstRear);

    JoinOptions replace;
    replace.replaceExisting = true;
    ASSERT_EQ(JoinRecordings(second, frontOut, rearOut, cancel, {}, replace, &summary),
              JoinResult::kDone)
        << summary.error.detail;
    EXPECT_TRUE(summary.frontWritten);
    EXPECT_FALSE(summary.rearWritten);
    EXPECT_EQ(summary.removedOutput, rearOut);
    EXPECT_EQ(Listing(o), (std::vector<std::string>{fs::path(frontOut).filename().string()}));
    EXPECT_EQ(CountVideoPackets(frontOut), 20 + 25 + 30);

    // A folder under the rear name is never removed: the join fails before
    // the front output changes.
    const std::string secondFront = ReadFile(frontOut);
    fs::create_directories(rearOut);
    EXPECT_EQ(JoinRecordings(second, frontOut, rearOut, cancel, {}, replace, &summary),
              JoinResult::kFailed);
    EXPECT_EQ(summary.error, (CoreError{CoreErrorCode::kCannotRemove, rearOut}));
    EXPECT_TRUE(ReadFile(frontOut) == secondFront);
    EXPECT_TRUE(fs::is_directory(rearOut));
}

// The merge arithmetic on its own: movi sizes 1000 and 2000 with one entry
// each at offset 4 give 2996 and the second entry lands at 1000.
TEST(AppendClipTest, ShiftsTheIndexAndSumsSizesAndCounts) {
    auto clip = [](std::uint32_t movi, std::uint32_t frames, const char* path) {
        ClipInfo c;
        c.layout = ClipLayout::kFull;
        c.header.assign(avi::kFullHeaderSize, std::byte{0});
        c.SetMoviListSize(movi);
        c.SetHeaderField(avi::kRiffSizeOffset, 384 + movi + 8 + 16);
        c.SetHeaderField(avi::kTotalFramesOffset, frames);
        c.SetHeaderField(avi::kVideoLengthOffset, frames);
        c.SetHeaderField(avi::kAudioLengthOffset, 3);
        c.hasIndex = true;
        c.indexSize = 16;
        c.indexEntries = {IndexEntry{FourCC("00dc"), 0x10, 4, 100}};
        c.sources = {SourceNode{path, 396, movi - 4}};
        c.hasSensorBlock = true;
        c.sensorRecords.assign(2 * 130, std::byte{'x'});
        c.sensorHeaderCount = c.sensorTrailerCount = 2;
        return c;
    };
    ClipInfo a = clip(1000, 10, "A___-230715-081522-000001F.AVI");
    const ClipInfo b = clip(2000, 20, "A___-230715-081622-000002F.AVI");
    ASSERT_TRUE(AppendClip(a, b));
    EXPECT_EQ(a.MoviListSize(), 2996u);
    ASSERT_EQ(a.indexEntries.size(), 2u);
    EXPECT_EQ(a.indexEntries[1].offset, 1000u);
    EXPECT_EQ(a.indexSize, 32u);
    EXPECT_EQ(a.HeaderField(avi::kRiffSizeOffset), 384u + 1000 + 24 + 16 + 1996);
    EXPECT_EQ(a.HeaderField(avi::kTotalFramesOffset), 30u);
    EXPECT_EQ(a.HeaderField(avi::kVideoLengthOffset), 30u);
    EXPECT_EQ(a.HeaderField(avi::kAudioLengthOffset), 6u);
    EXPECT_EQ(a.sources.size(), 2u);
    EXPECT_EQ(a.sensorHeaderCount, 4u);
    EXPECT_EQ(a.sensorTrailerCount, 4u);
    EXPECT_EQ(a.sensorRecords.size(), 4u * 130);

    // A rear accumulator merges no sensor records.
    ClipInfo rear = clip(1000, 10, "A___-230715-081522-000001R.AVI");
    ASSERT_TRUE(AppendClip(rear, b));
    EXPECT_EQ(rear.sensorRecords.size(), 2u * 130);

    // Sizes beyond the format's 32-bit fields are refused, nothing changed.
    ClipInfo big = clip(0xF0000000u, 1, "A___-230715-081522-000001F.AVI");
    const ClipInfo big2 = clip(0x20000000u, 1, "A___-230715-081622-000002F.AVI");
    CoreError error;
    EXPECT_FALSE(AppendClip(big, big2, &error));
    EXPECT_EQ(error.code, CoreErrorCode::kOver4GB);
    EXPECT_EQ(big.MoviListSize(), 0xF0000000u);
    EXPECT_EQ(big.indexEntries.size(), 1u);
}

TEST_F(JoinTest, WriteJoinedGivesARearNamedOutputNoSensorBlock) {
    auto recs = ForgeRecordings(dir / "card", 2);
    JoinJob job;
    ASSERT_TRUE(JoinBegin(job, recs[0].front, recs[0].rear));
    ASSERT_TRUE(JoinAppend(job, recs[1].front, recs[1].rear));
    ASSERT_TRUE(job.firstFront->sensorRecords.size() > 0);
    const fs::path o = out();
    const std::string rearNamed = (o / fs::path(recs[0].rear).filename()).string();
    ASSERT_TRUE(WriteJoined(*job.firstFront, rearNamed));
    std::vector<SourceFacts> fronts;
    for (const auto& r : recs) fronts.push_back(Facts(r.front, r.frontReport, true));
    ExpectJoined(rearNamed, fronts, kFullMovi, false);
}

// Joined recordings are found in the displayed list by their paths, whatever
// their serial says after a sort; recordings no longer shown mark nothing.
TEST(MarkJoinedTest, FindsEntriesByPathNotPosition) {
    auto entry = [](const std::string& n, int serial) {
        RecordingEntry e;
        e.frontPath = "/c/Front/" + n + "F.AVI";
        e.rearPath = "/c/Rear/" + n + "R.AVI";
        e.serial = serial;
        return e;
    };
    std::vector<RecordingEntry> shown = {entry("c", 0), entry("a", 1), entry("b", 2)};
    const std::vector<RecordingEntry> joined = {entry("a", 0), entry("b", 1), entry("gone", 2)};
    EXPECT_EQ(MarkJoinedEntries(shown, joined), 2u);
    EXPECT_FALSE(shown[0].joined);
    EXPECT_TRUE(shown[1].joined);
    EXPECT_TRUE(shown[2].joined);
}

TEST_F(JoinTest, PreparationNamesOutputsAndChecksSpace) {
    auto recs = ForgeRecordings(dir / "card", 2);
    const fs::path o = out();
    auto sel = Selection(recs);
    JoinPlan plan;
    EXPECT_EQ(PrepareJoin({}, o.string(), plan), JoinPrepareResult::kNothingSelected);
    EXPECT_EQ(PrepareJoin(sel, (dir / "nowhere").string(), plan), JoinPrepareResult::kNoFolder);
    ASSERT_EQ(PrepareJoin(sel, o.string() + "/", plan), JoinPrepareResult::kReady);
    EXPECT_EQ(plan.frontOutput, (o / fs::path(recs[0].front).filename()).string());
    EXPECT_EQ(plan.rearOutput, (o / fs::path(recs[0].rear).filename()).string());
    EXPECT_FALSE(plan.frontOutputExists);
    EXPECT_EQ(plan.requiredBytes, fs::file_size(recs[0].front) + fs::file_size(recs[0].rear) +
                                      fs::file_size(recs[1].front) + fs::file_size(recs[1].rear));
    EXPECT_GT(plan.freeBytes, plan.requiredBytes);

    WriteFile(plan.frontOutput, "x");
    EXPECT_EQ(PrepareJoin(sel, o.string(), plan), JoinPrepareResult::kReady);
    EXPECT_TRUE(plan.frontOutputExists);

    // Required space beyond the free space fails: a volume smaller than the
    // clips. (An expected size beyond a clip's real size counts as the real
    // size: the join never copies more than the clips hold.)
    {
        ScratchVolume small(fs::file_size(recs[0].front) / 2);
        if (small.mounted()) {
            EXPECT_EQ(PrepareJoin(sel, small.root().string(), plan),
                      JoinPrepareResult::kNotEnoughSpace);
        }
    }

    // Joining into the recordings' own folder would replace the first clip.
    EXPECT_EQ(PrepareJoin(Selection(recs), (dir / "card" / "Front").string(), plan),
              JoinPrepareResult::kOutputIsSource);
}

}  // namespace
}  // namespace trivexa::test
