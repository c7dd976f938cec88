#pragma once
// The map module's interface: the one header the viewer and the map plugin
// share. The plugin (a library linking Qt WebEngine, loaded at run time by
// map/map_runtime.h) makes the map dialog; the viewer never links the web
// engine, so a machine without it still runs the viewer, without the map.
//
// Everything here runs on the UI thread. No web engine type appears here.

#include <QtPlugin>
#include <optional>
#include <string>
#include <string_view>

#include "map/core/map_script.h"
#include "map/core/track_array.h"

class QWidget;

namespace trivexa {

// What the map page asks of the viewer, through the host object of the map
// dialog. CMapViewWrap implements it; the dialog calls it on the UI thread,
// never re-entrantly from inside one of its own operations' callbacks.
class MapHost {
public:
    // Whether the map service can be reached (the page loads its map library
    // only then); may clear the host's page-ready flag.
    virtual bool ConnectTest() = 0;
    // The address of the map library loader, relative to the page.
    virtual std::string GetMapURL() = 0;
    // The recording group's track.
    virtual map::TrackArray GetGroupTrack() = 0;
    // The current recording's track; none when no recording's data are held.
    virtual std::optional<map::TrackArray> GetRecordingTrack() = 0;
    // The frame number of the playback position as decimal text, "-1" for none.
    virtual std::string GetPosition() = 0;
    // The user clicked an event marker.
    virtual void OnEventClicked(int ifile, int igrid, int ipos, int valid, double latitude,
                                double longitude, double speed, double direction) = 0;
    // The page has created its map.
    virtual void OnPageReady() = 0;
    // The page asks for the position message (once a second).
    virtual void SendState() = 0;

protected:
    ~MapHost() = default;
};

// How the dialog's browser is set up.
struct MapDialogOptions {
    // Folder of the web profile: the tile cache lies in its "cache" folder.
    // Empty: nothing is written to disk (a profile off the record).
    std::string profileDirectory;
    // Largest size of the tile cache, bytes.
    long long cacheBytes = 256LL * 1024 * 1024;
    std::string userAgent;
    double zoomFactor = 0.65;
};

// The map dialog: a widget holding the browser with the map page. Made by
// the module with its Qt parent owning it (the viewer moves it into the map
// host window). The browser is created the first time the widget is shown,
// at its size; until then, and when it cannot be created, every operation
// that talks to the page does nothing.
class MapDialog {
public:
    virtual QWidget* Widget() = 0;
    // The browser exists (it has been created).
    virtual bool ViewExists() const = 0;
    // Runs one call of a page function ("orbitgrplist.MoveMarker()"). The
    // host values the call reads (map::ReadsOf) are asked of the host and
    // reach the page before the call. Nothing while the view does not exist.
    virtual void RunScript(std::string_view script) = 0;
    // The position sent with the next state message; ignored unless both
    // name a place on earth (map::AcceptsPosition).
    virtual void SetLatLng(double latitude, double longitude) = 0;
    virtual double Latitude() const = 0;
    virtual double Longitude() const = 0;
    // "", "pause" or "stop".
    virtual void SetStatusText(std::string_view status) = 0;
    virtual std::string StatusText() const = 0;
    // Posts the state message to the page (nothing while there is no view).
    virtual void SendState() = 0;
    // A host value has changed; the dialog brings it to the page soon (the
    // playback frame at most a few times a second), without waiting.
    virtual void ValueChanged(map::HostValue value) = 0;

protected:
    ~MapDialog() = default;
};

// The plugin's entry: makes map dialogs.
class MapModule {
public:
    // Out of line: anchors the interface's vtable in one object file.
    virtual ~MapModule();
    // A new map dialog as a child of `parent` (may be null), talking to
    // `host`, which must outlive the dialog's widget.
    virtual MapDialog* CreateMapDialog(QWidget* parent, MapHost& host,
                                       const MapDialogOptions& options) = 0;
};

}  // namespace trivexa

#define TRIVEXA_MAP_MODULE_IID "org.trivexa.MapModule/1"
Q_DECLARE_INTERFACE(trivexa::MapModule, TRIVEXA_MAP_MODULE_IID)
