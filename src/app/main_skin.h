#pragma once
// The main window's own painting: the skinned background (picture 129 in
// nine cells over the whole window) with the title "Trivexa", and the
// off-screen surface that keeps it.
//
// COffScreenDC: the toolkit already paints every window through a back
// buffer, and each panel keeps its own images, so what stays for this surface
// is to hold the finished background of the main window: it is drawn once
// for a window size and scale and then copied on every paint (a paint of the
// main window happens whenever a child is repainted over it; drawing the
// hundreds of cells each time would be wasted work). It is drawn again only
// when the size, the scale or the skin changes.
//
// Callers: the main window's paint handler on the UI thread.

#include <QPixmap>
#include <QSize>

class QPainter;

namespace trivexa {

class CResourceImage;

// Draws the nine-slice background over (0, 0, size) at scale s, then the
// title in shared font 2, white, left and top aligned in its box. Without the
// background picture only the title is drawn.
void PaintMainBackground(QPainter& painter, QSize size, float s, const CResourceImage& skin);

class COffScreenDC {
public:
    // The background for a window of `size` at scale s, drawn for the device
    // pixel ratio `dpr`; drawn again only when one of them (or the skin) has
    // changed since the last call.
    const QPixmap& Background(QSize size, float s, qreal dpr, const CResourceImage& skin);
    // Forgets the drawn background (a reload of the skin is noticed without).
    void Invalidate() { valid_ = false; }
    // How often the background was drawn (for tests and benchmarks).
    int Renders() const { return renders_; }

private:
    QPixmap image_;
    QSize size_;
    float scale_ = 0.0f;
    qreal dpr_ = 0.0;
    const CResourceImage* skin_ = nullptr;
    int skinGeneration_ = -1;
    bool valid_ = false;
    int renders_ = 0;
};

}  // namespace trivexa
