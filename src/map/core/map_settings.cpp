#include "map/core/map_settings.h"

#include "app/core/settings_file.h"
#include "online/core/update_check.h"
#include "platform/private_folders.h"

namespace trivexa::map {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string PercentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

bool IsTileTemplate(std::string_view text) {
    std::size_t hostStart = 0;
    if (StartsWith(text, "https://")) {
        hostStart = 8;
    } else if (StartsWith(text, "http://")) {
        hostStart = 7;
    } else {
        return false;
    }
    if (hostStart >= text.size() || text[hostStart] == '/') return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' ||
            c == '\\' || c == '`')
            return false;
    }
    return text.find("{z}") != std::string_view::npos &&
           text.find("{x}") != std::string_view::npos &&
           (text.find("{y}") != std::string_view::npos ||
            text.find("{-y}") != std::string_view::npos);
}

TileSettings TileSettingsFrom(std::string_view url, std::string_view attribution) {
    url = Trimmed(url);
    attribution = Trimmed(attribution);
    TileSettings s;
    if (IsTileTemplate(url)) s.url = std::string(url);
    if (!attribution.empty()) {
        s.attribution = std::string(attribution);
    } else if (s.url != kDefaultTileUrl) {
        s.attribution.clear();
    }
    return s;
}

TileSettings ReadTileSettings() {
    return TileSettingsFrom(ReadSetting(map_settings::kSection, map_settings::kTileUrl),
                            ReadSetting(map_settings::kSection, map_settings::kTileAttribution));
}

std::string MapLoaderUrl(const TileSettings& tiles) {
    return "loader.js?callback=loadLibs&tiles=" + PercentEncoded(tiles.url) +
           "&attribution=" + PercentEncoded(tiles.attribution);
}

std::string ReachabilityAddress(std::string_view tileTemplate) {
    std::string address(tileTemplate);
    ReplaceAll(address, "{s}", "a");
    ReplaceAll(address, "{z}", "0");
    ReplaceAll(address, "{x}", "0");
    ReplaceAll(address, "{-y}", "0");
    ReplaceAll(address, "{y}", "0");
    ReplaceAll(address, "{r}", "");
    return address;
}

std::string MapUserAgent() { return "Trivexa/" + std::string(online::kViewerVersion); }

std::string MapProfileDirectory() {
    const std::string dir = platform::AppCacheDirectory();
    if (platform::MakePrivateFolder(dir) != platform::PrivateFolder::kOk) return {};
    return dir + "/map_profile";
}

std::string MapCacheDirectory(const std::string& profileDirectory) {
    return profileDirectory + "/cache";
}

}  // namespace trivexa::map
