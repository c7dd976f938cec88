// A version file may hold any bytes the server sends. Reading it in both
// modes, comparing it and writing the notice must never fail, and what comes
// out is valid UTF-8 within its limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "online/core/fetch_text.h"
#include "online/core/notice_text.h"
#include "online/core/update_check.h"
#include "platform/locale.h"

using namespace trivexa;
using namespace trivexa::online;

namespace {

bool IsValidUtf8(const std::string& s) { return platform::DecodeToUtf8(s, "UTF-8") == s; }

// Reads `body` as it would arrive in chunks of `chunk` bytes.
bool ReadAll(FetchMode mode, const char* charset, std::string_view body, std::size_t chunk,
             std::string& text) {
    FetchedTextReader reader(
        mode, [charset](std::string_view b) { return platform::DecodeToUtf8(b, charset); });
    for (std::size_t at = 0; at < body.size(); at += chunk)
        if (!reader.Feed(body.substr(at, chunk))) break;
    return reader.Finish(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0] % 64 * 37;
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string version, text;
    for (const char* charset : {"UTF-8", "EUC-JP", "SHIFT_JIS"}) {
        if (ReadAll(FetchMode::kVersion, charset, body, chunk, version)) {
            if (Utf8Length(version) > kFetchVersionMaxChars || !IsValidUtf8(version)) std::abort();
        }
        if (!ReadAll(FetchMode::kText, charset, body, chunk, text)) std::abort();
        if (Utf8Length(text) > kFetchPieceBytes || !IsValidUtf8(text)) std::abort();
    }

    const FetchFunction fetch = [&](const std::string&, FetchMode mode, std::string& out) {
        return ReadAll(mode, "UTF-8", body, chunk, out);
    };
    const UpdateNotice notice =
        CheckForUpdates({"1.2.3", "230715", "", "PL21-XQR"}, DefaultUpdateEndpoints(), fetch);
    if (notice.size() > 3) std::abort();
    const std::string message = UpdateMessageText(notice);
    if (Utf8Length(message) > kUpdateMessageMaxChars || !IsValidUtf8(message)) std::abort();

    // What the notice window shows: the server's bytes never make a tag; the
    // only tags are the anchors of the download pages and line breaks.
    const NoticeText pieces = UpdateNoticeText(notice);
    const std::string html = NoticeMarkup(pieces);
    if (!IsValidUtf8(html) || ShownLength(pieces) > kUpdateMessageMaxChars) std::abort();
    std::size_t anchors = 0;
    for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        const std::string_view tag = std::string_view(html).substr(at);
        if (tag.starts_with("<a href=\"http://update.trivexa.example/"))
            ++anchors;
        else if (!tag.starts_with("<br>") && !tag.starts_with("</a>"))
            std::abort();
    }
    std::size_t links = 0;
    for (const NoticePiece& p : pieces) links += p.kind == NoticePiece::Kind::kLink ? 1 : 0;
    if (anchors != links) std::abort();
    if (!IsValidUtf8(GpsForm(text)) || !IsValidUtf8(FirmwareForm(version))) std::abort();
    return 0;
}
