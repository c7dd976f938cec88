#include "app/core/markup_escape.h"

namespace trivexa {

std::string_view MarkupEntity(char32_t c, bool apostrophe) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        case '\'':
            return apostrophe ? "&#39;" : "";
        default:
            return "";
    }
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const std::string_view entity =
            MarkupEntity(static_cast<unsigned char>(c), /*apostrophe=*/false);
        if (!entity.empty()) {
            out += entity;
        } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
            out += '?';
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace trivexa
