#include "cli/output_text.h"

#include <cstdint>
#include <vector>

namespace trivexa::cli {

std::string EscapeForLine(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\x";
                    out.push_back(kHex[c >> 4]);
                    out.push_back(kHex[c & 0xF]);
                } else {
                    out.push_back(ch);
                }
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = 0;
        std::uint32_t cp = 0;
        std::uint32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            n = 1, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i <= n) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

std::string Base64(std::string_view bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                                (std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) |
                                std::uint32_t{static_cast<unsigned char>(bytes[i + 2])};
        for (int s : {18, 12, 6, 0}) out.push_back(kAlphabet[(v >> s) & 0x3F]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
        if (rest == 2) v |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
        out.push_back(kAlphabet[(v >> 18) & 0x3F]);
        out.push_back(kAlphabet[(v >> 12) & 0x3F]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=');
        out.push_back('=');
    }
    return out;
}

namespace {

void AddExactBytes(nlohmann::ordered_json& j) {
    if (j.is_array()) {
        for (auto& item : j) AddExactBytes(item);
        return;
    }
    if (!j.is_object()) return;
    std::vector<std::pair<std::string, std::string>> added;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (it.value().is_string()) {
            const auto& text = it.value().get_ref<const std::string&>();
            if (!IsValidUtf8(text)) added.emplace_back(it.key() + "Base64", Base64(text));
        } else {
            AddExactBytes(it.value());
        }
    }
    for (auto& [key, value] : added) j[key] = std::move(value);
}

}  // namespace

std::string JsonText(nlohmann::ordered_json document, int indent) {
    AddExactBytes(document);
    return document.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace trivexa::cli
