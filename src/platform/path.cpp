#include "platform/path.h"

namespace trivexa {

std::string_view FileNameOf(std::string_view path) {
    // A plain backward scan: every listed file passes here several times.
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1])) return path.substr(i);
    }
    return path;
}

std::string_view StripTrailingSeparators(std::string_view path) {
    while (path.size() > 1 && IsPathSeparator(path.back())) path.remove_suffix(1);
    return path;
}

std::string_view LastComponent(std::string_view path) {
    return FileNameOf(StripTrailingSeparators(path));
}

std::string_view ParentOf(std::string_view path) {
    const std::string_view p = StripTrailingSeparators(path);
    for (std::size_t i = p.size(); i > 0; --i) {
        if (IsPathSeparator(p[i - 1])) return i == 1 ? std::string_view("/") : p.substr(0, i - 1);
    }
    return {};
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out;
    out.reserve(folder.size() + 1 + name.size());
    out.append(folder);
    if (!out.empty() && !IsPathSeparator(out.back())) out += '/';
    out.append(name);
    return out;
}

std::string WithForwardSlashes(std::string_view path) {
    std::string out(path);
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

}  // namespace trivexa
