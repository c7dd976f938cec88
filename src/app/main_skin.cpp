#include "app/main_skin.h"

#include <QPainter>

#include "app/core/main_layout.h"
#include "app/resource_image.h"
#include "controls/core/skin_table.h"
#include "controls/shared_fonts.h"

namespace trivexa {

void PaintMainBackground(QPainter& p, QSize size, float s, const CResourceImage& skin) {
    const QPixmap picture = skin.Picture(skin::kWindowBackground);
    const QSize design = skin.DesignSize(skin::kWindowBackground);
    if (!picture.isNull() && !design.isEmpty()) {
        const auto cells =
            NineSliceCells({design.width(), design.height()}, {size.width(), size.height()}, s);
        // The cells name the design picture's pixels; the picture at hand was
        // drawn at design size × s for the screen's pixel ratio.
        const double kx = picture.width() / static_cast<double>(design.width());
        const double ky = picture.height() / static_cast<double>(design.height());
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        for (const SliceCell& c : cells) {
            const QRectF source(c.source.left * kx, c.source.top * ky, c.source.Width() * kx,
                                c.source.Height() * ky);
            const QRect target(c.target.left, c.target.top, c.target.Width(), c.target.Height());
            p.drawPixmap(target, picture, source);
        }
    }
    const FrameRect title = TitleRect(s);
    p.setFont(SharedFont(2));
    p.setPen(Qt::white);
    p.drawText(QRect(title.left, title.top, title.Width(), title.Height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
               QString::fromLatin1(kMainWindowTitle));
}

const QPixmap& COffScreenDC::Background(QSize size, float s, qreal dpr,
                                        const CResourceImage& skin) {
    if (valid_ && size == size_ && s == scale_ && dpr == dpr_ && &skin == skin_ &&
        skin.Generation() == skinGeneration_)
        return image_;
    size_ = size;
    skinGeneration_ = skin.Generation();
    scale_ = s;
    dpr_ = dpr;
    skin_ = &skin;
    image_ = QPixmap(size * dpr);
    image_.setDevicePixelRatio(dpr);
    image_.fill(Qt::black);
    if (!size.isEmpty()) {
        QPainter p(&image_);
        PaintMainBackground(p, size, s, skin);
    }
    valid_ = true;
    ++renders_;
    return image_;
}

}  // namespace trivexa
