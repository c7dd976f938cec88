// clipforge: writes clips and cards in the recorder's layout from the
// command line (demo card, test scripts, fuzz seeds).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "clipforge/clipforge.h"

namespace cf = trivexa::clipforge;

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  clipforge demo DIR\n"
    "  clipforge seeds DIR\n"
    "  clipforge clip [options] FILE\n"
    "  clipforge card [options] DIR NAME...\n"
    "options:\n"
    "  --size WxH          picture size (default 160x96)\n"
    "  --rate R/S          frame rate as rate/scale (default 30/1)\n"
    "  --frames N          video frames (default 60)\n"
    "  --gop N             key frame distance (default 30)\n"
    "  --synthetic         fake access units instead of real H.264\n"
    "  --texture           moving grain, for a camera-like bitrate\n"
    "  --no-audio          full layout without sound chunks\n"
    "  --no-sensor         no sensor block\n"
    "  --slots N           sensor block slots (4600 on the recorder)\n"
    "  --count exact|unlimited|zero|N   sensor header count\n"
    "  --model TEXT        model identifier in the trailer\n"
    "  --chain N           N chained header units\n"
    "  --name NAME         recording name (clip; default: the file name)\n"
    "  --damage KIND       index-lost, missing-index, riff-zero, index8, index15,\n"
    "                      truncate:K, start-code:F, tiny:F, unreadable\n"
    "  --pvtrace           card: write pvtrace.txt\n"
    "  --no-dfc            card: no DRFormatConfig.dfc\n"
    "  --cache DIR         cache folder for encoded video\n";

int Usage(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "clipforge: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseInt(const std::string& s, int& out) {
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < 0 || v > 10000000) return false;
    out = static_cast<int>(v);
    return true;
}

bool ApplyDamage(const std::string& kind, cf::Damage& d) {
    auto arg = [&](const char* prefix, std::optional<int>& field) {
        size_t n = std::strlen(prefix);
        int v = 0;
        if (kind.compare(0, n, prefix) != 0 || !ParseInt(kind.substr(n), v)) return false;
        field = v;
        return true;
    };
    if (kind == "index-lost") return d.indexLost = true;
    if (kind == "missing-index") return d.missingIndex = true;
    if (kind == "riff-zero") return d.riffSizeZero = true;
    if (kind == "unreadable") return d.unreadable = true;
    if (kind == "index8") return (d.indexSizeField = 8u), true;
    if (kind == "index15") return (d.indexSizeField = 15u), true;
    return arg("truncate:", d.truncateInChunk) || arg("start-code:", d.brokenStartCodeFrame) ||
           arg("tiny:", d.tinyVideoFrame);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("");
    const std::string cmd = args[0];
    std::string error;

    if (cmd == "demo" || cmd == "seeds") {
        if (args.size() != 2) return Usage("expected one folder");
        cf::DemoOptions options;
        options.progress = [](const std::string& line) {
            std::fprintf(stderr, "clipforge: %s\n", line.c_str());
        };
        bool ok = cmd == "demo" ? cf::WriteDemoCard(args[1], &error, options)
                                : cf::WriteSeeds(args[1], &error);
        if (!ok) {
            std::fprintf(stderr, "clipforge: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (cmd != "clip" && cmd != "card") return Usage("unknown command " + cmd);

    cf::ClipSpec clip;
    cf::CardSpec card;
    std::vector<std::string> operands;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        int n = 0;
        if (a == "--size") {
            int w = 0, h = 0;
            if (!value(v) || std::sscanf(v.c_str(), "%dx%d", &w, &h) != 2)
                return Usage("bad --size");
            clip.video.width = w;
            clip.video.height = h;
        } else if (a == "--rate") {
            unsigned r = 0, s = 1;
            if (!value(v) || std::sscanf(v.c_str(), "%u/%u", &r, &s) < 1 || r == 0 || s == 0)
                return Usage("bad --rate");
            clip.video.rate = r;
            clip.video.scale = s;
        } else if (a == "--frames") {
            if (!value(v) || !ParseInt(v, n)) return Usage("bad --frames");
            clip.video.frames = n;
        } else if (a == "--gop") {
            if (!value(v) || !ParseInt(v, n) || n == 0) return Usage("bad --gop");
            clip.video.gop = n;
        } else if (a == "--texture") {
            clip.video.texture = true;
        } else if (a == "--synthetic") {
            clip.video.content = cf::VideoContent::Synthetic;
        } else if (a == "--no-audio") {
            clip.audio.enabled = false;
        } else if (a == "--no-sensor") {
            clip.sensor.present = false;
        } else if (a == "--slots") {
            if (!value(v) || !ParseInt(v, n) || n > 65535) return Usage("bad --slots");
            clip.sensor.slots = n;
        } else if (a == "--count") {
            if (!value(v)) return Usage("bad --count");
            if (v == "exact") {
                clip.sensor.countMode = cf::CountMode::Exact;
            } else if (v == "unlimited") {
                clip.sensor.countMode = cf::CountMode::Unlimited;
            } else if (v == "zero") {
                clip.sensor.countMode = cf::CountMode::Zero;
            } else if (ParseInt(v, n) && n <= 0xFFFF) {
                clip.sensor.countMode = cf::CountMode::Given;
                clip.sensor.headerCount = static_cast<uint16_t>(n);
            } else {
                return Usage("bad --count");
            }
        } else if (a == "--model") {
            if (!value(v)) return Usage("bad --model");
            clip.sensor.model = v;
        } else if (a == "--chain") {
            if (!value(v) || !ParseInt(v, n) || n > 3) return Usage("bad --chain (0..3)");
            clip.sensor.chained.resize(static_cast<size_t>(n));
        } else if (a == "--name") {
            if (!value(v)) return Usage("bad --name");
            clip.name = v;
        } else if (a == "--damage") {
            if (!value(v) || !ApplyDamage(v, clip.damage)) return Usage("bad --damage");
        } else if (a == "--pvtrace") {
            card.pvtrace = true;
        } else if (a == "--no-dfc") {
            card.dfc.reset();
        } else if (a == "--cache") {
            if (!value(v)) return Usage("bad --cache");
            clip.video.cacheDir = v;
        } else if (a.rfind("--", 0) == 0) {
            return Usage("unknown option " + a);
        } else {
            operands.push_back(a);
        }
    }

    if (cmd == "clip") {
        if (operands.size() != 1) return Usage("expected one file");
        std::filesystem::path out(operands[0]);
        cf::ClipReport report;
        if (!cf::WriteClip(out, clip, &report, &error)) {
            std::fprintf(stderr, "clipforge: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s: %llu bytes, %d video frames, %d audio chunks, %d sensor records\n",
                    out.string().c_str(), static_cast<unsigned long long>(report.fileSize),
                    report.videoFrames, report.audioChunks, report.sensorRecords);
        return 0;
    }
    if (operands.size() < 1) return Usage("expected a folder and recording names");
    card.clip = clip;
    for (size_t i = 1; i < operands.size(); ++i) {
        cf::CardRecording r;
        r.name = operands[i];
        // A name ending in F.AVI or R.AVI alone gives only that camera's file
        // when it is prefixed with '+': "+A___-...F.AVI".
        if (!r.name.empty() && r.name[0] == '+') {
            r.name.erase(0, 1);
            bool rearName = r.name.size() > 25 && r.name[25] == 'R';
            r.front = !rearName;
            r.rear = rearName;
        }
        card.recordings.push_back(r);
    }
    if (!cf::WriteCard(operands[0], card, &error)) {
        std::fprintf(stderr, "clipforge: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
