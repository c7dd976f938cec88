#pragma once
// The path rules every layer shares. Paths are UTF-8 strings with '/' as the
// separator; a '\' counts as a separator too wherever a final component or a
// parent is taken, so names and paths written the recorder's way (and paths
// stored by the Windows viewer) split the same as ours. Results that build a
// path use '/'.
//
// Pure functions of their text: no file-system access, any thread. The views
// returned point into the argument.

#include <string>
#include <string_view>

namespace trivexa {

// '/' or '\'.
constexpr bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

// The text after the last separator: the whole text when there is none, ""
// when the path ends with a separator.
std::string_view FileNameOf(std::string_view path);

// The path without trailing separators; a path of separators only keeps its
// first one ("/" stays "/").
std::string_view StripTrailingSeparators(std::string_view path);

// The final component of a path that may end with separators
// ("/media/SD/Normal/" gives "Normal").
std::string_view LastComponent(std::string_view path);

// The folder holding the final component (trailing separators ignored): ""
// when there is no separator, "/" for a component right below the root.
std::string_view ParentOf(std::string_view path);

// `folder` + "/" + `name`, without doubling a separator `folder` already ends
// with; `name` alone when `folder` is empty.
std::string JoinPath(std::string_view folder, std::string_view name);

// Every '\' replaced by '/'.
std::string WithForwardSlashes(std::string_view path);

}  // namespace trivexa
