#include "online/core/update_check.h"

#include "app/core/ui_strings.h"
#include "online/core/notice_text.h"

namespace trivexa::online {
namespace {

// The checks compare untrimmed texts, but a server answering nothing (an
// empty file, "VER:" alone, a line break) announces no version at all.
bool HasVisibleText(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") != std::string_view::npos;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

int FirmwareRowFor(std::string_view modelId) {
    for (std::size_t row = 0; row < kFirmwareModels.size(); ++row)
        if (kFirmwareModels[row] == modelId) return static_cast<int>(row);
    return -1;
}

std::string UpdateEndpoints::Url(std::string_view path) const {
    std::string url = server;
    url += path;
    return url;
}

UpdateEndpoints DefaultUpdateEndpoints() {
    UpdateEndpoints e;
    e.server = "http://update.trivexa.example";
    e.firmware[0] = {"/taiou/dr_updata/qv-ta210/qv-ta210_sw_version.txt",
                     "/taiou/dr_updata/qv-ta210/qv-ta210.html"};
    e.firmware[1] = {"/taiou/dr_updata/qv-ta310/qv-ta310_sw_version.txt",
                     "/taiou/dr_updata/qv-ta310/qv-ta310.html"};
    e.viewer = {"/0_recorder/viewer/Trivexa/Trivexa_version.txt",
                "/0_recorder/viewer/Trivexa/viewer.html"};
    e.gpsData = {"/gps_data/drgps_01.txt", "/taiou/gps_data/dr_01/dr01.html"};
    return e;
}

std::string FirmwareForm(std::string_view version) {
    std::size_t dots = 0;
    for (std::size_t i = 0; i < version.size(); ++i) {
        if (version[i] == '.' && ++dots == 3) return std::string(version.substr(0, i));
    }
    return std::string(version);
}

std::string GpsForm(std::string_view version) {
    std::string out;
    out.reserve(version.size() + version.size() / 2 + 2);
    std::size_t position = 0;  // of the character being copied
    for (std::size_t i = 0; i < version.size(); ++i) {
        out += version[i];
        // A separator goes after the last byte of a character.
        if (i + 1 < version.size() && IsContinuationByte(version[i + 1])) continue;
        const bool odd = position % 2 == 1;
        if (odd && position != 5) out += '/';
        ++position;
    }
    return out;
}

UpdateNotice CheckForUpdates(const DeviceVersions& device, const UpdateEndpoints& endpoints,
                             const FetchFunction& fetch) {
    UpdateNotice notice;

    const int row = FirmwareRowFor(device.modelId);
    if (row >= 0) {
        const UpdatePaths& paths = endpoints.firmware[static_cast<std::size_t>(row)];
        std::string fetched;
        if (fetch(endpoints.Url(paths.versionFile), FetchMode::kVersion, fetched) &&
            HasVisibleText(fetched) && !device.firmwareVersion.empty()) {
            const std::string latest = FirmwareForm(fetched);
            const std::string current = FirmwareForm(device.firmwareVersion);
            if (latest != current)
                notice.push_back({UpdateItem::kFirmware, current + ".0", latest + ".0",
                                  endpoints.Url(paths.downloadPage)});
        }
    }

    {
        std::string fetched;
        if (fetch(endpoints.Url(endpoints.viewer.versionFile), FetchMode::kVersion, fetched) &&
            HasVisibleText(fetched) && fetched != kViewerVersion)
            notice.push_back({UpdateItem::kViewer, std::string(kViewerVersion), fetched,
                              endpoints.Url(endpoints.viewer.downloadPage)});
    }

    if (!device.gpsDataVersion.empty()) {
        std::string fetched;
        if (!fetch(endpoints.Url(endpoints.gpsData.versionFile), FetchMode::kText, fetched))
            return {};
        const std::string latest = GpsForm(fetched);
        const std::string current = GpsForm(device.gpsDataVersion);
        if (HasVisibleText(fetched) && latest != current)
            notice.push_back({UpdateItem::kGpsData, current, latest,
                              endpoints.Url(endpoints.gpsData.downloadPage)});
    }
    return notice;
}

std::string UpdateItemName(UpdateItem item) {
    switch (item) {
        case UpdateItem::kFirmware:
            return UiString(108);
        case UpdateItem::kViewer:
            return UiString(110);
        case UpdateItem::kGpsData:
            return UiString(111);
    }
    return {};
}

std::string UpdateMessageText(const UpdateNotice& notice) {
    return std::string(
        Utf8Prefix(NoticeSourceText(UpdateNoticePieces(notice)), kUpdateMessageMaxChars));
}

std::string_view Utf8Prefix(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsContinuationByte(text[i])) continue;
        if (chars == maxChars) return text.substr(0, i);
        ++chars;
    }
    return text;
}

std::size_t Utf8Length(std::string_view text) {
    std::size_t chars = 0;
    for (const char c : text)
        if (!IsContinuationByte(c)) ++chars;
    return chars;
}

}  // namespace trivexa::online
