// The graph's plot and event query and the trip panel's read-outs on sensor
// entries decoded from arbitrary bytes. The first bytes choose the file name,
// the panel's width and scale, the cursor and the trip panel's values; the
// frame map is made from the input too, so it may name entries that do not
// exist, be shorter or longer than the entries, or be empty.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "panels/core/graph_plot.h"
#include "panels/core/trip_rules.h"

namespace {

constexpr const char* kNames[] = {
    "A___-230715-081522-000001F.AVI",
    "T___-230715-081522-000001F.AVI",
    "P___-230715-081522-000001F.AVI",
    "A_TS-230715-081522-000001F.AVI",
};
constexpr float kScales[] = {1.0f, 0.5f, 1.5f, 2.0f, 0.0f, -1.0f, 1e-3f, 7.9f};

// Reads the input front to back; zeros once it is used up.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t Word() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return v;
    }
    double Double() {
        std::uint64_t bits = static_cast<std::uint64_t>(Word()) << 32 | Word();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trivexa;
    if (size < 16) return 0;
    Reader in(data, 16);
    const std::uint8_t selector = in.Byte();
    const std::span<const std::byte> block(reinterpret_cast<const std::byte*>(data + 16),
                                           size - 16);
    SensorBlockData decoded;
    DecodeSensorBlock(block, kNames[selector & 3], decoded);

    // A frame map: several frames per entry, with slots the input spoils.
    const int frames = (in.Byte() << 8 | in.Byte()) % 20000;
    const int perEntry = 1 + in.Byte() % 4;
    std::vector<std::int32_t> map(static_cast<std::size_t>(frames));
    const std::uint8_t spoil = in.Byte();
    for (int f = 0; f < frames; ++f) {
        map[static_cast<std::size_t>(f)] = f / perEntry;
        if (spoil != 0 && f % (spoil + 1) == 0) map[static_cast<std::size_t>(f)] = spoil - 128;
    }
    SensorView view;
    view.accels = decoded.accels;
    view.positions = decoded.positions;
    view.frameMap = map;
    view.largestAccel = decoded.accels.empty() ? 0.0 : decoded.accels.front().x;

    GraphPlotInput plot;
    plot.s = kScales[(selector >> 2) & 7];
    plot.clientWidth = static_cast<int>(in.Byte()) * 8 - 100;
    plot.clientHeight = static_cast<int>(in.Byte()) - 20;
    plot.leftMargin = static_cast<int>(in.Byte()) - 40;
    plot.scaleMode = ScaleModeFor(view.largestAccel);
    plot.cursorPosition = static_cast<int>(in.Word());
    const std::uint8_t hidden = in.Byte();
    for (int i = 0; i < kGraphSeriesCount; ++i) plot.shown[i] = ((hidden >> (i % 8)) & 1) == 0;
    const GraphPlot result = PlotGraph(plot, view);
    for (const auto& line : result.lines)
        for (const GraphPoint& p : line)
            if (p.y < result.geometry.centre - result.geometry.edge ||
                p.y > result.geometry.centre + result.geometry.edge)
                __builtin_trap();
    for (const GraphSpan& span : result.band)
        if (span.x < plot.leftMargin || span.x + span.width > plot.clientWidth) __builtin_trap();
    LayoutMarkers(result, plot.leftMargin, plot.s, kScales[selector >> 5]);
    const GraphEventList events = BuildGraphEventList(view, plot.shown);
    (void)events;
    (void)CursorX(plot.clientWidth, plot.leftMargin, plot.cursorPosition, frames);
    (void)LegendTileXs(plot.clientWidth, plot.leftMargin, plot.s);

    // The trip panel at a few frames.
    TripValues v;
    v.dataValid = true;
    v.startTime = RecordingDateTime(kNames[selector & 3]);
    v.frameInterval = static_cast<float>(in.Double());
    v.timeLapse = (selector & 0x10) != 0;
    v.speedShown = v.receptionShown = v.voltageEnabled = v.voltageShown = true;
    for (int f : {0, frames / 2, frames - 1, frames + 5, -1}) {
        const AccelEntry* entry = view.EntryAt(f);
        ApplyFrameRecord(v, entry, entry != nullptr ? view.PositionOf(*entry) : nullptr);
        v.frame = f;
        (void)FrameDateText(v);
        (void)AccelText(v.x);
        (void)AccelText(v.y);
        (void)SpeedText(v);
        (void)VoltageText(v);
        (void)MicPicture(v.mic);
    }
    return 0;
}
