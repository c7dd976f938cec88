#pragma once
// CMapViewWrap: the main window's handle on the map. It makes the map
// dialog through the map module (map/map_runtime.h), answers what the map
// page asks (the host callbacks of MapHost, virtual so a test can stand in
// for one), and turns the main window's wishes (redraw tracks and event
// markers, move the marker, pause or stop) into calls of page functions. Its
// CInetConnectionAsync (its own, or the owner's shared one, see
// Options::sharedConnection) runs the reachability test that tells it
// whether the tile server answers.
//
// Notifications go to the notify window as posted messages: UM_MAP_READY
// when the page has made its map (redraw everything), UM_MAP_SEEK with
// lParam = the frame of an event marker the user clicked, and the update
// check's UM_UPDATE_AVAILABLE.
//
// Without the module the wrap still exists: IsMapRuntimeInstalled answers
// false, the map window is a blank widget and every map operation does
// nothing; the update check works as ever.
//
// UI thread only, from construction to destruction.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>
#include <string_view>

#include "map/core/map_rules.h"
#include "map/core/map_settings.h"
#include "map/module/map_module.h"
#include "online/inet_connection_async.h"
#include "panels/core/graph_plot.h"
#include "panels/core/graph_rules.h"

namespace trivexa {

class MapModuleLoader;
class SensorSource;

// What the map needs of the main window beyond posted messages.
class MapViewOwner {
public:
    // Tells the user that the map cannot be shown (the map module or the web
    // engine is missing), in the update notice window with the download page
    // as a link (online::ShowMapRuntimeNotice), and waits until the user has
    // closed it. True when the notice was shown. Called once, by
    // CMapViewWrap::ShowMapRuntimeNotice when the main window has created the
    // map, on the UI thread.
    virtual bool ShowMapRuntimeNotice() = 0;

protected:
    ~MapViewOwner() = default;
};

class CMapViewWrap : public MapHost {
public:
    struct Options {
        // The module's library; none: the viewer's own places.
        std::optional<std::string> modulePath;
        // The tile server; none: the settings file's.
        std::optional<map::TileSettings> tiles;
        // The web profile's folder; none: map::MapProfileDirectory(); "":
        // nothing written to disk.
        std::optional<std::string> profileDirectory;
        // The connection object's; none: CInetConnectionAsync::DefaultOptions().
        std::optional<CInetConnectionAsync::Options> connection;
        // The owner's connection object, which then does the reachability
        // test instead of one of the wrap's own (`connection` is ignored). It
        // must outlive the wrap. The main window shares its one connection
        // object between the update check and the map this way.
        CInetConnectionAsync* sharedConnection = nullptr;
    };

    // `notifyWindow` receives the posted messages and must outlive the wrap
    // (or be its parent window); `owner` may be null (no notice is shown).
    // Loads the module (the run-time check) and starts the connection's
    // reachability thread, idle until the map is shown.
    CMapViewWrap(QObject* notifyWindow, MapViewOwner* owner, Options options);
    CMapViewWrap(QObject* notifyWindow, MapViewOwner* owner);
    virtual ~CMapViewWrap();
    CMapViewWrap(const CMapViewWrap&) = delete;
    CMapViewWrap& operator=(const CMapViewWrap&) = delete;

    // --- Run-time check --------------------------------------------------------

    // The map module is loaded; the main window's map-unavailable flag is
    // the opposite.
    bool IsMapRuntimeInstalled() const { return module_ != nullptr; }
    // Why the module did not load, for a developer ("" when it did).
    const std::string& MapRuntimeError() const { return runtimeError_; }
    // When the module is missing: has the owner show the notice and returns
    // its answer; false (nothing shown) when the module is there.
    bool ShowMapRuntimeNotice();

    // --- The map window ----------------------------------------------------------

    // Makes the map window (once) as a child of `parent`: the map dialog, or
    // a blank widget without the module. The main window places it.
    QWidget* CreateMapWindow(QWidget* parent);
    QWidget* MapWindow() const { return window_; }
    // The map dialog while it exists; null without the module.
    MapDialog* Dialog() const;

    // The current recording's data (the data camera's, under the players'
    // locks): the recording's track and the event markers are read here.
    // Null: no recording.
    void SetSensorSource(SensorSource* source) { source_ = source; }

    CInetConnectionAsync& Connection() { return *connection_; }
    const CInetConnectionAsync& Connection() const { return *connection_; }
    const map::TileSettings& Tiles() const { return tiles_; }

    // --- What the main window calls ---------------------------------------------

    // Runs a call of a page function (nothing while there is no view).
    void RunScript(std::string_view script);
    // Clears the event markers and the recording's lines and draws the
    // group track (with `group`) and the recording's track anew; only once
    // the page has reported ready.
    void RedrawMap(int igrid, bool group);
    // The event markers of the current recording's event list, last first
    // (see map::EventMarkers); only once the page has reported ready. The
    // caller holds its event list's lock; the players' locks are taken here.
    void AddEventMarkers(int igrid, const GraphEventList& events, const SeriesFlags& listed);
    // Playing, paused or stopped; stopped also moves the marker to the
    // stop position.
    void SetStatus(map::MapPlayStatus status);
    // Shows (true) or hides the map window on request; true when it changed.
    // The window's own shown state counts, not whether its parent is on
    // screen: the main window decides map or logo also while the map host
    // window is hidden.
    bool ShowMap(bool on);
    // The playback frame the page puts its marker on (-1: none).
    void SetPosition(int frame);
    int Position() const { return position_; }
    // The position sent to the page (only places on earth are taken).
    void SetLatLng(double latitude, double longitude);
    // The map command: the reachability test runs while the map is shown,
    // one test at once when it is switched on.
    void SetConnectionTestEnabled(bool enabled);

    // The page has made its map since the connection last failed.
    bool IsPageReady() const { return pageReady_; }
    // The reachability test is on and the tile server answered at its last test.
    bool IsConnected() const;

    // --- Host callbacks (the page's questions and reports) ------------------------

    // 0 while the test is off; else whether the tile server answered, and
    // when it did not, the page-ready flag is cleared.
    bool ConnectTest() override;
    // The loader of the map library with the tile server.
    std::string GetMapURL() override;
    map::TrackArray GetGroupTrack() override;
    std::optional<map::TrackArray> GetRecordingTrack() override;
    std::string GetPosition() override;
    // Posts UM_MAP_SEEK with lParam = ipos.
    void OnEventClicked(int ifile, int igrid, int ipos, int valid, double latitude,
                        double longitude, double speed, double direction) override;
    // Sets the page-ready flag and posts UM_MAP_READY.
    void OnPageReady() override;
    void SendState() override;

private:
    QPointer<QObject> notifyWindow_;
    MapViewOwner* owner_;
    map::TileSettings tiles_;
    std::string profileDirectory_;
    std::unique_ptr<MapModuleLoader> ownLoader_;
    MapModule* module_ = nullptr;
    std::string runtimeError_;
    std::unique_ptr<CInetConnectionAsync> ownConnection_;
    CInetConnectionAsync* connection_ = nullptr;
    QPointer<QWidget> window_;
    MapDialog* dialog_ = nullptr;
    SensorSource* source_ = nullptr;
    bool pageReady_ = false;
    bool shownOnRequest_ = false;
    int position_ = -1;
};

}  // namespace trivexa
