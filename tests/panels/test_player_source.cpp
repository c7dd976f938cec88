// The graph reading the data camera's sensor data through the player pair:
// a front clip opened and its data loaded by the players, as the main window
// does, then queried and painted through PlayerPairSensorSource.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <thread>

#include "app/messages/posted_message.h"
#include "panels/forge_recording.h"
#include "panels/gsensor_dlg.h"
#include "panels/player_sensor_source.h"
#include "panels_test_util.h"
#include "playback/frame_sink.h"
#include "playback/player_pair.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

// Stands in for a video surface: counts the players' posted messages.
class Surface : public QObject {
public:
    int ready = 0;
    bool event(QEvent* e) override {
        if (const auto* m = AsPostedMessage(e)) {
            ready += m->message() == UM_ENGINE_READY ? 1 : 0;
            return true;
        }
        return QObject::event(e);
    }
};

bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > 20000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST(PlayerSensorSource, GraphReadsTheDataCamera) {
    REQUIRE_DISPLAY();
    test::ScaleAndFonts scale(1.0f);
    test::TempDir dir;
    test::RecordingSpec spec;
    spec.frames = 150;  // 5 s
    spec.records = 50;
    spec.realVideo = true;
    spec.marks = {10, 15, 40, 20, 25, 30, 35, -1, -1};  // overspeed last, to the end
    const auto clip = test::WriteRecording(dir.path(), spec);
    ASSERT_FALSE(clip.empty());

    Surface surfaces[2];
    MemoryFrameSink sinks[2];
    PlayerPair pair;
    ASSERT_TRUE(pair.Player(Camera::Front).Initialise(&surfaces[0], &sinks[0]));
    ASSERT_TRUE(pair.Player(Camera::Rear).Initialise(&surfaces[1], &sinks[1]));
    PlayerPairSensorSource source(pair);
    CGSensorDlg graph;
    graph.resize(656, 143);
    graph.SetSensorSource(&source);

    // No data camera yet: an empty view, no entries, no events.
    source.Read([](const SensorView& view) { EXPECT_TRUE(view.accels.empty()); });
    GraphEventList none;
    EXPECT_FALSE(graph.QueryEvent(none, 0, kSeriesX));
    EXPECT_EQ(graph.EntryAt(0), std::nullopt);

    ASSERT_EQ(pair.OpenBoth(clip.string(), ""), PairOpenResult::kOpened);
    ASSERT_TRUE(WaitUntil([&] { return surfaces[0].ready == 1; }));
    ASSERT_TRUE(pair.LoadData(clip.string(), ""));
    ASSERT_EQ(pair.DataCamera(), Camera::Front);

    EXPECT_EQ(graph.PrepareData(), 3);  // the shock's 1.85 G
    const GraphEventList events = graph.BuildEventList();
    std::vector<EventCategory> found;
    for (const GraphEvent& e : events) found.push_back(e.category);
    using C = EventCategory;
    EXPECT_EQ(found, (std::vector<C>{C::ShockY, C::Manual, C::ApproachingVehicle, C::SuddenBraking,
                                     C::SuddenAcceleration, C::SuddenSteering, C::Overspeed}));
    const std::optional<AccelEntry> entry = graph.EntryAt(100);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->index, 33u);  // record 33 is shown from frame 100 (a step after it starts)
    // The fan-out holds both players' locks while it calls the graph.
    pair.WithBothReaders([&](MoviePlayer::Readers, MoviePlayer::Readers) {
        EXPECT_TRUE(graph.EntryAt(149).has_value());
        EXPECT_TRUE(graph.PositionAt(100).has_value());
    });
    ASSERT_TRUE(test::ShowAndWait(&graph));
    graph.SetCursorCount(150);
    graph.SetCursorPosition(75);
    test::Grab(&graph);
    EXPECT_GT(graph.LastPlot().entriesDrawn, 40);
    test::SaveShot(&graph, "graph_through_players");

    ASSERT_TRUE(pair.ReleaseDataBoth());
    EXPECT_EQ(graph.EntryAt(100), std::nullopt);
    pair.CloseBoth();
}

}  // namespace
}  // namespace trivexa
