// The update notice window on screen: a real update check against a server on
// 127.0.0.1 feeding it, its links read back from the label and clicked, its
// layout and the map runtime notice's wait. Screenshots go to
// build/tests/online/.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTimer>
#include <map>
#include <memory>

#include "app/core/layout_scale.h"
#include "app/core/ui_strings.h"
#include "controls/shared_fonts.h"
#include "controls/skin_button.h"
#include "controls/skin_pictures.h"
#include "controls/widget_test_util.h"
#include "online/core/update_dialog_layout.h"
#include "online/inet_connection_async.h"
#include "online/update_dialog.h"
#include "support/local_http_server.h"

namespace trivexa {
namespace {

using test::HttpAnswer;
using test::HttpRequestSeen;
using test::LocalHttpServer;
using namespace std::chrono_literals;

// Takes the addresses QDesktopServices::openUrl is asked to open for web
// schemes, instead of starting a browser.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() {
        for (const char* scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
    }
    ~OpenedUrls() override {
        for (const char* scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QStringList urls;

public slots:
    void Open(const QUrl& url) { urls << url.toString(); }
};

// The main window's part: on UM_UPDATE_AVAILABLE it shows the notice with
// what the connection found.
class NoticeOwner : public QWidget {
public:
    CInetConnectionAsync* connection = nullptr;
    QPointer<CUpdateDialog> notice;

protected:
    bool event(QEvent* e) override {
        const PostedMessageEvent* m = AsPostedMessage(e);
        if (m == nullptr) return QWidget::event(e);
        if (m->message() == UM_UPDATE_AVAILABLE && connection != nullptr)
            notice = ShowUpdateNotice(connection->Notice(), this);
        return true;
    }
};

// The label's text laid out as the label lays it out, to read its links and
// to find where a text is drawn.
class LabelText {
public:
    explicit LabelText(const QLabel* label) : label_(label) {
        doc_.setDefaultFont(label->font());
        doc_.setHtml(label->text());
        doc_.setDocumentMargin(0);
        QTextOption option = doc_.defaultTextOption();
        option.setWrapMode(QTextOption::WordWrap);
        option.setAlignment(label->alignment());
        doc_.setDefaultTextOption(option);
        doc_.setTextWidth(label->contentsRect().width());
    }

    // The text without the zero-width break chances of long runs.
    QString Plain() const { return Shown(doc_.toPlainText()); }

    // Every link target with its visible text.
    std::vector<std::pair<QString, QString>> Links() const {
        std::vector<std::pair<QString, QString>> links;
        for (QTextBlock b = doc_.begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                if (f.charFormat().isAnchor())
                    links.emplace_back(f.charFormat().anchorHref(), Shown(f.text()));
            }
        return links;
    }

    // The middle of the first character of `text` in the label, or (-1, -1).
    QPoint Where(const QString& text) const {
        const QTextCursor found = doc_.find(text);
        if (found.isNull()) return {-1, -1};
        const int at = found.selectionStart();
        const QTextBlock block = doc_.findBlock(at);
        // Asking for the block's box lays it out.
        const QRectF box = doc_.documentLayout()->blockBoundingRect(block);
        const QTextLine line = block.layout()->lineForTextPosition(at - block.position());
        if (!line.isValid()) return {-1, -1};
        const qreal x0 = line.cursorToX(at - block.position());
        const qreal x1 = line.cursorToX(at - block.position() + 1);
        const QPointF p(box.x() + (x0 + x1) / 2, box.y() + line.y() + line.height() / 2);
        return p.toPoint() + label_->contentsRect().topLeft();
    }

private:
    static QString Shown(QString text) { return text.remove(QChar(0x200B)); }

    const QLabel* label_;
    QTextDocument doc_;
};

class UpdateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveDisplay()) GTEST_SKIP() << "no display";
        SetLayoutScale(1.0f);
        CreateSharedFonts(ComputeScaleAndFonts({1.0f, 96, 96, 4000}));
        ClearSkinPictureCache();
    }
    void TearDown() override {
        DeleteSharedFonts();
        SetLayoutScale(1.0f);
    }

    static void SaveShot(QWidget* w, const QString& name) {
        QDir().mkpath(QStringLiteral(TRIVEXA_ONLINE_SHOT_DIR));
        const QString path = QStringLiteral(TRIVEXA_ONLINE_SHOT_DIR "/%1.png").arg(name);
        EXPECT_TRUE(test::Grab(w).save(path)) << path.toStdString();
    }

    test::NoProxyEnvironment noProxy_;
    test::ScopedEnv utf8_{"LC_ALL", "C.UTF-8"};
};

const online::UpdateEndpoints kPaths = online::DefaultUpdateEndpoints();

TEST_F(UpdateDialogTest, MarkupFromTheServerShowsAsTextAndOpensNothing) {
    const std::string injected = "<a href=\"http://evil.invalid/\">3.0.0.0</a><b>bold</b>";
    const std::map<std::string, std::string> files = {
        {kPaths.firmware[0].versionFile, "VER:1.3.0.0\r\n"},
        {kPaths.viewer.versionFile, "VER:" + injected},
    };
    LocalHttpServer server([&](const HttpRequestSeen& r) {
        const auto it = files.find(r.target);
        return it == files.end() ? HttpAnswer::Text("", 404) : HttpAnswer::Text(it->second);
    });
    NoticeOwner owner;
    CInetConnectionAsync::Options options = CInetConnectionAsync::DefaultOptions();
    options.endpoints.server = server.Url();
    CInetConnectionAsync connection(&owner, options);
    owner.connection = &connection;
    connection.StartUpdateCheck("1.2.3", "", "", "PL21-XQR");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !owner.notice.isNull(); }, 10000));
    CUpdateDialog* notice = owner.notice;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(notice));
    EXPECT_EQ(notice->windowTitle(), QString::fromUtf8(UiString(106)));

    // The label holds the server's text as text; its only links are the
    // two download pages.
    QLabel* label = notice->LinkControl();
    const LabelText text(label);
    EXPECT_TRUE(text.Plain().contains(QString::fromStdString(injected)))
        << text.Plain().toStdString();
    EXPECT_TRUE(text.Plain().contains(QString::fromUtf8("1.2.3.0   →   ")));
    const QString firmwarePage =
        QString::fromStdString(server.Url(kPaths.firmware[0].downloadPage));
    const QString viewerPage = QString::fromStdString(server.Url(kPaths.viewer.downloadPage));
    const std::vector<std::pair<QString, QString>> expectedLinks = {{firmwarePage, firmwarePage},
                                                                    {viewerPage, viewerPage}};
    EXPECT_EQ(text.Links(), expectedLinks);
    EXPECT_FALSE(label->text().contains(QStringLiteral("href=\"http://evil")));
    SaveShot(notice, QStringLiteral("update_notice_server_markup"));

    // A click on the server's "link" opens nothing; a click on a page opens it.
    OpenedUrls opened;
    const QPoint onInjected = text.Where(QStringLiteral("3.0.0.0</a>"));
    ASSERT_GE(onInjected.x(), 0);
    QTest::mouseClick(label, Qt::LeftButton, {}, onInjected);
    QTest::qWait(50);
    EXPECT_TRUE(opened.urls.isEmpty()) << opened.urls.join(' ').toStdString();
    const QPoint onPage = text.Where(viewerPage.left(30));
    ASSERT_GE(onPage.x(), 0);
    QTest::mouseClick(label, Qt::LeftButton, {}, onPage);
    WAIT_FOR(opened.urls.size() == 1);
    EXPECT_EQ(opened.urls.value(0), viewerPage);

    // The close button ends the notice, which deletes itself.
    QTest::mouseClick(notice->Button(), Qt::LeftButton);
    WAIT_FOR(owner.notice.isNull());
}

TEST_F(UpdateDialogTest, OnlyWebLinksAreLinksAndOnlyTheyOpen) {
    using Kind = online::NoticePiece::Kind;
    CUpdateDialog dialog;
    dialog.SetText({{Kind::kText, "a "},
                    {Kind::kLink, "javascript:alert(1)"},
                    {Kind::kText, " b "},
                    {Kind::kLink, "file:///etc/passwd"},
                    {Kind::kText, " c "},
                    {Kind::kLink, "https://ok.example/p?a=1&b=2"}});
    const LabelText text(dialog.LinkControl());
    const std::vector<std::pair<QString, QString>> expectedLinks = {
        {QStringLiteral("https://ok.example/p?a=1&b=2"),
         QStringLiteral("https://ok.example/p?a=1&b=2")}};
    EXPECT_EQ(text.Links(), expectedLinks);
    EXPECT_EQ(text.Plain(), QStringLiteral("a javascript:alert(1) b file:///etc/passwd c "
                                           "https://ok.example/p?a=1&b=2"));

    OpenedUrls opened;
    EXPECT_FALSE(dialog.OpenLink(QStringLiteral("javascript:alert(1)")));
    EXPECT_FALSE(dialog.OpenLink(QStringLiteral("file:///etc/passwd")));
    EXPECT_FALSE(dialog.OpenLink(QStringLiteral("http://")));
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_TRUE(dialog.OpenLink(QStringLiteral("HTTPS://ok.example/x")));
    EXPECT_EQ(opened.urls, QStringList{QStringLiteral("https://ok.example/x")});
}

TEST_F(UpdateDialogTest, SizePlaceAndColoursFollowTheScale) {
    for (const float s : {1.0f, 1.25f}) {
        SetLayoutScale(s);
        CUpdateDialog dialog;
        dialog.SetNotice({{online::UpdateItem::kViewer, "2.0.2.0", "2.1.0.0",
                           "http://update.example/0_recorder/viewer/Trivexa/viewer.html"}});
        ASSERT_TRUE(test::ShowAndWait(&dialog));
        const online::UpdateDialogLayout l = online::LayOutUpdateDialog(s);
        EXPECT_EQ(dialog.size(), QSize(l.width, l.height)) << s;
        EXPECT_EQ(dialog.Button()->text(), QString::fromUtf8(UiString(0)));
        // Centred on the monitor (the test screen has no panels).
        const QRect monitor = QGuiApplication::primaryScreen()->geometry();
        EXPECT_EQ(dialog.frameGeometry().center().x() / 2, monitor.center().x() / 2) << s;
        EXPECT_EQ(dialog.frameGeometry().center().y() / 2, monitor.center().y() / 2) << s;

        // The link area is white to its bottom right corner; the face around
        // it is not.
        const QImage shot = test::Grab(&dialog);
        EXPECT_EQ(shot.pixelColor(l.link.x + l.link.width - 2, l.link.y + l.link.height - 2),
                  CUpdateDialog::LinkBackColour());
        EXPECT_EQ(shot.pixelColor(l.link.x + 2, l.link.y + l.link.height + 4),
                  CUpdateDialog::FaceColour());
        if (s == 1.0f) SaveShot(&dialog, QStringLiteral("update_notice"));
    }
}

TEST_F(UpdateDialogTest, LongNoticesScrollInsideTheLinkArea) {
    std::string longVersion;
    for (int i = 0; i < 259; ++i) longVersion += "版";
    const online::UpdateBlock block{online::UpdateItem::kGpsData, "23/07/15", longVersion,
                                    "http://update.example/taiou/gps_data/dr_01/dr01.html"};
    // A version without a break opportunity makes the text wider than the area.
    const online::UpdateBlock wide{online::UpdateItem::kViewer, "2.0.2.0", std::string(259, 'A'),
                                   "http://update.example/0_recorder/viewer/Trivexa/viewer.html"};
    CUpdateDialog dialog;
    dialog.SetNotice({wide, block, block});
    ASSERT_TRUE(test::ShowAndWait(&dialog));
    const online::UpdateDialogLayout l = online::LayOutUpdateDialog(1.0f);
    EXPECT_EQ(dialog.size(), QSize(l.width, l.height)) << "the window keeps its size";
    EXPECT_TRUE(dialog.LinkArea()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(dialog.LinkArea()->horizontalScrollBar()->isVisible())
        << "long runs wrap inside the area";
    SaveShot(&dialog, QStringLiteral("update_notice_long"));
}

TEST_F(UpdateDialogTest, MapRuntimeNoticeWaitsUntilClosed) {
    EXPECT_FALSE(ShowMapRuntimeNotice(true));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QWidget mainWindow;
    mainWindow.resize(400, 300);
    ASSERT_TRUE(test::ShowAndWait(&mainWindow));
    bool sawNotice = false;
    QString title, plain;
    std::vector<std::pair<QString, QString>> links;
    // While the notice waits, the test looks at it and closes it.
    QTimer::singleShot(0, [&] {
        if (!QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000))
            return;
        auto* notice = qobject_cast<CUpdateDialog*>(QApplication::activeModalWidget());
        if (notice == nullptr) return;
        sawNotice = QTest::qWaitForWindowExposed(notice);
        title = notice->windowTitle();
        const LabelText text(notice->LinkControl());
        plain = text.Plain();
        links = text.Links();
        SaveShot(notice, QStringLiteral("map_runtime_notice"));
        QTest::mouseClick(notice->Button(), Qt::LeftButton);
    });
    EXPECT_TRUE(ShowMapRuntimeNotice(false, &mainWindow, "https://runtime.example/get"));
    EXPECT_TRUE(sawNotice);
    EXPECT_EQ(title, QString::fromUtf8(UiString(184)));
    const QString firstLine =
        QString::fromUtf8(UiString(185)).section(QLatin1Char('\n'), 0, 0).trimmed();
    EXPECT_TRUE(plain.startsWith(firstLine)) << plain.toStdString();
    EXPECT_TRUE(plain.contains(QStringLiteral("URL : https://runtime.example/get")));
    const std::vector<std::pair<QString, QString>> expectedLinks = {
        {QStringLiteral("https://runtime.example/get"),
         QStringLiteral("https://runtime.example/get")}};
    EXPECT_EQ(links, expectedLinks);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the notice is gone";
}

}  // namespace
}  // namespace trivexa

#include "test_update_dialog.moc"
