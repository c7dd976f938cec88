#pragma once
// Helpers of the widget tests: a display check, a window that records the
// messages posted to it, pixel reading and the scale used while a test runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <vector>

#include "app/core/layout_scale.h"
#include "app/messages/posted_message.h"

namespace trivexa::test {

// Widget tests need a display (xvfb-run); without one they skip.
inline bool HaveDisplay() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

#define REQUIRE_DISPLAY()                                                  \
    do {                                                                   \
        if (!::trivexa::test::HaveDisplay()) GTEST_SKIP() << "no display"; \
    } while (0)

struct Posted {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// A plain top-level window that keeps every posted message it receives.
class RecordingWindow : public QWidget {
public:
    RecordingWindow() { resize(800, 200); }
    std::vector<Posted> messages;

protected:
    bool event(QEvent* e) override {
        if (const PostedMessageEvent* m = AsPostedMessage(e)) {
            messages.push_back({m->message(), m->wParam(), m->lParam()});
            return true;
        }
        return QWidget::event(e);
    }
};

// Sets the layout scale for the life of the object.
class ScopedScale {
public:
    explicit ScopedScale(float s) : old_(LayoutScale()) { SetLayoutScale(s); }
    ~ScopedScale() { SetLayoutScale(old_); }

private:
    float old_;
};

// The widget as drawn, in logical pixels (device pixel ratio 1 under xvfb).
inline QImage Grab(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

inline bool Near(QColor a, QColor b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// Waits (processing events) until `cond` holds; a gtest failure after 5 s.
#define WAIT_FOR(cond) \
    EXPECT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(cond); }, 5000)) << #cond

// Shows a window and waits until it is on screen.
inline bool ShowAndWait(QWidget* w) {
    w->show();
    return QTest::qWaitForWindowExposed(w);
}

}  // namespace trivexa::test
