#pragma once
// The texts of the update notice and of the map runtime notice, kept as plain
// pieces (text, and addresses shown as links) until the dialog puts them on
// screen, and the rich-text markup made from them.
//
// The versions in an update notice are whatever the server sent. They only
// ever travel as text pieces, and the markup escapes every text piece, so a
// server can neither add a link nor any other markup to the notice; the only
// links are the download pages (http or https addresses) put in here.
//
// Pure functions on UTF-8 texts; any thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "online/core/update_check.h"

namespace trivexa::online {

// One run of a notice: text, or an address shown as a link to itself.
struct NoticePiece {
    enum class Kind { kText, kLink };
    Kind kind = Kind::kText;
    std::string text;  // the text, line breaks as "\r\n"; for a link its address
    friend bool operator==(const NoticePiece&, const NoticePiece&) = default;
};
using NoticeText = std::vector<NoticePiece>;

// The update notice's text in pieces, whole: UI string 105, then per item its
// name, UI string 107 with the current version, UI string 109 with the new
// version and its download page as a link.
NoticeText UpdateNoticePieces(const UpdateNotice& notice);

// The same text as it is shown: at most kUpdateMessageMaxChars characters (a
// link counts as its address); a link that would not fit whole ends the text
// before it.
NoticeText UpdateNoticeText(const UpdateNotice& notice);

// The pieces as one text for a link control that takes markup as it comes:
// text pieces as they are, links as <a href="address">address</a>. Nothing
// is escaped: this is the message text kept beside the notice, never shown.
std::string NoticeSourceText(const NoticeText& pieces);

// The first `maxChars` characters of `pieces` as shown (see UpdateNoticeText).
NoticeText LimitNoticeText(const NoticeText& pieces, std::size_t maxChars);

// The map runtime notice: UI string 185, then "URL : " and `pageUrl` as a
// link, then a line break.
NoticeText MapRuntimeNoticeText(std::string_view pageUrl);

// Where the map runtime notice sends the user: the runtime page on the maker's
// server (the update server of `endpoints`).
std::string MapRuntimePage(const UpdateEndpoints& endpoints);
inline constexpr std::string_view kMapRuntimePagePath = "/0_recorder/viewer/Trivexa/runtime.html";

// Whether `url` may be opened in the user's browser: an http:// or https://
// address (scheme in any letter case) with something after the scheme and no
// blank or control character.
bool IsOpenableLink(std::string_view url);

// The characters of `pieces` as shown (links by their address).
std::size_t ShownLength(const NoticeText& pieces);

// Rich text for a label: every text piece escaped (&, <, >, quotes), line
// breaks as <br>, runs of blanks kept, control characters (C0, C1 and the
// bidirectional marks, embeddings, overrides and isolates U+200E, U+200F,
// U+202A-U+202E, U+2066-U+2069) and bytes that are no UTF-8 left out or
// replaced; every link piece with an openable address as
// an anchor to it, any other address as plain text.
std::string NoticeMarkup(const NoticeText& pieces);

}  // namespace trivexa::online
