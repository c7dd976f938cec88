#include "controls/msg_box.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QTextLayout>
#include <QThread>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "controls/core/skin_table.h"
#include "controls/screens.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"

namespace trivexa {

namespace {

constexpr int kUiYes = 175;
constexpr int kUiNo = 176;

// The message's lines: split at each line feed (a carriage return before it
// belongs to the break), and lines wider than `maxWidth` wrapped at word
// boundaries, or anywhere in a word longer than the width.
QStringList LayOutLines(const QString& text, const QFont& font, int maxWidth) {
    const QFontMetrics fm(font);
    QStringList lines;
    for (QString paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.endsWith(QLatin1Char('\r'))) paragraph.chop(1);
        if (fm.horizontalAdvance(paragraph) <= maxWidth) {
            lines << paragraph;
            continue;
        }
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(maxWidth);
            QString part = paragraph.mid(line.textStart(), line.textLength());
            while (part.endsWith(QLatin1Char(' '))) part.chop(1);
            lines << part;
        }
        layout.endLayout();
    }
    return lines;
}

// The message, one line under the other, each line one font height apart:
// the height the box was measured with.
class MessageText : public QWidget {
public:
    MessageText(QStringList lines, QWidget* parent) : QWidget(parent), lines_(std::move(lines)) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    const QStringList& Lines() const { return lines_; }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        p.fillRect(event->rect(), CMsgDlg::BackColour());
        p.setFont(font());
        p.setPen(QColor(0x1b, 0x1e, 0x23));
        const QFontMetrics fm(font());
        const int lineHeight = fm.height();
        const int first = qMax(0, event->rect().top() / qMax(lineHeight, 1));
        for (int i = first; i < lines_.size(); ++i) {
            const int y = i * lineHeight;
            if (y > event->rect().bottom()) break;
            p.drawText(QRect(0, y, width(), lineHeight),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, lines_[i]);
        }
    }

private:
    QStringList lines_;
};

MsgBoxRect ToBox(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

CMsgDlg::CMsgDlg(QWidget* owner, const QString& text, const QString& caption, MsgBoxType type)
    : CSkinDialog(owner), type_(type), owner_(owner) {
    setWindowTitle(caption);
    setFont(SharedFont(2));
    LayOut(text);
}

QColor CMsgDlg::BackColour() { return QColor(255, 255, 255); }

void CMsgDlg::LayOut(const QString& text) {
    const float s = LayoutScale();
    const QFont font = SharedFont(2);
    const QFontMetrics fm(font);

    const QPoint anchor = owner_ ? owner_->window()->frameGeometry().center()
                                 : (QGuiApplication::primaryScreen()
                                        ? QGuiApplication::primaryScreen()->geometry().center()
                                        : QPoint());
    const QRect work = WorkArea(anchor);

    const int maxWidth = MsgBoxMaxTextWidth(work.isEmpty() ? 1 << 20 : work.width(), s);
    const QStringList lines = LayOutLines(text, font, maxWidth);
    int widest = 0;
    for (const QString& line : lines) widest = qMax(widest, fm.horizontalAdvance(line));
    const int fullHeight = static_cast<int>(lines.size()) * fm.height();
    textSize_ = QSize(widest, fullHeight);

    // A short message still leaves room for the buttons; a tall one scrolls.
    const int w = qMax(widest, MsgBoxMinTextWidth(type_, s));
    const int maxHeight = MsgBoxMaxTextHeight(work.isEmpty() ? 1 << 20 : work.height(), s);
    const int h = qMin(fullHeight, maxHeight);
    const MsgBoxLayout m = LayOutMsgBox(w, h, s);

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(false);
    QPalette pal = scroll_->palette();
    pal.setColor(QPalette::Window, BackColour());
    scroll_->setPalette(pal);
    scroll_->viewport()->setAutoFillBackground(true);
    scroll_->viewport()->setPalette(pal);
    auto* body = new MessageText(lines, scroll_);
    body->setFont(font);
    body->setAccessibleName(text);
    body->resize(qMax(widest, 1), qMax(fullHeight, 1));
    scroll_->setWidget(body);
    scroll_->setGeometry(m.text.x, m.text.y, m.text.width, m.text.height);
    if (fullHeight > h) {
        // The bar takes room from the text's right margin, not from the text.
        scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        scroll_->setGeometry(m.text.x, m.text.y, m.text.width, h);
    } else {
        scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

    first_ = new CSkinButton(this, 1);
    second_ = new CSkinButton(this, 2);
    for (CSkinButton* b : {first_, second_}) {
        b->setFont(font);
        b->SetImages(skin::kPushButton, QSize(m.rightSlot.width, m.rightSlot.height));
        b->setFocusPolicy(Qt::StrongFocus);
    }
    first_->setText(QStringLiteral("OK"));
    second_->setText(QString::fromUtf8("キャンセル"));
    const auto place = [](CSkinButton* b, const MsgBoxRect& r) {
        b->setGeometry(r.x, r.y, r.width, r.height);
    };
    switch (type_) {
        case MsgBoxType::kOk:
            place(first_, m.rightSlot);
            second_->hide();
            break;
        case MsgBoxType::kOkCancel:
            place(second_, m.rightSlot);
            place(first_, m.leftSlot);
            break;
        case MsgBoxType::kYesNo:
            place(second_, m.rightSlot);
            place(first_, m.leftSlot);
            second_->setText(QString::fromUtf8(UiString(kUiNo)));
            first_->setText(QString::fromUtf8(UiString(kUiYes)));
            break;
    }
    connect(first_, &CSkinButton::Command, this, [this](int) { done(1); });
    connect(second_, &CSkinButton::Command, this, [this](int) { done(2); });
    first_->setFocus(Qt::OtherFocusReason);

    const QRect ownerRect =
        owner_ ? owner_->window()->frameGeometry()
               : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                   : QRect());
    const MsgBoxPoint at = CentreBox(m.width, m.height, ToBox(ownerRect), ToBox(work));
    setGeometry(at.x, at.y, m.width, m.height);
    setFixedSize(m.width, m.height);
}

QString CMsgDlg::ShownText() const {
    const auto* body = static_cast<const MessageText*>(scroll_->widget());
    return body->Lines().join(QLatin1Char('\n'));
}

bool CMsgDlg::Scrolls() const {
    return scroll_->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
}

int CMsgDlg::ClosedResult() const { return type_ == MsgBoxType::kOk ? 1 : 2; }

void CMsgDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), BackColour());
    DrawCaptionStrip(p);
    // A hairline keeps the borderless white box apart from a light desktop.
    p.setPen(QColor(0x9a, 0x9e, 0xa4));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

MsgBoxResult CMsgBox::Show(const QString& text, const QString& caption, MsgBoxType type) {
    int result = 0;
    const auto run = [&] {
        CMsgDlg dlg(owner_, text, caption, type);
        result = dlg.exec();
        if (result != 1 && result != 2) result = dlg.ClosedResult();
    };
    if (QThread::currentThread() == qApp->thread())
        run();
    else
        QMetaObject::invokeMethod(qApp, run, Qt::BlockingQueuedConnection);
    return result == 1 ? MsgBoxResult::kFirst : MsgBoxResult::kSecond;
}

int CMsgBox::Show(const char* text, const char* caption, int type) {
    const MsgBoxType t = type == 1   ? MsgBoxType::kOkCancel
                         : type == 4 ? MsgBoxType::kYesNo
                                     : MsgBoxType::kOk;
    return static_cast<int>(Show(QString::fromUtf8(text), QString::fromUtf8(caption), t));
}

}  // namespace trivexa
