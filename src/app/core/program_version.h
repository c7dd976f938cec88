#pragma once
// The viewer's own version and the date it was built: the settings dialog
// shows both, the update check compares the version with the server's.
//
// Plain constants and a pure function; any thread.

#include <string_view>

namespace trivexa {

inline constexpr std::string_view kProgramVersion = "2.0.2.0";

// The compiler's build date text, "Mmm dd yyyy" (a day below 10 is padded
// with a space: "Aug  2 2022").
std::string_view ProgramBuildDate();

}  // namespace trivexa
