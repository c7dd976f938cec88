#include "online/core/fetch_text.h"

#include <algorithm>

#include "platform/locale.h"

namespace trivexa::online {
namespace {

constexpr std::string_view kVersionMarker = "VER:";

std::string UserAgent() {
    std::string agent = "Trivexa/";
    agent += kViewerVersion;
    return agent;
}

}  // namespace

FetchedTextReader::FetchedTextReader(FetchMode mode, Decoder decode)
    : mode_(mode), decode_(std::move(decode)) {
    piece_.reserve(kFetchPieceBytes);
}

bool FetchedTextReader::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        if (mode_ == FetchMode::kVersion && anyPiece_) return false;
        const std::size_t take = std::min(bytes.size(), kFetchPieceBytes - piece_.size());
        piece_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (piece_.size() == kFetchPieceBytes) TakePiece();
    }
    return !(mode_ == FetchMode::kVersion && anyPiece_);
}

bool FetchedTextReader::Finish(std::string& text) {
    if (!piece_.empty() && !(mode_ == FetchMode::kVersion && anyPiece_)) TakePiece();
    if (!anyPiece_) {
        text.clear();
        return true;
    }
    if (!ok_) return false;
    text = result_;
    return true;
}

void FetchedTextReader::TakePiece() {
    std::string_view bytes = piece_;
    bytes = bytes.substr(0, bytes.find('\0'));
    std::string piece = decode_(bytes);
    piece_.clear();
    anyPiece_ = true;
    if (mode_ == FetchMode::kText) {
        result_ = std::move(piece);
        return;
    }
    const auto marker = piece.find(kVersionMarker);
    if (marker == std::string::npos) {
        ok_ = false;
        return;
    }
    const std::string_view version = std::string_view(piece).substr(marker + kVersionMarker.size());
    if (Utf8Length(version) > kFetchVersionMaxChars) {
        ok_ = false;
        return;
    }
    result_ = std::string(version);
}

platform::HttpOptions UpdateFetchOptions() {
    platform::HttpOptions options;
    options.connectTimeout = std::chrono::seconds(5);
    options.totalTimeout = std::chrono::seconds(15);
    options.maxBodyBytes = 64 * 1024;  // version files hold a few bytes
    options.maxRedirects = 3;
    options.userAgent = UserAgent();
    return options;
}

bool FetchText(platform::HttpClient& client, const std::string& url, FetchMode mode,
               std::string& text, const platform::HttpOptions& options) {
    const std::string charset = platform::LocaleCharset();
    FetchedTextReader reader(mode, [&charset](std::string_view bytes) {
        return platform::DecodeToUtf8(bytes, charset);
    });
    const platform::HttpResult result =
        client.Get(url, options, [&reader](std::string_view bytes) { return reader.Feed(bytes); });
    if (!result.Ok()) return false;
    return reader.Finish(text);
}

}  // namespace trivexa::online
