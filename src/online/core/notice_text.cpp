#include "online/core/notice_text.h"

#include <cstdint>

#include "app/core/markup_escape.h"
#include "app/core/ui_strings.h"

namespace trivexa::online {
namespace {

constexpr std::string_view kArrow = "   \xE2\x86\x92   ";  // "   →   "
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

constexpr std::string_view kBreakChance = "\xE2\x80\x8B";  // U+200B, zero width

// A label wraps only where a line may break; a longer run of characters with
// no blank and no ideograph (a version the server made up, a long address)
// gets a chance to break after this many characters, so it cannot widen the
// text beyond the window.
constexpr int kLongRunChars = 40;

enum class Escape { kAttribute, kShown, kShownLines };

void AddText(NoticeText& pieces, std::string_view text) {
    if (text.empty()) return;
    if (!pieces.empty() && pieces.back().kind == NoticePiece::Kind::kText)
        pieces.back().text += text;
    else
        pieces.push_back({NoticePiece::Kind::kText, std::string(text)});
}

void AddLink(NoticeText& pieces, std::string_view url) {
    pieces.push_back({NoticePiece::Kind::kLink, std::string(url)});
}

void AddBlock(NoticeText& pieces, const UpdateBlock& block) {
    std::string text = UpdateItemName(block.item);
    text += ":\r\n";
    text += UiString(107);
    text += block.currentVersion;
    text += kArrow;
    text += UiString(109);
    text += block.newVersion;
    text += "\r\n\r\nURL : ";
    AddText(pieces, text);
    AddLink(pieces, block.pageUrl);
}

// The next code point of `text` from `at`: its length in bytes, or 0 when the
// bytes there are no well-formed UTF-8 (overlong forms, surrogates and values
// above U+10FFFF included).
std::size_t CodePointAt(std::string_view text, std::size_t at, std::uint32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

// The characters that change the direction of the text around them (marks,
// embeddings, overrides, isolates): one from the server would show the rest
// of the notice mirrored.
bool IsBidiControl(std::uint32_t cp) {
    return cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

// Writes `text` escaped for an attribute value or for shown text. Shown text
// keeps its runs of blanks as wide as they were and may break inside long
// runs of other characters; with kShownLines its line breaks become <br>.
void AppendEscaped(std::string& out, std::string_view text, Escape how) {
    const bool shown = how != Escape::kAttribute;
    const bool lines = how == Escape::kShownLines;
    bool blankBefore = true;  // at the start of a line a blank would be dropped
    int run = 0;              // characters since the last chance to break
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t cp = 0;
        std::size_t length = CodePointAt(text, i, cp);
        const bool malformed = length == 0;
        if (malformed) {
            cp = 0xFFFD;
            length = 1;
        }
        const std::string_view bytes = malformed ? kReplacement : text.substr(i, length);
        i += length;
        if (cp == '\r' || cp == '\n') {
            if (cp == '\r' && i < text.size() && text[i] == '\n') ++i;
            if (lines) {
                out += "<br>";
                blankBefore = true;
                run = 0;
            }
            continue;
        }
        if (cp == ' ' || cp == '\t') {
            out += blankBefore && shown ? "&nbsp;" : " ";
            blankBefore = true;
            run = 0;
            continue;
        }
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || IsBidiControl(cp)) continue;
        blankBefore = false;
        if (cp >= 0x3000) {
            // Lines may break around ideographs and kana anyway.
            run = 0;
        } else if (shown && ++run > kLongRunChars) {
            out += kBreakChance;
            run = 1;
        }
        const std::string_view entity = MarkupEntity(cp, /*apostrophe=*/true);
        out += entity.empty() ? bytes : entity;
    }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

NoticeText UpdateNoticePieces(const UpdateNotice& notice) {
    NoticeText pieces;
    if (notice.empty()) return pieces;
    AddText(pieces, std::string(UiString(105)) + "\r\n\r\n");
    for (std::size_t i = 0; i < notice.size(); ++i) {
        if (i > 0) AddText(pieces, "\r\n\r\n\r\n");
        AddBlock(pieces, notice[i]);
    }
    if (notice.size() > 1) AddText(pieces, "\r\n");
    return pieces;
}

NoticeText UpdateNoticeText(const UpdateNotice& notice) {
    return LimitNoticeText(UpdateNoticePieces(notice), kUpdateMessageMaxChars);
}

NoticeText MapRuntimeNoticeText(std::string_view pageUrl) {
    NoticeText pieces;
    AddText(pieces, std::string(UiString(185)) + "URL : ");
    AddLink(pieces, pageUrl);
    AddText(pieces, "\r\n");
    return pieces;
}

std::string MapRuntimePage(const UpdateEndpoints& endpoints) {
    return endpoints.Url(kMapRuntimePagePath);
}

bool IsOpenableLink(std::string_view url) {
    std::size_t scheme = 0;
    if (StartsWithNoCase(url, "http://"))
        scheme = 7;
    else if (StartsWithNoCase(url, "https://"))
        scheme = 8;
    else
        return false;
    if (url.size() == scheme) return false;
    for (const char c : url) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F) return false;
    }
    return true;
}

std::size_t ShownLength(const NoticeText& pieces) {
    std::size_t chars = 0;
    for (const NoticePiece& piece : pieces) chars += Utf8Length(piece.text);
    return chars;
}

NoticeText LimitNoticeText(const NoticeText& pieces, std::size_t maxChars) {
    NoticeText out;
    std::size_t budget = maxChars;
    for (const NoticePiece& piece : pieces) {
        const std::size_t length = Utf8Length(piece.text);
        if (length <= budget) {
            out.push_back(piece);
            budget -= length;
            continue;
        }
        // A cut address would lead somewhere else: it goes whole or not at all.
        if (piece.kind == NoticePiece::Kind::kText && budget > 0)
            out.push_back({piece.kind, std::string(Utf8Prefix(piece.text, budget))});
        break;
    }
    return out;
}

std::string NoticeSourceText(const NoticeText& pieces) {
    std::string text;
    for (const NoticePiece& piece : pieces) {
        if (piece.kind == NoticePiece::Kind::kText) {
            text += piece.text;
            continue;
        }
        text += "<a href=\"";
        text += piece.text;
        text += "\">";
        text += piece.text;
        text += "</a>";
    }
    return text;
}

std::string NoticeMarkup(const NoticeText& pieces) {
    std::string out;
    for (const NoticePiece& piece : pieces) {
        if (piece.kind == NoticePiece::Kind::kLink && IsOpenableLink(piece.text)) {
            out += "<a href=\"";
            AppendEscaped(out, piece.text, Escape::kAttribute);
            out += "\">";
            AppendEscaped(out, piece.text, Escape::kShown);
            out += "</a>";
        } else {
            AppendEscaped(out, piece.text, Escape::kShownLines);
        }
    }
    return out;
}

}  // namespace trivexa::online
