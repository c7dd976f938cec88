// The main window's side of the map: the map bridge made at the second stage
// of the start, the map host window and its logo, the map command (38010),
// the page's two reports (UM_MAP_READY, UM_MAP_SEEK) and the map's share of
// the position fan-out (position, event markers, play state, map or logo).
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "app/core/control_buttons.h"
#include "app/core/layout_scale.h"
#include "app/core/main_layout.h"
#include "app/logo_dlg.h"
#include "app/main_buttons.h"
#include "app/messages/posted_message.h"
#include "app/vidorra_dlg.h"
#include "playback/video_presenter.h"
#include "browser/filer_container_dlg.h"
#include "container/sensor_reader.h"
#include "container/sensor_track.h"
#include "map/core/map_rules.h"
#include "map/core/map_script.h"
#include "map/core/track_array.h"
#include "online/update_dialog.h"
#include "panels/gsensor_dlg.h"
#include "panels/movie_dialog.h"

namespace trivexa {

// Rebuilds the process-wide group track (the recordings of the displayed
// list, drawn under the current recording's track) on a worker of its own:
// a folder of many clips must never hold up the window. The latest list
// wins; a list handed over while a rebuild runs is rebuilt right after it.
// When a rebuild ends, `done` runs on the UI thread (queued to `window`)
// with the generation of the list it built.
//
// Made, fed and destroyed on the UI thread; destruction waits for a rebuild
// that is running (the track's reader cannot be interrupted).
class MapGroupTrackCollector {
public:
    MapGroupTrackCollector(QObject* window, std::function<void(std::uint64_t)> done)
        : window_(window), done_(std::move(done)), worker_([this] { Run(); }) {}

    ~MapGroupTrackCollector() {
        {
            std::lock_guard hold(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    // Rebuilds the track from `recordings` unless it is the list asked for
    // last; returns the generation of that list.
    std::uint64_t Collect(std::vector<RecordingEntry> recordings) {
        std::lock_guard hold(mutex_);
        if (generation_ > 0 && SameList(recordings, wanted_)) return generation_;
        wanted_ = std::move(recordings);
        ++generation_;
        wake_.notify_all();
        return generation_;
    }

private:
    static bool SameList(const std::vector<RecordingEntry>& a,
                         const std::vector<RecordingEntry>& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i].frontPath != b[i].frontPath || a[i].rearPath != b[i].rearPath) return false;
        return true;
    }

    void Run() {
        std::uint64_t built = 0;
        for (;;) {
            std::vector<RecordingEntry> list;
            std::uint64_t generation = 0;
            {
                std::unique_lock hold(mutex_);
                wake_.wait(hold, [&] { return stop_ || generation_ != built; });
                if (stop_) return;
                list = wanted_;
                generation = generation_;
            }
            SensorReader::CollectTrack(list);
            built = generation;
            QMetaObject::invokeMethod(
                window_, [done = done_, generation] { done(generation); }, Qt::QueuedConnection);
        }
    }

    QObject* window_;
    std::function<void(std::uint64_t)> done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::uint64_t generation_ = 0;
    std::vector<RecordingEntry> wanted_;
    std::thread worker_;  // last: starts once the fields above exist
};

namespace {

QRect ToQRect(const FrameRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// How often the map host's choice of map or logo is looked at again while the
// map is on: the tile server's reachability changes on its own thread.
constexpr int kMapViewRefreshMs = 250;

}  // namespace

// --- start and end -------------------------------------------------------------------------

void CVidorraDlg::CreateMap() {
    if (map_ || closing_) return;
    CMapViewWrap::Options options = mapOptions_;
    // The web map draws through OpenGL as the video surfaces do: where they
    // draw in software it is not loaded, and the logo stands in its place
    // (no notice: no runtime to install would bring it).
    const bool softwareOnly = CurrentPresenterDrawing() == PresenterDrawing::kSoftware;
    if (softwareOnly) options.modulePath = std::string();
    inet_ = std::make_unique<CInetConnectionAsync>(
        this, options.connection ? *options.connection : CInetConnectionAsync::DefaultOptions());
    options.sharedConnection = inet_.get();
    // Loads the map module: the run-time check.
    map_ = std::make_unique<CMapViewWrap>(this, this, std::move(options));
    noMap_ = !map_->IsMapRuntimeInstalled();
    map_->SetSensorSource(sensorSource_.get());
    QWidget* view = map_->CreateMapWindow(mapHost_.get());
    // The map appears only when it has something to show (UpdateMapView).
    view->hide();
    logo_->raise();
    PlaceMapContent();
    groupTrack_ = std::make_shared<MapGroupTrackCollector>(
        this, [this](std::uint64_t generation) { OnGroupTrackCollected(generation); });
    mapTimer_ = new QTimer(this);
    mapTimer_->setInterval(kMapViewRefreshMs);
    connect(mapTimer_, &QTimer::timeout, this, [this] { UpdateMapView(); });
    mapEverReady_ = true;
    MapListChanged();
    UpdateMapView();
    controller_->EnableButtons();
    if (noMap_ && !softwareOnly) map_->ShowMapRuntimeNotice();
}

namespace {

// Holds back the timer events of `target` while it lives: the recording that
// waits to open at start-up waits for the runtime notice.
class TimerHold final : public QObject {
public:
    explicit TimerHold(QObject* target) : target_(target) { target_->installEventFilter(this); }
    ~TimerHold() override { target_->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        return watched == target_ && event->type() == QEvent::Timer;
    }

private:
    QObject* target_;
};

}  // namespace

bool CVidorraDlg::ShowMapRuntimeNotice() {
    if (mapNoticeShown_) return false;
    mapNoticeShown_ = true;
    // Start-up stops at the notice: a recording about to open opens once the
    // notice is closed, so that nothing the open shows or raises comes first.
    const bool held = controller_->OpenPending() && !controller_->MediaLoaded();
    bool shown = false;
    {
        std::optional<TimerHold> hold;
        if (held) hold.emplace(controller_.get());
        shown = ::trivexa::ShowMapRuntimeNotice(false, this);
    }
    if (held) controller_->ScheduleOpen();
    return shown;
}

void CVidorraDlg::ShutdownMap() {
    if (mapTimer_) mapTimer_->stop();
    groupTrack_.reset();
    if (!map_) return;
    map_->SetConnectionTestEnabled(false);
    map_->SetSensorSource(nullptr);
}

// --- the map host window ------------------------------------------------------------------

void CVidorraDlg::PlaceMapContent() {
    if (!map_ || !map_->MapWindow() || !mapHost_) return;
    const FrameRect m = DetachedContentRect({mapHost_->width(), mapHost_->height()}, LayoutScale());
    map_->MapWindow()->setGeometry(ToQRect(m));
}

void CVidorraDlg::MapCommand() {
    if (!map_ || noMap_ || controller_->CheckEndMargin()) return;
    mapShown_ = !mapShown_;
    buttons_->SetToggled(button::kMapWindow, mapShown_);
    map_->SetConnectionTestEnabled(mapShown_);
    if (mapShown_ && !mapPlacedOnce_) {
        // The first show puts the window at its first place, over the top of
        // the browser panel, wherever the main window is now.
        mapPlacedOnce_ = true;
        const float s = LayoutScale();
        const QPoint origin = mapToGlobal(QPoint(0, 0));
        const DetachedPlaces places = DetachedFirstPlaces(
            {origin.x(), origin.y()}, layout_.videoRect, layout_.browser, s,
            DeriveDetachedBaseSizes(s), {mapHost_->FactorX(), mapHost_->FactorY()},
            {secondary_->FactorX(), secondary_->FactorY()});
        mapHost_->setGeometry(ToQRect(places.map));
        PlaceSecondaryContent();
    }
    UpdateMapView();
    if (mapShown_) {
        mapTimer_->start();
        if (!fullScreen_) {
            mapHost_->show();
            mapHost_->raise();
        }
    } else {
        mapTimer_->stop();
        mapHost_->hide();
    }
}

void CVidorraDlg::OnMapHostClosed() {
    // The map host window's own close button hid it: the map is off as if
    // the map button had been pressed, so the button's look, the next press
    // and the reachability test agree with what the user sees.
    if (!map_ || !mapShown_ || mapHost_->isVisible() || fullScreen_ || isMinimized()) return;
    mapShown_ = false;
    buttons_->SetToggled(button::kMapWindow, false);
    map_->SetConnectionTestEnabled(false);
    mapTimer_->stop();
    UpdateMapView();
}

void CVidorraDlg::ShowMapAfterFullScreen() {
    if (!mapShown_) return;
    mapHost_->show();
    mapHost_->raise();
}

// *Map updates*, visibility: the map when there is something to show on it,
// the logo otherwise.
void CVidorraDlg::UpdateMapView() {
    if (!logo_ || !map_) return;
    map::MapViewInputs in;
    in.rowHasPositions = rowHasPositions_ && controller_->MediaLoaded();
    in.runtimePresent = !noMap_;
    in.coordinatesValid = coordinatesValid_;
    in.connected = map_->IsConnected();
    in.everReady = mapEverReady_;
    const map::MapViewChoice choice = map::DecideMapView(in);
    const LogoVariant variant = choice.logoNoMap ? LogoVariant::kNoMap : LogoVariant::kLogo;
    if (logo_->Variant() != variant) logo_->SetVariant(variant);
    map_->ShowMap(choice.showMap);
    if (logo_->VisibleFlag() == choice.showMap) {
        logo_->SetVisibleFlag(!choice.showMap);
        PostMessageTo(logo_, UM_LOGO_SHOW);
    }
}

// --- what the page reports -----------------------------------------------------------------

void CVidorraDlg::OnMapReady() {
    if (!map_) return;
    markersSent_ = false;
    SendMapMarkers();
    map_->SetStatus(mapStatus_);
    mapEverReady_ = true;
    UpdateMapView();
    update();
}

void CVidorraDlg::OnMapSeek(std::intptr_t frame) {
    // A click on an event marker: the recording seeks there like the slider
    // would (the controller clamps it into the recording and ignores it
    // while nothing is loaded).
    if (!controller_->MediaLoaded() || controller_->OpenPending() || controller_->BusyTask())
        return;
    controller_->Seek(static_cast<std::int64_t>(frame));
}

// --- the map's share of the recording's life ---------------------------------------------------

void CVidorraDlg::CheckRowPositions() {
    if (rowChecked_ || !controller_->MediaLoaded()) return;
    rowChecked_ = true;
    bool any = false;
    sensorSource_->Read([&](const SensorView& view) {
        for (const PositionEntry& p : view.positions)
            if (p.valid != 0 && map::IsMapCoordinate(p.latitude, p.longitude)) {
                any = true;
                break;
            }
    });
    rowHasPositions_ = any;
}

void CVidorraDlg::MapPosition(std::int64_t p, double lat, double lon, bool valid) {
    if (!map_) return;
    map_->SetPosition(static_cast<int>(p));
    CheckRowPositions();
    if (rowHasPositions_) {
        // A field's 720.0 marker: no place to show; the logo covers the map.
        coordinatesValid_ = !(lat > 360.0 || lon > 360.0);
        if (valid) map_->SetLatLng(lat, lon);
    }
    SendMapMarkers();
    UpdateMapView();
    // While playing the page moves the marker itself once a second; a seek or
    // a drag while stopped or paused moves it at once.
    if (controller_->DataState() != PlayState::kPlaying && controller_->MediaLoaded())
        map_->RunScript(map::kMoveMarker);
}

void CVidorraDlg::MapRecordingChanged(int row) {
    mapRow_ = row;
    markersSent_ = false;
    rowChecked_ = false;
    rowHasPositions_ = false;
    coordinatesValid_ = true;
    if (!map_) return;
    if (row < 0) map_->SetPosition(-1);
    UpdateMapView();
    MapListChanged();
}

void CVidorraDlg::MapPlayState(PlayState state) {
    if (!map_) return;
    switch (state) {
        case PlayState::kPlaying:
            if (mapStatus_ != map::MapPlayStatus::kPlaying) {
                mapStatus_ = map::MapPlayStatus::kPlaying;
                map_->SetStatus(mapStatus_);
            }
            break;
        case PlayState::kPaused:
            if (mapStatus_ != map::MapPlayStatus::kPaused) {
                mapStatus_ = map::MapPlayStatus::kPaused;
                map_->SetStatus(mapStatus_);
            }
            break;
        default:
            // Every stop is told: it puts the marker on the stop position.
            mapStatus_ = map::MapPlayStatus::kStopped;
            map_->SetStatus(mapStatus_);
            break;
    }
}

// *Map updates*, markers: the tracks and the event markers of the current
// row, once per row while the page is ready.
void CVidorraDlg::SendMapMarkers() {
    if (!map_ || markersSent_ || !map_->IsPageReady() || !controller_->MediaLoaded()) return;
    const int igrid = std::max(0, mapRow_);
    map_->RedrawMap(igrid, true);
    const GraphEventList events = graph_->BuildEventList();
    map_->AddEventMarkers(igrid, events, graph_->Listed());
    markersSent_ = true;
}

void CVidorraDlg::MapEventsChanged() {
    markersSent_ = false;
    SendMapMarkers();
}

void CVidorraDlg::MapListChanged() {
    if (!groupTrack_ || !browser_) return;
    std::vector<RecordingEntry> list;
    {
        std::lock_guard hold(ListMutex());
        list = browser_->Displayed();
    }
    groupTrack_->Collect(std::move(list));
}

void CVidorraDlg::OnGroupTrackCollected(std::uint64_t /*generation*/) {
    if (closing_) return;
    // The group's lines are drawn again with the current recording's.
    markersSent_ = false;
    SendMapMarkers();
}

}  // namespace trivexa
