#include "panels/gsensor_dlg.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include "app/core/layout_scale.h"
#include "app/messages/posted_message.h"
#include "controls/core/skin_table.h"
#include "controls/shared_fonts.h"
#include "controls/skin_pictures.h"

namespace trivexa {

namespace {

// The graph's labels are drawn in the main window's small text font.
constexpr int kLabelFont = 2;

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QPen Pen(Rgb c) {
    QPen pen(ToQColor(c));
    pen.setWidth(0);  // cosmetic: one device pixel, end points included
    return pen;
}

}  // namespace

CGSensorDlg::CGSensorDlg(QWidget* parent, QObject* notify)
    : QWidget(parent), notify_(notify != nullptr ? notify : parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::PreventContextMenu);
    ApplyScale();
}

CGSensorDlg::~CGSensorDlg() = default;

void CGSensorDlg::SetSensorSource(SensorSource* source) {
    source_ = source;
    PlotChanged();
}

void CGSensorDlg::SetLeftMargin(int margin) {
    if (margin == leftMargin_) return;
    leftMargin_ = margin;
    Changed();
}

void CGSensorDlg::SetTileStep(int step) {
    if (step == tileStep_) return;
    tileStep_ = step;
    Changed();
}

void CGSensorDlg::SetCursorCount(int count) {
    if (count == cursorCount_) return;
    cursorCount_ = count;
    Changed();
}

void CGSensorDlg::SetCursorPosition(int position) {
    if (position == cursorPosition_) return;
    cursorPosition_ = position;
    Changed();
}

void CGSensorDlg::SetScaleMode(int mode) {
    if (mode < 0 || mode > 3) mode = 0;
    if (mode == scaleMode_) return;
    scaleMode_ = mode;
    Changed();
}

int CGSensorDlg::LegendPictureNumber() const { return LegendPicture(scaleMode_); }

void CGSensorDlg::SetDataPresent(bool present) {
    if (present == dataPresent_) return;
    dataPresent_ = present;
    PlotChanged();
}

void CGSensorDlg::SetClickLock(bool locked) { clickLock_ = locked; }

void CGSensorDlg::SetSeries(int series, bool on) {
    if (series < 0 || series >= kGraphSeriesCount) return;
    listed_[series] = on;
    if (shown_[series] == on) return;
    shown_[series] = on;
    Changed();
}

bool CGSensorDlg::SeriesShown(int series) const {
    return series >= 0 && series < kGraphSeriesCount && shown_[series];
}

bool CGSensorDlg::SeriesListed(int series) const {
    return series >= 0 && series < kGraphSeriesCount && listed_[series];
}

void CGSensorDlg::ApplyScale() {
    const GraphMargins m = GraphMarginsFor(LayoutScale());
    leftMargin_ = m.leftMargin;
    tileStep_ = m.tileStep;
    PlotChanged();
}

int CGSensorDlg::PrepareData() {
    double peak = 0.0;
    ReadData([&](const SensorView& view) { peak = view.largestAccel; });
    SetScaleMode(ScaleModeFor(peak));
    dataPresent_ = true;
    PlotChanged();
    return scaleMode_;
}

void CGSensorDlg::Clear() {
    dataPresent_ = false;
    cursorPosition_ = 0;
    PlotChanged();
}

void CGSensorDlg::ReadData(const std::function<void(const SensorView&)>& use) {
    if (source_ == nullptr) {
        use(SensorView{});
        return;
    }
    source_->Read(use);
}

bool CGSensorDlg::QueryEvent(GraphEventList& list, std::int64_t frame, int series) {
    bool goOn = false;
    ReadData([&](const SensorView& view) {
        goOn = QueryGraphEvent(view, listed_, list, frame, series);
    });
    return goOn;
}

GraphEventList CGSensorDlg::BuildEventList() {
    GraphEventList list;
    ReadData([&](const SensorView& view) { list = BuildGraphEventList(view, listed_); });
    return list;
}

std::optional<AccelEntry> CGSensorDlg::EntryAt(std::int64_t frame) {
    std::optional<AccelEntry> entry;
    ReadData([&](const SensorView& view) {
        if (const AccelEntry* e = view.EntryAt(frame)) entry = *e;
    });
    return entry;
}

std::optional<PositionEntry> CGSensorDlg::PositionAt(std::int64_t frame) {
    std::optional<PositionEntry> position;
    ReadData([&](const SensorView& view) {
        const AccelEntry* e = view.EntryAt(frame);
        if (const PositionEntry* p = e != nullptr ? view.PositionOf(*e) : nullptr) position = *p;
    });
    return position;
}

void CGSensorDlg::Changed() { update(); }

void CGSensorDlg::PlotChanged() {
    ++generation_;
    update();
}

void CGSensorDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

void CGSensorDlg::RenderLayer(const SensorView& view) {
    const float s = LayoutScale();
    const qreal dpr = devicePixelRatioF();
    const QSize size = this->size();
    if (layer_.size() != size * dpr || layer_.devicePixelRatio() != dpr) {
        layer_ = QImage(size * dpr, QImage::Format_RGB32);
        layer_.setDevicePixelRatio(dpr);
    }
    ++plotRenders_;
    QPainter p(&layer_);
    p.fillRect(QRect(QPoint(0, 0), size), Qt::black);

    // The legend tiled from the right edge leftwards, then once at the left.
    const QPixmap legend =
        SkinPicture(LegendPictureNumber(),
                    QSize(Units(LegendDesignWidth(), s), Units(LegendDesignHeight(), s)));
    if (!legend.isNull()) {
        for (int x : LegendTileXs(size.width(), tileStep_, s)) p.drawPixmap(x, 0, legend);
        p.drawPixmap(0, 0, legend);
    }

    plot_ = GraphPlot{};
    if (!dataPresent_ || size.isEmpty()) return;
    GraphPlotInput in;
    in.s = s;
    in.clientWidth = size.width();
    in.clientHeight = size.height();
    in.leftMargin = leftMargin_;
    in.scaleMode = scaleMode_;
    in.cursorPosition = cursorPosition_;
    in.shown = shown_;
    plot_ = PlotGraph(in, view);

    // The band under the lines, so the lines stay crisp where it lies.
    const QColor band(kBandColour.r, kBandColour.g, kBandColour.b, kBandAlpha);
    for (const GraphSpan& span : plot_.band)
        p.fillRect(QRect(span.x, plot_.bandTop, span.width, plot_.bandHeight), band);

    // The lines keep within the edges also where the rasteriser would round
    // a steep segment one pixel past its end.
    const GraphGeometry& geo = plot_.geometry;
    p.setClipRect(QRect(0, geo.centre - geo.edge, size.width(), 2 * geo.edge + 1));
    for (int axis = 0; axis < kGraphAxisCount; ++axis) {
        const auto& line = plot_.lines[axis];
        if (line.empty()) continue;
        QPolygon polygon;
        polygon.reserve(static_cast<int>(line.size()));
        for (const GraphPoint& pt : line) polygon << QPoint(pt.x, pt.y);
        // Flat ends: the polyline covers its points and nothing beyond them.
        QPen pen = Pen(SeriesPen(axis));
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        if (polygon.size() == 1)
            p.drawPoint(polygon.first());
        else
            p.drawPolyline(polygon);
    }

    p.setClipping(false);

    const std::vector<GraphMarker> markers = LayoutMarkers(plot_, leftMargin_, s, DpiFactor());
    if (markers.empty()) return;
    const QFont font = SharedFont(kLabelFont);
    const QFontMetrics metrics(font);
    p.setFont(font);
    const QPixmap icon = SkinPictureScaled(skin::kGraphSteeringMark, s);
    for (const GraphMarker& m : markers) {
        p.setPen(Pen(CategoryPen(m.category)));
        p.drawLine(m.x, m.lineBottom, m.x, m.lineTop);
        const CategoryLabel label = LabelOf(m.category);
        if (label.icon) {
            if (icon.isNull()) continue;
            const int h = static_cast<int>(icon.height() / icon.devicePixelRatio());
            p.drawPixmap(m.labelX, m.labelBottom - h, icon);
        } else if (!label.text.empty()) {
            p.setPen(Pen(kLabelColour));
            p.drawText(QPoint(m.labelX, m.labelBottom - metrics.descent()),
                       QString::fromUtf8(label.text.data(), static_cast<int>(label.text.size())));
        }
    }
}

void CGSensorDlg::paintEvent(QPaintEvent*) {
    // The data are read, and the layer drawn, while the source is held.
    ReadData([&](const SensorView& view) {
        LayerKey key;
        key.size = size();
        key.dpr = devicePixelRatioF();
        key.s = LayoutScale();
        key.dpiFactor = DpiFactor();
        key.leftMargin = leftMargin_;
        key.tileStep = tileStep_;
        key.scaleMode = scaleMode_;
        key.dataPresent = dataPresent_;
        key.generation = generation_;
        if (dataPresent_) {
            key.shown = shown_;
            key.accels = view.accels.data();
            key.frameMap = view.frameMap.data();
            key.accelCount = view.accels.size();
            key.frameCount = view.frameMap.size();
            const int frames = static_cast<int>(
                std::min<std::size_t>(view.frameMap.size(), sensor::kMaxFrameCount));
            if (ComputeGraphGeometry(key.s, width(), leftMargin_, scaleMode_, frames).Slides())
                key.slidingCursor = cursorPosition_;
        }
        if (!layerKey_ || !(*layerKey_ == key)) {
            RenderLayer(view);
            layerKey_ = key;
        }
    });
    QPainter p(this);
    p.drawImage(0, 0, layer_);
    lastCursorX_ = CursorX(width(), leftMargin_, cursorPosition_, cursorCount_);
    if (lastCursorX_) {
        p.setPen(Pen(kCursorPen));
        p.drawLine(*lastCursorX_, 0, *lastCursorX_, height() - 1);
    }
}

void CGSensorDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (!clickLock_) {
        if (event->button() == Qt::LeftButton)
            PostMessageTo(notify_.data(), UM_GRAPH_PREV_EVENT, 0, 0);
        else if (event->button() == Qt::RightButton)
            PostMessageTo(notify_.data(), UM_GRAPH_NEXT_EVENT, 0, 0);
    }
    QWidget::mouseReleaseEvent(event);
}

void CGSensorDlg::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

}  // namespace trivexa
