#include "app/vidorra_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QTimerEvent>
#include <QWindow>
#include <filesystem>

#include "app/core/control_buttons.h"
#include "app/core/layout_scale.h"
#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "app/core/video_menu.h"
#include "app/logo_dlg.h"
#include "app/main_buttons.h"
#include "app/messages/posted_message.h"
#include "app/movie_menu.h"
#include "browser/filer_container_dlg.h"
#include "browser/folder_tree_ctrl.h"
#include "browser/source_open_dlg.h"
#include "container/integrity.h"
#include "controls/msg_box.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "controls/skin_progress.h"
#include "controls/skin_slider.h"
#include "online/inet_connection_async.h"
#include "panels/gsensor_dlg.h"
#include "panels/info_dlg.h"
#include "panels/movie_dialog.h"
#include "platform/files.h"
#include "recordings/recording_name.h"
#include "settings/core/event_display.h"
#include "settings/setting_dlg.h"

namespace trivexa {
namespace {

constexpr const char* kMainSection = "DISPLAY";
constexpr const char* kMapSection = "MAPDISPLAY";
constexpr const char* kMovieSection = "MOVIEDISPLAY";
constexpr int kMapCaption = 151;
constexpr int kProgressHeightUnits = 22;
constexpr int kMaxRestoreTooltipDrag = 4;

QRect ToQRect(const FrameRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

Camera CameraOfScreen(int screen) { return screen == 1 ? Camera::Rear : Camera::Front; }

}  // namespace

CVidorraDlg::CVidorraDlg(QWidget* parent) : CResizeDialog(parent) {
    setWindowFlag(Qt::FramelessWindowHint, true);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    video_ = InitialVideoArea(1.0f);
}

CVidorraDlg::~CVidorraDlg() {
    Shutdown();
    // The surfaces are bound to the players: the players go first.
    controller_.reset();
    if (graph_) graph_->SetSensorSource(nullptr);
}

// --- initialisation ------------------------------------------------------------------

bool CVidorraDlg::Initialise(const std::string& source, const std::string& fallback) {
    // 1, 2: the window's icon; the two locks live in the controller.
    controller_ = std::make_unique<ViewerController>(*this, this);
    // 3, 4: the language follows the table's default; fonts and the layout
    // scale, and the settings directory.
    // The settings directory is the process's start-up directory, captured by
    // CVidorraApp before the window exists (tests give their own).
    RunScaleAndFonts(this);
    const float s = LayoutScale();
    // 5: title and first rectangle.
    setWindowTitle(QString::fromUtf8(kMainWindowTitle));
    // 6: the skin and the children, in order.
    skin_.Load(s);
    setWindowIcon(skin_.AppIcon());
    browser_ = new CFilerContainerDlg(this);
    browser_->Create(this);
    mapHost_ = std::make_unique<CMovieDialog>(this);
    mapHost_->setObjectName(QStringLiteral("MAPDISPLAY"));
    mapHost_->SetCaption(kMapCaption);
    {
        const FrameSize m = InitialMapWindowSize(s);
        mapHost_->resize(m.width, m.height);
    }
    // The map window comes with the map bridge; until then the logo covers
    // the map area (the no-map picture).
    logo_ = new CLogoDlg(&skin_, mapHost_.get());
    logo_->SetVariant(LogoVariant::kNoMap);
    secondary_ = std::make_unique<CMovieDialog>(this);
    secondary_->setObjectName(QStringLiteral("MOVIEDISPLAY"));
    {
        const FrameSize m = InitialSecondaryWindowSize(s);
        secondary_->resize(m.width, m.height);
    }
    surfaces_[0] = new CMovieStatic(this);
    surfaces_[1] = new CMovieStatic(secondary_.get());
    for (int i = 0; i < 2; ++i) {
        surfaces_[static_cast<std::size_t>(i)]->SetCameraIndex(i);
        surfaces_[static_cast<std::size_t>(i)]->SetOwner(this);
    }
    secondary_->SetCaption(SecondaryCaptionId(0));
    sensorSource_ = std::make_unique<PlayerPairSensorSource>(controller_->Pair());
    graph_ = new CGSensorDlg(this, this);
    graph_->SetSensorSource(sensorSource_.get());
    graph_->ApplyScale();
    info_ = new CInfoDlg(this, this);
    seekSlider_ = new CSkinSliderCtrl(this, static_cast<int>(CommandId::kSeekSlider), this);
    seekSlider_->SetPictures(174, 159, 160, 161);
    seekSlider_->SetRange(0, 0);
    volumeSlider_ = new CSkinSliderCtrl(this, static_cast<int>(CommandId::kVolumeSlider), this);
    volumeSlider_->SetPictures(167, 168, 169, 170);
    volumeSlider_->SetRange(0, kVolumeMax);
    progress_ = new CSkinProgressBarCtrl(this, static_cast<int>(CommandId::kProgressBar));
    progress_->setWindowTitle(QStringLiteral("progress bar"));
    progress_->hide();
    buttons_ = new MainButtons(this);
    buttons_->Rescale(s);
    connect(buttons_, &MainButtons::Command, this, [this](int id) { Command(id); });
    CreateFileCommands();
    // 7: defaults of the settings file.
    if (!std::filesystem::exists(SettingsFilePath())) CreateDefaultSettings();
    // 9: the players, each bound to its surface.
    controller_->InitPlayers(surfaces_[0], surfaces_[0], surfaces_[1], surfaces_[1]);
    // 10: repaired copies of earlier runs are not kept: this viewer's own
    // private repair folder is made, and the folders of viewers that have
    // gone are removed with it. Those of viewers still running stay.
    RepairFolder();
    // 11: aspect and volume.
    controller_->SetKeepAspect(ReadAspectOn());
    controller_->SetVolumeField(ReadVolume());
    // 14: the window's size at the scale.
    const FrameSize base = MainBaseSize(s);
    SetBaseSize(base.width, base.height);
    resize(base.width, base.height);
    // 15: the logo hidden.
    logo_->SetVisibleFlag(false);
    PostMessageTo(logo_, UM_LOGO_SHOW);
    // 16: layout, position 0, volume, play picture, progress bar, zoom,
    // buttons, aspect modes, video rectangles.
    LayOutChildrenNow();
    controller_->FanOut(0);
    controller_->SetVolume(controller_->Volume());
    WriteVolume(controller_->Volume());
    volumeSlider_->SetPos(controller_->Volume());
    SetPlayFace(false);
    ResetZoom(0);
    ResetZoom(1);
    controller_->EnableButtons();
    ApplyAspectModes();
    ApplyVideoRectangles();
    // 17: timer 103 ran the framework's idle processing; Qt needs none.
    // 18: the source: the one asked for, else the last one, else the demo.
    bool opened = false;
    if (!source.empty()) {
        const SourceKind kind = GuessSourceKind(source);
        opened = browser_->OpenSource(source, kind);
        if (opened && kind != SourceKind::File) browser_->SelectDefaultFolder();
    }
    if (!opened && source.empty()) opened = browser_->RestoreSource();
    if (!opened && !fallback.empty()) {
        opened = browser_->OpenSource(fallback, GuessSourceKind(fallback));
        if (opened && browser_->Kind() != SourceKind::File) browser_->SelectDefaultFolder();
    }
    UpdateTracePresent();
    if (opened) {
        const SourceKind kind = browser_->Kind();
        controller_->SetCsvUnavailable(kind != SourceKind::SdCard || RowCount() == 0);
        SetPlayFace(false);
        controller_->EnableButtons();
    }
    ApplyAspectModes();
    ApplyVideoRectangles();
    // 19: the size factors of the window and the rubber bands.
    LoadSizeFactors(kMainSection);
    secondary_->SetBaseSize(DeriveDetachedBaseSizes(s).secondary.width,
                            DeriveDetachedBaseSizes(s).secondary.height);
    mapHost_->SetBaseSize(DeriveDetachedBaseSizes(s).map.width,
                          DeriveDetachedBaseSizes(s).map.height);
    secondary_->LoadSizeFactors(kMovieSection);
    mapHost_->LoadSizeFactors(kMapSection);
    {
        const FrameRect r = MainWindowRect({x(), y()}, s, FactorX(), FactorY());
        resize(r.Width(), r.Height());
    }
    SetBaseScale(s);
    CreateFrameWindow();
    secondary_->CreateFrameWindow();
    mapHost_->CreateFrameWindow();
    SetBaseSize(base.width, base.height);
    // 20: the second stage.
    PostMessageTo(this, UM_DEFERRED_INIT);
    initialised_ = true;
    return true;
}

void CVidorraDlg::DeferredInit() {
    LayOutChildrenNow();
    PlaceDetachedFirst();
    // 4: the work area now; a window that does not fit it is maximised.
    const ScreenFacts facts = CurrentScreenFacts();
    SetStoredWorkArea(facts.workArea);
    SetRestoreRect(geometry());
    MaximiseIfNotFitting(facts, true);
    WatchScreen();
    RaiseSecondary();
    CreateMap();
    StartUpdateCheck();
}

// --- layout ---------------------------------------------------------------------------

void CVidorraDlg::LayOutChildrenNow() {
    if (!browser_) return;
    const float s = LayoutScale();
    if (fullScreen_) return;
    video_ = MainWindowSizes(width(), height(), s);
    SetVideoSize(video_.width, video_.height);
    layout_ = LayOutChildren({width(), height()}, video_, s);
    if (!layout_.valid) return;
    for (CMovieStatic* surface : surfaces_) surface->SetBlank(false);
    graph_->show();
    info_->show();
    seekSlider_->show();
    volumeSlider_->show();
    PlaceVideoArea();
    seekSlider_->setGeometry(ToQRect(layout_.seekSlider));
    info_->setGeometry(ToQRect(layout_.tripPanel));
    graph_->setGeometry(ToQRect(layout_.graph));
    browser_->show();
    browser_->Layout(ToQRect(layout_.browser));
    buttons_->Place(layout_);
    buttons_->UpdateMaximiseTooltip(IsMaximisedState(), fullScreen_);
    volumeSlider_->setGeometry(ToQRect(layout_.volumeSlider));
    {
        const FrameRect& v = layout_.videoRect;
        progress_->setGeometry(v.left, v.bottom - Units(kProgressHeightUnits, s), v.Width(),
                               Units(kProgressHeightUnits, s));
    }
    update();
}

void CVidorraDlg::PlaceVideoArea() {
    CMovieStatic* primary = surfaces_[static_cast<std::size_t>(PrimaryScreen())];
    primary->setGeometry(ToQRect(::trivexa::PlaceVideoArea(video_, LayoutScale())));
    primary->show();
}

void CVidorraDlg::PlaceSecondaryContent() {
    CMovieStatic* second = surfaces_[static_cast<std::size_t>(1 - PrimaryScreen())];
    const FrameRect c =
        DetachedContentRect({secondary_->width(), secondary_->height()}, LayoutScale());
    second->setGeometry(ToQRect(c));
    second->show();
    const FrameRect m = DetachedContentRect({mapHost_->width(), mapHost_->height()}, LayoutScale());
    logo_->setGeometry(ToQRect(m));
    PlaceMapContent();
}

void CVidorraDlg::PlaceDetachedFirst() {
    const float s = LayoutScale();
    const DetachedBaseSizes bases = DeriveDetachedBaseSizes(s);
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const DetachedPlaces places = DetachedFirstPlaces(
        {origin.x(), origin.y()}, layout_.videoRect, layout_.browser, s, bases,
        {mapHost_->FactorX(), mapHost_->FactorY()}, {secondary_->FactorX(), secondary_->FactorY()});
    mapHost_->setGeometry(ToQRect(places.map));
    secondary_->setGeometry(ToQRect(places.secondary));
    PlaceSecondaryContent();
    if (!fullScreen_) secondary_->show();
    secondary_->raise();
}

void CVidorraDlg::resizeEvent(QResizeEvent* event) {
    CResizeDialog::resizeEvent(event);
    if (!fullScreen_) LayOutChildrenNow();
}

void CVidorraDlg::ApplyTargetRect() {
    // The end of an edge drag: the window takes the rectangle the rubber
    // band showed (a caption press moves the window instead).
    const bool fromCaption = Zone() == HitZone::kCaption;
    ClearDirection();
    if (!fromCaption) {
        setGeometry(TargetRect());
        LayOutChildrenNow();
        ApplyVideoRectangles();
        update();
    }
    SaveSizeFactors();
}

void CVidorraDlg::changeEvent(QEvent* event) {
    CResizeDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !initialised_) return;
    const SizeType type = (windowState() & Qt::WindowMinimized)   ? SizeType::kMinimised
                          : (windowState() & Qt::WindowMaximized) ? SizeType::kMaximised
                                                                  : SizeType::kRestored;
    const SizeChangeActions a =
        OnSizeChanged(type, {IsMaximisedState(), IsMinimisedState(), false});
    if (a.minimiseSecondary) secondary_->showMinimized();
    if (a.restoreSecondary) secondary_->showNormal();
    if (a.minimiseSecondary && mapShown_) mapHost_->showMinimized();
    if (a.restoreSecondary && mapShown_) mapHost_->showNormal();
    if (a.tripWidthFactor) info_->SetWidthFactor(*a.tripWidthFactor);
    if (a.resetPrimaryZoom) ResetZoom(PrimaryScreen());
    SetMaximisedState(a.after.maximised);
    SetMinimisedState(a.after.minimised);
    if (a.fitToWorkArea) FitToWorkAreaNow(CurrentScreenFacts().workArea);
    if (a.fitToWorkArea || a.returnToRestoreRect) {
        LayOutChildrenNow();
        ApplyVideoRectangles();
    }
    if (a.updateMaximiseTooltip) buttons_->UpdateMaximiseTooltip(IsMaximisedState(), fullScreen_);
    if (a.raiseSecondary) secondary_->raise();
}

void CVidorraDlg::OnReleased(QPoint globalCursor) {
    CResizeDialog::OnReleased(globalCursor);
    releaseCursor_ = globalCursor;
    if (!IsMaximisedState())
        releaseTimer_.start(
            std::max(1, QGuiApplication::styleHints()->mouseDoubleClickInterval() / 4), this);
}

void CVidorraDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    CResizeDialog::mouseDoubleClickEvent(event);
    releaseTimer_.stop();
    const QPoint p = event->position().toPoint();
    if (p.y() < Units(kTopBandUnits, LayoutScale()) && !fullScreen_) ShowMaximisedToggle();
}

void CVidorraDlg::ShowMaximisedToggle() {
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void CVidorraDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == releaseTimer_.timerId()) {
        releaseTimer_.stop();
        // A pending edge drag ends here (a double click has cancelled it).
        FinishResize(releaseCursor_);
        SetRestoreRect(geometry());
        PostMessageTo(this, UM_VIDEO_CLICKED, 0, PrimaryScreen());
        return;
    }
    CResizeDialog::timerEvent(event);
}

// --- painting --------------------------------------------------------------------------

void CVidorraDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (fullScreen_) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawPixmap(0, 0,
                       offscreen_.Background(size(), LayoutScale(), devicePixelRatioF(), skin_));
    if (firstErase_) {
        firstErase_ = false;
        controller_->RefreshSurfaces();
    }
}

// --- keys and closing -------------------------------------------------------------------

void CVidorraDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape do not end the window; Escape cancels a running file
    // task (every control is disabled meanwhile).
    if (event->key() == Qt::Key_Escape && taskFrame_) taskFrame_->Cancel();
    event->accept();
}

void CVidorraDlg::closeEvent(QCloseEvent* event) {
    // The system's close: the shutdown sequence, then the loop ends.
    Shutdown();
    event->accept();
    QDialog::done(0);
}

void CVidorraDlg::Shutdown() {
    if (closing_ || !controller_) return;
    closing_ = true;
    if (fullScreen_) ToggleFullScreen();
    if (isMaximized()) showNormal();
    SaveSizeFactors();
    ShutdownMap();
    // A running file task stops before its next item.
    if (taskFrame_) taskFrame_->CancelAndWait();
    controller_->Shutdown();
    controller_->Reset();
    if (browser_) browser_->ClearSource();
    OfferRepairedCopiesOnce();
    StopOnline();
    if (secondary_) secondary_->hide();
    if (mapHost_) mapHost_->hide();
    SetWaitCursor(false);
}

// --- messages ----------------------------------------------------------------------------

bool CVidorraDlg::event(QEvent* event) {
    if (const PostedMessageEvent* m = AsPostedMessage(event)) {
        HandleMessage(m->message(), m->wParam(), m->lParam());
        return true;
    }
    return CResizeDialog::event(event);
}

void CVidorraDlg::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (closing_ && message != UM_DEFERRED_INIT) return;
    const int id = static_cast<int>(wParam);
    switch (message) {
        case UM_GRAPH_NOTIFY:
            break;  // our engine reports its end through UM_ENGINE_ENDED
        case UM_TASK_PROGRESS:
            progress_->SetPos(lParam <= 0 ? 100 : static_cast<int>(wParam * 100 / lParam));
            progress_->raise();
            break;
        case UM_VIDEO_CLICKED:
            if (lParam == 2) {
                if (secondary_->CaptionPress())
                    secondary_->ClearCaptionPress();
                else
                    ResetZoom(1 - PrimaryScreen());
            } else {
                if (CaptionPress())
                    ClearCaptionPress();
                else
                    ResetZoom(PrimaryScreen());
            }
            ApplyVideoRectangles();
            break;
        case UM_SLIDER_TRACK:
        case UM_SLIDER_DOWN:
        case UM_SLIDER_UP:
            if (id == static_cast<int>(CommandId::kSeekSlider)) {
                if (message == UM_SLIDER_DOWN)
                    controller_->SeekSliderDown(lParam, seekSlider_->PressWasOnThumb());
                else if (message == UM_SLIDER_TRACK)
                    controller_->SeekSliderTrack(lParam);
                else
                    controller_->SeekSliderUp(lParam);
            } else if (id == static_cast<int>(CommandId::kVolumeSlider) &&
                       message != UM_SLIDER_DOWN) {
                controller_->SetVolume(static_cast<int>(lParam));
                WriteVolume(controller_->Volume());
                volumeSlider_->SetPos(controller_->Volume());
            }
            break;
        case UM_MAP_READY:
            OnMapReady();
            break;
        case UM_MAP_SEEK:
            OnMapSeek(lParam);
            break;
        case UM_GRAPH_PREV_EVENT:
        case UM_GRAPH_NEXT_EVENT:
            controller_->EventJump(message == UM_GRAPH_NEXT_EVENT);
            break;
        case UM_EVENT_DISPLAY: {
            // The settings dialog switched an event category: the rule that
            // picks the graph series and the order of the steps is shared.
            struct Owner final : EventDisplayOwner {
                CVidorraDlg& dlg;
                explicit Owner(CVidorraDlg& d) : dlg(d) {}
                void SetGraphSeries(int series, bool on) override {
                    dlg.graph_->SetSeries(series, on);
                }
                void RebuildEventList() override { dlg.controller_->RebuildEvents(); }
                void RebuildMapMarkers() override { dlg.MapEventsChanged(); }
            } owner(*this);
            HandleEventDisplay(owner, wParam, lParam);
            break;
        }
        case UM_INFO_TOGGLE:
            if (id >= 0 && id <= 2) {
                graph_->SetSeries(id, lParam != 0);
                controller_->RebuildEvents();
                MapEventsChanged();
            }
            break;
        case UM_SOURCE_LOST: {
            ReturnToEmptyState();
            controller_->SourceLost();
            UpdateTracePresent();
            OfferRepairedCopiesOnce();
            const std::string self = QCoreApplication::applicationFilePath().toStdString();
            std::error_code ec;
            if (!self.empty() && !std::filesystem::exists(self, ec)) {
                exitRequested_ = true;
                Shutdown();
                QDialog::done(0);
            }
            break;
        }
        case UM_TASK_DONE:
        case UM_DELETE_DONE:
        case UM_JOIN_DONE:
        case UM_CSV_DONE:
            break;  // the task frame receives its workers' reports itself
        case UM_DEFERRED_INIT:
            DeferredInit();
            break;
        case UM_APPBAR_NOTIFY:
            break;  // no task bar callback on this platform
        case UM_SUBWINDOW_PAINTED:
            break;
        case UM_SUBWINDOW_CLOSED:
            OnMapHostClosed();
            break;
        case UM_SUBWINDOW_DBLCLK:
            secondary_->SetFactors(1.0f, 1.0f);
            mapHost_->SetFactors(1.0f, 1.0f);
            ResetZoom(1 - PrimaryScreen());
            PlaceDetachedFirst();
            secondary_->SaveSizeFactors();
            mapHost_->SaveSizeFactors();
            break;
        case UM_SUBWINDOW_SIZED:
            PlaceSecondaryContent();
            ApplyVideoRectangles();
            break;
        case UM_UPDATE_AVAILABLE:
            ShowUpdateAvailable();
            break;
        default:
            break;
    }
}

// --- commands ------------------------------------------------------------------------------

void CVidorraDlg::Command(int id) {
    if (!controller_) return;
    switch (static_cast<CommandId>(id)) {
        case CommandId::kCaptionClose:
            Shutdown();
            QDialog::done(0);
            return;
        case CommandId::kCaptionMaximise:
            ShowMaximisedToggle();
            return;
        case CommandId::kCaptionMinimise:
            showMinimized();
            return;
        case CommandId::kStop:
            controller_->CmdStop();
            return;
        case CommandId::kPrevious:
            controller_->CmdPrevious();
            return;
        case CommandId::kPlayPause:
            controller_->CmdPlayPause();
            return;
        case CommandId::kSlower:
            controller_->CmdSlower();
            return;
        case CommandId::kFaster:
            controller_->CmdFaster();
            return;
        case CommandId::kNext:
            controller_->CmdNext();
            return;
        case CommandId::kZoomMode:
            if (!controller_->OpenPending() && !controller_->CheckEndMargin()) ToggleZoomMode();
            return;
        case CommandId::kMirror:
            controller_->CmdMirror();
            surfaces_[1]->SetMirroredFlag(controller_->RearMirrored());
            return;
        case CommandId::kMapWindow:
            MapCommand();
            return;
        case CommandId::kBrowse:
            Browse();
            return;
        case CommandId::kSettings:
            HookSettings();
            return;
        case CommandId::kSwapScreens:
            if (!controller_->OpenPending() && !controller_->CheckEndMargin() && !ReopenSecondary())
                SwapScreens();
            return;
        case CommandId::kAspect:
            ToggleAspect();
            return;
        case CommandId::kStill:
        case CommandId::kJoin:
        case CommandId::kDelete:
        case CommandId::kCsv:
            FileCommand(id);
            return;
        default:
            return;
    }
}

void CVidorraDlg::HookSettings() {
    // Modeless; its switches post UM_EVENT_DISPLAY back to this window.
    if (!settings_) settings_ = new CSettingDlg(this);
    settings_->Show();
}

void CVidorraDlg::ApplyEnabling(const ButtonEnabling& enabling) {
    if (!buttons_) return;
    ButtonEnabling e = enabling;
    // Commands whose parts are not built yet stay disabled rather than do
    // nothing when pressed.
    // Without the map module there is no map window to show.
    if (!map_ || noMap_) e.controls[static_cast<std::size_t>(button::kMapWindow)] = false;
    buttons_->Apply(e);
}

void CVidorraDlg::SetControlsEnabled(bool on) {
    if (!buttons_) return;
    if (on) {
        controller_->EnableButtons();
    } else {
        buttons_->SetControlsEnabled(false);
        // The button enabling during a file task leaves the caption buttons
        // disabled as well.
        if (controller_->BusyTask()) buttons_->SetCaptionsEnabled(false);
    }
}

std::vector<QWidget*> CVidorraDlg::OtherControls() {
    return {browser_,     info_,        graph_,         seekSlider_, volumeSlider_,
            surfaces_[0], surfaces_[1], mapHost_.get(), logo_};
}

void CVidorraDlg::SetPlayFace(bool pause) {
    if (buttons_) buttons_->SetPlayFace(pause);
}

// --- view modes ------------------------------------------------------------------------------

void CVidorraDlg::ResetZoom(int screen) {
    trivexa::ResetZoom(zoom_[static_cast<std::size_t>(screen)], screen, video_, LayoutScale());
}

void CVidorraDlg::ApplyVideoRectangles() {
    if (!controller_) return;
    const std::array<ZoomArguments, 2> z = VideoRectangles(zoom_);
    std::array<CameraGeometry, 2> g{};
    for (std::size_t i = 0; i < 2; ++i)
        g[i] = {z[i].zoomX, z[i].zoomY, z[i].panX, z[i].panY, z[i].factor};
    controller_->Pair().SetZoom(g, true);
}

void CVidorraDlg::ApplyAspectModes() {
    if (!controller_) return;
    PlayerPair& pair = controller_->Pair();
    pair.Player(CameraOfScreen(PrimaryScreen())).SetKeepAspect(controller_->KeepAspect());
    pair.Player(CameraOfScreen(1 - PrimaryScreen())).SetKeepAspect(true);
}

void CVidorraDlg::ToggleZoomMode() {
    zoomMode_ = !zoomMode_;
    for (CMovieStatic* s : surfaces_) s->SetZoomMode(zoomMode_);
    browser_->SetZoomMode(zoomMode_);
    buttons_->SetToggled(button::kZoomMode, zoomMode_);
    info_->update();
    if (!zoomMode_) {
        ResetZoom(0);
        ResetZoom(1);
        ApplyVideoRectangles();
    }
}

void CVidorraDlg::OnVideoZoomAt(int screen, QPoint p) {
    if (screen < 0 || screen > 1) return;
    CMovieStatic* surface = surfaces_[static_cast<std::size_t>(screen)];
    if (!surface->ZoomMode()) return;
    const FrameRect client{0, 0, surface->width(), surface->height()};
    if (ZoomAtPoint(zoom_[static_cast<std::size_t>(screen)], screen, client, {p.x(), p.y()}, video_,
                    LayoutScale()))
        ApplyVideoRectangles();
}

void CVidorraDlg::OnToggleFullScreen() {
    if (!DoubleClickTogglesFullScreen(zoomMode_, controller_->BusyTask(), RowCount(),
                                      controller_->MediaLoaded()))
        return;
    ToggleFullScreen();
}

void CVidorraDlg::ToggleFullScreen() {
    if (!fullScreen_ &&
        FullScreenRefused(false, controller_->DataPosition(), controller_->DataDuration()))
        return;
    fullScreen_ = !fullScreen_;
    SetFullScreenState(fullScreen_);
    CMovieStatic* primary = surfaces_[static_cast<std::size_t>(PrimaryScreen())];
    primary->SetFullScreenFlag(fullScreen_);
    if (fullScreen_) {
        windowedGeometry_ = geometry();
        graph_->hide();
        info_->hide();
        seekSlider_->hide();
        volumeSlider_->hide();
        browser_->hide();
        buttons_->SetAllVisible(false);
        controller_->UpdateSpeedLabel();
        QScreen* screen = this->screen();
        const QRect monitor = screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
        setGeometry(monitor);
        primary->setGeometry(0, 0, monitor.width(), monitor.height());
        primary->raise();
        secondary_->hide();
        mapHost_->hide();
        ResetZoom(PrimaryScreen());
        ApplyVideoRectangles();
    } else {
        controller_->SetKeepAspect(true);
        controller_->Pair().Player(CameraOfScreen(PrimaryScreen())).SetKeepAspect(true);
        WriteAspectOn(true);
        ResetZoom(PrimaryScreen());
        setGeometry(windowedGeometry_);
        LayOutChildrenNow();
        ApplyVideoRectangles();
        ShowMapAfterFullScreen();
        secondary_->show();
        secondary_->raise();
        // A surface moved into the secondary window while it was hidden (the
        // display switch in full screen) learns its size only now: its
        // picture is laid out again for it.
        ApplyVideoRectangles();
        update();
    }
}

void CVidorraDlg::ToggleAspect() {
    if (!controller_->MediaLoaded()) return;
    MoviePlayer& p = controller_->Pair().Player(CameraOfScreen(PrimaryScreen()));
    const bool keep = !p.KeepAspect();
    p.SetKeepAspect(keep);
    controller_->SetKeepAspect(keep);
    ApplyVideoRectangles();
    WriteAspectOn(keep);
    controller_->UpdateSpeedLabel();
}

void CVidorraDlg::SwapScreens() {
    const ScreenAssignment a = trivexa::SwapScreens(PrimaryScreen());
    controller_->SetScreens(a.primary);
    secondary_->SetCaption(a.secondaryCaptionId);
    const bool wasPlaying = controller_->DataState() == PlayState::kPlaying;
    if (wasPlaying) controller_->Pair().Pause(CameraSelector::kBoth);
    CMovieStatic* primary = surfaces_[static_cast<std::size_t>(a.primary)];
    CMovieStatic* second = surfaces_[static_cast<std::size_t>(a.secondary)];
    primary->hide();
    primary->setParent(this);
    second->setParent(secondary_.get());
    primary->SetFullScreenFlag(fullScreen_);
    second->SetFullScreenFlag(false);
    if (fullScreen_) {
        primary->setGeometry(rect());
        ApplyAspectModes();
    } else {
        PlaceVideoArea();
    }
    primary->show();
    PlaceSecondaryContent();
    if (controller_->MediaLoaded()) {
        ResetZoom(0);
        ResetZoom(1);
        ApplyVideoRectangles();
        if (wasPlaying)
            controller_->Pair().Play(CameraSelector::kBoth);
        else
            controller_->Pair().Repaint(CameraSelector::kBoth);
    }
    secondary_->raise();
}

void CVidorraDlg::ReturnToEmptyState() {
    if (zoomMode_) ToggleZoomMode();
    if (fullScreen_) ToggleFullScreen();
    if (PrimaryScreen() != 0) SwapScreens();
}

void CVidorraDlg::LeaveViewModes() {
    if (zoomMode_) ToggleZoomMode();
    if (fullScreen_)
        ToggleFullScreen();
    else
        LayOutChildrenNow();
}

void CVidorraDlg::Browse() {
    if (controller_->DataState() == PlayState::kPlaying) controller_->PausePair();
    controller_->Stop();
    info_->Reset();
    if (zoomMode_) ToggleZoomMode();
    controller_->SetCsvUnavailable(true);
    ReturnToEmptyState();
    controller_->Reset();
    browser_->SetContinueInSequence(false);
    CSourceOpenDlg dialog(this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    OfferRepairedCopiesOnce();
    if (accepted) {
        const SourceKind kind = dialog.Mode();
        std::string path = dialog.ChosenPath();
        std::error_code ec;
        if (!path.empty() && std::filesystem::exists(path, ec)) {
            if (kind == SourceKind::File &&
                !IsRecordingFileName(std::filesystem::path(path).filename().string())) {
                ShowError(96);
            } else {
                while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
                    path.pop_back();
                if (browser_->OpenSource(path, kind) && kind != SourceKind::File)
                    browser_->SelectDefaultFolder();
                controller_->SetCsvUnavailable(kind != SourceKind::SdCard || RowCount() == 0);
            }
        }
    }
    UpdateTracePresent();
    if (!browser_->ZoomMode()) browser_->update();
    controller_->EnableButtons();
}

// --- the video context menu -------------------------------------------------------------------

void CVidorraDlg::OnVideoMenu(QPoint globalPoint, CMovieStatic* surface) {
    OpenVideoMenu(globalPoint, surface);
}

void CVidorraDlg::OpenVideoMenu(QPoint globalPoint, CMovieStatic* surface) {
    if (VideoMenuRefused(controller_->CheckEndMargin(), controller_->OpenPending())) return;
    VideoMenuInput in;
    in.state = controller_->DataState();
    if (in.state == PlayState::kClosed) in.state = PlayState::kStopped;
    in.fullScreen = fullScreen_;
    in.rate = controller_->DataRate();
    in.primaryKeepsAspect =
        controller_->Pair().Player(CameraOfScreen(PrimaryScreen())).KeepAspect();
    in.rearMirrored = controller_->RearMirrored();
    in.onFrontSurface = surface != nullptr && surface->CameraIndex() == 0;
    std::vector<VideoMenuItem> items = BuildVideoMenu(in);
    CMovieMenu menu(std::move(items), fullScreen_, this);
    const std::optional<CommandId> chosen = menu.Exec(globalPoint);
    if (chosen) Command(static_cast<int>(*chosen));
}

void CVidorraDlg::CloseMenus() {
    if (CMovieMenu* menu = CMovieMenu::Active()) menu->Dismiss();
}

// --- BrowserOwner -------------------------------------------------------------------------------

std::recursive_mutex& CVidorraDlg::ListMutex() { return controller_->ListMutex(); }
int CVidorraDlg::CurrentIndex() const { return controller_->CurrentIndex(); }
void CVidorraDlg::SetCurrentIndex(int row) { controller_->SetCurrentIndex(row); }

void CVidorraDlg::SelectRecording(const SelectRecordingFlags& flags) {
    controller_->SelectRecording(flags.resetSlider, flags.clearGraph, flags.clearTripPanel);
}

void CVidorraDlg::OnFolderSelected(TreeNode node) { controller_->FolderSelected(node); }

void CVidorraDlg::OnCommand(int commandId) {
    const int index = commandId - CFilerContainerDlg::kFilterCommandBase;
    if (index < 0 || index >= kFilterCount) return;
    browser_->SetFilter(index, !browser_->Filter(index));
    MapListChanged();
    MapEventsChanged();
    if (RowCount() == 0) {
        if (controller_->DataState() == PlayState::kPlaying) controller_->PausePair();
        controller_->Stop();
        controller_->ResetSpeed();
        controller_->Reset();
        SetPlayFace(false);
    }
    controller_->EnableButtons();
}

// --- MovieStaticOwner
// -----------------------------------------------------------------------------

void CVidorraDlg::OnPlayerReady(std::uintptr_t, int camera) {
    controller_->PlayerReady(camera);
    // The player may have made a repaired copy of a damaged clip to play it:
    // the row's colour follows its repair state at once.
    if (browser_) browser_->RepaintList();
}
void CVidorraDlg::OnPlayerEnded(std::uintptr_t, int camera) { controller_->PlayerEnded(camera); }
void CVidorraDlg::OnGraphNotify(int) {}
int CVidorraDlg::PrimaryScreen() const { return controller_ ? controller_->PrimaryScreen() : 0; }

CameraClip CVidorraDlg::ClipOf(int camera) const {
    CameraClip clip;
    if (!controller_) return clip;
    const PlayerPair& pair = controller_->Pair();
    std::optional<Camera> c;
    if (camera == 2)
        c = pair.DataCamera();
    else
        c = camera == 1 ? Camera::Rear : Camera::Front;
    if (!c) return clip;
    const MoviePlayer& p = pair.Player(*c);
    clip.present = p.IsPresent();
    clip.holdsClip = p.State() != PlayerState::kClosed;
    clip.playing = p.State() == PlayerState::kPlaying;
    return clip;
}

// --- ViewerView
// -------------------------------------------------------------------------------------

int CVidorraDlg::RowCount() {
    return browser_ ? static_cast<int>(browser_->Displayed().size()) : 0;
}

std::optional<RecordingEntry> CVidorraDlg::Row(int row) {
    if (!browser_ || row < 0 || row >= RowCount()) return std::nullopt;
    return browser_->Displayed()[static_cast<std::size_t>(row)];
}

void CVidorraDlg::SetRowFacts(int row, int qualityClass, const SystemTime& start) {
    std::lock_guard hold(ListMutex());
    if (row < 0 || row >= RowCount()) return;
    RecordingEntry& e = browser_->Displayed()[static_cast<std::size_t>(row)];
    e.qualityClass = qualityClass;
    e.startTime = start;
}

void CVidorraDlg::SelectListRow(int row) { browser_->SelectRow(row, 0); }
bool CVidorraDlg::ContinueInSequence() { return browser_->ContinueInSequence(); }
void CVidorraDlg::SetContinueInSequence(bool on) { browser_->SetContinueInSequence(on); }
bool CVidorraDlg::BrowserTaskRunning() { return browser_->TaskRunning(); }

bool CVidorraDlg::TreeHasNextNode() {
    CFolderTreeCtrl& tree = browser_->Tree();
    return tree.NextNode(tree.SelectedNode()) != kTreeRoot;
}

void CVidorraDlg::SelectNextTreeNode() {
    CFolderTreeCtrl& tree = browser_->Tree();
    const TreeNode next = tree.NextNode(tree.SelectedNode());
    if (next != kTreeRoot) tree.SelectNode(next);
}

int CVidorraDlg::LoadFolder(TreeNode node) { return browser_->LoadFolder(node); }
int CVidorraDlg::FolderRowCount(TreeNode node) { return browser_->CountFolder(node); }
TreeNode CVidorraDlg::NextTreeNode(TreeNode node) {
    CFolderTreeCtrl& tree = browser_->Tree();
    return tree.NextNode(node == kTreeRoot ? tree.SelectedNode() : node);
}
void CVidorraDlg::SelectTreeNode(TreeNode node) { browser_->Tree().SelectNode(node); }
bool CVidorraDlg::BrowserClearing() { return browser_->Clearing(); }
void CVidorraDlg::ClearBrowserList() { browser_->ClearSource(); }
void CVidorraDlg::LayOutBrowser() {
    if (layout_.valid && !fullScreen_) browser_->Layout(ToQRect(layout_.browser));
}
SourceKind CVidorraDlg::Source() { return browser_ ? browser_->Kind() : SourceKind::None; }
TripValues& CVidorraDlg::Trip() { return info_->Values(); }
void CVidorraDlg::RepaintTrip() { info_->update(); }
void CVidorraDlg::ResetTrip() { info_->Reset(); }

void CVidorraDlg::SetSeekRange(std::int64_t first, std::int64_t end) {
    seekSlider_->SetRange(static_cast<int>(first), static_cast<int>(std::max(first, end - 1)));
}
void CVidorraDlg::SetSeekPosition(std::int64_t p) { seekSlider_->SetPos(static_cast<int>(p)); }
void CVidorraDlg::EnableSeekSlider(bool on) { seekSlider_->Enable(on); }
void CVidorraDlg::ReleaseSeekSlider() {
    if (QWidget::mouseGrabber() == seekSlider_) seekSlider_->releaseMouse();
}

void CVidorraDlg::SetGraphCursor(std::int64_t count, std::int64_t position) {
    graph_->SetCursorCount(static_cast<int>(count));
    graph_->SetCursorPosition(static_cast<int>(position));
}
void CVidorraDlg::PrepareGraph() { graph_->PrepareData(); }
void CVidorraDlg::ClearGraph() { graph_->Clear(); }

std::vector<std::int64_t> CVidorraDlg::GraphEventFrames() {
    std::vector<std::int64_t> frames;
    for (const GraphEvent& e : graph_->BuildEventList()) frames.push_back(e.frame);
    return frames;
}

void CVidorraDlg::SetWaitCursor(bool on) {
    if (on == waitCursor_) return;
    waitCursor_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CVidorraDlg::RepaintSurfaces() {
    for (CMovieStatic* s : surfaces_)
        if (s) s->update();
}

void CVidorraDlg::SetSecondaryCaptionFor(int primaryScreen) {
    secondary_->SetCaption(SecondaryCaptionId(primaryScreen));
}

void CVidorraDlg::RaiseSecondary() {
    if (secondary_ && secondary_->isVisible()) secondary_->raise();
}

bool CVidorraDlg::AskYesNo(int text, int caption) {
    SetWaitCursor(false);
    CMsgBox box(this);
    return box.Show(UiString(text), UiString(caption), 4) == 1;
}

void CVidorraDlg::ShowError(int text) {
    SetWaitCursor(false);
    CMsgBox box(this);
    box.Show(UiString(text), "ERROR", 0);
}

void CVidorraDlg::SetModelCode(int code) {
    logo_->SetModelCode(code);
    logo_->update();
}

}  // namespace trivexa
