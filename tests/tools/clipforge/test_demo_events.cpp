// The demo card read back as the viewer reads it: its sensor reader, frame
// map, event list, graph runs and map markers. Each event the README
// promises is found in the recording named after it, and nowhere else; and
// the trip panel's time of every frame is the stamp on its picture.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "container/avi_reader.h"
#include "container/sensor_reader.h"
#include "forge_test_util.h"
#include "map/core/event_markers.h"
#include "panels/core/graph_plot.h"
#include "panels/core/graph_rules.h"
#include "panels/core/sensor_view.h"
#include "panels/core/trip_rules.h"

namespace trivexa::clipforge::testing {
namespace {

namespace fs = std::filesystem;

// One front clip of the card as the main window holds it after the open.
struct Opened {
    SensorReader reader;
    SensorView view;
    GraphEventList events;
    // Runs per category as the graph draws them: each series on its own.
    std::map<EventCategory, int> runs;

    explicit Opened(const fs::path& clip) {
        EXPECT_TRUE(reader.Init());
        const std::optional<ClipTiming> timing = ReadTiming(clip);
        EXPECT_TRUE(timing.has_value()) << clip;
        EXPECT_TRUE(reader.Load(clip.string())) << clip;
        if (!timing) return;
        const auto frames = static_cast<std::int32_t>(
            std::lround(timing->durationSeconds * 1000.0 / timing->frameIntervalMs));
        reader.SetVideoMsPerFrame(static_cast<float>(timing->frameIntervalMs));
        EXPECT_TRUE(reader.BuildFrameMap(frames)) << clip;
        view = SensorView::Of(reader);
        events = BuildGraphEventList(view, kAllSeries);
        for (int series = 0; series < kGraphSeriesCount; ++series) {
            EventCategory before = EventCategory::None;
            for (std::int64_t f = 0; f < static_cast<std::int64_t>(view.frameMap.size()); ++f) {
                const AccelEntry* e = view.EntryAt(f);
                const EventCategory c = e ? ClassifyEntry(series, *e) : EventCategory::None;
                if (c != EventCategory::None && c != before) ++runs[c];
                before = c;
            }
        }
    }
    ~Opened() { reader.Shutdown(); }

    std::set<EventCategory> Listed() const {
        std::set<EventCategory> out;
        for (const GraphEvent& e : events) out.insert(e.category);
        return out;
    }
    const GraphEvent* First(EventCategory c) const {
        for (const GraphEvent& e : events)
            if (e.category == c) return &e;
        return nullptr;
    }
};

class DemoCardEvents : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new trivexa::test::TempDir;
        DemoOptions options;
        options.content = VideoContent::Synthetic;
        ok_ = WriteDemoCard(dir_->path() / "demo", &error_, options);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(ok_) << error_; }
    static fs::path Front(const char* top, const char* name) {
        return dir_->path() / "demo" / top / "Front" / name;
    }

    static inline trivexa::test::TempDir* dir_ = nullptr;
    static inline bool ok_ = false;
    static inline std::string error_;
};

using C = EventCategory;

// The shock: one jolt on the Z axis, listed once at the frame that first
// shows its record, with a map marker there; the clip shows nothing else.
TEST_F(DemoCardEvents, ShockIsOneZAxisEventWithItsMapMarker) {
    Opened shock(Front("Normal", "AG__-240518-093030-000101F.AVI"));
    ASSERT_EQ(shock.events.size(), 1u);
    const GraphEvent& e = shock.events[0];
    EXPECT_EQ(e.category, C::ShockZ);
    EXPECT_EQ(e.recordIndex, 112u);
    EXPECT_GT(e.frame, 0);
    EXPECT_EQ(shock.view.EntryAt(e.frame)->index, 112u);
    EXPECT_NE(shock.view.EntryAt(e.frame - 1)->index, 112u);
    EXPECT_LT(shock.view.EntryAt(e.frame)->z, -2.0);
    const auto markers = map::EventMarkers(shock.events, shock.view, kAllSeries, 0);
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_EQ(markers[0].ipos, e.frame);
    EXPECT_EQ(markers[0].icon, static_cast<int>(map::MarkerIcon::kShockDescent));
}

TEST_F(DemoCardEvents, EachDriveClipListsTheEventItIsNamedAfter) {
    Opened plain(Front("Normal", "A__S-240518-093000-000100F.AVI"));
    EXPECT_TRUE(plain.events.empty());
    EXPECT_TRUE(plain.runs.empty());

    Opened manual(Front("Normal", "AM__-240518-093100-000102F.AVI"));
    EXPECT_EQ(manual.Listed(), std::set<C>{C::Manual});
    ASSERT_NE(manual.First(C::Manual), nullptr);
    EXPECT_EQ(manual.First(C::Manual)->recordIndex, 140u);

    Opened closing(Front("Normal", "AD__-240518-093130-000103F.AVI"));
    EXPECT_EQ(closing.Listed(), std::set<C>{C::ApproachingVehicle});
    EXPECT_EQ(closing.runs[C::ApproachingVehicle], 1);
    ASSERT_NE(closing.First(C::ApproachingVehicle), nullptr);
    EXPECT_EQ(closing.First(C::ApproachingVehicle)->recordIndex, 60u);

    Opened braking(Front("Normal", "A___-240518-093200-000104F.AVI"));
    EXPECT_EQ(braking.Listed(), (std::set<C>{C::SuddenBraking, C::Overspeed}));
    EXPECT_EQ(braking.runs[C::SuddenBraking], 1);
    ASSERT_NE(braking.First(C::SuddenBraking), nullptr);
    EXPECT_EQ(braking.First(C::SuddenBraking)->recordIndex, 80u);
    // Every listed event of the drive has a marker on the map.
    for (const Opened* o : {&manual, &closing, &braking})
        EXPECT_EQ(map::EventMarkers(o->events, o->view, kAllSeries, 0).size(), o->events.size());

    Opened lapse(Front("Normal", "T__S-240518-140000-000107F.AVI"));
    EXPECT_TRUE(lapse.events.empty());
}

// Parked: the quiet recording shows nothing; the knock is a Y-axis shock and
// a parking shock on the graph.
TEST_F(DemoCardEvents, ParkingKnockShowsAsShockAndParkingShock) {
    Opened quiet(Front("Parking", "P__S-240518-130512-000105F.AVI"));
    EXPECT_TRUE(quiet.runs.empty());
    Opened knock(Front("Parking", "PG__-240518-132040-000106F.AVI"));
    EXPECT_EQ(knock.runs, (std::map<C, int>{{C::ShockY, 1}, {C::ParkingShock, 1}}));
    ASSERT_NE(knock.First(C::ShockY), nullptr);
    EXPECT_EQ(knock.First(C::ShockY)->recordIndex, 82u);
}

// The trip panel's time agrees with the stamp the recorder draws on every
// picture: each frame of a 30 fps clip and of a time-lapse clip (a picture a
// second, shown at 14.985 frames a second).
TEST(DemoStamps, TripPanelTimeIsThePicturesStampOnEveryFrame) {
    struct Clip {
        std::uint32_t rate, scale;
        int frames;
        bool timeLapse;
    };
    for (const Clip& c : {Clip{30, 1, 901, false}, Clip{14985, 1000, 240, true}}) {
        const double fps = static_cast<double>(c.rate) / c.scale;
        VideoSpec spec;
        spec.width = 320;
        spec.height = 180;
        spec.rate = c.rate;
        spec.scale = c.scale;
        spec.frames = c.frames;
        RoadScene scene;
        scene.recordSeconds = c.timeLapse ? 1.0 / fps : 0.1;
        scene.clockScale = c.timeLapse ? fps : 1.0;
        scene.start = DateTime{2024, 5, 18, 14, 1, 0};
        spec.scene = scene;

        TripValues v;
        v.dataValid = true;
        v.startTime.year = 2024;
        v.startTime.month = 5;
        v.startTime.day = 18;
        v.startTime.hour = 14;
        v.startTime.minute = 1;
        v.frameInterval = static_cast<float>(1000.0 / fps);  // as the player holds it
        v.frameRate = c.rate;
        v.frameScale = c.scale;
        v.timeLapse = c.timeLapse;

        std::vector<int> numbers(static_cast<size_t>(c.frames));
        for (int f = 0; f < c.frames; ++f) numbers[static_cast<size_t>(f)] = f;
        int wrong = 0;
        for (int from = 0; from < c.frames && wrong <= 5; from += 60) {
            const std::vector<int> batch(numbers.begin() + from,
                                         numbers.begin() + std::min(from + 60, c.frames));
            const auto pictures = DrawSceneFrames(spec, batch);
            ASSERT_EQ(pictures.size(), batch.size());
            for (size_t i = 0; i < batch.size(); ++i) {
                v.frame = batch[i];
                const auto stamp = ReadSceneStamp(pictures[i], 320, 180, 320);
                ASSERT_TRUE(stamp) << "frame " << batch[i];
                if (FrameDateText(v) != stamp) {
                    ADD_FAILURE() << c.rate << "/" << c.scale << " frame " << batch[i] << ": "
                                  << FrameDateText(v).value_or("(none)") << " over " << *stamp;
                    ++wrong;
                }
            }
        }
    }
}

}  // namespace
}  // namespace trivexa::clipforge::testing
