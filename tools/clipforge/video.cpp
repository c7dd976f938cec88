// Test video: pictures that carry their frame number, encoded to H.264 by the
// ffmpeg program and split into one access unit per frame.

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "clipforge/clipforge.h"
#include "clipforge/forge_internal.h"

extern char** environ;

namespace trivexa::clipforge {
namespace {

using detail::SetError;

// Bump when the picture or the encoder settings change, so stale cache
// entries are not reused.
constexpr int kCacheVersion = 2;
// Bump when the drawing of road scenes changes.
constexpr int kSceneVersion = 2;

constexpr uint8_t kWhite = 235;
constexpr uint8_t kBlack = 16;

// Block i spans the columns x with x * kMarkBlocks / width == i, so block
// centres sit at the same fractions of the width at any scale.
int BlockOf(int x, int width) { return static_cast<int>(int64_t{x} * kMarkBlocks / width); }

bool BitOfBlock(int number, int block) {
    if (block == 0) return true;
    if (block == kMarkBlocks - 1) return false;
    int bit = kMarkBits - block;  // block 1 holds the most significant bit
    return ((number >> bit) & 1) != 0;
}

fs::path CacheDir(const VideoSpec& spec) {
    if (!spec.cacheDir.empty()) return spec.cacheDir;
    if (const char* env = std::getenv("CLIPFORGE_CACHE"); env && *env) return env;
    std::error_code ec;
    fs::path tmp = fs::temp_directory_path(ec);
    if (ec) tmp = "/tmp";
    return tmp / "clipforge-cache";
}

// Fills one planar 4:2:0 picture: the mark band on top, a moving scene below
// (a road with dashes that run towards the viewer), tinted per camera.
void DrawPicture(int number, const VideoSpec& spec, std::vector<uint8_t>& yuv) {
    const int w = spec.width, h = spec.height;
    std::span<uint8_t> luma(yuv.data(), static_cast<size_t>(w) * h);
    DrawFrameLuma(number, w, h, luma);
    if (spec.texture) {
        // Grain fixed to the scene: rows scroll sideways at a speed that
        // grows towards the bottom, as the ground does past a moving car.
        for (int y = h / 3; y < h; ++y) {
            uint8_t* row = yuv.data() + static_cast<size_t>(y) * w;
            const uint32_t shift =
                static_cast<uint32_t>(number) * static_cast<uint32_t>(1 + y * 6 / h);
            for (int x = 0; x < w; ++x) {
                uint32_t k = (static_cast<uint32_t>(x) + shift) * 0x9E3779B1u ^
                             static_cast<uint32_t>(y) * 0x85EBCA77u;
                k ^= k >> 15;
                k *= 0x2C1B3C6Du;
                k ^= k >> 12;
                int v = row[x] + static_cast<int>(k % 41) - 20;
                row[x] = static_cast<uint8_t>(std::clamp(v, 16, 235));
            }
        }
    }
    uint8_t* u = yuv.data() + static_cast<size_t>(w) * h;
    uint8_t* v = u + static_cast<size_t>(w / 2) * (h / 2);
    const bool rear = spec.camera == 'R';
    for (int y = 0; y < h / 2; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            bool band = y * 2 < h / 3;
            size_t i = static_cast<size_t>(y) * (w / 2) + x;
            if (band) {
                u[i] = 128;
                v[i] = 128;
            } else if (y * 2 < h / 2) {  // sky
                u[i] = rear ? 110 : 160;
                v[i] = rear ? 150 : 110;
            } else {  // ground
                u[i] = rear ? 120 : 118;
                v[i] = rear ? 140 : 124;
            }
        }
    }
}

// Runs ffmpeg reading raw pictures from a socket on its standard input, so
// pictures of any size stream through without a temporary raw file (a
// socket rather than a pipe: a failed encoder gives a write error, never
// SIGPIPE).
bool Encode(const VideoSpec& spec, const fs::path& out, std::string* error) {
    std::unique_ptr<detail::SceneRenderer> scene;
    if (spec.scene) scene = std::make_unique<detail::SceneRenderer>(spec);
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
        SetError(error, "socketpair failed");
        return false;
    }
    fs::path log = out;
    log += ".log";
    char rate[64], size[64], gop[32], crf[32];
    std::snprintf(rate, sizeof rate, "%u/%u", spec.rate, spec.scale);
    std::snprintf(size, sizeof size, "%dx%d", spec.width, spec.height);
    std::snprintf(gop, sizeof gop, "%d", spec.gop);
    std::snprintf(crf, sizeof crf, "%d", std::clamp(spec.crf, 0, 51));
    std::string x264 = "scenecut=0:repeat-headers=1:keyint=" + std::string(gop) +
                       ":min-keyint=" + std::string(gop);
    std::vector<std::string> argv = {
        "ffmpeg",   "-nostdin", "-v",      "error",   "-y",        "-f",        "rawvideo",
        "-pix_fmt", "yuv420p",  "-s",      size,      "-r",        rate,        "-i",
        "pipe:0",   "-c:v",     "libx264", "-preset", spec.preset, "-crf",      crf,
        "-g",       gop,        "-bf",     "0",       "-threads",  "2",         "-x264-params",
        x264,       "-pix_fmt", "yuv420p", "-f",      "h264",      out.string()};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, sv[1], 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    // "-nostdin" only stops ffmpeg reading commands from the terminal; the
    // pictures still come through pipe:0.
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "ffmpeg", &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(sv[1]);
    if (rc != 0) {
        close(sv[0]);
        SetError(error, "cannot start ffmpeg");
        return false;
    }
    bool writeOk = true;
    std::vector<uint8_t> yuv(static_cast<size_t>(spec.width) * spec.height * 3 / 2);
    for (int f = 0; f < spec.frames && writeOk; ++f) {
        if (scene)
            scene->Draw(f, yuv);
        else
            DrawPicture(f, spec, yuv);
        size_t done = 0;
        while (done < yuv.size()) {
            ssize_t n = send(sv[0], yuv.data() + done, yuv.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                if (n < 0 && errno == EINTR) continue;
                writeOk = false;
                break;
            }
            done += static_cast<size_t>(n);
        }
    }
    close(sv[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::string logText;
    {
        std::ifstream in(log);
        std::stringstream ss;
        ss << in.rdbuf();
        logText = ss.str();
    }
    std::error_code ec;
    fs::remove(log, ec);
    if (!writeOk || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        SetError(error, "ffmpeg failed: " + logText.substr(0, 300));
        return false;
    }
    return true;
}

// Splits an Annex B stream into access units. A unit starts at an SPS, an
// AUD or a first slice (first_mb_in_slice 0) once the current unit holds a
// slice; parameter sets and SEI stay with the slice that follows them.
std::vector<std::vector<uint8_t>> SplitAccessUnits(const std::vector<uint8_t>& s) {
    struct Nal {
        size_t start;   // first byte of the start code
        size_t header;  // NAL header byte
    };
    std::vector<Nal> nals;
    for (size_t i = 0; i + 3 < s.size();) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
            size_t st = (i > 0 && s[i - 1] == 0) ? i - 1 : i;
            nals.push_back({st, i + 3});
            i += 3;
        } else {
            ++i;
        }
    }
    std::vector<std::vector<uint8_t>> units;
    std::vector<uint8_t> cur;
    bool hasSlice = false;
    for (size_t k = 0; k < nals.size(); ++k) {
        size_t end = k + 1 < nals.size() ? nals[k + 1].start : s.size();
        if (nals[k].header >= s.size()) break;
        uint8_t type = s[nals[k].header] & 0x1F;
        bool slice = type == 1 || type == 5;
        bool firstMb = slice && nals[k].header + 1 < s.size() && (s[nals[k].header + 1] & 0x80);
        bool starts = (type == 7 || type == 9 || type == 6 || type == 8 || firstMb);
        if (starts && hasSlice) {
            units.push_back(std::move(cur));
            cur.clear();
            hasSlice = false;
        }
        // Every unit begins with a four-byte start code.
        if (cur.empty() && nals[k].header - nals[k].start == 3) cur.push_back(0);
        cur.insert(cur.end(), s.begin() + static_cast<long>(nals[k].start),
                   s.begin() + static_cast<long>(end));
        hasSlice = hasSlice || slice;
    }
    if (!cur.empty()) units.push_back(std::move(cur));
    return units;
}

bool IsKeyUnit(const std::vector<uint8_t>& u) {
    if (u.size() < 5) return false;
    uint8_t type = u[4] & 0x1F;
    return type == 7 || type == 5;
}

VideoStream Synthetic(const VideoSpec& spec) {
    VideoStream vs;
    vs.width = spec.width;
    vs.height = spec.height;
    for (int f = 0; f < spec.frames; ++f) {
        bool key = spec.gop <= 0 || f % spec.gop == 0;
        std::vector<uint8_t> u = {0, 0, 0, 1, static_cast<uint8_t>(key ? 0x67 : 0x41)};
        // Payload without zero bytes, so it holds no start code, and with
        // the frame number so chunks differ.
        size_t len = 40 + static_cast<size_t>(f % 7) * 6 + (key ? 60 : 0);
        for (size_t i = 0; i < len; ++i)
            u.push_back(static_cast<uint8_t>(0x80 | ((f + static_cast<int>(i)) & 0x7F)));
        u.push_back(0x80);  // rbsp stop bit
        vs.units.push_back(std::move(u));
        vs.key.push_back(key);
    }
    return vs;
}

}  // namespace

void DrawFrameLuma(int number, int width, int height, std::span<uint8_t> luma) {
    if (width <= 0 || height <= 0 || luma.size() < static_cast<size_t>(width) * height) return;
    const int band = height / 3;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = luma.data() + static_cast<size_t>(y) * width;
        if (y < band) {
            for (int x = 0; x < width; ++x)
                row[x] = BitOfBlock(number, BlockOf(x, width)) ? kWhite : kBlack;
        } else if (y < height / 2) {
            // Sky, lighter towards the horizon.
            for (int x = 0; x < width; ++x)
                row[x] =
                    static_cast<uint8_t>(150 + (y - band) * 40 / std::max(1, height / 2 - band));
        } else {
            // Road between two verges; the centre dashes move one step a frame.
            int depth = y - height / 2;
            int half = width / 8 + depth * width / std::max(1, height);
            int cx = width / 2;
            const int dashLength = std::max(3, height / 16);
            const int dashStep = std::max(1, height / 48);
            for (int x = 0; x < width; ++x) {
                bool road = x > cx - half && x < cx + half;
                uint8_t g = road ? 70 : 110;
                if (road && std::abs(x - cx) <= std::max(1, half / 16) &&
                    ((depth + number * dashStep) / dashLength) % 2 == 0)
                    g = 220;
                row[x] = g;
            }
        }
    }
}

std::optional<FrameMark> ReadFrameMark(std::span<const uint8_t> luma, int width, int height,
                                       int stride) {
    if (width < kMarkBlocks || height < 6 || stride < width) return std::nullopt;
    if (luma.size() < static_cast<size_t>(stride) * (height - 1) + width) return std::nullopt;
    const int band = height / 3;
    bool bits[kMarkBlocks];
    for (int b = 0; b < kMarkBlocks; ++b) {
        // Average the middle half of the block, away from edges that
        // compression and scaling smear.
        int x0 = static_cast<int>((int64_t{b} * 4 + 1) * width / (4 * kMarkBlocks));
        int x1 = static_cast<int>((int64_t{b} * 4 + 3) * width / (4 * kMarkBlocks));
        int y0 = band / 4, y1 = band * 3 / 4;
        if (x1 <= x0) x1 = x0 + 1;
        if (y1 <= y0) y1 = y0 + 1;
        long sum = 0, n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x, ++n) sum += luma[static_cast<size_t>(y) * stride + x];
        bits[b] = sum / std::max(1L, n) >= 128;
    }
    FrameMark m;
    if (bits[0] && !bits[kMarkBlocks - 1]) {
        m.mirrored = false;
    } else if (!bits[0] && bits[kMarkBlocks - 1]) {
        m.mirrored = true;
        std::reverse(bits, bits + kMarkBlocks);
    } else {
        return std::nullopt;
    }
    int number = 0;
    for (int b = 1; b <= kMarkBits; ++b) number = number << 1 | (bits[b] ? 1 : 0);
    m.number = number;
    return m;
}

std::optional<VideoStream> MakeVideo(const VideoSpec& spec, std::string* error) {
    if (spec.width < kMarkBlocks || spec.height < 6 || spec.width % 2 || spec.height % 2 ||
        spec.frames < 0 || spec.rate == 0 || spec.scale == 0) {
        SetError(error, "video needs an even size of at least 18x6, frames >= 0 and a rate");
        return std::nullopt;
    }
    if (spec.preset.empty() || !std::all_of(spec.preset.begin(), spec.preset.end(),
                                            [](char c) { return c >= 'a' && c <= 'z'; })) {
        SetError(error, "unknown x264 preset " + spec.preset);
        return std::nullopt;
    }
    if (spec.content == VideoContent::Synthetic || spec.frames == 0) return Synthetic(spec);

    fs::path dir = CacheDir(spec);
    std::error_code ec;
    fs::create_directories(dir, ec);
    char key[200];
    if (spec.scene) {
        // A scene is named by a digest of everything that shapes its pictures.
        std::snprintf(key, sizeof key, "h264-v%d-%dx%d-r%us%u-n%d-g%d-scene%d-%016llx.264",
                      kCacheVersion, spec.width, spec.height, spec.rate, spec.scale, spec.frames,
                      spec.gop, kSceneVersion,
                      static_cast<unsigned long long>(detail::SceneDigest(spec)));
    } else {
        std::snprintf(key, sizeof key, "h264-v%d-%dx%d-r%us%u-n%d-g%d-%c%s%s.264", kCacheVersion,
                      spec.width, spec.height, spec.rate, spec.scale, spec.frames, spec.gop,
                      spec.camera == 'R' ? 'R' : 'F', spec.texture ? "-t" : "",
                      ((spec.crf == 20 ? std::string() : "-c" + std::to_string(spec.crf)) +
                       (spec.preset == "veryfast" ? std::string() : "-" + spec.preset))
                          .c_str());
    }
    fs::path cached = dir / key;
    if (!fs::exists(cached)) {
        fs::path tmp = cached;
        static std::atomic<unsigned> counter{0};
        tmp += ".part" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".264";
        if (!Encode(spec, tmp, error)) {
            fs::remove(tmp, ec);
            return std::nullopt;
        }
        fs::rename(tmp, cached, ec);
        if (ec) {
            fs::remove(tmp, ec);
            SetError(error, "cannot store " + cached.string());
            return std::nullopt;
        }
    }
    std::ifstream in(cached, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    VideoStream vs;
    vs.width = spec.width;
    vs.height = spec.height;
    vs.units = SplitAccessUnits(bytes);
    if (static_cast<int>(vs.units.size()) != spec.frames) {
        SetError(error, "encoded stream has " + std::to_string(vs.units.size()) +
                            " access units, expected " + std::to_string(spec.frames));
        fs::remove(cached, ec);
        return std::nullopt;
    }
    for (const auto& u : vs.units) vs.key.push_back(IsKeyUnit(u));
    return vs;
}

}  // namespace trivexa::clipforge
