#pragma once
// Helpers shared by clipforge's source files; not part of its interface.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trivexa::clipforge {
struct DateTime;
struct VideoSpec;
}  // namespace trivexa::clipforge

namespace trivexa::clipforge::detail {

// Little-endian and big-endian stores into a byte buffer that the caller has
// sized; every offset used by the writers is a named constant.
void Put16(std::vector<uint8_t>& b, size_t off, uint16_t v);
void Put32(std::vector<uint8_t>& b, size_t off, uint32_t v);
void PutBe16(std::vector<uint8_t>& b, size_t off, uint16_t v);
void PutBe32(std::vector<uint8_t>& b, size_t off, uint32_t v);
void PutText(std::vector<uint8_t>& b, size_t off, std::string_view text);

void SetError(std::string* error, std::string message);

// Adds `seconds` to a local date and time the way the recorder's clock runs
// (no time zone, no daylight saving).
DateTime AddSeconds(const DateTime& t, long seconds);

// Writes `bytes` to `path` through a temporary name in the same folder, so a
// reader never sees a half-written file.
bool WriteFileAtomic(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                     std::string* error);

// Draws the pictures of a RoadScene. Built once per clip (the sky, the
// street's buildings and the signal timing are worked out up front), then
// asked for frames in any order. Not thread-safe; one per encoder.
class SceneRenderer {
public:
    // `spec.scene` must be set and the size even.
    explicit SceneRenderer(const VideoSpec& spec);
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Fills one planar 4:2:0 picture (width × height luma, then the two
    // quarter-size chroma planes) with frame `number`.
    void Draw(int number, std::span<uint8_t> yuv);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A stable 64-bit digest of a scene, for the name of its cache entry.
uint64_t SceneDigest(const VideoSpec& spec);

}  // namespace trivexa::clipforge::detail
