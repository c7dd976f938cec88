#pragma once
// A stand-in for the main window's part in the data panels' life, for the
// widget tests, the demo program and the benchmark: it lays the trip panel
// and the graph out one above the other as the main window does, loads a
// recording's sensor data into its own reader, prepares both panels the way
// the main window does when a recording is prepared, fans positions out to
// them, and answers their posted messages (axis toggles, event jumps, event
// display switches). It records every posted message it receives.
//
// UI thread only; needs a QApplication.

#include <QEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/layout_scale.h"
#include "app/messages/posted_message.h"
#include "container/avi_reader.h"
#include "container/sensor_reader.h"
#include "panels/core/sensor_view.h"
#include "panels/core/trip_rules.h"
#include "panels/gsensor_dlg.h"
#include "panels/info_dlg.h"
#include "recordings/recording_name.h"

namespace trivexa::test {

struct HostMessage {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

class PanelHost : public QWidget {
public:
    // Panels `width` wide (656 at scale 1 in a 1120-wide window), the trip
    // panel 105·s high and the graph as high as its legend.
    explicit PanelHost(int width = Units(656, LayoutScale())) {
        const float s = LayoutScale();
        info = new CInfoDlg(this);
        graph = new CGSensorDlg(this);
        info->setGeometry(0, 0, width, Units(105, s));
        graph->setGeometry(0, Units(105, s), width, Units(143, s));
        resize(width, Units(105, s) + Units(143, s));
        reader.Init();
        graph->SetSensorSource(&source);
        source.SetReader(&reader);
        graph->ApplyScale();
    }
    ~PanelHost() override {
        graph->SetSensorSource(nullptr);
        reader.Shutdown();
    }

    // Loads the clip's sensor data and prepares both panels; false when the
    // clip cannot be read (the panels then show their reset values).
    bool Open(const std::filesystem::path& clip, bool voltageEnabled = false) {
        Close();
        const std::optional<ClipInfo> clipInfo = ReadClipInfo(clip);
        if (!clipInfo) return false;
        const ClipFacts facts = DeriveFacts(*clipInfo);
        intervalMs = static_cast<float>(facts.frameIntervalMs.value_or(0.0));
        frames = static_cast<int>(facts.totalFrames);
        const std::string name = clip.filename().string();
        {
            std::lock_guard hold(source.Lock());
            if (!reader.Load(clip.string())) return false;
            reader.SetVideoMsPerFrame(intervalMs);
            reader.BuildFrameMap(std::min(frames, sensor::kMaxFrameCount));
        }
        TripValues& v = info->Values();
        v.dataValid = true;
        v.startTime = RecordingDateTime(name);
        v.frameInterval = intervalMs;
        if (const std::optional<ClipTiming> timing = ReadTiming(clip)) {
            v.frameRate = timing->rate;
            v.frameScale = timing->scale;
        }
        v.timeLapse = IsTimeLapse(name);
        ApplyHeaderFlags(v, reader.Header());
        v.badgeCode = QualityClass(facts.height, reader.Header().quality, 0);
        v.voltageEnabled = voltageEnabled;
        v.voltageShown = VoltageShownFor(voltageEnabled, name, "");
        v.speedText = SpeedLabelText(v.timeLapse ? -2 : 1);
        graph->SetCursorCount(frames);
        graph->PrepareData();
        events = graph->BuildEventList();
        FanOut(0);
        return true;
    }

    void Close() {
        {
            std::lock_guard hold(source.Lock());
            reader.FreeEntries();
        }
        graph->Clear();
        graph->SetCursorCount(0);
        TripValues& v = info->Values();
        v.dataValid = false;
        info->Reset();
        events.clear();
        frames = 0;
    }

    // *Fan out position p*: the record shown at p into the trip panel, the
    // graph's cursor to p; both repaint.
    void FanOut(int p) {
        p = std::clamp(p, 0, std::max(frames - 1, 0));
        source.Read([&](const SensorView& view) {
            const AccelEntry* entry = view.EntryAt(p);
            ApplyFrameRecord(info->Values(), entry,
                             entry != nullptr ? view.PositionOf(*entry) : nullptr);
        });
        info->Values().frame = p;
        graph->SetCursorPosition(p);
        info->update();
        position = p;
    }

    std::vector<HostMessage> messages;
    GraphEventList events;
    CInfoDlg* info = nullptr;
    CGSensorDlg* graph = nullptr;
    SensorReader reader;
    ReaderSensorSource source;
    int frames = 0;
    float intervalMs = 0;
    int position = 0;

protected:
    bool event(QEvent* e) override {
        const PostedMessageEvent* m = AsPostedMessage(e);
        if (m == nullptr) return QWidget::event(e);
        messages.push_back({m->message(), m->wParam(), m->lParam()});
        switch (m->message()) {
            case UM_INFO_TOGGLE:
                graph->SetSeries(static_cast<int>(m->wParam()), m->lParam() != 0);
                break;
            case UM_EVENT_DISPLAY:
                graph->SetSeries(SeriesForEventDisplay(static_cast<std::int64_t>(m->wParam())),
                                 m->lParam() != 0);
                events = graph->BuildEventList();
                break;
            case UM_GRAPH_PREV_EVENT:
                Jump(false);
                break;
            case UM_GRAPH_NEXT_EVENT:
                Jump(true);
                break;
            default:
                break;
        }
        return true;
    }

private:
    // Event jumps: the previous event before the cursor (else the last one),
    // the next event after it (else the first one).
    void Jump(bool next) {
        if (events.empty()) return;
        const GraphEvent* hit = nullptr;
        if (next) {
            for (const GraphEvent& e : events)
                if (e.frame > position) {
                    hit = &e;
                    break;
                }
            if (hit == nullptr) hit = &events.front();
        } else {
            for (auto it = events.rbegin(); it != events.rend(); ++it)
                if (it->frame < position) {
                    hit = &*it;
                    break;
                }
            if (hit == nullptr) hit = &events.back();
        }
        FanOut(static_cast<int>(hit->frame));
    }
};

}  // namespace trivexa::test
