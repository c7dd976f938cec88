#pragma once
// The tests' look into the map page: the browser of a map window and the
// value of an expression in its page. Only to look: the bridge itself steers
// the page. Links Qt WebEngine (the tests do; the viewer never does).

#include <gtest/gtest.h>

#include <QPoint>
#include <QString>
#include <QTest>
#include <QVariant>
#include <QVariantList>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <cstddef>
#include <vector>

#include "container/sensor_decoder.h"
#include "map_test_util.h"

namespace trivexa::test {

// The browser of a map window, if it has one.
inline QWebEngineView* ViewOf(QWidget* mapWindow) {
    return mapWindow == nullptr ? nullptr : mapWindow->findChild<QWebEngineView*>();
}

// Evaluates `script` in the map page (to look, never to steer the page).
inline QVariant Eval(QWebEngineView* view, const QString& script) {
    if (view == nullptr) return {};
    bool done = false;
    QVariant result;
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!WaitUntil([&] { return done; }, 10000)) return QStringLiteral("<no answer>");
    return result;
}

// The page's recording track as [lat, lng, frame] triples, in order.
inline const QString kTrackPointsScript = QStringLiteral(
    "orbitgrplist.gridlist.points.map(function (p, i) {"
    "  return [p.lat, p.lng, orbitgrplist.gridlist.JpgNumList[i]]; })");

// The page's track (from kTrackPointsScript) holds every position entry with
// a fix, in order, each with its frame.
inline void ExpectTrackMatches(const QVariantList& points,
                               const std::vector<const PositionEntry*>& valid) {
    ASSERT_EQ(points.size(), static_cast<qsizetype>(valid.size()));
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const QVariantList p = points[static_cast<qsizetype>(i)].toList();
        EXPECT_DOUBLE_EQ(p.value(0).toDouble(), valid[i]->latitude) << i;
        EXPECT_DOUBLE_EQ(p.value(1).toDouble(), valid[i]->longitude) << i;
        EXPECT_EQ(p.value(2).toInt(), FrameOrRecordMs(*valid[i])) << i;
    }
}

// Finds an event marker a user can click: the first whose icon middle (the
// icon hangs 16 pixels above its point) lies well inside the map and shows
// that marker on top, leaving out markers within 30 frames of `awayFrom`
// (negative: none). The script answers [page x, page y, frame], or [].
inline QString ClickableEventMarkerScript(int awayFrom = -1) {
    return QStringLiteral(
               "(function () {"
               "  var size = g_map.getSize();"
               "  for (var i = 0; i < cplist.markers.length; i++) {"
               "    var p = g_map.latLngToContainerPoint(cplist.markers[i].marker.getLatLng());"
               "    var x = p.x, y = p.y - 16;"
               "    if (x < 20 || y < 20 || x > size.x - 20 || y > size.y - 20) continue;"
               "    var r = document.getElementById('map_canvas').getBoundingClientRect();"
               "    var el = document.elementFromPoint(r.left + x, r.top + y);"
               "    for (var k = 0; k < cplist.markers.length; k++)"
               "      if (cplist.markers[k].marker.getElement() === el &&"
               "          (%1 < 0 || Math.abs(cplist.markers[k].ipos - %1) > 30))"
               "        return [r.left + x, r.top + y, cplist.markers[k].ipos];"
               "  }"
               "  return [];"
               "})()")
        .arg(awayFrom);
}

// Clicks page point (x, y) of `view`, whose page is shown at `zoom`; returns
// the widget point clicked.
inline QPoint ClickPage(QWebEngineView* view, double x, double y, double zoom) {
    QWidget* input = view->focusProxy() != nullptr ? view->focusProxy() : view;
    const QPoint at(static_cast<int>(x * zoom), static_cast<int>(y * zoom));
    QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier, at);
    return at;
}

}  // namespace trivexa::test
