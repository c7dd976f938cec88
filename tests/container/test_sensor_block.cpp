// Placing the sensor block: by the trailer's slot count (clip reader,
// integrity check) and by the loader's search of the file's last quarter.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "container/mapped_file.h"
#include "container/sensor_block.h"

namespace trivexa {
namespace {

std::vector<std::byte> Trailer(std::string_view magic, std::uint32_t slotCount) {
    std::vector<std::byte> t(sensor::kTrailerSize, std::byte{' '});
    std::memcpy(t.data(), magic.data(), magic.size());
    StoreBe32(t.data() + sensor::kTrailerCountOffset, slotCount);
    return t;
}

TEST(SensorBlockPlace, TrailerCountPlacesTheHeaderOrNothingWhenItCannotFit) {
    const sensor::Trailer t = sensor::ReadTrailer(Trailer("CSMEND", 3));
    EXPECT_TRUE(t.present);
    EXPECT_EQ(t.slotCount, 3u);
    EXPECT_FALSE(sensor::ReadTrailer(Trailer("CSMENX", 3)).present);
    EXPECT_FALSE(sensor::ReadTrailer(std::vector<std::byte>(10)).present);  // too short

    EXPECT_EQ(sensor::BlockSize(3), 40u + 3 * 130 + 28);
    EXPECT_EQ(sensor::BlockStartByTrailer(3, 1000), 1000u - 458);
    EXPECT_EQ(sensor::BlockStartByTrailer(3, 458), 0u);
    EXPECT_FALSE(sensor::BlockStartByTrailer(3, 457));
    // The largest count is sized in 64 bits: it fits no real file.
    EXPECT_FALSE(sensor::BlockStartByTrailer(0xFFFFFFFFu, std::uint64_t{1} << 38));
}

TEST(SensorBlockPlace, UsualPlaceAndSearchStart) {
    EXPECT_FALSE(sensor::UsualBlockStart(sensor::kUsualBlockSize));
    EXPECT_EQ(sensor::UsualBlockStart(sensor::kUsualBlockSize + 7), 7u);
    EXPECT_EQ(sensor::SearchStart(400), 300u);
    EXPECT_EQ(sensor::SearchStart(7), 5u);  // three quarters, rounded down
    const std::uint64_t huge = ~std::uint64_t{0};
    EXPECT_EQ(sensor::SearchStart(huge), huge / 4 * 3 + 2);  // no overflow
}

TEST(SensorBlockPlace, SearchTestsOnlyRecordStepsBackFromTheSmallestBlock) {
    // A window of 1000 bytes: candidates at 932, 802, 672, ... 22.
    std::vector<std::byte> w(1000, std::byte{'x'});
    auto put = [&](std::size_t at) { std::memcpy(w.data() + at, "CSMDAT", 6); };
    EXPECT_FALSE(sensor::SearchBlockStart(w.data(), w.size()));
    put(22);
    EXPECT_EQ(sensor::SearchBlockStart(w.data(), w.size()), 22u);
    put(672);
    EXPECT_EQ(sensor::SearchBlockStart(w.data(), w.size()), 672u);  // the last one wins
    put(700);  // off the record steps: never looked at
    EXPECT_EQ(sensor::SearchBlockStart(w.data(), w.size()), 672u);
    put(932);
    EXPECT_EQ(sensor::SearchBlockStart(w.data(), w.size()), 932u);
    // Too short for header and trailer.
    EXPECT_FALSE(sensor::SearchBlockStart(w.data(), sensor::kBlockOverhead));
}

}  // namespace
}  // namespace trivexa
