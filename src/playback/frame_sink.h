#pragma once
// What a player draws into: the display role of a camera's video surface.
// The engine's scheduler thread hands pictures over with PresentSample; the
// player (UI thread) sets the destination rectangle, the mirror flag, asks for
// repaints and reads the shown picture back for stills. Two implementations:
// VideoPresenter (an OpenGL widget) and MemoryFrameSink (no display: tests,
// the CLI). Implementations make every method safe to call from any thread.

#include <QImage>
#include <QRect>
#include <QSize>
#include <memory>
#include <mutex>

#include "playback/video_sample.h"

namespace trivexa {

class FrameSink {
public:
    virtual ~FrameSink() = default;

    // Scheduler thread: show this picture now; keep it for repaint.
    virtual void PresentSample(std::shared_ptr<const VideoSample> sample) = 0;
    // The clip was closed: forget the picture, show black.
    virtual void ClearPicture() = 0;
    // The last picture presented, or nullptr.
    virtual std::shared_ptr<const VideoSample> CurrentSample() const = 0;

    // Size of the surface's client area in pixels (layout input).
    virtual QSize ClientSize() const = 0;
    // Destination of the picture in client coordinates; everything outside
    // it is black. Returns false (and changes nothing) for an inverted rect.
    virtual bool SetVideoPosition(const QRect& destination) = 0;
    virtual QRect VideoPosition() const = 0;
    // Draws the last picture again.
    virtual void RepaintVideo() = 0;
    // Left-right mirroring of the picture.
    virtual bool Mirrored() const = 0;
    virtual void SetMirrored(bool mirrored) = 0;
    // The picture as shown (mirroring included) at its native size, 32-bit
    // RGB. Returns a null image when nothing is shown.
    virtual QImage CurrentImage() = 0;
};

// Converts a sample to a 32-bit RGB image at its native size, mirrored when
// asked. Used by displays without a GPU read-back and by tests.
QImage SampleToImage(const VideoSample& sample, bool mirrored);

// A surface without display: keeps the last picture and a fixed client size.
class MemoryFrameSink : public FrameSink {
public:
    explicit MemoryFrameSink(QSize clientSize = QSize(640, 360));

    void PresentSample(std::shared_ptr<const VideoSample> sample) override;
    void ClearPicture() override;
    std::shared_ptr<const VideoSample> CurrentSample() const override;
    QSize ClientSize() const override;
    bool SetVideoPosition(const QRect& destination) override;
    QRect VideoPosition() const override;
    void RepaintVideo() override;
    bool Mirrored() const override;
    void SetMirrored(bool mirrored) override;
    QImage CurrentImage() override;

    void SetClientSize(QSize size);
    // Pictures presented since construction (repaints not counted).
    long PresentCount() const;
    int RepaintCount() const;

private:
    mutable std::mutex mutex_;
    QSize client_;
    QRect destination_;
    bool mirrored_ = false;
    std::shared_ptr<const VideoSample> current_;
    long presented_ = 0;
    int repaints_ = 0;
};

}  // namespace trivexa
