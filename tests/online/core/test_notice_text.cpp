// The notices' texts in pieces and the markup the notice window shows: what
// the server sends stays text, only the download pages become links.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/ui_strings.h"
#include "online/core/notice_text.h"
#include "online/core/update_dialog_layout.h"

namespace trivexa::online {
namespace {

using Kind = NoticePiece::Kind;

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The markup without the zero-width break chances it adds to long runs.
std::string WithoutBreakChances(std::string text) {
    const std::string zwsp = "\xE2\x80\x8B";
    for (std::size_t at = text.find(zwsp); at != std::string::npos; at = text.find(zwsp, at))
        text.erase(at, zwsp.size());
    return text;
}

std::vector<std::string> Links(const NoticeText& pieces) {
    std::vector<std::string> links;
    for (const NoticePiece& p : pieces)
        if (p.kind == Kind::kLink) links.push_back(p.text);
    return links;
}

const UpdateBlock kFirmware{UpdateItem::kFirmware, "1.2.3.0", "1.3.0.0", "http://h/fw.html"};
const UpdateBlock kViewer{UpdateItem::kViewer, "2.0.2.0", "2.1.0.0", "http://h/viewer.html"};
const UpdateBlock kGps{UpdateItem::kGpsData, "23/07/15", "24/01/01", "http://h/gps.html"};

TEST(NoticeText, PiecesCarryTheMessageWithThePagesAsLinks) {
    EXPECT_TRUE(UpdateNoticeText({}).empty());
    for (const UpdateNotice& notice : {UpdateNotice{kViewer}, UpdateNotice{kFirmware, kGps},
                                       UpdateNotice{kFirmware, kViewer, kGps}}) {
        const NoticeText pieces = UpdateNoticeText(notice);
        // Written back with the links as anchors, the pieces are the message.
        EXPECT_EQ(NoticeSourceText(pieces), UpdateMessageText(notice));
        std::vector<std::string> pages;
        for (const UpdateBlock& b : notice) pages.push_back(b.pageUrl);
        EXPECT_EQ(Links(pieces), pages);
    }
}

TEST(NoticeText, ServerMarkupBecomesEscapedTextAndOnlyPagesAreAnchors) {
    const UpdateBlock markup{UpdateItem::kViewer, "2.0.2.0",
                             "<a href=\"http://evil.invalid/\">3.0</a><b>&amp;'</b><script>",
                             "http://h/viewer.html"};
    const std::string html =
        WithoutBreakChances(NoticeMarkup(UpdateNoticeText({kFirmware, markup})));
    EXPECT_EQ(Count(html, "<a "), 2u);
    EXPECT_EQ(Count(html, "<a href=\"http://h/fw.html\">http://h/fw.html</a>"), 1u);
    EXPECT_EQ(Count(html, "<a href=\"http://h/viewer.html\">http://h/viewer.html</a>"), 1u);
    EXPECT_NE(html.find("&lt;a href=&quot;http://evil.invalid/&quot;&gt;3.0&lt;/a&gt;"
                        "&lt;b&gt;&amp;amp;&#39;&lt;/b&gt;&lt;script&gt;"),
              std::string::npos)
        << html;
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
}

TEST(NoticeText, LinesBlanksAndOddCharacters) {
    const auto markup = [](const std::string& text) { return NoticeMarkup({{Kind::kText, text}}); };
    EXPECT_EQ(markup("a\r\nb\nc\rd\r\n\r\ne"), "a<br>b<br>c<br>d<br><br>e");
    // The arrow's blanks keep their width; a blank opening a line is kept too.
    EXPECT_EQ(markup("1   \xE2\x86\x92   2"), "1 &nbsp;&nbsp;\xE2\x86\x92 &nbsp;&nbsp;2");
    EXPECT_EQ(markup(" x\n y"), "&nbsp;x<br>&nbsp;y");
    // Control characters go; bytes that are no UTF-8 show as U+FFFD.
    EXPECT_EQ(markup(std::string("a\x01\x7F"
                                 "b\t\0c",
                                 7)),
              "ab c");
    EXPECT_EQ(markup("v\xC3(\xED\xA0\x80\xFF"),
              "v\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD"
              "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(markup("\xC2\x85\xE7\x89\x88"), "\xE7\x89\x88") << "C1 controls go, kanji stay";
    // Direction controls go too: one U+202E would mirror the rest of the
    // notice: marks, embeddings, overrides and isolates. Their neighbours
    // U+200D and U+206A stay.
    for (const char* bidi : {"\xE2\x80\x8E", "\xE2\x80\x8F", "\xE2\x80\xAA", "\xE2\x80\xAB",
                             "\xE2\x80\xAC", "\xE2\x80\xAD", "\xE2\x80\xAE", "\xE2\x81\xA6",
                             "\xE2\x81\xA7", "\xE2\x81\xA8", "\xE2\x81\xA9"})
        EXPECT_EQ(markup(std::string("1.2") + bidi + " 1.3"), "1.2 1.3") << bidi;
    EXPECT_EQ(markup("a\xE2\x80\x8D\xE2\x81\xAA"), "a\xE2\x80\x8D\xE2\x81\xAA");
    const std::string page = "http://h/\xE2\x80\xAEp.html";
    EXPECT_EQ(NoticeMarkup({{Kind::kLink, page}}),
              "<a href=\"http://h/p.html\">http://h/p.html</a>");
    // Ideographs break lines anyway: a long Japanese line stays as it is.
    std::string kanji;
    for (int i = 0; i < 100; ++i) kanji += "\xE7\x89\x88";
    EXPECT_EQ(markup(kanji), kanji);
    // A run of 100 characters without a blank may break after every 40th.
    const std::string zwsp = "\xE2\x80\x8B";
    EXPECT_EQ(markup(std::string(100, 'A')),
              std::string(40, 'A') + zwsp + std::string(40, 'A') + zwsp + std::string(20, 'A'));
    EXPECT_EQ(markup(std::string(40, 'A') + " " + std::string(40, 'A')),
              std::string(40, 'A') + " " + std::string(40, 'A'));
    const std::string longPage = "http://h/" + std::string(40, 'p');
    EXPECT_EQ(NoticeMarkup({{Kind::kLink, longPage}}), "<a href=\"" + longPage + "\">" +
                                                           longPage.substr(0, 40) + zwsp +
                                                           longPage.substr(40) + "</a>")
        << "the address stays whole, its shown text may break";
}

TEST(NoticeText, OnlyWebAddressesBecomeLinks) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"http://h/p.html", true},     {"HTTPS://h/p?a=1&b=2", true},
        {"https://[::1]:8080/", true}, {"http://", false},
        {"https://", false},           {"javascript:alert(1)", false},
        {"file:///etc/passwd", false}, {"ftp://h/", false},
        {"http://h/a b", false},       {"http://h/\n", false},
        {" http://h/", false},         {"", false},
    };
    for (const auto& [url, openable] : cases) {
        EXPECT_EQ(IsOpenableLink(url), openable) << url;
        const std::string html = NoticeMarkup({{Kind::kLink, url}});
        EXPECT_EQ(html.starts_with("<a href="), openable) << html;
    }
    // An address is escaped inside the anchor as well.
    EXPECT_EQ(
        NoticeMarkup({{Kind::kLink, "http://h/?a=1&b=\"2\""}}),
        "<a href=\"http://h/?a=1&amp;b=&quot;2&quot;\">http://h/?a=1&amp;b=&quot;2&quot;</a>");
}

TEST(NoticeText, LongNoticesAreCutBeforeALinkNeverInsideIt) {
    std::string longVersion;
    for (int i = 0; i < 259; ++i) longVersion += "版";
    const std::string page = "http://h/" + std::string(200, 'p') + ".html";
    const UpdateBlock big{UpdateItem::kViewer, "2.0.2.0", longVersion, page};
    const NoticeText pieces = UpdateNoticeText({big, big, big});
    EXPECT_LE(ShownLength(pieces), kUpdateMessageMaxChars);
    EXPECT_GT(ShownLength(pieces), kUpdateMessageMaxChars - page.size());
    for (const std::string& link : Links(pieces)) EXPECT_EQ(link, page);
    // A short notice is shown whole.
    EXPECT_EQ(UpdateNoticeText({big}), UpdateNoticePieces({big}));

    // The cut falls in text: the text is cut, then nothing follows.
    const NoticeText cut =
        LimitNoticeText({{Kind::kText, "abcdef"}, {Kind::kLink, "http://h/"}}, 4);
    EXPECT_EQ(cut, (NoticeText{{Kind::kText, "abcd"}}));
    const NoticeText beforeLink =
        LimitNoticeText({{Kind::kText, "ab"}, {Kind::kLink, "http://h/"}, {Kind::kText, "c"}}, 5);
    EXPECT_EQ(beforeLink, (NoticeText{{Kind::kText, "ab"}}));
}

TEST(NoticeText, MapRuntimeNoticeTakesTheRuntimePage) {
    const NoticeText pieces = MapRuntimeNoticeText("https://r.example/get");
    EXPECT_EQ(NoticeSourceText(pieces),
              std::string(UiString(185)) +
                  "URL : <a href=\"https://r.example/get\">https://r.example/get</a>\r\n");
    UpdateEndpoints endpoints = DefaultUpdateEndpoints();
    endpoints.server = "http://127.0.0.1:8080";
    EXPECT_EQ(MapRuntimePage(endpoints),
              "http://127.0.0.1:8080/0_recorder/viewer/Trivexa/runtime.html");
}

TEST(UpdateDialogLayout, ControlsFollowTheScale) {
    const UpdateDialogLayout one = LayOutUpdateDialog(1.0f);
    EXPECT_EQ(one.width, 640);
    EXPECT_EQ(one.height, 480);
    EXPECT_EQ(one.link, (MsgBoxRect{10, 30, 620, 400}));
    EXPECT_EQ(one.button, (MsgBoxRect{530, 440, 100, 30}));
    // Each product is truncated on its own: the button's left edge is
    // 800 − 12 − 125, not 800 − 110·1.25.
    const UpdateDialogLayout odd = LayOutUpdateDialog(1.25f);
    EXPECT_EQ(odd.width, 800);
    EXPECT_EQ(odd.height, 600);
    EXPECT_EQ(odd.link, (MsgBoxRect{12, 37, 775, 500}));
    EXPECT_EQ(odd.button, (MsgBoxRect{663, 550, 125, 37}));
}

}  // namespace
}  // namespace trivexa::online
