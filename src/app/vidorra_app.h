#pragma once
// CVidorraApp: the viewer's start-up and teardown. It prepares what the whole
// process shares (OpenGL contexts shared between the video surfaces and the
// web-engine map, the application object, the shared fonts), runs the main
// window as the one modal loop of the process and releases what it prepared
// when that loop ends.
//
// The loop ends in one of three ways, each after the main window's shutdown
// sequence: the close caption button, the window system's close, or the loss
// of the source when the program's own file has gone with it. Enter and
// Escape do not end it.
//
// Callers: main() only, once.

#include <string>

namespace trivexa {

struct ViewerOptions {
    std::string source;    // opened instead of the last source when given
    std::string fallback;  // opened when neither gives a source (the demo card)
    // The source comes from the command line left once the toolkit has
    // taken its own options (ParseViewerArgs); an unknown option or a second
    // source ends the program with exit code 2 before any window opens.
    bool parseCommandLine = false;
};

class CVidorraApp {
public:
    // Runs the viewer; the process's exit code.
    static int Run(int& argc, char** argv, const ViewerOptions& options);
};

}  // namespace trivexa
