#include "map/map_view_wrap.h"

#include "app/messages/posted_message.h"
#include "container/sensor_track.h"
#include "map/core/event_markers.h"
#include "map/core/map_script.h"
#include "map/map_runtime.h"
#include "panels/core/sensor_view.h"

namespace trivexa {

CMapViewWrap::CMapViewWrap(QObject* notifyWindow, MapViewOwner* owner, Options options)
    : notifyWindow_(notifyWindow), owner_(owner) {
    tiles_ = options.tiles ? *options.tiles : map::ReadTileSettings();
    profileDirectory_ =
        options.profileDirectory ? *options.profileDirectory : map::MapProfileDirectory();

    MapModuleLoader* loader = &DefaultMapModuleLoader();
    if (options.modulePath) {
        ownLoader_ =
            std::make_unique<MapModuleLoader>(std::vector<std::string>{*options.modulePath});
        loader = ownLoader_.get();
    }
    module_ = loader->Load();
    runtimeError_ = loader->Error();

    if (options.sharedConnection != nullptr) {
        connection_ = options.sharedConnection;
    } else {
        ownConnection_ = std::make_unique<CInetConnectionAsync>(
            notifyWindow, options.connection ? std::move(*options.connection)
                                             : CInetConnectionAsync::DefaultOptions());
        connection_ = ownConnection_.get();
    }
    connection_->SetReachabilityAddress(map::ReachabilityAddress(tiles_.url));
}

CMapViewWrap::CMapViewWrap(QObject* notifyWindow, MapViewOwner* owner)
    : CMapViewWrap(notifyWindow, owner, Options{}) {}

CMapViewWrap::~CMapViewWrap() {
    // The dialog calls back into this object: it goes first.
    dialog_ = nullptr;
    delete window_.data();
    // A shared connection stays with its owner, its test switched off.
    if (ownConnection_ == nullptr) connection_->SetEnabled(false);
    ownConnection_.reset();
}

bool CMapViewWrap::ShowMapRuntimeNotice() {
    if (IsMapRuntimeInstalled() || owner_ == nullptr) return false;
    return owner_->ShowMapRuntimeNotice();
}

QWidget* CMapViewWrap::CreateMapWindow(QWidget* parent) {
    if (window_) return window_;
    if (module_ != nullptr) {
        MapDialogOptions options;
        options.profileDirectory = profileDirectory_;
        options.userAgent = map::MapUserAgent();
        dialog_ = module_->CreateMapDialog(parent, *this, options);
        if (dialog_ != nullptr) window_ = dialog_->Widget();
    }
    if (!window_) {
        dialog_ = nullptr;
        window_ = new QWidget(parent);
    }
    window_->setObjectName(QStringLiteral("MapWindow"));
    return window_;
}

MapDialog* CMapViewWrap::Dialog() const { return window_ ? dialog_ : nullptr; }

void CMapViewWrap::RunScript(std::string_view script) {
    if (MapDialog* dialog = Dialog()) dialog->RunScript(script);
}

void CMapViewWrap::RedrawMap(int igrid, bool group) {
    if (!pageReady_) return;
    for (const std::string& call : map::RedrawCalls(igrid, group)) RunScript(call);
}

void CMapViewWrap::AddEventMarkers(int igrid, const GraphEventList& events,
                                   const SeriesFlags& listed) {
    if (!pageReady_ || source_ == nullptr || Dialog() == nullptr) return;
    std::vector<map::EventMarker> markers;
    source_->Read(
        [&](const SensorView& view) { markers = map::EventMarkers(events, view, listed, igrid); });
    for (const map::EventMarker& marker : markers) RunScript(map::AddCrashPosCall(marker));
}

void CMapViewWrap::SetStatus(map::MapPlayStatus status) {
    MapDialog* dialog = Dialog();
    if (dialog == nullptr) return;
    dialog->SetStatusText(map::StatusText(status));
    if (status == map::MapPlayStatus::kStopped) RunScript(map::kMoveMarker);
}

bool CMapViewWrap::ShowMap(bool on) {
    if (!window_) return false;
    switch (map::ShowMapActionFor(on, shownOnRequest_, !window_->isHidden())) {
        case map::ShowMapAction::kShow:
            window_->show();
            shownOnRequest_ = true;
            return true;
        case map::ShowMapAction::kHide:
            window_->hide();
            shownOnRequest_ = false;
            return true;
        case map::ShowMapAction::kNone:
            break;
    }
    return false;
}

void CMapViewWrap::SetPosition(int frame) {
    if (frame == position_) return;
    position_ = frame;
    if (MapDialog* dialog = Dialog()) dialog->ValueChanged(map::HostValue::kPosition);
}

void CMapViewWrap::SetLatLng(double latitude, double longitude) {
    if (MapDialog* dialog = Dialog()) dialog->SetLatLng(latitude, longitude);
}

void CMapViewWrap::SetConnectionTestEnabled(bool enabled) { connection_->SetEnabled(enabled); }

bool CMapViewWrap::IsConnected() const {
    return connection_->IsEnabled() && connection_->IsReachable();
}

bool CMapViewWrap::ConnectTest() {
    if (!connection_->IsEnabled()) return false;
    const bool reachable = connection_->IsReachable();
    if (!reachable) pageReady_ = false;
    return reachable;
}

std::string CMapViewWrap::GetMapURL() { return map::MapLoaderUrl(tiles_); }

map::TrackArray CMapViewWrap::GetGroupTrack() {
    map::TrackArray track;
    ReadGroupTrack(
        [&](std::span<const PositionEntry> entries) { track = map::BuildTrackArray(entries); });
    return track;
}

std::optional<map::TrackArray> CMapViewWrap::GetRecordingTrack() {
    if (source_ == nullptr) return std::nullopt;
    std::optional<map::TrackArray> track;
    source_->Read([&](const SensorView& view) {
        // No data camera: the view is empty, and there is no list at all.
        if (view.accels.empty() && view.positions.empty()) return;
        track = map::BuildTrackArray(view.positions);
    });
    return track;
}

std::string CMapViewWrap::GetPosition() { return std::to_string(position_); }

void CMapViewWrap::OnEventClicked(int /*ifile*/, int /*igrid*/, int ipos, int /*valid*/,
                                  double /*latitude*/, double /*longitude*/, double /*speed*/,
                                  double /*direction*/) {
    PostMessageTo(notifyWindow_, UM_MAP_SEEK, 0, ipos);
}

void CMapViewWrap::OnPageReady() {
    pageReady_ = true;
    PostMessageTo(notifyWindow_, UM_MAP_READY);
}

void CMapViewWrap::SendState() {
    if (MapDialog* dialog = Dialog()) dialog->SendState();
}

}  // namespace trivexa
