#pragma once
// The viewer's command line: trivexa [--version | --help] [--] [SOURCE].
// SOURCE is a card, a folder or one clip; "--" makes the next word a source
// even when it starts with a dash. Anything else that starts with a dash is
// an unknown option; a second source is one word too many.
//
// The toolkit takes its own options (-platform, -style, ...) out of the
// command line before the viewer parses the rest; --version and --help are
// answered before the toolkit starts, so they work without a display.
//
// Pure functions; any thread.

#include <span>
#include <string>
#include <string_view>

namespace trivexa {

enum class ViewerArgsAction : int {
    kRun = 0,         // open the viewer (on `source` when given)
    kVersion = 1,     // print the version line, exit 0
    kHelp = 2,        // print the usage, exit 0
    kUsageError = 3,  // print `error` and the usage, exit 2
};

struct ViewerArgs {
    ViewerArgsAction action = ViewerArgsAction::kRun;
    std::string source;
    std::string error;  // one line, without the program's name
};

// The whole command line after the program's name.
ViewerArgs ParseViewerArgs(std::span<const std::string> args);
// Only whether --version or --help is asked for (before any "--"), whatever
// else the line holds: kVersion, kHelp or kRun.
ViewerArgsAction RequestedInformation(std::span<const std::string> args);

// "trivexa 2.0.2.0" and the usage text (several lines, each ending "\n").
std::string ViewerVersionLine();
std::string_view ViewerUsage();

// Exit codes of the command line (the CLI's: 0 done, 2 bad usage).
inline constexpr int kViewerExitOk = 0;
inline constexpr int kViewerExitUsage = 2;

}  // namespace trivexa
