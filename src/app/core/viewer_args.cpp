#include "app/core/viewer_args.h"

#include "app/core/program_version.h"

namespace trivexa {
namespace {

bool IsVersion(std::string_view a) { return a == "--version"; }
bool IsHelp(std::string_view a) { return a == "--help" || a == "-h"; }

}  // namespace

ViewerArgs ParseViewerArgs(std::span<const std::string> args) {
    ViewerArgs out;
    bool operandsOnly = false;
    for (const std::string& a : args) {
        if (!operandsOnly && a == "--") {
            operandsOnly = true;
            continue;
        }
        if (!operandsOnly && !a.empty() && a[0] == '-') {
            if (IsVersion(a) || IsHelp(a)) {
                out.action = IsVersion(a) ? ViewerArgsAction::kVersion : ViewerArgsAction::kHelp;
                out.source.clear();
                return out;
            }
            out.action = ViewerArgsAction::kUsageError;
            out.error = "unknown option " + a;
            return out;
        }
        if (!out.source.empty()) {
            out.action = ViewerArgsAction::kUsageError;
            out.error = "more than one source: " + a;
            return out;
        }
        if (a.empty()) {
            out.action = ViewerArgsAction::kUsageError;
            out.error = "empty source";
            return out;
        }
        out.source = a;
    }
    return out;
}

ViewerArgsAction RequestedInformation(std::span<const std::string> args) {
    for (const std::string& a : args) {
        if (a == "--") break;
        if (IsVersion(a)) return ViewerArgsAction::kVersion;
        if (IsHelp(a)) return ViewerArgsAction::kHelp;
    }
    return ViewerArgsAction::kRun;
}

std::string ViewerVersionLine() { return "trivexa " + std::string(kProgramVersion); }

std::string_view ViewerUsage() {
    return "usage: trivexa [--version | --help] [--] [SOURCE]\n"
           "  SOURCE     an SD card, a folder or a recording to open; without it the\n"
           "             last source is opened again\n"
           "  --version  print the program's version and exit\n"
           "  --help     print this text and exit\n";
}

}  // namespace trivexa
