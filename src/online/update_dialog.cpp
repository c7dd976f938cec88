#include "online/update_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QUrl>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "controls/core/skin_table.h"
#include "controls/screens.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "online/core/update_dialog_layout.h"
#include "online/core/update_settings.h"

namespace trivexa {

namespace {

constexpr int kUiClose = 0;
constexpr int kUiUpdateCaption = 106;
constexpr int kUiRuntimeCaption = 184;
// How often the notice looks whether a window of the viewer covers it.
constexpr int kKeepAboveMs = 150;

MsgBoxRect ToBox(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

QRect ToRect(const MsgBoxRect& r) { return QRect(r.x, r.y, r.width, r.height); }

}  // namespace

CUpdateDialog::CUpdateDialog(QWidget* placeNear) : CSkinDialog(nullptr), placeNear_(placeNear) {
    setWindowTitle(QString::fromUtf8(UiString(kUiUpdateCaption)));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    keepAbove_ = new QTimer(this);
    keepAbove_->setInterval(kKeepAboveMs);
    connect(keepAbove_, &QTimer::timeout, this, [this] { KeepAbove(); });

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette areaPalette = scroll_->palette();
    areaPalette.setColor(QPalette::Window, LinkBackColour());
    areaPalette.setColor(QPalette::Base, LinkBackColour());
    scroll_->setPalette(areaPalette);
    scroll_->viewport()->setAutoFillBackground(true);
    scroll_->viewport()->setPalette(areaPalette);

    link_ = new QLabel;
    link_->setObjectName(QStringLiteral("link%1").arg(kLinkControlId));
    link_->setTextFormat(Qt::RichText);
    link_->setWordWrap(true);
    link_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    link_->setMargin(0);
    link_->setIndent(0);
    // Clicks reach the links; opening is ours, so only http and https open.
    link_->setOpenExternalLinks(false);
    link_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    // The area is white whatever the desktop theme: the text must stay dark.
    QPalette textPalette = link_->palette();
    textPalette.setColor(QPalette::WindowText, QColor(0x1b, 0x1e, 0x23));
    textPalette.setColor(QPalette::Text, QColor(0x1b, 0x1e, 0x23));
    textPalette.setColor(QPalette::Link, QColor(0x00, 0x66, 0xcc));
    textPalette.setColor(QPalette::LinkVisited, QColor(0x66, 0x33, 0x99));
    link_->setPalette(textPalette);
    link_->setAutoFillBackground(false);
    connect(link_, &QLabel::linkActivated, this, [this](const QString& href) { OpenLink(href); });
    scroll_->setWidget(link_);

    button_ = new CSkinButton(this, kCloseButtonId);
    button_->setText(QString::fromUtf8(UiString(kUiClose)));
    button_->setFocusPolicy(Qt::StrongFocus);
    connect(button_, &CSkinButton::Command, this, [this](int) { done(kCloseButtonId); });
    // Space closes the notice from the keyboard (the skinned frame takes
    // Escape and Enter without acting on them).
    button_->setFocus(Qt::OtherFocusReason);

    Relayout();
}

CUpdateDialog::~CUpdateDialog() = default;

QColor CUpdateDialog::LinkBackColour() { return QColor(255, 255, 255); }

QColor CUpdateDialog::FaceColour() { return QColor(0xf0, 0xf0, 0xf0); }

void CUpdateDialog::SetText(const online::NoticeText& text) {
    link_->setText(QString::fromStdString(online::NoticeMarkup(text)));
}

void CUpdateDialog::SetNotice(const online::UpdateNotice& notice) {
    SetText(online::UpdateNoticeText(notice));
    setWindowTitle(QString::fromUtf8(UiString(kUiUpdateCaption)));
}

void CUpdateDialog::Relayout() {
    const online::UpdateDialogLayout l = online::LayOutUpdateDialog(LayoutScale());
    const QFont font = SharedFont(2);
    setFont(font);
    link_->setFont(font);
    // A little room between the white area's edge and the text.
    link_->setContentsMargins(U(6), U(4), U(6), U(4));
    button_->setFont(font);
    setFixedSize(l.width, l.height);
    scroll_->setGeometry(ToRect(l.link));
    button_->setGeometry(ToRect(l.button));
    button_->SetImages(skin::kPushButton, QSize(l.button.width, l.button.height));

    QPoint anchor;
    if (placeNear_)
        anchor = placeNear_->window()->frameGeometry().center();
    else if (QGuiApplication::primaryScreen() != nullptr)
        anchor = QGuiApplication::primaryScreen()->geometry().center();
    const QRect monitor = MonitorRect(anchor);
    const QRect work = WorkArea(anchor);
    if (!monitor.isEmpty()) {
        const MsgBoxPoint at =
            CentreBox(l.width, l.height, ToBox(monitor), ToBox(work.isEmpty() ? monitor : work));
        move(at.x, at.y);
    }
    update();
}

bool CUpdateDialog::KeepAbove() {
    if (!isVisible()) return false;
    // A message box or a menu the user is answering stays on top.
    if (QApplication::activePopupWidget() != nullptr) return false;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != this) return false;
    const QRect r = frameGeometry();
    const QPoint probes[] = {r.center(), r.topLeft() + QPoint(2, 2), r.topRight() + QPoint(-2, 2),
                             r.bottomLeft() + QPoint(2, -2), r.bottomRight() + QPoint(-2, -2)};
    for (const QPoint& at : probes) {
        QWidget* top = QApplication::topLevelAt(at);
        if (top != nullptr && top != this) {
            raise();
            return true;
        }
    }
    return false;
}

void CUpdateDialog::showEvent(QShowEvent* event) {
    CSkinDialog::showEvent(event);
    keepAbove_->start();
}

void CUpdateDialog::hideEvent(QHideEvent* event) {
    keepAbove_->stop();
    CSkinDialog::hideEvent(event);
}

bool CUpdateDialog::OpenLink(const QString& href) {
    if (!online::IsOpenableLink(href.toStdString())) return false;
    const QUrl url(href, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return false;
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return false;
    return QDesktopServices::openUrl(url);
}

void CUpdateDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), FaceColour());
    DrawCaptionStrip(p);
    // A hairline keeps the borderless window apart from a light desktop.
    p.setPen(QColor(0x9a, 0x9e, 0xa4));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

CUpdateDialog* ShowUpdateNotice(const online::UpdateNotice& notice, QWidget* placeNear) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
    auto* dialog = new CUpdateDialog(placeNear);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetNotice(notice);
    dialog->show();
    return dialog;
}

bool ShowMapRuntimeNotice(bool runtimeInstalled, QWidget* placeNear, const std::string& pageUrl) {
    if (runtimeInstalled) return false;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
    const std::string page =
        pageUrl.empty() ? online::MapRuntimePage(online::ReadUpdateEndpoints()) : pageUrl;

    CUpdateDialog dialog(placeNear);
    dialog.SetText(online::MapRuntimeNoticeText(page));
    dialog.setWindowTitle(QString::fromUtf8(UiString(kUiRuntimeCaption)));
    // Start-up waits here until the notice is closed; no other window of the
    // viewer takes input meanwhile.
    dialog.setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    if (dialog.isVisible()) loop.exec(QEventLoop::DialogExec);
    return true;
}

}  // namespace trivexa
