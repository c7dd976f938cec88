#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "container/container_test_util.h"
#include "container/integrity.h"
#include "platform/files.h"
#include "platform/private_folders.h"
#include "platform/scratch_volume.h"

namespace trivexa {
namespace {

using namespace test;

ClipCheck Check(const std::filesystem::path& p, std::uint64_t* expected = nullptr) {
    return CheckClip(p, expected);
}

std::size_t VideoEntries(const std::vector<IndexEntry>& index) {
    std::size_t n = 0;
    for (const IndexEntry& e : index) n += e.chunkId == avi::kVideoChunk;
    return n;
}

// ffprobe's count of video packets, or -1 when it fails.
long FfprobeVideoPackets(const std::filesystem::path& p) {
    const CommandResult r =
        RunCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                    "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", p.string()});
    if (r.exitCode != 0) return -1;
    return std::strtol(r.out.c_str(), nullptr, 10);
}

// Decodes the whole clip with ffmpeg; returns its error lines.
std::string FfmpegDecodeErrors(const std::filesystem::path& p) {
    const CommandResult r =
        RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", p.string(), "-f", "null", "-"});
    return r.exitCode == 0 ? r.err : "exit " + std::to_string(r.exitCode) + ": " + r.err;
}

TEST(CheckClip, AnswersForEachKindOfDamage) {
    TempDir dir;
    std::uint64_t expected = 1;
    const Forged intact = Forge(dir, Spec(kFrontName));
    EXPECT_EQ(Check(intact.path, &expected), ClipCheck::kIntact);
    EXPECT_EQ(expected, intact.report.fileSize);  // sizes, index and sensor block add up

    const Forged lapse = Forge(dir, Spec(kLapseName));
    EXPECT_EQ(Check(lapse.path, &expected), ClipCheck::kIntact);
    EXPECT_EQ(expected, lapse.report.fileSize);

    cf::ClipSpec rearSpec = Spec(kRearName);
    rearSpec.sensor.present = false;
    const Forged rear = Forge(dir, rearSpec);
    EXPECT_EQ(Check(rear.path, &expected), ClipCheck::kIntact);
    EXPECT_EQ(expected, rear.report.fileSize);

    struct Case {
        const char* what;
        cf::Damage damage;
        ClipCheck result;
    };
    std::vector<Case> cases(6);
    cases[0] = {"riff size zero", {}, ClipCheck::kDamaged};
    cases[0].damage.riffSizeZero = true;
    cases[1] = {"index lost", {}, ClipCheck::kDamaged};
    cases[1].damage.indexLost = true;
    cases[2] = {"no idx1", {}, ClipCheck::kDamaged};
    cases[2].damage.missingIndex = true;
    cases[3] = {"idx1 of 8 bytes", {}, ClipCheck::kDamaged};
    cases[3].damage.indexSizeField = 8;
    cases[4] = {"idx1 of 15 bytes", {}, ClipCheck::kDamaged};
    cases[4].damage.indexSizeField = 15;
    cases[5] = {"idx1 of 16 bytes", {}, ClipCheck::kIntact};
    cases[5].damage.indexSizeField = 16;
    int n = 10;
    for (const Case& c : cases) {
        cf::ClipSpec spec = Spec("A___-230715-081522-0000" + std::to_string(n++) + "F.AVI");
        spec.damage = c.damage;
        const Forged clip = Forge(dir, spec);
        EXPECT_EQ(Check(clip.path, &expected), c.result) << c.what;
    }

    cf::ClipSpec unreadable = Spec("A___-230715-081522-000099F.AVI");
    unreadable.damage.unreadable = true;
    EXPECT_EQ(Check(Forge(dir, unreadable).path), ClipCheck::kUnreadable);
    EXPECT_EQ(Check(dir / "missing.AVI"), ClipCheck::kUnreadable);
    EXPECT_EQ(Check(dir.path()), ClipCheck::kUnreadable);
    WriteFile(dir / "empty.AVI", "");
    EXPECT_EQ(Check(dir / "empty.AVI", &expected), ClipCheck::kUnreadable);
    EXPECT_EQ(expected, 0u);
}

// An idx1 size field that claims more than the index holds reaches into the
// sensor block (or past the end of the file): those bytes are no entries, so
// the clip is damaged, and so is a clip whose index really holds such an
// entry (as a join that copied them would write). The expected size never
// counts a sensor block that cannot fit in the file.
TEST(CheckClip, AnIndexReachingPastItsEntriesIsDamaged) {
    TempDir dir;
    const Forged clip = Forge(dir, Spec(kFrontName));
    const std::string intact = ReadFile(clip.path);
    const std::uint64_t idx = clip.report.idx1Offset;
    const auto entries = static_cast<std::uint32_t>(clip.report.index.size());
    ASSERT_GT(idx, 0u);
    ASSERT_GT(clip.report.sensorOffset, idx);
    const std::filesystem::path p = dir / "A___-230715-081522-000002F.AVI";
    std::uint64_t expected = 0;

    struct Case {
        const char* what;
        std::uint32_t sizeField;
    };
    const std::uint32_t pastTheEnd = static_cast<std::uint32_t>(intact.size() - 64);
    for (const Case& c : {Case{"one entry too many", 16 * (entries + 1)},
                          Case{"two entries too many", 16 * (entries + 2)},
                          Case{"chunk past the end of the file", pastTheEnd}}) {
        WriteFile(p, intact);
        PatchLe32(p, idx + 4, c.sizeField);
        EXPECT_EQ(Check(p), ClipCheck::kDamaged) << c.what;
    }
    // One entry fewer than written is an index that ends early: still usable.
    WriteFile(p, intact);
    PatchLe32(p, idx + 4, 16 * (entries - 1));
    EXPECT_EQ(Check(p), ClipCheck::kIntact);

    // The sensor header's first 16 bytes written into the index as its last
    // entry, the sizes adjusted to match: a consistent file, a useless entry.
    {
        std::string b = intact;
        const std::string header = b.substr(clip.report.sensorOffset, 16);
        b.insert(clip.report.sensorOffset, header);
        for (auto [at, delta] : {std::pair<std::uint64_t, std::uint32_t>{idx + 4, 16}, {4, 16}}) {
            std::uint32_t v = 0;
            for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
            v += delta;
            for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
        WriteFile(p, b);
        EXPECT_EQ(Check(p, &expected), ClipCheck::kDamaged);
        EXPECT_EQ(expected, b.size()) << "sizes, index and sensor block add up";
    }
    // An entry pointing past the movi list, first or last.
    for (std::uint64_t entry : {std::uint64_t{0}, std::uint64_t{entries - 1}}) {
        WriteFile(p, intact);
        PatchLe32(p, idx + 8 + 16 * entry + 8, clip.report.moviListSize);
        EXPECT_EQ(Check(p), ClipCheck::kDamaged) << "entry " << entry;
    }

    // A trailer count of 0xFFFFFFFF places the sensor block before the start
    // of the file: the expected size leaves it out instead of claiming
    // hundreds of gigabytes.
    WriteFile(p, intact);
    {
        std::string b = intact;
        for (int i = 0; i < 4; ++i) b[b.size() - 28 + 16 + i] = '\xFF';
        WriteFile(p, b);
    }
    EXPECT_EQ(Check(p, &expected), ClipCheck::kIntact);
    EXPECT_EQ(expected, clip.report.sensorOffset);
}

// A full-layout clip put together byte by byte, to pin the scan rules down
// independently of any writer.
struct Handmade {
    std::string bytes = std::string(392, '\0') + "movi";
    std::vector<std::uint32_t> offsets;  // from the movi fourcc

    void Chunk(const char* id, const std::string& data) {
        offsets.push_back(static_cast<std::uint32_t>(bytes.size() - 392));
        bytes += id;
        const auto s = static_cast<std::uint32_t>(data.size());
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((s >> (8 * i)) & 0xFF);
        bytes += data;
        if (s % 2) bytes += '\0';
    }
    static std::string Video(unsigned char nal, std::size_t filler = 20) {
        return std::string("\0\0\0\1", 4) + static_cast<char>(nal) + std::string(filler, 'x');
    }
    std::vector<IndexEntry> Scan(const TempDir& dir) {
        const std::filesystem::path p = dir / kRearName;
        WriteFile(p, bytes + std::string(64, 'x'));
        RepairJob job;
        job.sourcePath = p;
        std::vector<IndexEntry> entries;
        const std::size_t found = ScanChunks(job, entries);
        EXPECT_EQ(found, entries.size());
        return entries;
    }
};

TEST(ScanChunks, KeyFramesGapsOverlapsAndShortChunks) {
    TempDir dir;
    {
        Handmade h;
        for (unsigned char nal : {0x65, 0x67, 0x41, 0x06, 0x68})
            h.Chunk("00dc", Handmade::Video(nal));
        h.Chunk("01wb", std::string(21, 'a'));
        const std::vector<IndexEntry> e = h.Scan(dir);
        ASSERT_EQ(e.size(), 6u);
        const std::uint32_t flags[] = {0x10, 0x10, 0, 0, 0, 0x10};
        for (std::size_t i = 0; i < e.size(); ++i) {
            EXPECT_EQ(e[i].flags, flags[i]) << i;
            EXPECT_EQ(e[i].offset, h.offsets[i]) << i;
        }
        EXPECT_EQ(e[0].offset, 4u);
        EXPECT_EQ(e[5].chunkId, avi::kAudioChunk);
        EXPECT_EQ(e[5].size, 21u);
    }
    {  // Two stray bytes between chunks: the scan stops at the gap.
        Handmade h;
        h.Chunk("00dc", Handmade::Video(0x65));
        h.bytes += "zz";
        h.Chunk("00dc", Handmade::Video(0x41));
        EXPECT_EQ(h.Scan(dir).size(), 1u);
    }
    {  // Chunk ids inside a taken chunk's data are payload: the scan goes on
       // at the chunk's end, whatever size the stray id is followed by.
        Handmade h;
        h.Chunk("00dc", Handmade::Video(0x65));
        h.Chunk("00dc", Handmade::Video(0x41, 4) + std::string("01wb\x04\0\0\0", 8) + "yyyyyyyy");
        h.Chunk("01wb", std::string(7, 'a') + std::string("00dc\xFF\xFF\xFF\x7F", 8) + "zz");
        h.Chunk("00dc", Handmade::Video(0x41));
        const std::vector<IndexEntry> e = h.Scan(dir);
        ASSERT_EQ(e.size(), 4u);
        for (std::size_t i = 0; i < e.size(); ++i) EXPECT_EQ(e[i].offset, h.offsets[i]) << i;
    }
    {  // 16 data bytes or a missing start code: not indexed, and the next
       // chunk then lies after a gap.
        for (const std::string& bad :
             {Handmade::Video(0x41, 11), std::string("\0\0\0\2", 4) + std::string(30, 'x')}) {
            Handmade h;
            h.Chunk("00dc", Handmade::Video(0x65));
            h.Chunk("00dc", bad);
            h.Chunk("00dc", Handmade::Video(0x41));
            EXPECT_EQ(h.Scan(dir).size(), 1u);
        }
    }
    {  // A chunk running past the end of the file ends the scan.
        Handmade h;
        h.Chunk("00dc", Handmade::Video(0x65));
        h.bytes += std::string("00dc\xFF\xFF\x00\x00", 8) + Handmade::Video(0x41);
        EXPECT_EQ(h.Scan(dir).size(), 1u);
    }
}

TEST(RepairClip, IntactClipScansBackToItsOwnIndex) {
    TempDir dir;
    for (const char* name : {kFrontName, kLapseName}) {
        const Forged clip = Forge(dir, Spec(name));
        RepairJob job;
        job.sourcePath = clip.path;
        job.layout = LayoutForPath(clip.path);
        std::vector<IndexEntry> entries;
        ASSERT_EQ(ScanChunks(job, entries), clip.report.index.size()) << name;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const cf::IndexEntry& w = clip.report.index[i];
            EXPECT_EQ(entries[i], (IndexEntry{FourccValue(w.fourcc), w.flags, w.offset, w.size}))
                << name << " entry " << i;
        }
    }
}

TEST(RepairClip, RepairedCopiesAreAcceptedByFfmpeg) {
    TempDir dir;
    for (const char* name : {kFrontName, kLapseName}) {
        cf::ClipSpec spec = Spec(name);
        spec.damage.indexLost = true;
        const Forged clip = Forge(dir, spec);
        const std::string before = ReadFile(clip.path);
        ASSERT_EQ(Check(clip.path), ClipCheck::kDamaged);

        const std::filesystem::path out = dir / "out" / name;
        RepairJob job;
        ASSERT_TRUE(RepairClip(job, clip.path, out)) << name;
        EXPECT_EQ(ReadFile(clip.path), before) << "the source must not change";
        // Only finished copies are in the folder: no temporary left behind.
        std::size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir / "out"))
            files += e.path().filename().string().front() != '.';
        EXPECT_EQ(files, std::distance(std::filesystem::directory_iterator(dir / "out"),
                                       std::filesystem::directory_iterator()));

        std::uint64_t expected = 0;
        EXPECT_EQ(Check(out, &expected), ClipCheck::kIntact) << name;
        const std::optional<ClipInfo> info = ReadClipInfo(out);
        ASSERT_TRUE(info) << name;
        // The cut last chunk is left out; everything before it is indexed.
        const std::size_t chunks = clip.report.chunkOffsets.size();
        EXPECT_EQ(info->indexEntries.size(), chunks - 1) << name;
        const std::size_t frames = VideoEntries(info->indexEntries);
        EXPECT_EQ(info->HeaderField(avi::kTotalFramesOffset), frames);
        EXPECT_EQ(info->HeaderField(avi::kVideoLengthOffset), frames);
        if (info->layout == ClipLayout::kFull) {
            EXPECT_EQ(info->HeaderField(avi::kAudioLengthOffset),
                      info->indexEntries.size() - frames);
        }
        EXPECT_EQ(info->sensorTrailerCount, 0u);
        const std::string copy = ReadFile(out);
        EXPECT_EQ(copy.substr(copy.size() - 36, 8), "CCCCCCCC");
        EXPECT_EQ(info->HeaderField(avi::kRiffSizeOffset) + 8u, copy.size() - 36);

        EXPECT_EQ(FfprobeVideoPackets(out), static_cast<long>(frames)) << name;
        EXPECT_EQ(FfmpegDecodeErrors(out), "") << name;
    }
}

TEST(RepairClip, DamageInsideTheDataEndsTheCopyBeforeIt) {
    TempDir dir;
    // Where each kind of damage lets the scan stop, in chunks (file order).
    const Forged reference = Forge(dir, Spec(kRearName));
    auto chunkOfFrame = [&](int frame) {
        int seen = 0;
        for (std::size_t i = 0; i < reference.report.index.size(); ++i)
            if (FourccValue(reference.report.index[i].fourcc) == avi::kVideoChunk &&
                seen++ == frame)
                return i;
        return std::size_t{0};
    };
    struct Case {
        const char* what;
        cf::Damage damage;
        std::size_t entries;
    };
    std::vector<Case> cases(3);
    cases[0] = {"truncated in chunk 25", {}, 25};
    cases[0].damage.truncateInChunk = 25;
    cases[1] = {"broken start code in frame 30", {}, chunkOfFrame(30)};
    cases[1].damage.brokenStartCodeFrame = 30;
    cases[2] = {"16-byte frame 12", {}, chunkOfFrame(12)};
    cases[2].damage.tinyVideoFrame = 12;
    for (const Case& c : cases) {
        cf::ClipSpec spec = Spec(kRearName);
        spec.damage = c.damage;
        spec.damage.missingIndex = true;
        const Forged clip = Forge(dir, spec);
        const std::filesystem::path out = dir / "out.AVI";
        RepairJob job;
        ASSERT_TRUE(RepairClip(job, clip.path, out)) << c.what;
        const std::optional<ClipInfo> info = ReadClipInfo(out);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->indexEntries.size(), c.entries) << c.what;
        EXPECT_EQ(FfprobeVideoPackets(out), static_cast<long>(VideoEntries(info->indexEntries)));
        EXPECT_EQ(FfmpegDecodeErrors(out), "") << c.what;
    }
}

// A repaired copy that does not fit its volume fails and leaves nothing there;
// on a volume with room the same repair succeeds.
TEST(RepairClip, FullVolumeLeavesNothingBehind) {
    TempDir dir;
    cf::ClipSpec spec = Spec(kFrontName);
    spec.damage.missingIndex = true;
    const Forged clip = Forge(dir, spec);
    const std::uint64_t size = std::filesystem::file_size(clip.path);
    test::ScratchVolume small(size / 2);
    TRIVEXA_REQUIRE_MOUNTED(small);
    RepairJob job;
    EXPECT_FALSE(RepairClip(job, clip.path, small.root() / kFrontName));
    EXPECT_TRUE(std::filesystem::is_empty(small.root()));

    test::ScratchVolume large(size * 2);
    EXPECT_TRUE(RepairClip(job, clip.path, large.root() / kFrontName));
    EXPECT_EQ(CheckClip(large.root() / kFrontName), ClipCheck::kIntact);
}

TEST(RepairClip, FailuresAndAbortsLeaveNothingBehind) {
    TempDir dir;
    WriteFile(dir / kRearName, std::string(5000, 'x'));
    RepairJob job;
    EXPECT_FALSE(RepairClip(job, dir / kRearName, dir / "out" / kRearName));
    EXPECT_TRUE(!std::filesystem::exists(dir / "out") || std::filesystem::is_empty(dir / "out"));
    EXPECT_FALSE(RepairClip(job, dir / "missing.AVI", dir / "out" / "missing.AVI"));

    // An abort requested before the scan stops it at once.
    const Forged clip = Forge(dir, Spec(kFrontName));
    RepairJob aborted;
    aborted.sourcePath = clip.path;
    aborted.header.resize(396);
    aborted.abort = true;
    EXPECT_EQ(RebuildIndex(aborted), RebuildResult::kAborted);
    EXPECT_FALSE(WriteRepaired(aborted, dir / "aborted.AVI"));
    aborted.abort = false;
    EXPECT_EQ(RebuildIndex(aborted), RebuildResult::kBuilt);
    EXPECT_EQ(aborted.index.size(), clip.report.index.size());
    aborted.abort = true;
    EXPECT_FALSE(WriteRepaired(aborted, dir / "aborted.AVI"));
    EXPECT_FALSE(std::filesystem::exists(dir / "aborted.AVI"));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_FALSE(e.path().filename().string().ends_with(".part")) << e.path();

    // An abort from another thread while the scan is under way: 256 MB of
    // well-formed audio chunks keep the scan busy for many windows, and the
    // flag is set soon after it starts.
    const std::filesystem::path longClip = dir / kFrontName;
    {
        std::ofstream out(longClip, std::ios::binary | std::ios::trunc);
        out << std::string(396, '\0');
        std::string chunk = std::string("01wb") + std::string("\xf8\xff\x00\x00", 4);
        chunk.resize(65536, 'x');
        for (int i = 0; i < 4096; ++i) out << chunk;
        ASSERT_TRUE(out.good());
    }
    RepairJob running;
    running.sourcePath = longClip;
    running.header.resize(396);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        running.abort = true;
    });
    EXPECT_EQ(RebuildIndex(running), RebuildResult::kAborted);
    stopper.join();
    RepairJob whole;
    whole.sourcePath = longClip;
    whole.header.resize(396);
    ASSERT_EQ(RebuildIndex(whole), RebuildResult::kBuilt);
    EXPECT_GT(whole.index.size(), 4000u);
    EXPECT_LT(running.index.size(), whole.index.size()) << "the scan ran to the end";
}

class PrepareForPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Deleted copies go to the trash: keep it inside the scratch folder.
        // (The user's folders of this test program are scratch folders too,
        // see support/test_environment.cpp.)
        saved_data_ = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        // Each test starts without copies (the program's repair folder lives
        // as long as the program, through every test it runs).
        EmptyRepairFolder();
    }
    void TearDown() override {
        EmptyRepairFolder();
        if (saved_data_.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", saved_data_.c_str(), 1);
    }
    static void EmptyRepairFolder() {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(RepairFolder(), ec))
            std::filesystem::remove_all(e.path(), ec);
    }
    // A damaged clip named `name` in `folder` of the scratch folder.
    std::filesystem::path Damaged(const std::string& folder, const char* name, int frames) {
        std::filesystem::create_directories(dir_ / folder);
        cf::ClipSpec spec = Spec(name);
        spec.video.frames = frames;
        spec.damage.indexLost = true;
        const std::filesystem::path p = dir_ / folder / name;
        EXPECT_TRUE(cf::WriteClip(p, spec));
        return p;
    }
    TempDir dir_;
    std::string saved_data_;
};

TEST_F(PrepareForPlaybackTest, PlaysRepairedCopiesOfDamagedClipsOnly) {
    std::filesystem::path copy;
    ASSERT_TRUE(RepairFolderPath(std::string("/x/y/") + kFrontName, copy));
    EXPECT_EQ(copy, RepairFolder() / kFrontName);
    EXPECT_FALSE(RepairFolderPath("", copy));

    const std::filesystem::path damaged = Damaged("card", kFrontName, 60);
    EXPECT_TRUE(NeedsRepairedCopy(damaged));
    RepairJob job;
    std::filesystem::path play;
    ASSERT_TRUE(PrepareForPlayback(job, damaged, play));
    EXPECT_EQ(play, copy);
    EXPECT_TRUE(job.repairedCopyInUse);
    ASSERT_TRUE(std::filesystem::is_regular_file(copy));
    EXPECT_FALSE(NeedsRepairedCopy(damaged));

    // An existing copy of this very clip is reused as it is.
    WriteFile(copy, ReadFile(copy) + "marker");
    ASSERT_TRUE(PrepareForPlayback(job, damaged, play));
    EXPECT_EQ(play, copy);
    EXPECT_EQ(ReadFile(copy).substr(ReadFile(copy).size() - 6), "marker");

    // Once the clip is intact again the stale copy goes.
    ASSERT_TRUE(cf::WriteClip(damaged, Spec(kFrontName)));
    EXPECT_FALSE(NeedsRepairedCopy(damaged));
    ASSERT_TRUE(PrepareForPlayback(job, damaged, play));
    EXPECT_EQ(play, damaged);
    EXPECT_FALSE(job.repairedCopyInUse);
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_FALSE(std::filesystem::exists(IdentityRecordPath(copy)));

    // Not a camera clip: the caller opens the path as it is.
    EXPECT_FALSE(PrepareForPlayback(job, dir_ / "card" / "movie.mp4", play));
    EXPECT_EQ(play, dir_ / "card" / "movie.mp4");
    // Unreadable: passed on for the player to report.
    EXPECT_TRUE(PrepareForPlayback(job, dir_ / "card" / "A___-230715-081522-000777F.AVI", play));
    EXPECT_EQ(play, dir_ / "card" / "A___-230715-081522-000777F.AVI");
}

// The repair folder belongs to this user and this running program: private
// (0700) in the user's cache folder, never a fixed name in the shared
// temporary folder where another account could read the copies, take the
// name first or plant a file.
TEST_F(PrepareForPlaybackTest, TheRepairFolderIsPrivateToTheUserAndTheProgram) {
    std::filesystem::path copy;
    ASSERT_TRUE(RepairFolderPath(kFrontName, copy));
    const std::filesystem::path folder = copy.parent_path();
    EXPECT_NE(folder, std::filesystem::path(platform::TempDirectory()) / "repaired_movie_files");
    EXPECT_EQ(folder.parent_path(), std::filesystem::path(RepairFoldersRoot()));
    EXPECT_EQ(RepairFoldersRoot(), platform::AppCacheDirectory() + "/repaired_movie_files");
    for (const std::filesystem::path& p : {folder, folder.parent_path()}) {
        struct stat st {};
        ASSERT_EQ(::lstat(p.c_str(), &st), 0) << p;
        EXPECT_TRUE(S_ISDIR(st.st_mode)) << p;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << p;
        EXPECT_EQ(st.st_uid, ::geteuid()) << p;
    }
    // Made again, as private, after the copies were deleted.
    std::filesystem::remove_all(folder);
    const std::filesystem::path damaged = Damaged("card", kFrontName, 60);
    RepairJob job;
    std::filesystem::path play;
    ASSERT_TRUE(PrepareForPlayback(job, damaged, play));
    EXPECT_EQ(play, copy);
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// Two damaged clips of one name (another card, another folder): the copy of
// the first is never played for the second.
TEST_F(PrepareForPlaybackTest, ACopyOfAnotherClipOfTheSameNameIsNotPlayed) {
    const std::filesystem::path a = Damaged("card-a", kFrontName, 60);
    const std::filesystem::path b = Damaged("card-b", kFrontName, 45);
    RepairJob job;
    std::filesystem::path play;
    ASSERT_TRUE(PrepareForPlayback(job, a, play));
    const std::string copyOfA = ReadFile(play);
    SourceIdentity recorded;
    ASSERT_TRUE(ReadIdentityRecord(play, recorded));
    SourceIdentity ofA;
    ASSERT_TRUE(ReadSourceIdentity(a, ofA));
    EXPECT_EQ(recorded, ofA);
    EXPECT_EQ(recorded.size, std::filesystem::file_size(a));

    EXPECT_TRUE(NeedsRepairedCopy(b));
    ASSERT_TRUE(PrepareForPlayback(job, b, play));
    EXPECT_TRUE(job.repairedCopyInUse);
    // The copy now is b's, byte for byte what a repair of b writes.
    RepairJob direct;
    const std::filesystem::path expected = dir_ / "b-repaired.AVI";
    ASSERT_TRUE(RepairClip(direct, b, expected));
    EXPECT_EQ(ReadFile(play), ReadFile(expected));
    EXPECT_NE(ReadFile(play), copyOfA);

    // The same clip changed in place (same name, same size, new bytes at its
    // start) is repaired again as well.
    std::string bytes = ReadFile(b);
    bytes[400] = static_cast<char>(bytes[400] ^ 0x5a);
    WriteFile(b, bytes);
    EXPECT_TRUE(NeedsRepairedCopy(b));
}

// A clip opened from inside the repair folder is played as it is: never
// moved to the trash, repaired onto itself or replaced.
TEST_F(PrepareForPlaybackTest, AClipInsideTheRepairFolderIsPlayedAsItIs) {
    std::filesystem::path inside;
    ASSERT_TRUE(RepairFolderPath(kFrontName, inside));
    std::filesystem::create_directories(inside.parent_path());
    ASSERT_TRUE(cf::WriteClip(inside, Spec(kFrontName)));
    const std::string before = ReadFile(inside);
    RepairJob job;
    std::filesystem::path play;
    ASSERT_TRUE(PrepareForPlayback(job, inside, play));
    EXPECT_EQ(play, inside);
    EXPECT_FALSE(job.repairedCopyInUse);
    ASSERT_TRUE(std::filesystem::exists(inside));
    EXPECT_EQ(ReadFile(inside), before);

    // Damaged there: not repaired onto itself either.
    cf::ClipSpec spec = Spec(kRearName);
    spec.damage.indexLost = true;
    std::filesystem::path damagedInside;
    ASSERT_TRUE(RepairFolderPath(kRearName, damagedInside));
    ASSERT_TRUE(cf::WriteClip(damagedInside, spec));
    const std::string damagedBytes = ReadFile(damagedInside);
    EXPECT_FALSE(NeedsRepairedCopy(damagedInside));
    ASSERT_TRUE(PrepareForPlayback(job, damagedInside, play));
    EXPECT_EQ(play, damagedInside);
    EXPECT_EQ(ReadFile(damagedInside), damagedBytes);

    // An intact clip elsewhere whose name matches a file the repair did not
    // make (no record): that file is not the repair's to remove.
    const std::filesystem::path elsewhere = dir_ / "card" / kFrontName;
    std::filesystem::create_directories(elsewhere.parent_path());
    ASSERT_TRUE(cf::WriteClip(elsewhere, Spec(kFrontName)));
    ASSERT_TRUE(PrepareForPlayback(job, elsewhere, play));
    EXPECT_EQ(play, elsewhere);
    EXPECT_EQ(ReadFile(inside), before);
}

TEST(RepairIdentity, RecordsOnlyWhatWasWrittenAndRefusesGarbage) {
    TempDir dir;
    const std::filesystem::path copy = dir / "X.AVI";
    const SourceIdentity id{123456789012ull, 1700000000123456789ll, 0xfedcba9876543210ull};
    ASSERT_TRUE(WriteIdentityRecord(copy, id));
    EXPECT_EQ(IdentityRecordPath(copy), dir / ".X.AVI.source");
    SourceIdentity read;
    ASSERT_TRUE(ReadIdentityRecord(copy, read));
    EXPECT_EQ(read, id);
    for (const char* garbage :
         {"", "size=1\nmodified=2\n", "size=x\nmodified=2\nhead=3\n",
          "size=1\nmodified=-2\nhead=3\n", "size=18446744073709551616\nmodified=2\nhead=3\n"}) {
        WriteFile(IdentityRecordPath(copy), garbage);
        EXPECT_FALSE(ReadIdentityRecord(copy, read)) << garbage;
    }
    WriteFile(IdentityRecordPath(copy), std::string(100000, 's'));
    EXPECT_FALSE(ReadIdentityRecord(copy, read));
    // No copy: nothing is a copy of anything.
    WriteFile(dir / "src.AVI", "source");
    EXPECT_FALSE(IsRepairedCopyOf(dir / "none.AVI", dir / "src.AVI"));
}

}  // namespace
}  // namespace trivexa
