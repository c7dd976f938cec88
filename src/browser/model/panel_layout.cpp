#include "browser/model/panel_layout.h"

#include <algorithm>

#include "app/core/layout_scale.h"

namespace trivexa {
namespace {

constexpr int kMargin = 4;
constexpr int kPathTop = 5;
constexpr int kPathWidth = 382;
constexpr int kPathExtra = 7;  // path box height = font height + 7 units
constexpr int kTreeTop = 44;
constexpr int kTreeWidth = 213;
constexpr int kListLeft = 220;
constexpr int kListWidth = 228;
constexpr int kButtonSize = 12;
constexpr int kButtonsLeft = 8;
constexpr std::array<int, 4> kButtonAdvance = {55, 55, 92, 55};
constexpr int kSecondRowDrop = 18;
constexpr int kLabelGap = 16;  // a label starts this far right of its button's left edge
constexpr int kLabelWidth = 80;
constexpr int kLabelHeight = 16;
constexpr int kZoomBoxWidth = 180;
constexpr int kZoomBoxHeight = 100;
constexpr int kTreeRow = 20;
constexpr int kTreeTextBack = 22;
constexpr int kBadgeBack = 26;
constexpr int kBadgeWidth = 24;  // 39 × 26 reduced to the row, keeping its 3 : 2 shape
constexpr int kBadgeHeight = 16;

}  // namespace

PanelLayout LayOutPanel(int width, int height, int fontHeight, float s) {
    PanelLayout l;
    const int pathHeight = std::max(fontHeight, 0) + Units(kPathExtra, s);
    l.pathBox = {Units(kMargin, s), Units(kPathTop, s), Units(kPathWidth, s), pathHeight};
    const int stripLeft = l.pathBox.x + l.pathBox.width;
    l.countStrip = {stripLeft, l.pathBox.y, std::max(width - Units(kMargin, s) - stripLeft, 0),
                    pathHeight};

    const int treeTop = Units(kTreeTop, s);
    const int listHeight = std::max(height - treeTop - Units(kMargin, s), 0);
    l.tree = {Units(kMargin, s), treeTop, Units(kTreeWidth, s), listHeight};
    l.list = {Units(kListLeft, s), treeTop, Units(kListWidth, s), listHeight};

    // Buttons 0-4 in one row, centred on the path-box row; button 5 starts a
    // second row below.
    const int button = Units(kButtonSize, s);
    const int rowTop = l.pathBox.y + (pathHeight - button) / 2;
    int x = Units(kButtonsLeft, s);
    for (int i = 0; i < 5; ++i) {
        l.buttons[static_cast<std::size_t>(i)] = {x, rowTop, button, button};
        if (i < 4) x += Units(kButtonAdvance[static_cast<std::size_t>(i)], s);
    }
    l.buttons[5] = {Units(kButtonsLeft, s), rowTop + Units(kSecondRowDrop, s), button, button};
    const int labelHeight = Units(kLabelHeight, s);
    for (std::size_t i = 0; i < l.buttons.size(); ++i) {
        const PanelRect& b = l.buttons[i];
        l.labels[i] = {b.x + Units(kLabelGap, s), b.y + (button - labelHeight) / 2,
                       Units(kLabelWidth, s), labelHeight};
    }
    return l;
}

PanelRect ZoomNoticeBox(int width, int height, float s) {
    const int w = Units(kZoomBoxWidth, s);
    const int h = Units(kZoomBoxHeight, s);
    return {(width - w) / 2, (height - h) / 2, w, h};
}

int TreeRowHeight(float s) { return Units(kTreeRow, s); }

int TreeTextX(int rowHeight, int depth, float s) {
    const int level = depth + 1;
    return rowHeight * (level + 1) - Units(kTreeTextBack, s);
}

PanelRect TreeBadgeRect(int textX, int rowTop, int rowHeight, float s) {
    const int h = Units(kBadgeHeight, s);
    return {textX - Units(kBadgeBack, s), rowTop + (rowHeight - h) / 2, Units(kBadgeWidth, s), h};
}

bool TreeNodeHasBadge(int depth, TriggerFlags flags) { return depth > 0 && flags != 0; }

std::vector<TriggerFlags> BadgeLayers(TriggerFlags flags) {
    static constexpr std::array<TriggerFlags, 6> kOrder = {kFlagManual,       kFlagShock,
                                                           kFlagParkingShock, kFlagParking,
                                                           kFlagSpeedCamera,  kFlagApproachAlert};
    std::vector<TriggerFlags> layers;
    for (TriggerFlags bit : kOrder)
        if ((flags & bit) != 0) layers.push_back(bit);
    return layers;
}

}  // namespace trivexa
