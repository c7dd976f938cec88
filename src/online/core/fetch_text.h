#pragma once
// Reading a version file from the update server.
//
// The body is read in pieces of kFetchPieceBytes bytes (the last one
// shorter), each converted from the locale's character set on its own; a
// piece's text ends at its first zero byte.
//  - Version mode: the first piece must contain "VER:"; the text after it to
//    the end of the piece, at most kFetchVersionMaxChars characters, is the
//    result. No marker, or a longer text, fails the fetch. Reading stops
//    after the first piece.
//  - Text mode: every piece replaces the result, so the result is the last
//    piece.
// A file with no data at all succeeds with an empty result in both modes.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "online/core/update_check.h"
#include "platform/http.h"

namespace trivexa::online {

inline constexpr std::size_t kFetchPieceBytes = 1024;
inline constexpr std::size_t kFetchVersionMaxChars = 259;

// Turns the body bytes of one fetch into its result. One thread feeds it.
class FetchedTextReader {
public:
    // `decode` converts one piece's bytes to UTF-8.
    using Decoder = std::function<std::string(std::string_view bytes)>;
    FetchedTextReader(FetchMode mode, Decoder decode);

    // Takes the next body bytes in whatever sizes they arrive. Returns false
    // when no more are wanted.
    bool Feed(std::string_view bytes);

    // After the last byte: the fetch's success and its result in `text`.
    bool Finish(std::string& text);

private:
    void TakePiece();

    FetchMode mode_;
    Decoder decode_;
    std::string piece_;
    std::string result_;
    bool anyPiece_ = false;
    bool ok_ = true;
};

// The time-outs and the byte cap of update-check fetches.
platform::HttpOptions UpdateFetchOptions();

// GETs `url` through `client` and reads it in `mode` (converted from the
// locale's character set). False when the request fails (no connection, no
// answer in time, a status other than 2xx, more than the options' byte cap,
// a redirect loop, an abort) or the reading fails. Runs on the caller's thread.
bool FetchText(platform::HttpClient& client, const std::string& url, FetchMode mode,
               std::string& text, const platform::HttpOptions& options = UpdateFetchOptions());

}  // namespace trivexa::online
