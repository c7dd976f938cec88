#include "online/core/update_settings.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "app/core/settings_file.h"

namespace trivexa::online {
namespace {

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Replaces `path` by the configured one when one is set; a path given without
// its leading '/' gets one.
void ReadPath(const char* key, std::string& path) {
    const std::string value = ReadSetting(update_settings::kSection, key);
    if (value.empty()) return;
    path = value.front() == '/' ? value : "/" + value;
}

}  // namespace

std::string NormalizedServerAddress(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    while (!text.empty() && text.back() == '/') text.remove_suffix(1);
    const std::string lower = AsciiLower(text);
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (!lower.starts_with(scheme)) continue;
        const std::string_view rest = text.substr(scheme.size());
        // A host, and no path, query or blanks after it.
        if (rest.empty() || rest.find_first_of("/?# \t") != std::string_view::npos) return {};
        return std::string(text);
    }
    return {};
}

UpdateEndpoints ReadUpdateEndpoints() {
    namespace s = update_settings;
    UpdateEndpoints e = DefaultUpdateEndpoints();
    const std::string server = NormalizedServerAddress(ReadSetting(s::kSection, s::kServer));
    if (!server.empty()) e.server = server;
    ReadPath(s::kFirmwarePl21Version, e.firmware[0].versionFile);
    ReadPath(s::kFirmwarePl21Page, e.firmware[0].downloadPage);
    ReadPath(s::kFirmwarePl35Version, e.firmware[1].versionFile);
    ReadPath(s::kFirmwarePl35Page, e.firmware[1].downloadPage);
    ReadPath(s::kViewerVersion, e.viewer.versionFile);
    ReadPath(s::kViewerPage, e.viewer.downloadPage);
    ReadPath(s::kGpsVersion, e.gpsData.versionFile);
    ReadPath(s::kGpsPage, e.gpsData.downloadPage);
    return e;
}

bool ReadUpdateCheckEnabled() {
    return AsciiLower(ReadSetting(update_settings::kSection, update_settings::kCheck)) != "off";
}

}  // namespace trivexa::online
