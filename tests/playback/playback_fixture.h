#pragma once
// Shared by the playback tests: clips written by clipforge (cached in the
// test-data folder), a window stand-in that records posted messages, waiting
// while the event loop runs, and reading the frame number shown in a picture.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "clipforge/clipforge.h"
#include "app/messages/posted_message.h"
#include "support/test_support.h"

namespace trivexa::test {

// Stands in for a video surface: records every posted message with the
// time it arrived.
class MessageLog : public QObject {
public:
    struct Entry {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        std::chrono::steady_clock::time_point at;
    };
    bool event(QEvent* e) override {
        if (const auto* m = AsPostedMessage(e)) {
            entries.push_back(
                {m->message(), m->wParam(), m->lParam(), std::chrono::steady_clock::now()});
            return true;
        }
        return QObject::event(e);
    }
    int Count(unsigned message) const {
        int n = 0;
        for (const auto& e : entries) n += e.message == message ? 1 : 0;
        return n;
    }
    std::vector<Entry> entries;
};

// Runs the event loop until `done` or the time-out; returns `done()`.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline void RunEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The frame number drawn in a picture (mirrored or not), if readable.
inline std::optional<clipforge::FrameMark> MarkOf(const QImage& image) {
    if (image.isNull()) return std::nullopt;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    return clipforge::ReadFrameMark(
        std::span<const uint8_t>(grey.constBits(), static_cast<size_t>(grey.sizeInBytes())),
        grey.width(), grey.height(), static_cast<int>(grey.bytesPerLine()));
}

inline int FrameShown(const QImage& image) {
    const auto mark = MarkOf(image);
    return mark ? mark->number : -1;
}

struct ClipOptions {
    int width = 160;
    int height = 96;
    uint32_t rate = 30;
    uint32_t scale = 1;
    int frames = 90;
    int gop = 30;
    char camera = 'F';
    bool audio = true;
    clipforge::Damage damage;
};

// A clip in the test-data folder, written once and reused by later runs.
inline std::filesystem::path ForgeClip(const std::string& tag, const ClipOptions& o,
                                       const std::string& name = "A___-230715-081522-000001F.AVI") {
    namespace fs = std::filesystem;
    const fs::path dir = TestDataDir() / "playback" / tag;
    const fs::path path = dir / name;
    if (fs::exists(path)) return path;
    fs::create_directories(dir);
    clipforge::ClipSpec spec;
    spec.name = name;
    spec.video.width = o.width;
    spec.video.height = o.height;
    spec.video.rate = o.rate;
    spec.video.scale = o.scale;
    spec.video.frames = o.frames;
    spec.video.gop = o.gop;
    spec.video.camera = o.camera;
    spec.audio.enabled = o.audio;
    spec.damage = o.damage;
    std::string error;
    const fs::path tmp = dir / (name + ".part");
    if (!clipforge::WriteClip(tmp, spec, nullptr, &error)) return {};
    fs::rename(tmp, path);
    return path;
}

}  // namespace trivexa::test
