#pragma once
// CVidorraDlg: the viewer's one main window. It owns and places every
// component the user sees (the browser panel, the two video surfaces, one in
// the window and one in the detached secondary video window, the trip panel,
// the acceleration graph, the seek and volume sliders, the nineteen buttons,
// the progress bar, the map host window with its logo window) and forwards
// everything that concerns a recording's life or playback to its controller
// (ViewerController), which decides and calls back through ViewerView. The
// window itself keeps the presentation: layout and scale, the frame, full
// screen, zoom, the display switch, the context menu and the source dialog.
//
// Messages: every UM_ notice arrives as a posted event in event(), one switch
// in the order of the message table; the surfaces, the folder tree and the
// list call the owner interfaces directly.
//
// Each larger part plugs in at one place: the settings dialog (38013), the
// map (38010, UM_MAP_*; vidorra_dlg_map.cpp), the file commands (still 38006,
// join 38007, delete 38012, CSV 38014, with their tasks;
// vidorra_dlg_files.cpp), the update check (UM_UPDATE_AVAILABLE;
// vidorra_dlg_online.cpp) and the following of the screen
// (vidorra_dlg_screen.cpp).
//
// Callers: CVidorraApp creates it, runs Initialise and then exec(); the UI
// thread only.

#include <QBasicTimer>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <array>
#include <memory>
#include <string>

#include "app/controller/viewer_controller.h"
#include "app/core/main_layout.h"
#include "app/core/screen_zoom.h"
#include "app/file_commands/repaired_copies.h"
#include "app/file_commands/still_capture.h"
#include "app/main_skin.h"
#include "app/resource_image.h"
#include "app/task_frame.h"
#include "browser/browser_owner.h"
#include "controls/resize_dialog.h"
#include "map/map_view_wrap.h"
#include "panels/movie_static.h"
#include "panels/player_sensor_source.h"

class QTimer;

namespace trivexa {

class CFilerContainerDlg;
class CGSensorDlg;
class CInetConnectionAsync;
class CUpdateDialog;
class CInfoDlg;
class CLogoDlg;
class CMovieDialog;
class CSettingDlg;
class CSkinProgressBarCtrl;
class CSkinSliderCtrl;
class MainButtons;
class MapGroupTrackCollector;

class CVidorraDlg : public CResizeDialog,
                    public BrowserOwner,
                    public MovieStaticOwner,
                    public ViewerView,
                    public MapViewOwner,
                    public StillCaptureOwner,
                    public RepairedCopiesOwner {
    Q_OBJECT
public:
    explicit CVidorraDlg(QWidget* parent = nullptr);
    ~CVidorraDlg() override;

    // The initialisation steps, then UM_DEFERRED_INIT is posted. `source`,
    // when not empty, is opened instead of the last source (a card, folder or
    // clip); `fallback` is opened when neither gives a source. False when the
    // window could not be initialised (it then runs empty).
    bool Initialise(const std::string& source = {}, const std::string& fallback = {});

    // The command table (buttons, context menu, caption buttons).
    void Command(int id);
    // Shutdown sequence; closes the window. Safe to call more than once.
    void Shutdown();
    // The process ends because the program's own file has gone (source lost).
    bool ExitRequested() const { return exitRequested_; }

    // --- parts, for the tests and the benchmark ---------------------------------
    ViewerController& Controller() { return *controller_; }
    CFilerContainerDlg& Browser() { return *browser_; }
    CGSensorDlg& Graph() { return *graph_; }
    CInfoDlg& TripPanel() { return *info_; }
    CMovieStatic& Surface(int screen) { return *surfaces_[static_cast<std::size_t>(screen)]; }
    CMovieDialog& SecondaryWindow() { return *secondary_; }
    CMovieDialog& MapWindow() { return *mapHost_; }
    CSkinSliderCtrl& SeekSlider() { return *seekSlider_; }
    CSkinSliderCtrl& VolumeSlider() { return *volumeSlider_; }
    MainButtons& Buttons() { return *buttons_; }
    CLogoDlg& Logo() { return *logo_; }
    // The settings dialog once the settings command has shown it, else null.
    CSettingDlg* Settings() const { return settings_; }
    bool FullScreen() const { return fullScreen_; }
    bool ZoomMode() const { return zoomMode_; }
    const ZoomRecord& Zoom(int screen) const { return zoom_[static_cast<std::size_t>(screen)]; }
    VideoArea Video() const { return video_; }
    const MainLayout& Layout() const { return layout_; }
    // Runs the video context menu's choice (the test's way to pick an item
    // without the menu's own loop).
    void OpenVideoMenu(QPoint globalPoint, CMovieStatic* surface);

    // --- BrowserOwner -------------------------------------------------------------
    std::recursive_mutex& ListMutex() override;
    int CurrentIndex() const override;
    void SetCurrentIndex(int row) override;
    void SelectRecording(const SelectRecordingFlags& flags) override;
    void OnFolderSelected(TreeNode node) override;
    void OnCommand(int commandId) override;
    QObject* MessageTarget() override { return this; }

    // --- MovieStaticOwner -------------------------------------------------------------
    void OnPlayerReady(std::uintptr_t wParam, int camera) override;
    void OnPlayerEnded(std::uintptr_t wParam, int camera) override;
    void OnGraphNotify(int camera) override;
    void OnVideoMenu(QPoint globalPoint, CMovieStatic* surface) override;
    void OnVideoZoomAt(int screen, QPoint clientPoint) override;
    void OnToggleFullScreen() override;
    int PrimaryScreen() const override;
    CameraClip ClipOf(int camera) const override;

    // --- ViewerView -----------------------------------------------------------------------
    int RowCount() override;
    std::optional<RecordingEntry> Row(int row) override;
    void SetRowFacts(int row, int qualityClass, const SystemTime& start) override;
    void SelectListRow(int row) override;
    bool ContinueInSequence() override;
    void SetContinueInSequence(bool on) override;
    bool BrowserTaskRunning() override;
    bool TreeHasNextNode() override;
    void SelectNextTreeNode() override;
    int LoadFolder(TreeNode node) override;
    int FolderRowCount(TreeNode node) override;
    TreeNode NextTreeNode(TreeNode node) override;
    void SelectTreeNode(TreeNode node) override;
    bool BrowserClearing() override;
    void ClearBrowserList() override;
    void LayOutBrowser() override;
    SourceKind Source() override;
    TripValues& Trip() override;
    void RepaintTrip() override;
    void ResetTrip() override;
    void SetSeekRange(std::int64_t first, std::int64_t end) override;
    void SetSeekPosition(std::int64_t p) override;
    void EnableSeekSlider(bool on) override;
    void ReleaseSeekSlider() override;
    void SetGraphCursor(std::int64_t count, std::int64_t position) override;
    void PrepareGraph() override;
    void ClearGraph() override;
    std::vector<std::int64_t> GraphEventFrames() override;
    void SetWaitCursor(bool on) override;
    void ApplyEnabling(const ButtonEnabling& enabling) override;
    void SetControlsEnabled(bool on) override;
    void SetPlayFace(bool pause) override;
    void RepaintSurfaces() override;
    void ApplyVideoRectangles() override;
    void ApplyAspectModes() override;
    void SetSecondaryCaptionFor(int primaryScreen) override;
    void RaiseSecondary() override;
    void CloseMenus() override;
    bool InFullScreen() override { return fullScreen_; }
    void LeaveViewModes() override;
    bool AskYesNo(int text, int caption) override;
    void ShowError(int text) override;
    bool StartRepair(const std::vector<std::string>& sources) override;
    void SetModelCode(int code) override;
    void MapPosition(std::int64_t p, double lat, double lon, bool valid) override;
    void MapRecordingChanged(int row) override;
    void MapPlayState(PlayState state) override;

    // --- the map (vidorra_dlg_map.cpp) ------------------------------------------------------
    // Before Initialise: where the map module, its web profile and the
    // connection's timing come from (tests and benchmarks; the viewer takes
    // the defaults). `tiles` stays unset: the tile server is a setting.
    void SetMapOptions(CMapViewWrap::Options options) { mapOptions_ = std::move(options); }
    // The map bridge once the second stage of the start has made it, else null.
    CMapViewWrap* Map() const { return map_.get(); }
    // The map host window is on (command 38010).
    bool MapShown() const { return mapShown_; }
    // The map module could not be loaded: no map, the logo instead.
    bool MapUnavailable() const { return noMap_; }
    // MapViewOwner: the map runtime notice, shown once.
    bool ShowMapRuntimeNotice() override;

    // --- file commands (vidorra_dlg_files.cpp) -------------------------------------------
    // The still (38006), CSV (38014), delete (38012) and join (38007)
    // commands, the file tasks they start, the repaired copies and the trace
    // flags. The task frame is created by Initialise.
    CTaskFrame& Tasks() { return *taskFrame_; }
    // The source is a card whose root holds the recorder's trace file.
    bool TracePresentFlag() const { return tracePresent_; }

    // StillCaptureOwner
    bool CanCapture() override;
    void PrepareCapture() override;
    std::string ChooseFolder() override;
    std::string RecordingName() override;
    std::vector<std::string> InputPaths() override;
    std::int64_t Position() override;
    bool ConfirmOverwrite(const std::string& path) override;
    bool HasPicture(Camera camera) override;
    bool SaveFrame(Camera camera, const std::string& path) override;
    void RememberFolder(const std::string& folder) override;
    void RestoreLayout() override;
    void ShowMessage(int text, int caption) override;
    void EndCapture() override;

    // RepairedCopiesOwner
    bool AskKeepRepairedCopies() override;
    std::string ChooseRepairFolder() override;
    void RememberRepairFolder(const std::string& folder) override;

    // --- online: the update check, and the connection the map's reachability
    // test shares (vidorra_dlg_online.cpp) -------------------------------------
    // The one connection object (the update check and the map's reachability
    // test): made at the second stage of start-up whether or not the update
    // check runs, destroyed with the window (requests aborted, workers
    // joined). Null before; UI thread only.
    CInetConnectionAsync* Inet() const { return inet_.get(); }
    // The update notice while it is open, else null.
    CUpdateDialog* UpdateNotice() const;

    // --- following the screen: work area, logical dpi, a move to another
    // screen (vidorra_dlg_screen.cpp) ----------------------------------------------
    // What the window follows of the screen it is on.
    struct ScreenFacts {
        QRect workArea;  // available geometry, in the toolkit's logical pixels
        int dpiX = 96;   // logical dots per inch
        int dpiY = 96;
    };
    // Re-checks the scale for `facts` and re-scales, fits or maximises the
    // window as they require. The screen's signals call it with the facts of
    // the window's screen; tests call it with their own. UI thread.
    void FollowScreen(const ScreenFacts& facts);
    ScreenFacts CurrentScreenFacts() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void OnReleased(QPoint globalCursor) override;
    void ApplyTargetRect() override;
    void reject() override {}
    void accept() override {}

private:
    void HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void DeferredInit();
    void LayOutChildrenNow();
    void PlaceVideoArea();
    void PlaceDetachedFirst();
    void PlaceSecondaryContent();
    void ResetZoom(int screen);
    void ToggleFullScreen();
    void ToggleZoomMode();
    void SwapScreens();
    void ToggleAspect();
    void Browse();
    void ReturnToEmptyState();
    void ShowMaximisedToggle();

    // Online (vidorra_dlg_online.cpp). The connection itself is inet_,
    // made with the map at the second stage of start-up (CreateMap).
    void StartUpdateCheck();     // second stage, step 3, after CreateMap
    void ShowUpdateAvailable();  // UM_UPDATE_AVAILABLE
    void StopOnline();           // shutdown: no more notices
    QPointer<CUpdateDialog> updateNotice_;

    // Following the screen (vidorra_dlg_screen.cpp).
    void WatchScreen();  // second stage of start-up: the signals of the window's screen
    void WatchScreenSignals(QScreen* screen);
    void Rescale(float scale, const ScreenFacts& facts);
    void FitToWorkAreaNow(const QRect& workArea);
    void MaximiseIfNotFitting(const ScreenFacts& facts, bool atStart);
    // True when the display switch should bring back a secondary video window
    // the user closed, instead of swapping the screens.
    bool ReopenSecondary();
    QPointer<QScreen> watchedScreen_;

    // Hooks of the parts that come later (see the class comment).
    void HookSettings();

    // --- file commands (vidorra_dlg_files.cpp) -------------------------------------------
    // The task frame's owner. CVidorraDlg cannot be it directly: the frame's
    // SetControlsEnabled (every control, the primary surface hidden) and
    // ViewerView's (the control buttons while an open is pending) share a
    // signature but not a meaning.
    class TaskHooks : public TaskFrameOwner {
    public:
        explicit TaskHooks(CVidorraDlg& dlg) : dlg_(dlg) {}
        void SetControlsEnabled(bool enabled) override;
        void TaskSucceeded(const FileTask& task) override;
        void TaskProgressed(const FileTask& task) override;
        void TaskStopped(const FileTask& task) override;
        void ShowTaskMessage(int text, int caption, const std::string& detail) override;
        void ResetToStart() override;
        void RestorePosition(std::int64_t position) override;
        void EnableButtons() override;
        void TaskEnded(const FileTask& task) override;

    private:
        CVidorraDlg& dlg_;
    };
    void CreateFileCommands();
    void FileCommand(int id);
    void CmdStill();
    void CmdCsv();
    void CmdDelete();
    void CmdJoin();
    // Every control of the window but the progress bar (a task, a still).
    void SetAllControlsEnabled(bool enabled);
    // The controls besides the buttons: browser, trip panel, graph, sliders,
    // video surfaces, map window and logo.
    std::vector<QWidget*> OtherControls();
    // The task frame's end steps (TaskHooks forwards them).
    void TaskControls(bool enabled);
    void TaskSucceeded(const FileTask& task);
    void DeleteDone(const std::vector<RecordingEntry>& deleted);
    // The rows of recordings already deleted leave the list; the current
    // row follows its recording, or is none when that was deleted.
    void RemoveDeletedRows(const std::vector<RecordingEntry>& deleted);
    // A delete failed or was cancelled part-way.
    void DeleteStopped(const std::vector<RecordingEntry>& deleted);
    void ShowMessageWithDetail(int text, int caption, const std::string& detail);
    // Closes the current recording before a task; the position to restore.
    std::int64_t CloseForTask();
    // Looks for the trace file of the open source (after every open).
    void UpdateTracePresent();
    // Offers the repaired copies when the window returns to the empty state.
    void OfferRepairedCopiesOnce();
    std::unique_ptr<TaskHooks> taskHooks_;
    std::unique_ptr<CTaskFrame> taskFrame_;
    std::string csvFolder_;
    std::string joinFolder_;
    bool tracePresent_ = false;
    bool offeringRepairedCopies_ = false;
    // --- end of the file commands' members ----------------------------------------------

    std::unique_ptr<ViewerController> controller_;
    std::unique_ptr<PlayerPairSensorSource> sensorSource_;
    CResourceImage skin_;
    COffScreenDC offscreen_;
    CFilerContainerDlg* browser_ = nullptr;
    CGSensorDlg* graph_ = nullptr;
    CInfoDlg* info_ = nullptr;
    CSkinSliderCtrl* seekSlider_ = nullptr;
    CSkinSliderCtrl* volumeSlider_ = nullptr;
    CSkinProgressBarCtrl* progress_ = nullptr;
    MainButtons* buttons_ = nullptr;
    std::array<CMovieStatic*, 2> surfaces_{};
    std::unique_ptr<CMovieDialog> secondary_;
    std::unique_ptr<CMovieDialog> mapHost_;
    CLogoDlg* logo_ = nullptr;
    // Created hidden by the first settings command and kept for the session,
    // so its switches keep their states.
    CSettingDlg* settings_ = nullptr;

    VideoArea video_{};
    MainLayout layout_{};
    std::array<ZoomRecord, 2> zoom_{};
    QRect windowedGeometry_;
    bool initialised_ = false;
    bool fullScreen_ = false;
    bool zoomMode_ = false;
    bool waitCursor_ = false;
    bool closing_ = false;
    bool exitRequested_ = false;
    bool firstErase_ = true;
    QBasicTimer releaseTimer_;  // 105
    QPoint releaseCursor_;      // where the last release left the cursor

    // --- the map (vidorra_dlg_map.cpp) ------------------------------------------------------
    // Made at the second stage of the start (CreateMap); destroyed before the
    // map host window that holds the map's widget.
    void CreateMap();
    void MapCommand();                    // 38010
    void OnMapReady();                    // UM_MAP_READY
    void OnMapSeek(std::intptr_t frame);  // UM_MAP_SEEK
    void OnMapHostClosed();               // UM_SUBWINDOW_CLOSED
    void MapEventsChanged();              // the event display switches changed
    void MapListChanged();                // the displayed list may have changed
    void OnGroupTrackCollected(std::uint64_t generation);
    void SendMapMarkers();  // *Map updates*: markers
    void UpdateMapView();   // *Map updates*: map or logo
    void CheckRowPositions();
    void PlaceMapContent();
    void ShowMapAfterFullScreen();
    void ShutdownMap();

    CMapViewWrap::Options mapOptions_;
    // The one connection object: the map's reachability test (and the
    // update check). Outlives the map wrap, which uses it.
    std::unique_ptr<CInetConnectionAsync> inet_;
    std::unique_ptr<CMapViewWrap> map_;
    // Rebuilds the recording group's track on its own worker.
    std::shared_ptr<MapGroupTrackCollector> groupTrack_;
    QTimer* mapTimer_ = nullptr;  // map or logo while the map is on
    bool noMap_ = false;          // the map-unavailable flag
    bool mapShown_ = false;       // 38010
    bool mapPlacedOnce_ = false;
    bool mapEverReady_ = false;
    bool mapNoticeShown_ = false;
    bool markersSent_ = false;  // for the current row
    bool rowChecked_ = false;   // rowHasPositions_ is known
    bool rowHasPositions_ = false;
    bool coordinatesValid_ = true;
    int mapRow_ = -1;
    map::MapPlayStatus mapStatus_ = map::MapPlayStatus::kStopped;
};

}  // namespace trivexa
