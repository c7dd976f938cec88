// trivexa [--version | --help] [--] [SOURCE]: the viewer. SOURCE is a card, a
// folder or one clip; without it the last source is opened again, else the
// folder named by the TRIVEXA_DEMO_CARD environment variable (scripts/run
// points it at the demo card).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/core/viewer_args.h"
#include "app/vidorra_app.h"

int main(int argc, char** argv) {
    // The version and the usage need no display: answered before the
    // toolkit starts (the rest of the line is parsed once it has taken its
    // own options out).
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    switch (trivexa::RequestedInformation(args)) {
        case trivexa::ViewerArgsAction::kVersion:
            std::printf("%s\n", trivexa::ViewerVersionLine().c_str());
            return trivexa::kViewerExitOk;
        case trivexa::ViewerArgsAction::kHelp:
            std::fputs(std::string(trivexa::ViewerUsage()).c_str(), stdout);
            return trivexa::kViewerExitOk;
        default:
            break;
    }
    trivexa::ViewerOptions options;
    options.parseCommandLine = true;
    if (const char* demo = std::getenv("TRIVEXA_DEMO_CARD"); demo != nullptr && *demo != '\0')
        options.fallback = demo;
    return trivexa::CVidorraApp::Run(argc, argv, options);
}
