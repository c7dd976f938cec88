#include "app/core/playback_rules.h"

#include <cmath>

#include "app/core/ui_strings.h"
#include "recordings/recording_name.h"

namespace trivexa {

namespace {

// One row of the next-code table: the current code and the next code in each
// of the four columns.
struct NextCodeRow {
    RateCode current;
    RateCode fasterForwardOnly;
    RateCode fasterBackwards;
    RateCode slowerMediaFoundation;
    RateCode slowerDirectShow;
};

constexpr NextCodeRow kNextCode[] = {
    {RateCode::kQuadruple, RateCode::kQuadruple, RateCode::kQuadruple, RateCode::kDouble,
     RateCode::kDouble},
    {RateCode::kDouble, RateCode::kDouble, RateCode::kQuadruple, RateCode::kNormal,
     RateCode::kNormal},
    {RateCode::kNormal, RateCode::kDouble, RateCode::kDouble, RateCode::kBackward,
     RateCode::kBackward},
    {RateCode::kBackward, RateCode::kNormal, RateCode::kNormal, RateCode::kHalf, RateCode::kHalf},
    {RateCode::kHalf, RateCode::kNormal, RateCode::kBackward, RateCode::kHalf, RateCode::kQuarter},
    {RateCode::kQuarter, RateCode::kHalf, RateCode::kHalf, RateCode::kNormal, RateCode::kQuarter},
};

}  // namespace

std::optional<int> SpeedLabelId(RateCode code) {
    switch (code) {
        case RateCode::kNormal:
            return 57;
        case RateCode::kDouble:
            return 58;
        case RateCode::kQuadruple:
            return 59;
        case RateCode::kHalf:
            return 60;
        case RateCode::kQuarter:
            return 61;
        case RateCode::kBackward:
            break;
    }
    return std::nullopt;
}

std::string SpeedLabelText(RateCode code) {
    const std::optional<int> id = SpeedLabelId(code);
    return id ? std::string(UiString(*id)) : std::string();
}

RateCode DefaultRateCode(std::string_view frontName, std::string_view rearName) {
    const bool timeLapse = (!frontName.empty() && IsTimeLapse(frontName)) ||
                           (!rearName.empty() && IsTimeLapse(rearName));
    return timeLapse ? RateCode::kHalf : RateCode::kNormal;
}

int EndMarginFrames(RateCode code, float frameIntervalMs) {
    int o = 20;
    if (code == RateCode::kDouble) o = 40;
    if (code == RateCode::kQuadruple) o = 80;
    // A clip without a usable interval would divide by zero or give a margin
    // of any size; the recorder's usual interval stands in for it.
    float f = frameIntervalMs;
    if (!std::isfinite(f) || f <= 0.0f) f = kFallbackFrameIntervalMs;
    const double margin = o * 1000.0 / 29.1 / f;
    if (margin >= 1.0e9) return 1000000000;
    return static_cast<int>(margin);
}

bool WithinEndMargin(PlayState state, std::int64_t position, std::int64_t duration, RateCode code,
                     float frameIntervalMs) {
    if (state != PlayState::kPlaying) return false;
    return position + EndMarginFrames(code, frameIntervalMs) >= duration;
}

RateCode NextRateCode(RateStep step, RateCode current, bool playing, bool canPlayBackwards,
                      PlaybackEngine engine) {
    if (!playing) return RateCode::kNormal;
    for (const NextCodeRow& row : kNextCode) {
        if (row.current != current) continue;
        if (step == RateStep::kFaster)
            return canPlayBackwards ? row.fasterBackwards : row.fasterForwardOnly;
        return engine == PlaybackEngine::kMediaFoundation ? row.slowerMediaFoundation
                                                          : row.slowerDirectShow;
    }
    return RateCode::kNormal;
}

int SeekMarginFrames(RateCode code) {
    if (code == RateCode::kDouble) return 40;
    if (code == RateCode::kQuadruple) return 80;
    return 20;
}

std::int64_t ClampToSeekRange(std::int64_t p, const SeekRange& range) {
    if (p > range.end - 1) p = range.end - 1;
    if (p < range.first) p = range.first;
    return p;
}

SeekPlan PlanSeek(std::int64_t p, const SeekRange& range, RateCode code) {
    SeekPlan plan;
    const std::int64_t limit = range.end - SeekMarginFrames(code);
    plan.target = p > limit ? limit : p;
    // A recording shorter than the margin would send the players before its
    // start; they never go below the first position.
    if (plan.target < range.first) plan.target = range.first;
    plan.shown = ClampToSeekRange(p, range);
    return plan;
}

bool AcceptPolledPosition(std::int64_t p, std::int64_t pendingSeek, std::int64_t duration) {
    if (p <= 0) return false;
    if (pendingSeek == -1) return true;
    const std::int64_t window = duration / 1000 + 30;
    return p > pendingSeek - window && p < pendingSeek + window;
}

int VolumeFromSlider(int position) {
    if (position < 0) return 0;
    if (position > kVolumeMax) return kVolumeMax;
    return position;
}

bool FullScreenRefused(bool fullScreen, std::int64_t position, std::int64_t duration) {
    return !fullScreen && position + 10 >= duration;
}

bool DoubleClickTogglesFullScreen(bool zoomMode, bool busyTask, int rowCount, bool mediaLoaded) {
    return !zoomMode && !busyTask && rowCount > 0 && mediaLoaded;
}

int SecondaryCaptionId(int primary) { return primary == 0 ? 146 : 145; }

ScreenAssignment SwapScreens(int primary) {
    ScreenAssignment a;
    if (primary == 1) {
        a.primary = 0;
        a.secondary = 1;
    } else {
        a.primary = 1;
        a.secondary = 0;
    }
    a.secondaryCaptionId = SecondaryCaptionId(a.primary);
    return a;
}

bool ShorterThanTwoSeconds(std::int64_t durationFrames, float frameIntervalMs) {
    return static_cast<double>(durationFrames) * frameIntervalMs < 2000.0;
}

}  // namespace trivexa
