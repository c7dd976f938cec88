#pragma once
// Helpers of the panels' widget tests: a display check, the scale and fonts
// of a test, pixel reading and where screenshots go.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>
#include <QWidget>

#include "app/core/layout_scale.h"
#include "controls/shared_fonts.h"
#include "controls/skin_pictures.h"

namespace trivexa::test {

inline bool HaveDisplay() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

#define REQUIRE_DISPLAY()                                                  \
    do {                                                                   \
        if (!::trivexa::test::HaveDisplay()) GTEST_SKIP() << "no display"; \
    } while (0)

// The layout scale and the shared fonts a screen of 96·s dpi gives, for the
// life of the object.
class ScaleAndFonts {
public:
    explicit ScaleAndFonts(float s) : old_(LayoutScale()) {
        SetLayoutScale(s);
        const int dpi = static_cast<int>(96 * s);
        CreateSharedFonts(ComputeScaleAndFonts({1.0f, dpi, dpi, 4000}));
        ClearSkinPictureCache();
    }
    ~ScaleAndFonts() {
        SetLayoutScale(old_);
        DeleteSharedFonts();
        ClearSkinPictureCache();
    }

private:
    float old_;
};

inline bool ShowAndWait(QWidget* w) {
    w->show();
    return QTest::qWaitForWindowExposed(w);
}

// The widget as drawn now (painted at once), in logical pixels.
inline QImage Grab(QWidget* w) {
    w->repaint();
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Saves a screenshot under build/tests/panels/ for a developer to look at.
inline void SaveShot(QWidget* w, const QString& name) {
    QDir().mkpath(QStringLiteral(TRIVEXA_PANELS_SHOT_DIR));
    const QString path = QStringLiteral(TRIVEXA_PANELS_SHOT_DIR "/%1.png").arg(name);
    EXPECT_TRUE(Grab(w).save(path)) << path.toStdString();
}

inline bool Near(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace trivexa::test
