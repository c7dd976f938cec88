#include "controls/core/skin_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/core/layout_scale.h"

namespace trivexa {

ButtonPaint PaintButton(const ButtonState& state) {
    ButtonPaint out;
    out.pressedFlag = state.pressedFlag;
    if (state.hidden) return out;
    out.draw = true;
    if (state.greyed) {
        out.picture = StatePicture::kHot;
    } else if (!state.enabled) {
        out.picture = StatePicture::kDisabled;
    } else if (state.down) {
        out.pressedFlag = true;
        out.picture = StatePicture::kPressed;
    } else if (state.checked || state.latched) {
        out.picture = StatePicture::kPressed;
    } else {
        out.pressedFlag = false;
        out.picture = StatePicture::kNormal;
    }
    const bool lights = state.hovered && state.enabled && !state.greyed && !out.pressedFlag &&
                        !state.latched && !state.checked;
    if (lights) out.picture = StatePicture::kHot;
    return out;
}

int ListStateAfterClick(int state) {
    switch (state) {
        case kListUnchecked:
        case kListHot:
            return kListChecked;
        default:
            return kListUnchecked;
    }
}

int ListStateOnLeave(int state) { return state == kListHot ? kListUnchecked : state; }

int ListStateOnEnter(int state) { return state == kListUnchecked ? kListHot : state; }

ProgressPaint PaintProgress(int width, int minimum, int maximum, int value, float scale) {
    ProgressPaint out;
    const double span = static_cast<double>(maximum) - static_cast<double>(minimum);
    const double p = span < 1.0 ? 0.0 : static_cast<double>(value) / span;
    const double x = std::trunc(static_cast<double>(width) * p);
    out.splitX = static_cast<int>(std::clamp(x, 0.0, static_cast<double>(std::max(width, 0))));
    out.barHeight = Units(22, scale);
    out.textWidth = Units(100, scale);
    out.textLeft = width / 2 - out.textWidth / 2;
    char text[32];
    std::snprintf(text, sizeof text, "%d %%", value);
    out.text = text;
    return out;
}

std::int64_t SliderSteps(const SliderGeometry& g) {
    const std::int64_t n = static_cast<std::int64_t>(g.maximum) - g.minimum + 1;
    return n > 0 ? n : 1;
}

namespace {

// The shown position relative to the range, within it.
std::int64_t Offset(const SliderGeometry& g, int position) {
    const std::int64_t n = SliderSteps(g);
    const std::int64_t off = static_cast<std::int64_t>(position) - g.minimum;
    return std::clamp<std::int64_t>(off, 0, n - 1);
}

}  // namespace

int SliderSplitX(const SliderGeometry& g, int position) {
    return static_cast<int>(static_cast<std::int64_t>(g.width) * Offset(g, position) /
                            SliderSteps(g));
}

int SliderThumbX(const SliderGeometry& g, int position) {
    const std::int64_t travel = std::max(g.width - g.thumbWidth, 0);
    return static_cast<int>(Offset(g, position) * travel / SliderSteps(g));
}

int SliderThumbDrawWidth(const SliderGeometry& g) { return g.thumbWidth + Units(1, g.scale); }

int SliderPositionAt(const SliderGeometry& g, int x) {
    if (g.width <= 0 || g.maximum < g.minimum) return g.minimum;
    // x ÷ (W ÷ n) as x × n ÷ W: exact, and a range with more positions than
    // pixels (a long recording on a short slider) still maps every pixel.
    const std::int64_t off = static_cast<std::int64_t>(x) * SliderSteps(g) / g.width;
    const std::int64_t pos = static_cast<std::int64_t>(g.minimum) + off;
    return static_cast<int>(std::clamp<std::int64_t>(pos, g.minimum, g.maximum));
}

bool SliderInPressBand(const SliderGeometry& g, int x) {
    const int band = Units(10, g.scale);
    return x >= -band && x <= g.width + band;
}

bool SliderRangeValid(const SliderGeometry& g) { return g.maximum >= g.minimum; }

CaptionLayout LayOutCaption(int clientWidth, bool hasIcon, float scale) {
    CaptionLayout c;
    c.stripHeight = Units(kCaptionStripUnits, scale);
    c.iconSize = hasIcon ? Units(20, scale) : 0;
    c.titleX = hasIcon ? Units(21, scale) : Units(5, scale);
    c.titleY = Units(1, scale);
    c.closeX = clientWidth - Units(20, scale);
    c.closeY = Units(4, scale);
    c.closeWidth = Units(13, scale);
    c.closeHeight = Units(12, scale);
    return c;
}

MsgBoxLayout LayOutMsgBox(int textWidth, int textHeight, float scale) {
    MsgBoxLayout m;
    m.width = textWidth + Units(80, scale);
    m.height = textHeight + Units(140, scale);
    m.text = {Units(40, scale), Units(30, scale), textWidth + Units(40, scale),
              textHeight + Units(30, scale)};
    const int bw = Units(100, scale), bh = Units(30, scale), gap = Units(15, scale);
    m.rightSlot = {m.width - gap - bw, m.height - gap - bh, bw, bh};
    m.leftSlot = {m.rightSlot.x - gap - bw, m.rightSlot.y, bw, bh};
    return m;
}

int MsgBoxMinTextWidth(MsgBoxType type, float scale) {
    const int slots = type == MsgBoxType::kOk ? 1 : 2;
    const int needed = Units(15, scale) + slots * (Units(100, scale) + Units(15, scale));
    return std::max(needed - Units(80, scale), 0);
}

int MsgBoxMaxTextWidth(int workWidth, float scale) {
    // Two button slots and their gaps must still fit, whatever the work area.
    const int least = 2 * Units(100, scale) + Units(15, scale);
    return std::max(workWidth - Units(80, scale), least);
}

int MsgBoxMaxTextHeight(int workHeight, float scale) {
    return std::max(workHeight - Units(140, scale), Units(40, scale));
}

MsgBoxPoint CentreBox(int width, int height, const MsgBoxRect& owner, const MsgBoxRect& work) {
    MsgBoxPoint p{owner.x + (owner.width - width) / 2, owner.y + (owner.height - height) / 2};
    if (work.width > 0 && work.height > 0) {
        p.x = std::min(p.x, work.x + work.width - width);
        p.y = std::min(p.y, work.y + work.height - height);
        p.x = std::max(p.x, work.x);
        p.y = std::max(p.y, work.y);
    }
    return p;
}

}  // namespace trivexa
