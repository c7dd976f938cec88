// The clip layouts land at the documented offsets, the movi chunks, the idx1
// index and the sensor block agree with each other, and each kind of damage
// leaves exactly the marks the integrity check looks for.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "forge_test_util.h"

namespace trivexa::clipforge::testing {
namespace {

using trivexa::test::ReadFile;
using trivexa::test::TempDir;

struct Walked {
    int video = 0, audio = 0;
    std::vector<size_t> offsets;  // file offsets of chunk fourccs
};

// Walks the movi list chunk by chunk from its first chunk to its end.
Walked WalkMovi(const std::string& b, size_t moviFourcc) {
    Walked w;
    size_t end = moviFourcc + Le32(b, moviFourcc - 4);
    size_t p = moviFourcc + 4;
    while (p + 8 <= end) {
        std::string cc = b.substr(p, 4);
        uint32_t size = Le32(b, p + 4);
        EXPECT_TRUE(cc == "00dc" || cc == "01wb") << "at " << p;
        (cc == "00dc" ? w.video : w.audio)++;
        w.offsets.push_back(p);
        p += 8 + size + (size & 1);
    }
    EXPECT_EQ(p, end);
    return w;
}

TEST(ClipLayout, FullLayoutFieldsAndChunksAgree) {
    TempDir dir;
    ClipSpec spec = SmallClip("A___-230715-081522-000001F.AVI", 30);
    spec.video.content = VideoContent::Synthetic;
    ClipReport rep;
    ASSERT_TRUE(WriteClip(dir / spec.name, spec, &rep));
    const std::string b = ReadFile(dir / spec.name);
    ASSERT_EQ(b.size(), rep.fileSize);

    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(b.substr(8, 4), "AVI ");
    EXPECT_EQ(b.substr(12, 4), "LIST");
    EXPECT_EQ(b.substr(20, 4), "hdrl");
    EXPECT_EQ(b.substr(24, 4), "avih");
    EXPECT_EQ(Le32(b, 28), 56u);
    EXPECT_EQ(Le32(b, 32), 33333u);  // microseconds per frame at 30 fps
    EXPECT_EQ(Le32(b, 48), 30u);     // total frames
    EXPECT_EQ(Le32(b, 56), 2u);      // streams
    EXPECT_EQ(Le32(b, 64), 160u);
    EXPECT_EQ(Le32(b, 68), 96u);
    EXPECT_EQ(b.substr(88, 4), "LIST");
    EXPECT_EQ(b.substr(96, 4), "strl");
    EXPECT_EQ(b.substr(100, 4), "strh");
    EXPECT_EQ(b.substr(108, 4), "vids");
    EXPECT_EQ(Le32(b, 128), 1u);   // scale
    EXPECT_EQ(Le32(b, 132), 30u);  // rate
    EXPECT_EQ(Le32(b, 140), 30u);  // length in frames
    EXPECT_EQ(b.substr(164, 4), "strf");
    EXPECT_EQ(Le32(b, 176), 160u);
    EXPECT_EQ(Le32(b, 180), 96u);
    EXPECT_EQ(b.substr(188, 4), "H264");
    EXPECT_EQ(b.substr(212, 4), "LIST");
    EXPECT_EQ(b.substr(220, 4), "strl");
    EXPECT_EQ(b.substr(224, 4), "strh");
    EXPECT_EQ(b.substr(232, 4), "auds");
    EXPECT_EQ(b.substr(288, 4), "strf");
    EXPECT_EQ(Le16(b, 296), 1);      // PCM
    EXPECT_EQ(Le16(b, 298), 1);      // mono
    EXPECT_EQ(Le32(b, 300), 8000u);  // samples per second
    EXPECT_EQ(Le32(b, 304), 16000u);
    EXPECT_EQ(Le16(b, 308), 2);
    EXPECT_EQ(Le16(b, 310), 16);
    EXPECT_EQ(b.substr(384, 4), "LIST");
    EXPECT_EQ(b.substr(392, 4), "movi");
    EXPECT_EQ(b.substr(396, 4), "00dc");
    EXPECT_EQ(b.substr(404, 4), std::string("\0\0\0\1", 4));

    Walked w = WalkMovi(b, 392);
    EXPECT_EQ(w.video, 30);
    EXPECT_EQ(w.audio, 3);        // one chunk per ten frames
    EXPECT_EQ(Le32(b, 264), 3u);  // audio length in chunks

    // idx1 directly after the movi list; the RIFF size ends with it.
    const size_t idx = 392 + Le32(b, 388);
    EXPECT_EQ(b.substr(idx, 4), "idx1");
    const uint32_t idxSize = Le32(b, idx + 4);
    EXPECT_EQ(idxSize, 16u * w.offsets.size());
    EXPECT_EQ(Le32(b, 4) + 8, idx + 8 + idxSize);
    for (size_t i = 0; i < w.offsets.size(); ++i) {
        size_t e = idx + 8 + 16 * i;
        EXPECT_EQ(b.substr(e, 4), b.substr(w.offsets[i], 4));
        EXPECT_EQ(392 + Le32(b, e + 8), w.offsets[i]);
        EXPECT_EQ(Le32(b, e + 12), Le32(b, w.offsets[i] + 4));
        bool key = (Le32(b, e + 4) & 0x10) != 0;
        if (b.substr(e, 4) == "00dc") {
            uint8_t nal = static_cast<uint8_t>(b[w.offsets[i] + 12]) & 0x1F;
            EXPECT_EQ(key, nal == 7 || nal == 5) << "entry " << i;
        }
    }
    EXPECT_EQ(Le32(b, idx + 8 + 8), 4u);  // the first chunk sits right after "movi"

    // Sensor block at the end: header, records, trailer with the count.
    const size_t n = static_cast<size_t>(rep.sensorRecords);
    ASSERT_EQ(n, 10u);  // one second of video, a record every 100 ms
    const size_t blk = b.size() - (68 + 130 * n);
    EXPECT_EQ(blk, idx + 8 + idxSize);
    EXPECT_EQ(b.substr(blk, 6), "CSMDAT");
    EXPECT_EQ(Be16(b, blk + 38), n);
    EXPECT_EQ(b.substr(b.size() - 28, 6), "CSMEND");
    EXPECT_EQ(b.substr(b.size() - 22, 8), "PL21-XQR");
    EXPECT_EQ(Be32(b, b.size() - 12), n);
}

TEST(ClipLayout, ShortLayoutForTimeLapseHasNoAudio) {
    TempDir dir;
    // No name given: the file name decides the layout.
    ClipSpec spec = SmallClip("", 30);
    spec.video.content = VideoContent::Synthetic;
    spec.video.rate = 55;  // 27.5 fps
    spec.video.scale = 2;
    ClipReport rep;
    const fs::path path = dir / "T___-230715-081522-000002F.AVI";
    ASSERT_TRUE(WriteClip(path, spec, &rep));
    const std::string b = ReadFile(path);
    EXPECT_EQ(rep.layout, Layout::Short);
    EXPECT_EQ(Le32(b, 32), 36364u);
    EXPECT_EQ(Le32(b, 56), 1u);
    EXPECT_EQ(Le32(b, 128), 2u);
    EXPECT_EQ(Le32(b, 132), 55u);
    EXPECT_EQ(b.substr(212, 4), "JUNK");
    EXPECT_EQ(b.substr(280, 4), "LIST");
    EXPECT_EQ(b.substr(288, 4), "movi");
    EXPECT_EQ(b.substr(292, 4), "00dc");
    Walked w = WalkMovi(b, 288);
    EXPECT_EQ(w.video, 30);
    EXPECT_EQ(w.audio, 0);
    EXPECT_EQ(b.substr(288 + Le32(b, 284), 4), "idx1");
    // 30 frames at 27.5 fps = 1091 ms, a record every 66.67 ms.
    EXPECT_EQ(rep.sensorRecords, 17);
}

TEST(ClipLayout, DamageLeavesTheExpectedMarks) {
    TempDir dir;
    auto write = [&](const std::string& seq, auto&& tweak) {
        ClipSpec s = SmallClip("A___-230715-081522-" + seq + "F.AVI", 20);
        s.video.content = VideoContent::Synthetic;
        tweak(s.damage);
        ClipReport r;
        EXPECT_TRUE(WriteClip(dir / s.name, s, &r));
        return std::make_pair(ReadFile(dir / s.name), r);
    };
    auto [intact, ir] = write("000001", [](Damage&) {});

    {  // Power loss: no sizes, no index, no block, last chunk cut short.
        auto [b, r] = write("000002", [](Damage& d) { d.indexLost = true; });
        EXPECT_EQ(Le32(b, 4), 0u);
        EXPECT_EQ(Le32(b, 388), 0u);
        EXPECT_EQ(Le32(b, 48), 0u);
        EXPECT_EQ(b.find("idx1"), std::string::npos);
        EXPECT_EQ(b.find("CSMDAT"), std::string::npos);
        size_t last = r.chunkOffsets.back();
        EXPECT_LT(b.size(), last + 8 + Le32(b, last + 4));
        EXPECT_GT(b.size(), last + 8);
        EXPECT_EQ(b.substr(396, last - 396), intact.substr(396, last - 396));
    }
    {  // Index missing, sizes intact: the block follows the movi list.
        auto [b, r] = write("000003", [](Damage& d) { d.missingIndex = true; });
        EXPECT_EQ(b.substr(392 + Le32(b, 388), 6), "CSMDAT");
        EXPECT_TRUE(r.index.empty());
    }
    {
        auto [b, r] = write("000004", [](Damage& d) { d.riffSizeZero = true; });
        EXPECT_EQ(Le32(b, 4), 0u);
        EXPECT_EQ(b.size(), intact.size());
    }
    {  // Index whose size field holds no whole entry.
        auto [b, r] = write("000005", [](Damage& d) { d.indexSizeField = 8; });
        EXPECT_EQ(Le32(b, 392 + Le32(b, 388) + 4), 8u);
    }
    {  // Cut in the middle of chunk 7's data.
        auto [b, r] = write("000006", [](Damage& d) { d.truncateInChunk = 7; });
        size_t c = r.chunkOffsets[7];
        EXPECT_GT(b.size(), c + 8);
        EXPECT_LT(b.size(), c + 8 + Le32(b, c + 4));
        EXPECT_EQ(b, intact.substr(0, b.size()));
    }
    {
        auto [b, r] = write("000007", [](Damage& d) { d.brokenStartCodeFrame = 5; });
        EXPECT_EQ(b.substr(r.chunkOffsets[5] + 8, 4), std::string("\0\0\0\2", 4));
        EXPECT_EQ(b.substr(r.chunkOffsets[6] + 8, 4), std::string("\0\0\0\1", 4));
    }
    {
        auto [b, r] = write("000008", [](Damage& d) { d.tinyVideoFrame = 4; });
        size_t c = r.chunkOffsets[4];
        EXPECT_EQ(b.substr(c, 4), "00dc");
        EXPECT_EQ(Le32(b, c + 4), 16u);
        EXPECT_EQ(b.substr(c + 8, 4), std::string("\0\0\0\1", 4));
    }
    {  // Nothing maps an empty file, not even as root; others cannot open it.
        auto [b, r] = write("000009", [](Damage& d) { d.unreadable = true; });
        fs::path p = dir / "A___-230715-081522-000009F.AVI";
        EXPECT_EQ(fs::file_size(p), 0u);
        int fd = open(p.c_str(), O_RDONLY);
        if (fd >= 0) {
            EXPECT_EQ(mmap(nullptr, 0, PROT_READ, MAP_SHARED, fd, 0), MAP_FAILED);
            close(fd);
        }
    }
}

TEST(ClipLayout, WritesThroughATemporaryNameAndFailsCleanly) {
    TempDir dir;
    ClipSpec spec = SmallClip("A___-230715-081522-000001F.AVI", 5);
    spec.video.content = VideoContent::Synthetic;
    std::string error;
    EXPECT_FALSE(WriteClip(dir / "missing-folder" / spec.name, spec, nullptr, &error));
    EXPECT_FALSE(error.empty());
    spec.video.width = 7;  // too small to carry the frame number
    EXPECT_FALSE(WriteClip(dir / spec.name, spec, nullptr, &error));
    EXPECT_FALSE(fs::exists(dir / spec.name));
    spec.video.width = 160;
    ASSERT_TRUE(WriteClip(dir / spec.name, spec));
    int files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);  // no temporary left behind
}

}  // namespace
}  // namespace trivexa::clipforge::testing
