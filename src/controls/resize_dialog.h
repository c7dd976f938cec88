#pragma once
// CResizeDialog: the borderless window base of the main window, of every
// skinned dialog and of the two detached windows. Such a window is dragged by
// a caption band 27·s high along its top edge; when it has a rubber band
// (CreateFrameWindow) it is also resized from its edges, 4·s wide: the new
// size shows as a thin outline while the mouse moves and is applied once when
// the button is released, kept between the window's base size and the size of
// its monitor. The size is remembered as two factors of the base size, stored
// as SCALEX/SCALEY in the window's settings section.
//
// Callers: the owning window's code on the UI thread. A derived window sets
// its base size (SetBaseSize), may give itself a rubber band, loads its
// factors once it exists (LoadSizeFactors) and overrides ApplyTargetRect to
// place itself after an edge drag. The base class applies nothing on release;
// CSkinDialog runs FinishResize at once, the main window from a timer.
// Presses that land on child widgets never reach this class, as on any window.

#include <QDialog>
#include <QElapsedTimer>
#include <QRect>
#include <memory>
#include <string>

#include "controls/core/frame_geometry.h"

namespace trivexa {

// The rubber band: a frameless top-level window that shows only a one-pixel
// outline (0xA85D70 as the platform writes colours: RGB 70 5D A8) and lets the
// mouse through. Owned by its CResizeDialog.
class CResizeFrameWindow : public QWidget {
    Q_OBJECT
public:
    CResizeFrameWindow();
    // Moves the outline onto `r` (screen coordinates) and repaints it.
    void PlaceOn(const QRect& r);

    static QColor OutlineColour();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

class CResizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CResizeDialog(QWidget* parent = nullptr);
    ~CResizeDialog() override;

    // --- size and factors ---------------------------------------------------
    // The window's design size in pixels: the smallest size an edge drag can
    // leave. Initially 1120·s × 697·s with s as at construction.
    void SetBaseSize(int width, int height);
    int BaseWidth() const { return baseWidth_; }
    int BaseHeight() const { return baseHeight_; }
    float FactorX() const { return factorX_; }
    float FactorY() const { return factorY_; }
    void SetFactors(float x, float y);

    // Remembers `section` and reads SCALEX/SCALEY from it: a usable value
    // (above 0, finite, at most kMaxSizeFactor) replaces its factor, anything
    // else keeps it. Then resizes the window, keeping its top-left corner, to
    // base × factors. The main window overrides it.
    virtual void LoadSizeFactors(const std::string& section);
    // Writes both factors to the section with "%f". Nothing without a section.
    void SaveSizeFactors();
    const std::string& Section() const { return section_; }

    // --- the rubber band -------------------------------------------------------
    void CreateFrameWindow();
    bool HasFrameWindow() const { return frameWindow_ != nullptr; }
    CResizeFrameWindow* FrameWindow() const { return frameWindow_.get(); }
    // Target rectangle := the window's rectangle; the band is moved onto it
    // and hidden.
    void HideFrameWindow();

    // --- what a derived window reads and sets -------------------------------------
    // Places the window at the target rectangle after an edge drag. Base:
    // nothing.
    virtual void ApplyTargetRect();
    // The end of an edge drag at `globalCursor`: puts the dragged edges at the
    // cursor, constrains the result (also when the cursor has not moved since
    // the last time), records the factors, applies the target rectangle and
    // saves the factors. Only with a rubber band, not maximised, not full
    // screen, an edge dragged and not from the caption.
    void FinishResize(QPoint globalCursor);

    // The zone of `global` for this window's rectangle and state.
    HitZone HitTestAt(QPoint global) const;
    FrameRect WindowRect() const;

    QRect TargetRect() const { return targetRect_; }
    void SetTargetRect(const QRect& r) { targetRect_ = r; }
    QRect RestoreRect() const { return restoreRect_; }
    void SetRestoreRect(const QRect& r) { restoreRect_ = r; }
    QRect StoredWorkArea() const { return workArea_; }
    void SetStoredWorkArea(const QRect& r) { workArea_ = r; }
    float BaseScale() const { return baseScale_; }
    void SetBaseScale(float s) { baseScale_ = s; }

    HitZone Zone() const { return zone_; }
    DragDirection Direction() const { return direction_; }
    void ClearDirection() { direction_ = DragDirection::kNone; }
    bool ButtonDown() const { return buttonDown_; }
    QPoint PressPoint() const { return pressPoint_; }
    // Set by a press on the caption band; cleared by whoever consumes it.
    bool CaptionPress() const { return captionPress_; }
    void ClearCaptionPress() { captionPress_ = false; }

    bool Busy() const { return busy_; }
    void SetBusy(bool busy) { busy_ = busy; }
    bool IsFullScreenState() const { return fullScreen_; }
    void SetFullScreenState(bool on) { fullScreen_ = on; }
    bool IsMaximisedState() const { return maximised_; }
    void SetMaximisedState(bool on) { maximised_ = on; }
    bool IsMinimisedState() const { return minimised_; }
    void SetMinimisedState(bool on) { minimised_ = on; }
    bool Fitting() const { return fitting_; }
    void SetFitting(bool on) { fitting_ = on; }
    void SetKeepRestoreRect(bool on) { keepRestoreRect_ = on; }
    int VideoWidth() const { return videoW_; }
    int VideoHeight() const { return videoH_; }
    void SetVideoSize(int w, int h) {
        videoW_ = w;
        videoH_ = h;
    }

    // The monitor the frame limits a drag to: the whole monitor nearest the
    // window's top-left corner.
    virtual QSize MonitorSize() const;

    // Interval at which the rubber band follows the mouse, in milliseconds.
    static constexpr qint64 kBandIntervalMs = 89;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Runs after the base class's release handling; CSkinDialog finishes the
    // resize here.
    virtual void OnReleased(QPoint globalCursor);
    // The end of a move or size loop: clears button down and, unless
    // maximised or full screen, takes the restore rectangle.
    virtual void OnExitSizeMove();
    // The size-limit query: with a rubber band, factors below 1 are raised to
    // 1 and the base size is the minimum; then, unless maximised, minimised or
    // told to keep it, the restore rectangle follows the window.
    void SizeLimitQuery();

private:
    void UpdateCursor(QPoint global);
    void MoveBand(QPoint global);

    int baseWidth_;
    int baseHeight_;
    float factorX_ = 1.0f;
    float factorY_ = 1.0f;
    float baseScale_ = -1.0f;
    QRect workArea_;
    QRect restoreRect_;
    QRect targetRect_;
    int videoW_ = 0;
    int videoH_ = 0;
    bool buttonDown_ = false;
    bool busy_ = false;
    bool fullScreen_ = false;
    bool maximised_ = false;
    bool minimised_ = false;
    bool fitting_ = false;
    bool keepRestoreRect_ = false;
    HitZone zone_ = HitZone::kNone;
    DragDirection direction_ = DragDirection::kNone;
    std::unique_ptr<CResizeFrameWindow> frameWindow_;
    QPoint pressPoint_;
    std::string section_;
    bool captionPress_ = false;
    QElapsedTimer lastBandUpdate_;
    FramePoint bandCursor_;
    FramePoint finalCursor_;
    // Caption dragging works in screen coordinates: where the press was and
    // where the window stood then.
    QPoint pressGlobal_;
    QPoint windowAtPress_;
    bool captionDragged_ = false;
};

}  // namespace trivexa
