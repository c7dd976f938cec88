#pragma once
// Helpers of the map bridge's tests, demo and benchmark: a tile server on
// 127.0.0.1 serving plain tiles (or garbage, or nothing), forge recordings
// with a GPS track loaded the way the main window loads them, and an owner
// that records what the map posts to it. Nothing here links the web engine
// (see page_probe.h for the tests' look into the page).
//
// UI thread only; needs a QApplication made after
// PrepareMapModuleBeforeApplication().

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QVariant>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/messages/posted_message.h"
#include "container/avi_reader.h"
#include "container/sensor_reader.h"
#include "map/map_view_wrap.h"
#include "panels/core/graph_plot.h"
#include "panels/core/graph_rules.h"
#include "panels/core/sensor_view.h"
#include "panels/forge_recording.h"
#include "support/local_http_server.h"

namespace trivexa::test {

// Runs the event loop until `done` holds or `timeoutMs` pass.
// A connection that notices a server coming and going within about a second
// (the defaults wait far longer), so the tests see the map follow it.
inline CInetConnectionAsync::Options FastConnection() {
    CInetConnectionAsync::Options o = CInetConnectionAsync::DefaultOptions();
    o.reachabilityInterval = std::chrono::milliseconds(250);
    o.probeOptions.connectTimeout = std::chrono::milliseconds(1000);
    o.probeOptions.totalTimeout = std::chrono::milliseconds(1500);
    return o;
}

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Runs the event loop for `ms`.
inline void Spin(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A tile server: every /z/x/y.png answers a plain 256 x 256 tile (a pale
// checker with a border, so the map's grid shows), cacheable for a day; or
// garbage bytes labelled as PNG; or nothing at all. It can stop and come back
// on the same port.
class TileServer {
public:
    enum class Mode { kPlain, kGarbage, kSilent };

    explicit TileServer(Mode mode = Mode::kPlain) : mode_(mode) {
        tiles_[0] = MakeTile(QColor(232, 238, 226));
        tiles_[1] = MakeTile(QColor(220, 228, 236));
        Start();
    }

    void Start() {
        if (server_) return;
        server_ = std::make_unique<LocalHttpServer>(
            [this](const HttpRequestSeen& r) { return Answer(r); }, port_);
        port_ = server_->Port();
    }
    void Stop() { server_.reset(); }
    bool Running() const { return server_ != nullptr; }
    void SetMode(Mode mode) { mode_ = mode; }

    int Port() const { return port_; }
    std::string Template() const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/{z}/{x}/{y}.png";
    }
    // Tile GETs answered so far (HEADs of the reachability test left out).
    int TileGets() const { return tileGets_.load(); }
    int Heads() const { return heads_.load(); }
    // Tile GETs so far by request target ("/z/x/y.png").
    std::map<std::string, int> GetsByTile() const {
        std::lock_guard lock(mutex_);
        return getsByTile_;
    }
    std::string LastUserAgent() const {
        std::lock_guard lock(mutex_);
        return lastAgent_;
    }

private:
    static std::string MakeTile(const QColor& fill) {
        QImage image(256, 256, QImage::Format_RGB32);
        image.fill(fill);
        QPainter p(&image);
        p.setPen(QColor(170, 180, 170));
        p.drawRect(0, 0, 255, 255);
        p.setPen(QPen(QColor(255, 255, 255), 6));
        p.drawLine(0, 128, 256, 128);
        p.drawLine(128, 0, 128, 256);
        p.end();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes.toStdString();
    }

    HttpAnswer Answer(const HttpRequestSeen& r) {
        {
            std::lock_guard lock(mutex_);
            lastAgent_ = r.Header("User-Agent");
        }
        if (r.method == "HEAD") {
            ++heads_;
        } else {
            ++tileGets_;
            std::lock_guard lock(mutex_);
            ++getsByTile_[r.target];
        }
        const Mode mode = mode_.load();
        if (mode == Mode::kSilent) return HttpAnswer::Silent();
        HttpAnswer a;
        a.headers.emplace_back("Content-Type", "image/png");
        a.headers.emplace_back("Cache-Control", "public, max-age=86400");
        if (mode == Mode::kGarbage) {
            a.body = std::string(2048, '\0');
            for (std::size_t i = 0; i < a.body.size(); ++i)
                a.body[i] = static_cast<char>((i * 7919u + 13u) & 0xFF);
            return a;
        }
        // The checker by tile parity: /z/x/y.png
        int z = 0, x = 0, y = 0;
        std::sscanf(r.target.c_str(), "/%d/%d/%d.png", &z, &x, &y);
        a.body = tiles_[static_cast<std::size_t>((x + y) & 1)];
        return a;
    }

    std::atomic<Mode> mode_;
    std::string tiles_[2];
    int port_ = 0;
    std::unique_ptr<LocalHttpServer> server_;
    std::atomic<int> tileGets_{0};
    std::atomic<int> heads_{0};
    mutable std::mutex mutex_;
    std::map<std::string, int> getsByTile_;
    std::string lastAgent_;
};

// A forge recording's sensor data, loaded and tied to its frames the way the
// main window loads the data camera's, behind a sensor source.
struct LoadedRecording {
    SensorReader reader;
    ReaderSensorSource source;
    int frames = 0;
    GraphEventList events;

    LoadedRecording() { reader.Init(); }
    ~LoadedRecording() { reader.Shutdown(); }

    bool Load(const std::filesystem::path& clip) {
        const std::optional<ClipInfo> info = ReadClipInfo(clip);
        if (!info) return false;
        const ClipFacts facts = DeriveFacts(*info);
        frames = static_cast<int>(facts.totalFrames);
        std::lock_guard hold(source.Lock());
        if (!reader.Load(clip.string())) return false;
        reader.SetVideoMsPerFrame(static_cast<float>(facts.frameIntervalMs.value_or(0.0)));
        reader.BuildFrameMap(std::min(frames, sensor::kMaxFrameCount));
        source.SetReader(&reader);
        source.Read(
            [&](const SensorView& view) { events = BuildGraphEventList(view, kAllSeries); });
        return true;
    }
};

// A drive `index` of a group: the scripted drive moved north by index × 0.01°.
inline RecordingSpec GroupDrive(int index) {
    RecordingSpec spec;
    char name[64];
    std::snprintf(name, sizeof name, "A___-230715-08%02d22-%06dF.AVI", 15 + index, index + 1);
    spec.name = name;
    spec.editSamples = [index](std::vector<clipforge::SensorSample>& samples) {
        for (clipforge::SensorSample& s : samples)
            if (s.latitude) *s.latitude += 0.01 * index;
    };
    return spec;
}

struct PostedSeen {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// The main window's part, as far as the map needs one: receives the posted
// messages and shows (records) the run-time notice.
class TestMapOwner : public QWidget, public MapViewOwner {
public:
    std::vector<PostedSeen> messages;
    int notices = 0;

    bool ShowMapRuntimeNotice() override {
        ++notices;
        return true;
    }
    int Count(unsigned message) const {
        int n = 0;
        for (const PostedSeen& m : messages) n += m.message == message ? 1 : 0;
        return n;
    }
    std::optional<PostedSeen> Last(unsigned message) const {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it)
            if (it->message == message) return *it;
        return std::nullopt;
    }
    std::function<void(const PostedSeen&)> onMessage;

protected:
    bool event(QEvent* e) override {
        const PostedMessageEvent* m = AsPostedMessage(e);
        if (m == nullptr) return QWidget::event(e);
        messages.push_back({m->message(), m->wParam(), m->lParam()});
        if (onMessage) onMessage(messages.back());
        return true;
    }
};

}  // namespace trivexa::test
