// The map bridge's display-free rules: the message and calls it sends to the
// page, the track arrays, the event markers, the tile settings and the
// decisions about the map window.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "map/core/event_markers.h"
#include "map/core/json_holder.h"
#include "map/core/map_rules.h"
#include "map/core/map_script.h"
#include "map/core/map_settings.h"
#include "map/core/track_array.h"
#include "support/test_support.h"

namespace trivexa::map {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(MapMessage, KeysArriveInOrderWhateverTheInsertionOrder) {
    CJsonHolder holder;
    EXPECT_EQ(StateMessage(holder, 35.6812, 139.7671, "pause"),
              R"({"map_lat":"35.681200","map_lng":"139.767100","map_status":"pause",)"
              R"("val_command":"update","val_end":""})");
    // The holder is emptied first: a message never carries an older key.
    holder.Insert("zzz", "old", ",");
    EXPECT_EQ(StateMessage(holder, -33.5, -70.25, ""),
              R"({"map_lat":"-33.500000","map_lng":"-70.250000","map_status":"",)"
              R"("val_command":"update","val_end":""})");

    CJsonHolder other;
    other.Insert("b", "2", "");
    other.Insert("a", "1", ",");
    other.Insert("a", "one", ",");  // replaces
    EXPECT_EQ(other.Text(), R"({"a":"one","b":"2"})");
    // Nothing can break out of a value.
    other.Insert("a", "x\"}\\\n", ",");
    EXPECT_EQ(other.Text(), R"({"a":"x\"}\\\u000a","b":"2"})");
}

TEST(MapMessage, NumbersUseAPointInEveryLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old != nullptr ? old : "C";
    // A locale with a decimal comma, when the machine has one.
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr ||
                       std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr;
    EXPECT_EQ(FormatFixed6(35.6812), "35.681200");
    EXPECT_EQ(FormatFixed6(-0.0000004), "-0.000000");
    EXPECT_EQ(FormatFixed6(720.0), "720.000000");
    EXPECT_EQ(FormatFixed6(1e20), "100000000000000000000.000000");
    EXPECT_EQ(FormatFixed6(kNaN), "nan");
    EXPECT_EQ(FormatFixed6(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(FormatFixed6(std::numeric_limits<double>::max()).size(), 309u + 7u);
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!comma) GTEST_LOG_(INFO) << "no locale with a decimal comma installed";
}

TEST(MapCalls, RedrawAndTheValuesEachCallReads) {
    EXPECT_EQ(
        RedrawCalls(3, true),
        (std::vector<std::string>{"cplist.ClearCrashPos()", "orbitgrplist.RemoveLineList()",
                                  "orbitgrplist.CreateLine()", "orbitgrplist.CreateGridLine(3)"}));
    EXPECT_EQ(RedrawCalls(-1, false),
              (std::vector<std::string>{"cplist.ClearCrashPos()", "orbitgrplist.RemoveLineList()",
                                        "orbitgrplist.CreateGridLine(-1)"}));

    const HostValues none;
    const HostValues group = HostValues().Add(HostValue::kGroupTrack);
    const HostValues grid = HostValues().Add(HostValue::kRecordingTrack).Add(HostValue::kPosition);
    const HostValues frame = HostValues().Add(HostValue::kPosition);
    const struct {
        const char* script;
        HostValues reads;
    } table[] = {
        {"orbitgrplist.CreateLine()", group},
        {" orbitgrplist.CreateGridLine(0)", grid},
        {"orbitgrplist.MoveMarker()", frame},
        {"cplist.ClearCrashPos()", none},
        {"orbitgrplist.RemoveLineList()", none},
        {"cplist.AddCrashPos(2,0.1,0.2,0.3,0,0,5,35.0,139.0,1,40.0,0.0)", none},
        {"somethingElse()", frame},
    };
    for (const auto& row : table) EXPECT_EQ(ReadsOf(row.script), row.reads) << row.script;
    EXPECT_EQ(HostValueName(HostValue::kRecordingTrack), "JS2C_GetGridData");
    EXPECT_EQ(HostValueName(HostValue::kGroupTrack), "JS2C_GetGPSData");
}

PositionEntry Pos(double lat, double lng, bool valid, int time) {
    PositionEntry e;
    e.latitude = lat;
    e.longitude = lng;
    e.valid = valid;
    e.frame = time;
    return e;
}

TEST(TrackArrays, ValidPlacesOnlyAndTheCount) {
    const std::vector<PositionEntry> entries = {
        Pos(35.0, 139.0, 1, 0),    Pos(35.1, 139.1, 0, 3),  // no fix
        Pos(720.0, 720.0, 1, 6),    // fields without digits, yet marked valid
        Pos(kNaN, 139.0, 1, 9),     // not a number
        Pos(91.0, 139.0, 1, 12),    // beyond the pole
        Pos(35.2, -181.0, 1, 15),   // beyond the date line
        Pos(-35.3, -179.5, 1, 18),  // southern and western: fine
        Pos(0.0, 0.0, 1, 21),       // a place, if an odd one
    };
    const TrackArray track = BuildTrackArray(entries);
    EXPECT_EQ(track.points,
              (std::vector<TrackPoint>{{35.0, 139.0, 0}, {-35.3, -179.5, 18}, {0.0, 0.0, 21}}));
    EXPECT_EQ(track.Flat(),
              (std::vector<double>{35.0, 139.0, 0, -35.3, -179.5, 18, 0.0, 0.0, 21, 9}));
    // Nothing to draw: the count alone.
    EXPECT_EQ(BuildTrackArray({}).Flat(), std::vector<double>{0});
    EXPECT_EQ(BuildTrackArray(std::vector<PositionEntry>{Pos(720, 720, 0, 0)}).Flat(),
              std::vector<double>{0});
}

// A recording's data: acceleration entries each linked to a position entry.
struct Recording {
    std::vector<AccelEntry> accels;
    std::vector<PositionEntry> positions;
    SensorView View() const {
        SensorView v;
        v.accels = accels;
        v.positions = positions;
        return v;
    }
    int Add(double lat, double lng, int frame, double y = 0.0, double z = -1.0) {
        PositionEntry p = Pos(lat, lng, 1, frame);
        p.speed = 42.5;
        positions.push_back(p);
        AccelEntry a;
        a.frame = frame;
        a.x = 0.1;
        a.y = y;
        a.z = z;
        a.positionLink = static_cast<std::int32_t>(positions.size() - 1);
        accels.push_back(a);
        return static_cast<int>(accels.size() - 1);
    }
};

// An event of the list: it starts on the first frame that shows its entry,
// one after the entry's own frame number (the frame map steps to an entry
// on the frame after the one it reaches).
GraphEvent Event(const Recording& r, int entry, EventCategory category) {
    GraphEvent e;
    e.entry = entry;
    e.category = category;
    if (entry >= 0 && static_cast<std::size_t>(entry) < r.accels.size())
        e.frame = r.accels[static_cast<std::size_t>(entry)].frame.value_or(0) + 1;
    return e;
}

TEST(EventMarkerCalls, LastEventFirstWithTwelveArguments) {
    Recording r;
    const int shock = r.Add(35.1, 139.1, 30, -0.8);
    const int manual = r.Add(35.2, 139.2, 60);
    const int overspeed = r.Add(35.3, 139.3, 90);
    const GraphEventList events = {Event(r, shock, EventCategory::ShockY),
                                   Event(r, manual, EventCategory::Manual),
                                   Event(r, overspeed, EventCategory::Overspeed)};
    const std::vector<EventMarker> markers = EventMarkers(events, r.View(), kAllSeries, 4);
    ASSERT_EQ(markers.size(), 3u);
    EXPECT_EQ(AddCrashPosCall(markers[0]),
              "cplist.AddCrashPos(8,0.100000,0.000000,-1.000000,0,4,91,35.300000,139.300000,1,"
              "42.500000,0.000000)");
    EXPECT_EQ(markers[1].icon, static_cast<int>(MarkerIcon::kManual));
    EXPECT_EQ(markers[2].icon, static_cast<int>(MarkerIcon::kShockBraking));
    // A click seeks where the graph's jump goes: the first frame that
    // shows the event's record, not the frame before it.
    EXPECT_EQ(markers[2].ipos, 31);

    // Overspeed switched off: its marker goes, the others stay.
    SeriesFlags listed = kAllSeries;
    listed[kSeriesOverspeed] = false;
    EXPECT_EQ(EventMarkers(events, r.View(), listed, 4).size(), 2u);
}

TEST(EventMarkerCalls, PositionsThatAreNoPlaceAndMissingLinks) {
    Recording r;
    const int first = r.Add(35.1, 139.1, 10);
    const int zero = r.Add(0.0, 0.0, 20);
    const int marker = r.Add(720.0, 720.0, 30);
    const int notANumber = r.Add(kNaN, 139.0, 40);
    const int wild = r.Add(35.5, 139.5, 50);
    r.accels[static_cast<std::size_t>(wild)].x = kNaN;  // a level that is no number
    GraphEventList events;
    for (int e : {first, zero, marker, notANumber, wild})
        events.push_back(Event(r, e, EventCategory::Manual));
    std::vector<EventMarker> markers = EventMarkers(events, r.View(), kAllSeries, 0);
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0].ipos, 51);
    EXPECT_EQ(markers[0].levelx, 0.0);  // sent as 0: the page refuses "nan"
    EXPECT_EQ(markers[1].ipos, 11);

    // A missing position link ends the walk; so does an entry outside the list.
    r.accels[static_cast<std::size_t>(notANumber)].positionLink = sensor::kNoLink;
    markers = EventMarkers(events, r.View(), kAllSeries, 0);
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_EQ(markers[0].ipos, 51);
    events.push_back(Event(r, 99, EventCategory::Manual));
    EXPECT_TRUE(EventMarkers(events, r.View(), kAllSeries, 0).empty());
    EXPECT_TRUE(EventMarkers({}, r.View(), kAllSeries, 0).empty());
}

TEST(EventMarkerCalls, IconOfEveryCategory) {
    AccelEntry up;
    up.y = 0.5;
    up.z = 0.3;
    AccelEntry down;
    down.y = -0.5;
    down.z = -1.3;
    const struct {
        EventCategory category;
        MarkerIcon withUp, withDown;
    } table[] = {
        {EventCategory::ShockX, MarkerIcon::kShockSteering, MarkerIcon::kShockSteering},
        {EventCategory::ShockY, MarkerIcon::kShockAcceleration, MarkerIcon::kShockBraking},
        {EventCategory::ShockZ, MarkerIcon::kShockRise, MarkerIcon::kShockDescent},
        {EventCategory::Manual, MarkerIcon::kManual, MarkerIcon::kManual},
        {EventCategory::EmergencyStop, MarkerIcon::kEmergencyStop, MarkerIcon::kEmergencyStop},
        {EventCategory::ParkingShock, MarkerIcon::kParking, MarkerIcon::kParking},
        {EventCategory::Overspeed, MarkerIcon::kOverspeed, MarkerIcon::kOverspeed},
        {EventCategory::ApproachingVehicle, MarkerIcon::kApproachingVehicle,
         MarkerIcon::kApproachingVehicle},
        {EventCategory::SuddenSteering, MarkerIcon::kAssistSteering, MarkerIcon::kAssistSteering},
        {EventCategory::SuddenAcceleration, MarkerIcon::kAssistAcceleration,
         MarkerIcon::kAssistAcceleration},
        {EventCategory::SuddenBraking, MarkerIcon::kAssistBraking, MarkerIcon::kAssistBraking},
    };
    for (const auto& row : table) {
        EXPECT_EQ(IconOf(row.category, up), row.withUp) << static_cast<int>(row.category);
        EXPECT_EQ(IconOf(row.category, down), row.withDown) << static_cast<int>(row.category);
    }
    EXPECT_FALSE(IsCategoryShown(EventCategory::None, kAllSeries));
}

TEST(TileSettings, TemplateAttributionLoaderAndTestAddress) {
    const std::string local = "http://127.0.0.1:8080/{z}/{x}/{y}.png";
    const struct {
        const char* url;
        const char* attribution;
        TileSettings expected;
    } table[] = {
        {"", "", TileSettings{}},
        {"  ", "", TileSettings{}},
        {"ftp://tiles/{z}/{x}/{y}.png", "", TileSettings{}},
        {"https://tiles/{z}/{x}.png", "", TileSettings{}},             // no {y}
        {"https:///{z}/{x}/{y}.png", "", TileSettings{}},              // no host
        {"https://a b/{z}/{x}/{y}.png", "", TileSettings{}},           // a blank
        {"https://t/{z}/{x}/{y}.png\"><script>", "", TileSettings{}},  // markup
        {" http://127.0.0.1:8080/{z}/{x}/{y}.png ", "", TileSettings{local, ""}},
        {"http://127.0.0.1:8080/{z}/{x}/{y}.png", "Local tiles",
         TileSettings{local, "Local tiles"}},
        {"", "My credit", TileSettings{std::string(kDefaultTileUrl), "My credit"}},
        {"https://{s}.tile.example/{z}/{x}/{-y}.png", "",
         TileSettings{"https://{s}.tile.example/{z}/{x}/{-y}.png", ""}},
    };
    for (const auto& row : table)
        EXPECT_EQ(TileSettingsFrom(row.url, row.attribution), row.expected) << row.url;

    EXPECT_EQ(MapLoaderUrl(TileSettings{}),
              "loader.js?callback=loadLibs&tiles=https%3A%2F%2Ftile.openstreetmap.org%2F%7Bz%7D"
              "%2F%7Bx%7D%2F%7By%7D.png&attribution=%C2%A9%20OpenStreetMap%20contributors");
    EXPECT_EQ(MapLoaderUrl(TileSettings{local, "a&b=c"}),
              "loader.js?callback=loadLibs&tiles=http%3A%2F%2F127.0.0.1%3A8080%2F%7Bz%7D%2F%7Bx%7D"
              "%2F%7By%7D.png&attribution=a%26b%3Dc");

    EXPECT_EQ(ReachabilityAddress(kDefaultTileUrl), "https://tile.openstreetmap.org/0/0/0.png");
    EXPECT_EQ(ReachabilityAddress("https://{s}.t.example/{z}/{x}/{-y}{r}.png?k={key}"),
              "https://a.t.example/0/0/0.png?k={key}");
    EXPECT_EQ(MapUserAgent(), "Trivexa/2.0.2.0");
}

TEST(TileSettings, ReadFromTheSettingsFile) {
    test::TempDir dir;
    SetSettingsDirectory(dir.path().string());
    EXPECT_EQ(ReadTileSettings(), TileSettings{});
    WriteSetting("MAP", "TILE_URL", "http://tiles.local/{z}/{x}/{y}.png");
    WriteSetting("MAP", "TILE_ATTRIBUTION", "\u00a9 Local");
    EXPECT_EQ(ReadTileSettings(),
              (TileSettings{"http://tiles.local/{z}/{x}/{y}.png", "\u00a9 Local"}));
    SetSettingsDirectory("");
}

// The web profile and its tile cache live in the user's cache folder, not
// beside the settings file (nor in the folder the viewer was started from).
TEST(TileSettings, TheWebProfileLivesInTheUsersCacheFolder) {
    test::TempDir dir;
    const char* old = std::getenv("XDG_CACHE_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CACHE_HOME", (dir.path() / "cache").c_str(), 1);
    SetSettingsDirectory((dir.path() / "settings").string());
    EXPECT_EQ(MapProfileDirectory(), (dir.path() / "cache" / "trivexa" / "map_profile").string());
    struct stat st {};
    ASSERT_EQ(::lstat((dir.path() / "cache" / "trivexa").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A planted link instead of the program's folder is not used.
    std::filesystem::remove_all(dir.path() / "cache" / "trivexa");
    std::filesystem::create_directories(dir.path() / "elsewhere");
    std::filesystem::create_directory_symlink(dir.path() / "elsewhere",
                                              dir.path() / "cache" / "trivexa");
    EXPECT_EQ(MapProfileDirectory(), "");
    SetSettingsDirectory("");
    if (saved.empty())
        unsetenv("XDG_CACHE_HOME");
    else
        setenv("XDG_CACHE_HOME", saved.c_str(), 1);
}

TEST(MapRules, StatusShowMapAndTheMapOrTheLogo) {
    EXPECT_EQ(StatusText(MapPlayStatus::kPlaying), "");
    EXPECT_EQ(StatusText(MapPlayStatus::kPaused), "pause");
    EXPECT_EQ(StatusText(MapPlayStatus::kStopped), "stop");
    EXPECT_EQ(StatusText(static_cast<MapPlayStatus>(7)), "");

    EXPECT_TRUE(AcceptsPosition(35.0, 139.0));
    EXPECT_FALSE(AcceptsPosition(720.0, 720.0));
    EXPECT_FALSE(AcceptsPosition(kNaN, 0.0));

    // (on, shown on request, visible) -> action
    EXPECT_EQ(ShowMapActionFor(true, false, false), ShowMapAction::kShow);
    EXPECT_EQ(ShowMapActionFor(true, false, true), ShowMapAction::kNone);
    EXPECT_EQ(ShowMapActionFor(true, true, false), ShowMapAction::kNone);
    EXPECT_EQ(ShowMapActionFor(false, true, true), ShowMapAction::kHide);
    EXPECT_EQ(ShowMapActionFor(false, true, false), ShowMapAction::kNone);
    EXPECT_EQ(ShowMapActionFor(false, false, true), ShowMapAction::kNone);

    const MapViewInputs all{true, true, true, true, true};
    EXPECT_EQ(DecideMapView(all), (MapViewChoice{true, false}));
    MapViewInputs in = all;
    in.connected = false;
    EXPECT_EQ(DecideMapView(in), (MapViewChoice{false, true}));
    in = all;
    in.rowHasPositions = false;
    EXPECT_EQ(DecideMapView(in), (MapViewChoice{false, false}));
    in = all;
    in.runtimePresent = false;
    EXPECT_EQ(DecideMapView(in), (MapViewChoice{false, false}));
    in = all;
    in.coordinatesValid = false;
    EXPECT_EQ(DecideMapView(in), (MapViewChoice{false, true}));
    in = all;
    in.everReady = false;
    EXPECT_EQ(DecideMapView(in), (MapViewChoice{true, true}));
}

}  // namespace
}  // namespace trivexa::map
