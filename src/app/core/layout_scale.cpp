#include "app/core/layout_scale.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace trivexa {

namespace {

float g_scale = 1.0f;
float g_dpiFactor = 1.0f;

int TruncateToInt(double v) {
    if (!std::isfinite(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);  // truncates toward zero
}

}  // namespace

int Units(int n, float s) {
    // The product is formed in single precision like the stored scale, so a
    // size computed here equals the one every window computes from the same s.
    return TruncateToInt(static_cast<float>(n) * s);
}

int Fraction(int value, int num, int den) {
    if (den == 0) return 0;
    const std::int64_t p = static_cast<std::int64_t>(value) * num / den;
    if (p > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (p < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(p);
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const std::int64_t p = static_cast<std::int64_t>(a) * b;
    const bool negative = (p < 0) != (c < 0);
    const std::int64_t ap = p < 0 ? -p : p;
    const std::int64_t ac = c < 0 ? -static_cast<std::int64_t>(c) : c;
    std::int64_t q = (ap + ac / 2) / ac;  // half away from zero
    if (negative) q = -q;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min()) return -1;
    return static_cast<int>(q);
}

float WorkAreaFit(float s, float d, int workAreaHeight) {
    const float b = static_cast<float>(Units(kMainDesignHeight, s)) * d;
    const double c = 0.9 * workAreaHeight;
    // An empty work area (a screen that reports none) must not shrink the
    // layout to nothing; it is treated as imposing no limit.
    if (workAreaHeight <= 0 || !(b > 0.0f)) return 1.0f;
    return b > c ? static_cast<float>(c / b) : 1.0f;
}

int SharedFontHeight(int points, float s, float d, int dpiY) {
    if (!(d > 0.0f)) return 0;
    const int size = TruncateToInt(static_cast<float>(Units(points, s)) / d);
    return -MulDiv(size, dpiY, 72);
}

ScaleOutcome ComputeScaleAndFonts(const ScaleInputs& in) {
    ScaleOutcome out;
    out.scale = in.currentScale;
    const float d = static_cast<float>(in.dpiX) / 96.0f;
    if (!(d > 0.0f)) return out;
    out.ok = true;
    out.dpiFactor = d;
    out.fit = WorkAreaFit(in.currentScale, d, in.workAreaHeight);
    out.scale = out.fit * d;
    // A screen reporting no vertical dpi gets fonts as at 96 dpi rather than
    // fonts of height 0, which the toolkit would replace by its default size.
    const int dpiY = in.dpiY > 0 ? in.dpiY : 96;
    for (int i = 0; i < kSharedFontCount; ++i)
        out.fontHeights[static_cast<size_t>(i)] =
            SharedFontHeight(kSharedFontPoints[static_cast<size_t>(i)], out.scale, d, dpiY);
    return out;
}

float LayoutScale() { return g_scale; }
float DpiFactor() { return g_dpiFactor; }
void SetLayoutScale(float s) { g_scale = s; }
void SetDpiFactor(float d) { g_dpiFactor = d; }

}  // namespace trivexa
