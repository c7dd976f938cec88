#include "map/core/json_holder.h"

#include <cstdio>

namespace trivexa {
namespace {

void AppendEscaped(std::string& out, const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", byte);
            out += code;
        } else {
            out += c;
        }
    }
}

}  // namespace

void CJsonHolder::Insert(std::string key, std::string value, std::string separator) {
    entries_[std::move(key)] = {std::move(value), std::move(separator)};
}

std::string CJsonHolder::Text() const {
    std::string out = "{";
    for (const auto& [key, entry] : entries_) {
        out += '"';
        AppendEscaped(out, key);
        out += "\":\"";
        AppendEscaped(out, entry.first);
        out += '"';
        out += entry.second;
    }
    out += '}';
    return out;
}

}  // namespace trivexa
