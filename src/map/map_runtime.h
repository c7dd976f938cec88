#pragma once
// The map's run-time check: the map lives in a module (a plugin library
// linking Qt WebEngine) that the viewer loads when it starts. A machine
// without the web engine, or without the module, runs the viewer without
// the map: the main window sets its map-unavailable flag and tells the user
// once (CMapViewWrap::ShowMapRuntimeNotice).
//
// Called on the UI thread.

#include <string>
#include <vector>

namespace trivexa {

class MapModule;

// Finds and loads the module once; later calls answer from the first one.
// The module stays loaded for the life of the process.
class MapModuleLoader {
public:
    // Tries `candidates` in order (paths of the library, with or without
    // its suffix).
    explicit MapModuleLoader(std::vector<std::string> candidates);

    // The module, or null when none of the candidates loads.
    MapModule* Load();
    // Why the last candidate failed to load, for a developer ("" after success).
    const std::string& Error() const { return error_; }
    const std::vector<std::string>& Candidates() const { return candidates_; }

private:
    std::vector<std::string> candidates_;
    bool tried_ = false;
    MapModule* module_ = nullptr;
    std::string error_;
};

// Where the viewer looks for its module: beside the executable, in
// ../lib/trivexa beside it (an installed viewer), and in the build tree's
// module folder.
std::vector<std::string> DefaultMapModuleCandidates();

// The process's loader over the default candidates.
MapModuleLoader& DefaultMapModuleLoader();

// Part of the check that must run before the application object exists:
// the web engine shares OpenGL contexts with the viewer's video surfaces.
void PrepareMapModuleBeforeApplication();

}  // namespace trivexa
