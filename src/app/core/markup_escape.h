#pragma once
// Escaping text into XML and HTML: the track files (GPX, KML) and the
// notices' markup both write user and card text through these, so that the
// characters markup gives a meaning to are replaced the same way everywhere.
// Pure functions; any thread.

#include <string>
#include <string_view>

namespace trivexa {

// The entity that stands for `c`: "&amp;", "&lt;", "&gt;" and "&quot;"
// always, "&#39;" for the apostrophe only when `apostrophe` is set. Empty for
// every other character.
std::string_view MarkupEntity(char32_t c, bool apostrophe);

// `text` for XML 1.0 text and double-quoted attribute values: the entities
// above (apostrophes kept), and the control characters XML 1.0 does not allow
// (below 0x20 except tab and line feed) as '?'. Other bytes are copied.
std::string XmlEscape(std::string_view text);

}  // namespace trivexa
