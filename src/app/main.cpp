// trivexa [SOURCE]: the viewer. SOURCE is a card, a folder or one clip; without
// it the last source is opened again, else the folder named by the
// TRIVEXA_DEMO_CARD environment variable (scripts/run points it at the demo
// card).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/vidorra_app.h"

int main(int argc, char** argv) {
    trivexa::ViewerOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "usage: trivexa [SOURCE]\n"
                "  SOURCE  an SD card, a folder or a recording to open\n");
            return 0;
        }
        if (argv[i][0] != '-' && options.source.empty()) options.source = argv[i];
    }
    if (const char* demo = std::getenv("TRIVEXA_DEMO_CARD"); demo != nullptr && *demo != '\0')
        options.fallback = demo;
    return trivexa::CVidorraApp::Run(argc, argv, options);
}
