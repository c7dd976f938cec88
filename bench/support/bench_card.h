#pragma once
// The card the card benchmarks build: one template clip per camera written by
// clipforge, copied under every recording's name. This header makes the
// templates and the card's skeleton (the top folders with their camera
// folders, the device file); each benchmark names its own recordings.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "clipforge/clipforge.h"

namespace trivexa::bench {

inline std::vector<char> ReadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& p, const std::vector<char>& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct TemplateClips {
    std::vector<char> front;
    std::vector<char> rear;
};

// Writes the front and rear template clips of `spec` (its name is replaced)
// and the card's skeleton under `root`. False when clipforge fails.
inline bool StartTemplateCard(const std::filesystem::path& root, clipforge::ClipSpec spec,
                              TemplateClips& clips) {
    namespace fs = std::filesystem;
    fs::create_directories(root);
    spec.name = "A___-230715-081522-000001F.AVI";
    if (!clipforge::WriteClip(root / "front.tmp", spec)) return false;
    spec.name = "A___-230715-081522-000001R.AVI";
    if (!clipforge::WriteClip(root / "rear.tmp", spec)) return false;
    clips.front = ReadBytes(root / "front.tmp");
    clips.rear = ReadBytes(root / "rear.tmp");
    fs::remove(root / "front.tmp");
    fs::remove(root / "rear.tmp");
    for (const char* top : {"Normal", "Parking"})
        for (const char* cam : {"Front", "Rear"}) fs::create_directories(root / top / cam);
    const auto dfc = clipforge::EncodeDfc({});
    WriteBytes(root / "DRFormatConfig.dfc", std::vector<char>(dfc.begin(), dfc.end()));
    return true;
}

}  // namespace trivexa::bench
