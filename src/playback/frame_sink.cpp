#include "playback/frame_sink.h"

#include <algorithm>

namespace trivexa {
namespace {

std::uint8_t Clamp8(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

QImage SampleToImage(const VideoSample& s, bool mirrored) {
    if (s.width <= 0 || s.height <= 0) return {};
    QImage image(s.width, s.height, QImage::Format_RGB32);
    // BT.601 limited range, fixed point with 16 fractional bits; the same
    // matrix as the presenter's shader so stills match the screen.
    for (int y = 0; y < s.height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* yr = s.Row(0, y);
        const std::uint8_t* ur = s.Row(1, y / 2);
        const std::uint8_t* vr = s.Row(2, y / 2);
        for (int x = 0; x < s.width; ++x) {
            const int c = (yr[x] - 16) * 76309;
            const int d = ur[x / 2] - 128;
            const int e = vr[x / 2] - 128;
            const int r = (c + 104597 * e + 32768) >> 16;
            const int g = (c - 25674 * d - 53278 * e + 32768) >> 16;
            const int b = (c + 132201 * d + 32768) >> 16;
            const int ox = mirrored ? s.width - 1 - x : x;
            out[ox] = qRgb(Clamp8(r), Clamp8(g), Clamp8(b));
        }
    }
    return image;
}

MemoryFrameSink::MemoryFrameSink(QSize clientSize)
    : client_(clientSize), destination_(QPoint(0, 0), clientSize) {}

void MemoryFrameSink::PresentSample(std::shared_ptr<const VideoSample> sample) {
    std::lock_guard lock(mutex_);
    current_ = std::move(sample);
    ++presented_;
}

void MemoryFrameSink::ClearPicture() {
    std::lock_guard lock(mutex_);
    current_.reset();
}

std::shared_ptr<const VideoSample> MemoryFrameSink::CurrentSample() const {
    std::lock_guard lock(mutex_);
    return current_;
}

QSize MemoryFrameSink::ClientSize() const {
    std::lock_guard lock(mutex_);
    return client_;
}

void MemoryFrameSink::SetClientSize(QSize size) {
    std::lock_guard lock(mutex_);
    client_ = size;
}

bool MemoryFrameSink::SetVideoPosition(const QRect& d) {
    if (d.left() > d.right() + 1 || d.top() > d.bottom() + 1) return false;
    std::lock_guard lock(mutex_);
    destination_ = d;
    return true;
}

QRect MemoryFrameSink::VideoPosition() const {
    std::lock_guard lock(mutex_);
    return destination_;
}

void MemoryFrameSink::RepaintVideo() {
    std::lock_guard lock(mutex_);
    ++repaints_;
}

bool MemoryFrameSink::Mirrored() const {
    std::lock_guard lock(mutex_);
    return mirrored_;
}

void MemoryFrameSink::SetMirrored(bool mirrored) {
    std::lock_guard lock(mutex_);
    mirrored_ = mirrored;
}

QImage MemoryFrameSink::CurrentImage() {
    std::shared_ptr<const VideoSample> s;
    bool mirrored = false;
    {
        std::lock_guard lock(mutex_);
        s = current_;
        mirrored = mirrored_;
    }
    return s ? SampleToImage(*s, mirrored) : QImage();
}

long MemoryFrameSink::PresentCount() const {
    std::lock_guard lock(mutex_);
    return presented_;
}

int MemoryFrameSink::RepaintCount() const {
    std::lock_guard lock(mutex_);
    return repaints_;
}

}  // namespace trivexa
