#pragma once
// How the listing commands print names and paths that come from a card or a
// folder, which may hold any bytes but '/' and NUL.
//
// Text output: one entry per line, so a line break or tab inside a name is
// written as an escape: "\n", "\r", "\t", "\\" for a backslash and "\xHH"
// for any other control byte. Other bytes are written as they are.
//
// JSON output: every string is valid UTF-8 (a byte that is not part of a
// valid UTF-8 sequence is shown as U+FFFD), and a member whose text was not
// valid UTF-8 gets a sibling "<member>Base64" holding its exact bytes in
// base64 (RFC 4648), so such a path can still be used to open the file.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace trivexa::cli {

std::string EscapeForLine(std::string_view text);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

std::string Base64(std::string_view bytes);

// The document as text with `indent` blanks per level, after adding the
// "<member>Base64" siblings described above.
std::string JsonText(nlohmann::ordered_json document, int indent = 2);

// The lines --help prints about these forms.
inline constexpr std::string_view kOutputFormsHelp =
    "Names and paths in text output stay on one line: a line break, carriage return,\n"
    "tab or backslash inside them is written as \\n, \\r, \\t or \\\\, any other control\n"
    "byte as \\xHH. With --json every string is valid UTF-8: bytes that are not are\n"
    "shown as U+FFFD, and the member also appears as <member>Base64 (for example\n"
    "frontPathBase64) holding the exact bytes in base64, for opening the file.\n";

}  // namespace trivexa::cli
