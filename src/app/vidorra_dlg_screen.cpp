// CVidorraDlg follows its screen: when the screen's work area or logical dpi
// changes, or the window moves to another screen, the layout scale is checked
// again and the window re-scaled, fitted or maximised; and the display switch
// brings back a secondary video window the user closed.
//
// On Linux the work area is what the window manager reserves for panels
// (their struts). A panel that hides itself reserves nothing, so it is simply
// not part of that rectangle: there is no task bar to query and no edge to
// keep free, unlike the one-pixel gap the auto-hidden task bar gets elsewhere.
#include <QGuiApplication>
#include <QWindow>
#include <algorithm>

#include "app/core/layout_scale.h"
#include "app/core/main_layout.h"
#include "app/main_buttons.h"
#include "app/vidorra_dlg.h"
#include "controls/core/frame_geometry.h"
#include "controls/shared_fonts.h"
#include "online/update_dialog.h"
#include "panels/gsensor_dlg.h"
#include "panels/info_dlg.h"
#include "panels/movie_dialog.h"
#include "settings/setting_dlg.h"

namespace trivexa {
namespace {

FrameRect ToFrame(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace

CVidorraDlg::ScreenFacts CVidorraDlg::CurrentScreenFacts() const {
    QScreen* s = screen();
    if (s == nullptr) s = QGuiApplication::primaryScreen();
    if (s == nullptr) return {};
    return {s->availableGeometry(), qRound(s->logicalDotsPerInchX()),
            qRound(s->logicalDotsPerInchY())};
}

void CVidorraDlg::WatchScreen() {
    QWindow* window = windowHandle();
    if (window == nullptr) return;
    connect(window, &QWindow::screenChanged, this, [this](QScreen* screen) {
        WatchScreenSignals(screen);
        FollowScreen(CurrentScreenFacts());
    });
    WatchScreenSignals(window->screen());
}

void CVidorraDlg::WatchScreenSignals(QScreen* screen) {
    if (watchedScreen_) disconnect(watchedScreen_, nullptr, this, nullptr);
    watchedScreen_ = screen;
    if (screen == nullptr) return;
    connect(screen, &QScreen::availableGeometryChanged, this,
            [this] { FollowScreen(CurrentScreenFacts()); });
    connect(screen, &QScreen::logicalDotsPerInchChanged, this,
            [this] { FollowScreen(CurrentScreenFacts()); });
}

void CVidorraDlg::FollowScreen(const ScreenFacts& facts) {
    if (!initialised_ || closing_) return;
    ScreenChangeInput in;
    in.fullScreen = fullScreen_;
    in.maximised = IsMaximisedState();
    in.baseScale = BaseScale();
    in.scale = LayoutScale();
    in.dpiFactor = DpiFactor();
    in.screenDpiFactor = static_cast<float>(facts.dpiX) / 96.0f;
    in.workArea = ToFrame(facts.workArea);
    in.storedWorkArea = ToFrame(StoredWorkArea());
    const ScreenChangePlan plan = PlanScreenChange(in);
    if (plan.storeWorkArea) SetStoredWorkArea(facts.workArea);
    if (plan.rescale) {
        Rescale(plan.scale, facts);
        if (plan.takeBaseScale) SetBaseScale(LayoutScale());
        if (!IsMaximisedState()) {
            SetRestoreRect(geometry());
            MaximiseIfNotFitting(facts, false);
        }
    }
    if (plan.fitToWorkArea) FitToWorkAreaNow(facts.workArea);
}

void CVidorraDlg::Rescale(float scale, const ScreenFacts& facts) {
    // 1: the fonts and s again, from the s the re-check left.
    ScaleInputs inputs;
    inputs.currentScale = scale;
    inputs.dpiX = facts.dpiX;
    inputs.dpiY = facts.dpiY;
    inputs.workAreaHeight = facts.workArea.height();
    const ScaleOutcome outcome = ComputeScaleAndFonts(inputs);
    if (!outcome.ok) return;
    DeleteSharedFonts();
    SetDpiFactor(outcome.dpiFactor);
    SetLayoutScale(outcome.scale);
    CreateSharedFonts(outcome);
    const float s = outcome.scale;
    const DetachedBaseSizes bases = DeriveDetachedBaseSizes(s);
    SetBaseSize(bases.main.width, bases.main.height);
    secondary_->SetBaseSize(bases.secondary.width, bases.secondary.height);
    mapHost_->SetBaseSize(bases.map.width, bases.map.height);
    // 2: the target keeps the top-left corner.
    const FrameRect target = MainWindowRect({x(), y()}, s, FactorX(), FactorY());
    // 3-6: the children's pictures and fonts, then one layout and one redraw.
    setUpdatesEnabled(false);
    buttons_->Rescale(s);
    graph_->ApplyScale();
    info_->ApplyScale();
    if (settings_) settings_->Relayout();
    if (updateNotice_) updateNotice_->Relayout();
    if (!IsMaximisedState()) resize(target.Width(), target.Height());
    ResetZoom(PrimaryScreen());
    LayOutChildrenNow();
    ApplyVideoRectangles();
    setUpdatesEnabled(true);
    update();
    if (settings_) settings_->update();
    // 7, 8: the detached windows keep their corners and take the new sizes.
    secondary_->resize(ScaledExtent(bases.secondary.width, secondary_->FactorX()),
                       ScaledExtent(bases.secondary.height, secondary_->FactorY()));
    mapHost_->resize(ScaledExtent(bases.map.width, mapHost_->FactorX()),
                     ScaledExtent(bases.map.height, mapHost_->FactorY()));
    PlaceSecondaryContent();
    if (!fullScreen_ && !secondary_->isVisible()) secondary_->show();
    secondary_->update();
}

void CVidorraDlg::FitToWorkAreaNow(const QRect& workArea) {
    // Window managers place a maximised window themselves; without one (or
    // one that ignores the request) the window puts itself there.
    if (!IsMaximisedState() || fullScreen_ || Fitting() || workArea.isEmpty()) return;
    SetFitting(true);
    SetTargetRect(workArea);
    // The base size is the least a normal window may be dragged to; a work
    // area narrower than that still takes the maximised window whole.
    setMinimumSize(std::min(minimumWidth(), workArea.width()),
                   std::min(minimumHeight(), workArea.height()));
    setGeometry(workArea);
    LayOutChildrenNow();
    ApplyVideoRectangles();
    SetFitting(false);
}

void CVidorraDlg::MaximiseIfNotFitting(const ScreenFacts& facts, bool atStart) {
    if (fullScreen_ || IsMaximisedState()) return;
    const float fit =
        atStart ? WorkAreaFit(LayoutScale(), DpiFactor(), facts.workArea.height()) : 1.0f;
    if (!MaximiseToFit(fit, {width(), height()}, ToFrame(facts.workArea))) return;
    showMaximized();
    FitToWorkAreaNow(facts.workArea);
    PlaceDetachedFirst();
}

bool CVidorraDlg::ReopenSecondary() {
    // The secondary window's close button only hides it; the display switch
    // is where the user looks for the other camera, so it brings the window
    // back where it was before it swaps anything.
    if (fullScreen_ || secondary_ == nullptr || secondary_->isVisible()) return false;
    PlaceSecondaryContent();
    secondary_->show();
    secondary_->raise();
    ApplyVideoRectangles();
    controller_->RefreshSurfaces();
    return true;
}

}  // namespace trivexa
