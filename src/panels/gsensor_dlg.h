#pragma once
// CGSensorDlg: the acceleration graph under the trip panel. It shows the
// three acceleration axes of the open recording over the whole clip (or, for
// a clip with more frames than pixels, a window of one frame per pixel that
// slides with the cursor), marks the recorded events along the time axis,
// blends the overspeed band along the bottom and draws a cursor at the
// playback position. A left click posts UM_GRAPH_PREV_EVENT, a right click
// UM_GRAPH_NEXT_EVENT (both with parameters 0), unless the click lock is set.
//
// The panel draws only: the main window sets its fields and calls its
// queries. Every setter below stores the field and schedules a repaint when
// the value changed, so the main window's "invalidate after each change" is
// already done. Painting reads through the sensor source (under the players'
// operation locks) for the moment it reads; the plot layer (background, legend tiles,
// axis lines, band and markers) is drawn into an off-screen image that is
// kept until something it shows changes, so a position change that does not
// move the plot only copies that image and draws the cursor.
//
// The plot's rules and arithmetic are panels/core/graph_rules.h and
// graph_plot.h.
//
// Callers: the main window, on the UI thread. It gives the panel its sensor
// source before the first recording opens and keeps the source alive as long
// as the panel.

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "panels/core/graph_plot.h"
#include "panels/core/sensor_view.h"

namespace trivexa {

class CGSensorDlg : public QWidget {
    Q_OBJECT
public:
    // A child of `parent`; notifications go to `notify`, or to the parent.
    explicit CGSensorDlg(QWidget* parent = nullptr, QObject* notify = nullptr);
    ~CGSensorDlg() override;

    // Where the data camera's sensor data come from (not owned; null: none).
    void SetSensorSource(SensorSource* source);

    // --- fields set by the main window ---------------------------------------
    // x where the plot starts: truncate(40 s).
    void SetLeftMargin(int margin);
    int LeftMargin() const { return leftMargin_; }
    // Spacing of the legend tiles: truncate(legend width × s) − truncate(7 s) − margin.
    void SetTileStep(int step);
    int TileStep() const { return tileStep_; }
    // Cursor steps across the plot (the seek slider's range) and the step of
    // the playback position.
    void SetCursorCount(int count);
    int CursorCount() const { return cursorCount_; }
    void SetCursorPosition(int position);
    int CursorPosition() const { return cursorPosition_; }
    // Vertical scale 0..3; picks the legend picture of that mode too.
    void SetScaleMode(int mode);
    int ScaleMode() const { return scaleMode_; }
    int LegendPictureNumber() const;
    // Whether the plot is drawn at all.
    void SetDataPresent(bool present);
    bool DataPresent() const { return dataPresent_; }
    // While set, clicks post nothing.
    void SetClickLock(bool locked);
    bool ClickLock() const { return clickLock_; }
    // Both flags of series 0..8 (shown: drawn; listed: in the event list).
    // Series 0..2 follow the trip panel's axis buttons, 4..8 the event display
    // switches (SeriesForEventDisplay).
    void SetSeries(int series, bool on);
    bool SeriesShown(int series) const;
    bool SeriesListed(int series) const;
    const SeriesFlags& Listed() const { return listed_; }

    // --- operations of the main window ----------------------------------------
    // After a change of the layout scale: margin and tile step from s, and the
    // pictures and font drawn again.
    void ApplyScale();
    // A recording's data were committed: the scale mode from its largest
    // acceleration, data present. Returns the mode.
    int PrepareData();
    // The recording was closed: no data, cursor at 0.
    void Clear();

    // The event query (see QueryGraphEvent): whether the caller goes on to the
    // next series for `frame`; appends to `list` at the start of a listed run.
    bool QueryEvent(GraphEventList& list, std::int64_t frame, int series);
    // The main window's rebuild of its event list, under one hold of the source.
    GraphEventList BuildEventList();
    // The acceleration entry shown at `frame`, and the position entry linked
    // to it; nothing outside the per-frame map.
    std::optional<AccelEntry> EntryAt(std::int64_t frame);
    std::optional<PositionEntry> PositionAt(std::int64_t frame);

    // --- for tests and benchmarks ----------------------------------------------
    // The plot of the last paint, and how often the plot layer was drawn.
    const GraphPlot& LastPlot() const { return plot_; }
    int PlotRenders() const { return plotRenders_; }
    // Where the cursor of the last paint was drawn (nothing without a count).
    std::optional<int> LastCursorX() const { return lastCursorX_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // What the plot layer shows; a paint redraws the layer only when it differs.
    struct LayerKey {
        QSize size;
        qreal dpr = 1;
        float s = 0, dpiFactor = 0;
        int leftMargin = 0, tileStep = 0, scaleMode = 0;
        bool dataPresent = false;
        SeriesFlags shown{};
        const void* accels = nullptr;
        const void* frameMap = nullptr;
        std::size_t accelCount = 0, frameCount = 0;
        unsigned generation = 0;
        int slidingCursor = 0;  // the cursor, only while the window slides
        bool operator==(const LayerKey&) const = default;
    };
    // Runs `use` with the source's data (an empty view without a source).
    void ReadData(const std::function<void(const SensorView&)>& use);
    void RenderLayer(const SensorView& view);
    void Changed();
    void PlotChanged();

    QPointer<QObject> notify_;
    SensorSource* source_ = nullptr;
    int leftMargin_ = 40;
    int tileStep_ = 49;
    int cursorCount_ = 0;
    int cursorPosition_ = 0;
    int scaleMode_ = 1;
    bool dataPresent_ = false;
    bool clickLock_ = false;
    SeriesFlags shown_ = kAllSeries;
    SeriesFlags listed_ = kAllSeries;

    unsigned generation_ = 0;  // bumped whenever the data or pictures change
    std::optional<LayerKey> layerKey_;
    QImage layer_;
    GraphPlot plot_;
    int plotRenders_ = 0;
    std::optional<int> lastCursorX_;
};

}  // namespace trivexa
