// Linked into every test program: before anything else runs, the user's
// configuration, cache and runtime folders are pointed at a scratch folder of
// this process, so no test reads or writes the settings, the repaired copies
// or the map's cache of the account that runs the tests. The folder goes when
// the process ends.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

constexpr const char* kMarker = "TRIVEXA_TEST_HOME";

struct ScratchHome {
    ScratchHome() {
        // A test program started by another one of this kind (a death test
        // runs the program again) shares its parent's folders, which the
        // parent removes.
        if (const char* parent = std::getenv(kMarker); parent && *parent) return;
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/trivexa-home-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) return;
        root = pattern;
        for (const char* name : {"config", "cache", "runtime"}) {
            std::error_code ec;
            std::filesystem::create_directory(root / name, ec);
            std::filesystem::permissions(root / name, std::filesystem::perms::owner_all, ec);
        }
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
        ::setenv(kMarker, root.c_str(), 1);
    }
    ~ScratchHome() {
        if (root.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::filesystem::path root;
};

const ScratchHome scratchHome;

}  // namespace
