#pragma once
// The tests' look into the map page: the browser of a map window and the
// value of an expression in its page. Only to look: the bridge itself steers
// the page. Links Qt WebEngine (the tests do; the viewer never does).

#include <QString>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

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

}  // namespace trivexa::test
