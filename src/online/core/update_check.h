#pragma once
// The decisions of the update check, without network or windows: which files
// on the update server are asked, how versions are put into comparable form,
// when an item is reported, and the text of the notice.
//
// The update thread of CInetConnectionAsync calls CheckForUpdates once per
// run with a fetch function that reaches the server; everything here is
// plain data and may be called from any thread. Texts are UTF-8; lengths
// counted in characters count code points.

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/program_version.h"

namespace trivexa::online {

// The viewer's own version, compared with the server's viewer version file.
inline constexpr std::string_view kViewerVersion = kProgramVersion;

// The notice text is cut to this many characters.
inline constexpr std::size_t kUpdateMessageMaxChars = 1300;

// Items in the order their blocks appear in the notice.
enum class UpdateItem : int { kFirmware = 0, kViewer = 1, kGpsData = 2 };

// Where one item's version file and download page lie on the update server.
struct UpdatePaths {
    std::string versionFile;
    std::string downloadPage;
};

// The recorder models whose firmware is checked, by row.
inline constexpr std::array<std::string_view, 2> kFirmwareModels = {"PL21-XQR", "PL35-XQR"};

// Row of `modelId` in kFirmwareModels (exact comparison), or -1 for any
// other model, whose firmware is not checked.
int FirmwareRowFor(std::string_view modelId);

struct UpdateEndpoints {
    std::string server;  // "http://host[:port]" (or https), no trailing '/'
    std::array<UpdatePaths, kFirmwareModels.size()> firmware;
    UpdatePaths viewer;
    UpdatePaths gpsData;

    // The address of `path` (which starts with '/') on the server.
    std::string Url(std::string_view path) const;
};

// The maker's server and paths the viewer uses unless the settings say otherwise.
UpdateEndpoints DefaultUpdateEndpoints();

// Firmware form: the text before its third '.', the whole text when it has
// fewer than three dots ("1.3.0.0\r\n" -> "1.3.0").
std::string FirmwareForm(std::string_view version);

// GPS form: the characters with '/' inserted after those at positions 1 and
// 3 and after every later odd position except 5 ("230715" -> "23/07/15").
std::string GpsForm(std::string_view version);

// The versions read from the card's device information file; empty texts
// when no card is open.
struct DeviceVersions {
    std::string firmwareVersion;  // "1.2.3"
    std::string gpsDataVersion;   // "230715"
    std::string thirdText;        // kept, never compared
    std::string modelId;          // "PL21-XQR"
};

// One reported item: the versions as the notice shows them and the address
// of its download page.
struct UpdateBlock {
    UpdateItem item = UpdateItem::kViewer;
    std::string currentVersion;
    std::string newVersion;  // as fetched: may hold anything the server sent
    std::string pageUrl;
};

// The reported items in notice order; empty when there is nothing to report.
using UpdateNotice = std::vector<UpdateBlock>;

// How a fetched file is read (see FetchedTextReader).
enum class FetchMode { kVersion, kText };

// Fetches `url` and reads it in `mode` into `text`; false when the fetch failed.
using FetchFunction =
    std::function<bool(const std::string& url, FetchMode mode, std::string& text)>;

// The whole check: firmware (only for a known model, compared when the card
// gave a firmware version), viewer, then GPS data (only when the card gave a
// GPS data version; a failed fetch of it suppresses the whole notice). A
// fetched version with no visible character is no newer version.
UpdateNotice CheckForUpdates(const DeviceVersions& device, const UpdateEndpoints& endpoints,
                             const FetchFunction& fetch);

// The item's name in the notice (UI strings 108, 110, 111).
std::string UpdateItemName(UpdateItem item);

// The notice's message: UI string 105, then one block per item (name, UI
// string 107 with the current version, UI string 109 with the new version,
// and the download page as a link), at most kUpdateMessageMaxChars
// characters. Versions are put in as they are, markup included, so this text
// is never shown as markup: the notice dialog shows
// NoticeMarkup(UpdateNoticeText(notice)) (online/core/notice_text.h).
std::string UpdateMessageText(const UpdateNotice& notice);

// At most `maxChars` characters of the UTF-8 text `text`, never cutting one.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxChars);
// Number of characters of the UTF-8 text `text`.
std::size_t Utf8Length(std::string_view text);

}  // namespace trivexa::online
