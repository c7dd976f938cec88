#include "app/resource_image.h"

#include <algorithm>

#include "app/core/layout_scale.h"
#include "controls/core/skin_table.h"
#include "controls/skin_pictures.h"

namespace trivexa {

std::span<const int> CResourceImage::SetOrder() { return SkinImageSetOrder(); }
std::span<const int> CResourceImage::EventIconOrder() { return SkinEventIconOrder(); }

bool CResourceImage::InSet(int number) const {
    const auto set = SetOrder();
    const auto icons = EventIconOrder();
    return std::find(set.begin(), set.end(), number) != set.end() ||
           std::find(icons.begin(), icons.end(), number) != icons.end();
}

void CResourceImage::Load(float s) {
    scale_ = s;
    pictures_.clear();
    // Renders made for the previous scale are of no further use.
    ClearSkinPictureCache();
    for (int number : SetOrder()) pictures_[number] = SkinPictureScaled(number, s);
    for (int number : EventIconOrder()) pictures_[number] = SkinPictureScaled(number, s);
    const QPixmap pattern = SkinPictureScaled(skin::kFramePattern, s);
    frameBrush_ = pattern.isNull() ? QBrush(Qt::darkGray) : QBrush(pattern);
    appIcon_ = QIcon();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QPixmap icon = SkinPicture(skin::kAppIcon, QSize(size, size));
        if (!icon.isNull()) appIcon_.addPixmap(icon);
    }
    loaded_ = true;
    ++generation_;
}

QPixmap CResourceImage::Picture(int number) const {
    const auto it = pictures_.find(number);
    return it == pictures_.end() ? QPixmap() : it->second;
}

QPixmap CResourceImage::PictureAt(int number, QSize size) const {
    if (!InSet(number)) return {};
    return SkinPicture(number, size);
}

QSize CResourceImage::DesignSize(int number) const {
    return InSet(number) ? SkinDesignSize(number) : QSize();
}

int CResourceImage::LoadedCount() const {
    return static_cast<int>(std::count_if(pictures_.begin(), pictures_.end(),
                                          [](const auto& e) { return !e.second.isNull(); }));
}

QPixmap CResourceImage::EventIcon(int order) const {
    const auto icons = EventIconOrder();
    if (order < 0 || order >= static_cast<int>(icons.size())) return {};
    return Picture(icons[static_cast<size_t>(order)]);
}

}  // namespace trivexa
