#pragma once
// What every viewer driver test shares about the display: whether there is
// one, and where screenshots go (build/tests/viewer/).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QString>

namespace trivexa {

inline bool HaveDisplay() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

inline QString ShotPath(const QString& name) {
    const QString dir = QStringLiteral(TRIVEXA_BINARY_DIR "/tests/viewer");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name + QStringLiteral(".png");
}

// The whole screen as the user sees it: the main window and the detached
// windows (the map and the video surfaces draw through OpenGL, so only the
// screen holds their pictures).
inline void SaveScreen(const QString& name) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->grabWindow(0).save(ShotPath(name)));
}

}  // namespace trivexa
