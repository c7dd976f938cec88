// Writes a gallery of every control in each state, and of every skin picture,
// at layout scales 1.0 and 1.5 into build/tests/gallery/, for a developer to
// look at. The test itself checks only that the pictures were written.
#include <QDir>
#include <QLabel>
#include <QPainter>

#include "app/core/ui_strings.h"
#include "controls/core/skin_table.h"
#include "controls/msg_box.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_list.h"
#include "controls/skin_pictures.h"
#include "controls/skin_progress.h"
#include "controls/skin_slider.h"
#include "widget_test_util.h"

namespace trivexa {
namespace {

const QColor kCanvas(0x1b, 0x1e, 0x23);

QString GalleryPath(const QString& name, float s) {
    QDir().mkpath(QStringLiteral(TRIVEXA_GALLERY_DIR));
    return QStringLiteral(TRIVEXA_GALLERY_DIR "/%1_s%2.png").arg(name).arg(s, 0, 'f', 1);
}

// A dark canvas on which controls are placed at absolute positions.
class Canvas : public QWidget {
public:
    Canvas(int w, int h) {
        resize(w, h);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, kCanvas);
        setPalette(pal);
    }
    void Label(const QString& text, int x, int y) {
        auto* l = new QLabel(text, this);
        l->setFont(SharedFont(1));
        l->setStyleSheet(QStringLiteral("color: #8b949e"));
        l->move(x, y);
        l->adjustSize();
    }
};

void Save(QWidget* w, const QString& path) {
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    ASSERT_TRUE(w->grab().save(path)) << path.toStdString();
}

void SaveControls(float s) {
    const int u = Units(1, s) > 0 ? Units(1, s) : 1;
    Canvas canvas(Units(1000, s), Units(640, s));
    const auto U = [s](int n) { return Units(n, s); };
    int y = U(10);

    // Control buttons: normal, hot, pressed (latched), disabled.
    canvas.Label(QStringLiteral("control buttons: normal / hot / pressed / disabled"), U(10), y);
    y += U(18);
    const int buttons[] = {skin::kToStart,    skin::kPrevious, skin::kPlay,     skin::kPause,
                           skin::kSlower,     skin::kFaster,   skin::kNext,     skin::kStill,
                           skin::kJoin,       skin::kZoom,     skin::kMirror,   skin::kMap,
                           skin::kOpenSource, skin::kDelete,   skin::kSettings, skin::kCsv,
                           skin::kSwapScreens};
    for (int state = 0; state < 4; ++state) {
        int x = U(10);
        for (int number : buttons) {
            auto* b = new CSkinButton(&canvas, number);
            b->setGeometry(x, y, U(32), U(32));
            b->SetImages(number, QSize(U(32), U(32)));
            if (state == 1) b->SetGreyed(true);  // greyed shows the hot picture
            if (state == 2) b->SetLatched(true);
            if (state == 3) b->setEnabled(false);
            x += U(32) + U(11);
        }
        y += U(32) + U(6);
    }

    // Caption buttons and the dialog close button.
    canvas.Label(QStringLiteral("caption buttons, dialog close (on the dialog strip)"), U(10), y);
    y += U(18);
    for (int state = 0; state < 4; ++state) {
        int x = U(10) + state * U(140);
        for (int number : {skin::kCaptionMinimise, skin::kCaptionMaximise, skin::kCaptionClose}) {
            const int w = number == skin::kCaptionClose ? U(46) : U(26);
            auto* b = new CSkinButton(&canvas, number);
            b->setGeometry(x, y, w, U(18));
            b->SetImages(number, QSize(w, U(18)));
            if (state == 1) b->SetGreyed(true);
            if (state == 2) b->SetLatched(true);
            if (state == 3) b->setEnabled(false);
            x += w;
        }
        auto* strip = new QWidget(&canvas);
        strip->setAutoFillBackground(true);
        QPalette pal = strip->palette();
        pal.setColor(QPalette::Window, CSkinDialog::CaptionStripColour());
        strip->setPalette(pal);
        strip->setGeometry(x + U(6), y, U(24), U(20));
        auto* close = new CSkinButton(strip, 21);
        close->setGeometry(U(5), U(4), U(13), U(12));
        close->SetImages(skin::kDialogClose, QSize(U(13), U(12)));
        if (state == 1) close->SetGreyed(true);
        if (state == 2) close->SetLatched(true);
        if (state == 3) close->setEnabled(false);
    }
    y += U(30);

    // Check buttons: unchecked, checked, disabled, disabled checked; mode buttons.
    canvas.Label(QStringLiteral("check buttons and mode buttons"), U(10), y);
    y += U(18);
    const QString captions[] = {QString::fromUtf8(UiString(152)), QString::fromUtf8(UiString(156)),
                                QString::fromUtf8(UiString(155)), QString::fromUtf8(UiString(157))};
    for (int row = 0; row < 2; ++row) {
        for (int state = 0; state < 4; ++state) {
            auto* c = new CSkinCheckButton(&canvas, 32968 + state);
            c->setGeometry(U(10) + state * U(120), y, U(110), U(20));
            c->SetImages(row == 0 ? skin::kCheckBox : skin::kModeButton);
            c->setFont(SharedFont(2));
            c->setText(captions[state]);
            c->setChecked(state == 1 || state == 3);
            c->setEnabled(state < 2);
        }
        // The hot picture, as the mouse shows it over the box.
        const QPixmap hot =
            SkinPicture(row == 0 ? skin::kCheckBox : skin::kModeButton, QSize(U(12), U(12)), 1);
        auto* hotLabel = new QLabel(&canvas);
        hotLabel->setPixmap(hot);
        hotLabel->setGeometry(U(500), y + U(4), U(12), U(12));
        canvas.Label(QStringLiteral("hot"), U(516), y + U(4));
        y += U(24);
    }

    // Sliders: empty, half, full, dragged, disabled.
    std::vector<CSkinSliderCtrl*> draggedSliders;
    canvas.Label(QStringLiteral("seek and volume sliders: 0 / half / full / dragged / disabled"),
                 U(10), y);
    y += U(18);
    for (int kind = 0; kind < 2; ++kind) {
        CSkinSliderCtrl* dragged = nullptr;
        for (int state = 0; state < 5; ++state) {
            auto* sl = new CSkinSliderCtrl(&canvas, 38100 + kind);
            if (kind == 0) {
                sl->SetPictures(skin::kSeekLeftBar, skin::kSeekRightBar, skin::kSeekThumb,
                                skin::kSeekThumbPressed);
                sl->setGeometry(U(10) + state * U(195), y, U(180), U(10));
                sl->SetRange(0, 999);
            } else {
                sl->SetPictures(skin::kVolumeLeftBar, skin::kVolumeRightBar, skin::kVolumeThumb,
                                skin::kVolumeThumbPressed);
                sl->setGeometry(U(10) + state * U(195), y, U(100), U(20));
                sl->SetRange(0, 65535);
            }
            const int max = sl->Maximum();
            sl->SetPos(state == 0 ? 0 : state == 2 ? max : max / 2);
            if (state == 4) sl->Enable(false);
            if (state == 3) dragged = sl;
        }
        draggedSliders.push_back(dragged);
        y += U(30);
    }

    // Progress bar at 0, 50 and 100.
    canvas.Label(QStringLiteral("progress bar: 0 / 50 / 100"), U(10), y);
    y += U(18);
    for (int i = 0; i < 3; ++i) {
        auto* bar = new CSkinProgressBarCtrl(&canvas, 38102);
        bar->setFont(SharedFont(2));
        bar->setGeometry(U(10) + i * U(320), y, U(300), U(22));
        bar->SetRange(0, 100);
        bar->SetPos(i * 50);
    }
    y += U(32);

    // The check list: unchecked, hot, checked rows.
    canvas.Label(QStringLiteral("check list: unchecked / hot / checked"), U(10), y);
    y += U(18);
    auto* list = new CSkinListCtrl(&canvas, 1003);
    list->setFont(SharedFont(2));
    list->setGeometry(U(10), y, U(480), U(100));
    list->setHeaderLabels({QString::fromUtf8(UiString(46)), QString::fromUtf8(UiString(145)),
                           QString::fromUtf8(UiString(146))});
    list->setColumnWidth(0, U(270));
    list->setColumnWidth(1, U(105));
    list->AddItem({QStringLiteral("NA210503-070809-000123F.AVI"), QStringLiteral("120 MB"),
                   QStringLiteral("60 MB")},
                  1);
    list->AddItem({QStringLiteral("NA210503-071809-000124F.AVI"), QStringLiteral("118 MB"),
                   QStringLiteral("59 MB")},
                  2);
    list->AddItem({QStringLiteral("NA210503-072809-000125F.AVI"), QStringLiteral("121 MB"),
                   QStringLiteral("61 MB")},
                  3);
    (void)u;

    // A slider shows its dragged thumb while the button is held on it.
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    const QString names[] = {QStringLiteral("controls"), QStringLiteral("controls_volume_dragged")};
    for (size_t i = 0; i < draggedSliders.size(); ++i) {
        CSkinSliderCtrl* sl = draggedSliders[i];
        QTest::mousePress(sl, Qt::LeftButton, {}, sl->ThumbRect().center());
        ASSERT_TRUE(sl->Dragging());
        Save(&canvas, GalleryPath(names[i], s));
        QTest::mouseRelease(sl, Qt::LeftButton, {}, sl->ThumbRect().center());
    }
}

void SavePictures(float s) {
    const auto U = [s](int n) { return Units(n, s); };
    QImage image(U(1000), U(900), QImage::Format_ARGB32_Premultiplied);
    image.fill(kCanvas);
    QPainter p(&image);
    p.setFont(SharedFont(1));
    int x = U(10), y = U(10), rowHeight = 0;
    const auto place = [&](int number, QSize size, int frame = 0) {
        const QPixmap pic = SkinPicture(number, size, frame);
        if (x + size.width() > image.width() - U(10)) {
            x = U(10);
            y += rowHeight + U(16);
            rowHeight = 0;
        }
        p.setPen(QColor(0x8b, 0x94, 0x9b));
        p.drawText(x, y + U(9), QString::number(number));
        p.drawPixmap(x, y + U(12), pic);
        x += qMax(size.width(), U(26)) + U(10);
        rowHeight = qMax(rowHeight, size.height() + U(12));
    };
    // The main window's background, tiled by its nine cells to 300 × 120.
    {
        const QSize cell(U(32), U(32));
        const QPixmap bg = SkinPictureScaled(skin::kWindowBackground, s);
        const int w = U(300), h = U(120);
        p.setPen(QColor(0x8b, 0x94, 0x9b));
        p.drawText(x, y + U(9), QStringLiteral("129 (nine cells)"));
        for (int cy = 0; cy < h; cy += cell.height())
            for (int cx = 0; cx < w; cx += cell.width()) {
                const int sx = cx == 0 ? 0 : (cx + cell.width() >= w ? 2 : 1);
                const int sy = cy == 0 ? 0 : (cy + cell.height() >= h ? 2 : 1);
                const int dx = sx == 2 ? w - cell.width() : cx;
                const int dy = sy == 2 ? h - cell.height() : cy;
                const qreal r = bg.devicePixelRatio();
                p.drawPixmap(QRectF(x + dx, y + U(12) + dy, cell.width(), cell.height()), bg,
                             QRectF(sx * cell.width() * r, sy * cell.height() * r, cell.width() * r,
                                    cell.height() * r));
            }
        p.setFont(SharedFont(2));
        p.setPen(Qt::white);
        p.drawText(QRect(x + U(10), y + U(12) + U(4), U(200), U(30)), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Trivexa"));
        p.setFont(SharedFont(1));
        x += w + U(10);
        rowHeight = h + U(12);
    }
    for (int n : SkinImageSetOrder())
        if (n != skin::kWindowBackground)
            place(n, SkinPictureScaled(n, s).deviceIndependentSize().toSize());
    x = U(10);
    y += rowHeight + U(16);
    rowHeight = 0;
    for (int n : SkinEventIconOrder()) place(n, QSize(U(16), U(16)));
    for (int n : skin::kGraphLegends)
        place(n, SkinPictureScaled(n, s).deviceIndependentSize().toSize());
    place(skin::kGraphSteeringMark, QSize(U(9), U(9)));
    place(skin::kZoomCursor, QSize(U(32), U(32)));
    place(skin::kAppIcon, QSize(U(32), U(32)));
    // The folder tree badge: the base and, stacked on it, every category.
    {
        const QSize size(U(39), U(26));
        QPixmap badge(size);
        badge.fill(Qt::white);
        QPainter b(&badge);
        b.drawPixmap(0, 0, SkinPicture(skin::kCategoryBase, size));
        for (int n :
             {skin::kCategoryManual, skin::kCategoryShock, skin::kCategoryParkingShock,
              skin::kCategoryParking, skin::kCategorySpeedCamera, skin::kCategoryApproaching}) {
            b.drawPixmap(0, 0, SkinPicture(n, size));
            place(n, size);
        }
        b.end();
        p.drawText(x, y + U(9), QStringLiteral("319+all"));
        p.drawPixmap(x, y + U(12), badge);
    }
    p.end();
    ASSERT_TRUE(image.save(GalleryPath(QStringLiteral("pictures"), s)));
}

void SaveDialogs(float s) {
    CSkinDialog dialog;
    dialog.SetBaseSize(Units(460, s), Units(315, s));
    dialog.resize(Units(460, s), Units(200, s));
    dialog.setWindowTitle(QString::fromUtf8(UiString(128)));
    dialog.setWindowIcon(QIcon(SkinPicture(skin::kAppIcon, QSize(Units(32, s), Units(32, s)))));
    dialog.AddCloseButton(19);
    dialog.setAutoFillBackground(true);
    QPalette pal = dialog.palette();
    pal.setColor(QPalette::Window, Qt::white);
    dialog.setPalette(pal);
    Save(&dialog, GalleryPath(QStringLiteral("dialog"), s));

    struct Box {
        const char* name;
        int text;
        const char* caption;
        MsgBoxType type;
    };
    const Box boxes[] = {{"msgbox_ok", 96, "ERROR", MsgBoxType::kOk},
                         {"msgbox_okcancel", 90, nullptr, MsgBoxType::kOkCancel},
                         {"msgbox_yesno", 172, nullptr, MsgBoxType::kYesNo},
                         {"msgbox_multiline", 185, "ERROR", MsgBoxType::kOk}};
    for (const Box& b : boxes) {
        const QString caption =
            QString::fromUtf8(b.caption ? b.caption : UiString(kUiConfirmTitle));
        CMsgDlg box(nullptr, QString::fromUtf8(UiString(b.text)), caption, b.type);
        Save(&box, GalleryPath(QString::fromLatin1(b.name), s));
    }
    QString longText;
    for (int i = 0; i < 400; ++i) longText += QString::fromUtf8("ファイルが破損しています。");
    CMsgDlg tall(nullptr, longText, "ERROR", MsgBoxType::kYesNo);
    Save(&tall, GalleryPath(QStringLiteral("msgbox_huge"), s));
}

TEST(Gallery, EveryControlInEachStateAtBothScales) {
    REQUIRE_DISPLAY();
    for (float s : {1.0f, 1.5f}) {
        test::ScopedScale scale(s);
        // Fonts as a screen of 96·s dpi would give them.
        const int dpi = static_cast<int>(96 * s);
        CreateSharedFonts(ComputeScaleAndFonts({1.0f, dpi, dpi, 4000}));
        ClearSkinPictureCache();
        SaveControls(s);
        SavePictures(s);
        SaveDialogs(s);
        for (const char* name : {"controls", "pictures", "dialog", "msgbox_ok", "msgbox_yesno"}) {
            const QImage written(GalleryPath(QString::fromLatin1(name), s));
            EXPECT_FALSE(written.isNull()) << name << " at " << s;
        }
    }
    DeleteSharedFonts();
}

}  // namespace
}  // namespace trivexa
