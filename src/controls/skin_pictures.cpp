#include "controls/skin_pictures.h"

#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <memory>
#include <unordered_map>

#include "app/core/layout_scale.h"
#include "controls/core/skin_table.h"

// The skin's resource file is compiled into this static library; registering
// it explicitly keeps the linker from dropping it.
static void InitSkinResources() { Q_INIT_RESOURCE(skin); }

namespace trivexa {

namespace {

struct CacheKey {
    int number;
    int frame;
    int width;
    int height;
    int dprPercent;
    bool operator==(const CacheKey&) const = default;
};

struct CacheKeyHash {
    size_t operator()(const CacheKey& k) const {
        size_t h = static_cast<size_t>(k.number);
        for (int v : {k.frame, k.width, k.height, k.dprPercent})
            h = h * 1000003u ^ static_cast<size_t>(v);
        return h;
    }
};

std::unordered_map<CacheKey, QPixmap, CacheKeyHash>& Cache() {
    static std::unordered_map<CacheKey, QPixmap, CacheKeyHash> cache;
    return cache;
}

// A window that keeps resizing must not grow the cache without bound.
constexpr size_t kCacheLimit = 512;

QSvgRenderer* RendererFor(const SkinPictureInfo& info) {
    static std::unordered_map<int, std::unique_ptr<QSvgRenderer>> renderers;
    static bool resourcesReady = false;
    if (!resourcesReady) {
        InitSkinResources();
        resourcesReady = true;
    }
    auto it = renderers.find(info.number);
    if (it == renderers.end()) {
        auto r = std::make_unique<QSvgRenderer>(QStringLiteral(":/skin/") +
                                                QString::fromLatin1(info.file));
        it = renderers.emplace(info.number, std::move(r)).first;
    }
    return it->second->isValid() ? it->second.get() : nullptr;
}

}  // namespace

QSize SkinDesignSize(int number) {
    const SkinPictureInfo* info = FindSkinPicture(number);
    return info ? QSize(info->width, info->height) : QSize();
}

int SkinFrameCount(int number) {
    const SkinPictureInfo* info = FindSkinPicture(number);
    return info ? info->frames : 0;
}

QPixmap SkinPicture(int number, QSize size, int frame) {
    const SkinPictureInfo* info = FindSkinPicture(number);
    if (!info || size.isEmpty() || frame < 0 || frame >= info->frames) return {};
    // Sizes beyond the largest window are refused rather than allocated.
    if (size.width() > 16384 || size.height() > 16384) return {};
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    const CacheKey key{number, frame, size.width(), size.height(), static_cast<int>(dpr * 100)};
    auto& cache = Cache();
    if (auto it = cache.find(key); it != cache.end()) return it->second;

    QSvgRenderer* renderer = RendererFor(*info);
    if (!renderer) return {};
    const QSize device(qMax(1, qRound(size.width() * dpr)), qMax(1, qRound(size.height() * dpr)));
    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        // The strip is drawn so that the wanted frame fills the image exactly.
        const QRectF whole(-frame * device.width(), 0, device.width() * info->frames,
                           device.height());
        renderer->render(&p, whole);
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(dpr);
    if (cache.size() >= kCacheLimit) cache.clear();
    cache.emplace(key, pixmap);
    return pixmap;
}

QPixmap SkinPictureScaled(int number, float s, int frame) {
    const QSize design = SkinDesignSize(number);
    if (design.isEmpty()) return {};
    return SkinPicture(number, QSize(Units(design.width(), s), Units(design.height(), s)), frame);
}

void ClearSkinPictureCache() { Cache().clear(); }

}  // namespace trivexa
