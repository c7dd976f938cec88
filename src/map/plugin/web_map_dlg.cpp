#include "map/plugin/web_map_dlg.h"

#include <QShowEvent>
#include <QWebEngineView>

#include "map/core/map_rules.h"
#include "map/plugin/web_engine_holder.h"

namespace trivexa {
namespace {

// How long a changed playback frame may wait before the page gets it: the
// page moves its marker once a second, so a few pushes a second keep it on
// the frame on screen without a message per position update.
constexpr int kValuePushDelayMs = 200;

}  // namespace

CWebMapDlg::CWebMapDlg(QWidget* parent, MapHost& host, const MapDialogOptions& options)
    : QWidget(parent), host_(host), options_(options) {
    setAttribute(Qt::WA_NoSystemBackground);
    pushTimer_.setSingleShot(true);
    pushTimer_.setInterval(kValuePushDelayMs);
    connect(&pushTimer_, &QTimer::timeout, this, &CWebMapDlg::PushPending);
}

CWebMapDlg::~CWebMapDlg() = default;

bool CWebMapDlg::ViewExists() const { return holder_ != nullptr && holder_->View() != nullptr; }

void CWebMapDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (started_) {
        if (!pending_.Empty() && !pushTimer_.isActive()) pushTimer_.start();
        return;
    }
    started_ = true;
    holder_ = std::make_unique<CWebEngineHolder>(host_, options_);
    if (!holder_->Create(this)) holder_.reset();
}

void CWebMapDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (holder_) holder_->FitTo(this);
}

void CWebMapDlg::RunScript(std::string_view script) {
    if (!ViewExists()) return;
    holder_->HostObject().Call(
        QString::fromUtf8(script.data(), static_cast<qsizetype>(script.size())));
}

void CWebMapDlg::SetLatLng(double latitude, double longitude) {
    if (!map::AcceptsPosition(latitude, longitude)) return;
    latitude_ = latitude;
    longitude_ = longitude;
}

void CWebMapDlg::SendState() {
    if (!ViewExists()) return;
    holder_->HostObject().Post(
        QString::fromStdString(map::StateMessage(json_, latitude_, longitude_, status_)));
}

void CWebMapDlg::ValueChanged(map::HostValue value) {
    if (!ViewExists()) return;
    pending_.Add(value);
    // A hidden map needs nothing now; the page asks for the frame again when
    // it runs, and the push waits until the map is shown.
    if (!pushTimer_.isActive() && isVisible()) pushTimer_.start();
}

void CWebMapDlg::PushPending() {
    if (!ViewExists() || pending_.Empty()) return;
    const map::HostValues values = pending_;
    pending_ = {};
    holder_->HostObject().Refresh(values);
}

}  // namespace trivexa
