#include "controls/shared_fonts.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <array>
#include <cstdlib>
#include <optional>

#include "app/core/ui_strings.h"
#include "controls/screens.h"

namespace trivexa {

namespace {

std::array<std::optional<QFont>, kSharedFontCount>& Fonts() {
    static std::array<std::optional<QFont>, kSharedFontCount> fonts;
    return fonts;
}

}  // namespace

QStringList SharedFontFamilies() {
    return {QString::fromUtf8(UiString(kUiFontFace)), QStringLiteral("Noto Sans CJK JP")};
}

QFont SharedFont(int n) {
    if (n >= 1 && n <= kSharedFontCount) {
        const auto& f = Fonts()[static_cast<size_t>(n - 1)];
        if (f) return *f;
    }
    return QApplication::font();
}

bool HaveSharedFonts() { return Fonts()[0].has_value(); }

void CreateSharedFonts(const ScaleOutcome& outcome) {
    if (!outcome.ok) return;
    DeleteSharedFonts();
    for (int i = 0; i < kSharedFontCount; ++i) {
        QFont font;
        font.setFamilies(SharedFontFamilies());
        font.setWeight(QFont::Normal);
        font.setItalic(false);
        // A negative height is the character height without internal leading,
        // which is what a pixel size means to the toolkit.
        const int height = std::abs(outcome.fontHeights[static_cast<size_t>(i)]);
        font.setPixelSize(height > 0 ? height : 1);
        Fonts()[static_cast<size_t>(i)] = font;
    }
}

void DeleteSharedFonts() {
    for (auto& f : Fonts()) f.reset();
}

ScaleInputs ScaleInputsFor(QWidget* mainWindow) {
    ScaleInputs in;
    in.currentScale = LayoutScale();
    const QPoint corner = mainWindow ? mainWindow->frameGeometry().topLeft() : QPoint();
    QScreen* screen =
        mainWindow && mainWindow->screen() ? mainWindow->screen() : NearestScreen(corner);
    in.dpiX = screen ? qRound(screen->logicalDotsPerInchX()) : 0;
    in.dpiY = screen ? qRound(screen->logicalDotsPerInchY()) : 0;
    in.workAreaHeight = WorkArea(corner).height();
    return in;
}

bool RunScaleAndFonts(QWidget* mainWindow) {
    const ScaleOutcome out = ComputeScaleAndFonts(ScaleInputsFor(mainWindow));
    if (!out.ok) return false;
    SetDpiFactor(out.dpiFactor);
    SetLayoutScale(out.scale);
    CreateSharedFonts(out);
    return true;
}

}  // namespace trivexa
