// Every line of the input names a file (up to one folder level) in a fresh
// folder; the whole input is also the card's DRFormatConfig.dfc. The scans in
// tree and list mode, the full collection, the filters and the device file
// must answer without a crash, whatever the names.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "browser/model/browser_model.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxFiles = 48;
constexpr std::size_t kMaxComponent = 200;

fs::path Scratch() {
    static const fs::path dir = [] {
        fs::path p = fs::temp_directory_path() / ("fuzz_library_" + std::to_string(getpid()));
        return p;
    }();
    return dir;
}

// A usable file-system component: no separators or NUL, not "." or "..".
std::string Component(std::string_view raw) {
    std::string c;
    for (char ch : raw.substr(0, kMaxComponent)) c += (ch == '\0') ? '_' : ch;
    if (c.empty() || c == "." || c == "..") c = "_" + c;
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trivexa;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const fs::path root = Scratch();
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root / "Normal", ec);
    {
        std::ofstream dfc(root / "DRFormatConfig.dfc", std::ios::binary);
        dfc.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    std::size_t files = 0, start = 0;
    while (start <= input.size() && files < kMaxFiles) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(start, end - start);
        start = end + 1;
        fs::path p = root / "Normal";
        const std::size_t slash = line.find('/');
        if (slash != std::string_view::npos) {
            p /= Component(line.substr(0, slash));
            p /= Component(line.substr(slash + 1, line.find('/', slash + 1) - slash - 1));
        } else {
            p /= Component(line);
        }
        fs::create_directories(p.parent_path(), ec);
        std::ofstream f(p, std::ios::binary);
        f.write(input.data(),
                static_cast<std::streamsize>(std::min<std::size_t>(input.size(), 64)));
        ++files;
    }

    MemoryFolderTree tree;
    BrowserModel model(tree);
    model.OpenSource(root.string(), SourceKind::SdCard);
    for (TreeNode top : tree.Children(kTreeRoot)) {
        for (TreeNode group : tree.Children(top)) model.LoadFolder(group);
        model.LoadFolder(top);
    }
    for (int i = 0; i < kFilterCount; ++i) model.SetFilter(i, i % 2 == 0);
    model.CollectAll();
    model.OpenSource((root / "Normal").string(), SourceKind::Folder);
    DeviceInfo info;
    ReadDeviceInfo(root.string(), info);
    fs::remove_all(root, ec);
    return 0;
}
