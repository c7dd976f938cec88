// Whole cards: the Normal/Parking × Front/Rear folders with clips, the
// device file in the root and the optional trace file.

#include <algorithm>

#include "clipforge/clipforge.h"
#include "clipforge/forge_internal.h"

namespace trivexa::clipforge {
namespace {

using detail::PutText;
using detail::SetError;

// DRFormatConfig.dfc fields.
constexpr size_t kDfcModel = 48;
constexpr size_t kDfcFirmware = 56;
constexpr size_t kDfcGps = 62;
constexpr size_t kDfcMinimum = 68;

std::string Fit(std::string s, size_t n) {
    s.resize(n, ' ');
    return s;
}

bool MakeDirs(const fs::path& p, std::string* error) {
    std::error_code ec;
    fs::create_directories(p, ec);
    if (ec) {
        SetError(error, "cannot create " + p.string());
        return false;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> EncodeDfc(const DfcSpec& spec) {
    std::vector<uint8_t> b(std::max(spec.size, size_t{1}), ' ');
    // The leading part is not read by the viewer; give it recognisable text.
    std::vector<uint8_t> full(std::max(spec.size, kDfcMinimum), ' ');
    PutText(full, 0, "DRFormatConfig");
    PutText(full, kDfcModel, Fit(spec.model, 8));
    PutText(full, kDfcFirmware, Fit(spec.firmware, 6));
    PutText(full, kDfcGps, Fit(spec.gpsVersion, 6));
    std::copy_n(full.begin(), std::min(b.size(), full.size()), b.begin());
    b.resize(spec.size);
    return b;
}

bool WriteCard(const fs::path& root, const CardSpec& spec, std::string* error) {
    for (const char* top : {"Normal", "Parking"})
        for (const char* cam : {"Front", "Rear"})
            if (!MakeDirs(root / top / cam, error)) return false;
    if (spec.dfc) {
        if (!detail::WriteFileAtomic(root / "DRFormatConfig.dfc", EncodeDfc(*spec.dfc), error))
            return false;
    }
    if (spec.pvtrace) {
        std::string text = "pvtrace\r\nboot 000001\r\npower 12.4V\r\n";
        if (!detail::WriteFileAtomic(root / "pvtrace.txt",
                                     std::vector<uint8_t>(text.begin(), text.end()), error))
            return false;
    }
    for (const CardRecording& rec : spec.recordings) {
        if (rec.name.size() < 26) {
            SetError(error, "not a recording name: " + rec.name);
            return false;
        }
        const std::string top = !rec.topFolder.empty()
                                    ? rec.topFolder
                                    : (NameIsParking(rec.name) ? "Parking" : "Normal");
        std::string frontName = rec.name, rearName = PartnerName(rec.name);
        if (rec.name[25] == 'R') std::swap(frontName, rearName);
        for (int cam = 0; cam < 2; ++cam) {
            const bool front = cam == 0;
            if (front ? !rec.front : !rec.rear) continue;
            ClipSpec clip = !front && rec.rearClip ? *rec.rearClip : rec.clip.value_or(spec.clip);
            clip.name = front ? frontName : rearName;
            if (!front && !rec.rearClip && spec.rearVideo) {
                // The rear camera records the same stretch of time at its own
                // size and rate.
                const VideoSpec& fv = clip.video;
                VideoSpec rv = *spec.rearVideo;
                rv.frames = static_cast<int>(static_cast<uint64_t>(fv.frames) * fv.scale * rv.rate /
                                             (static_cast<uint64_t>(fv.rate) * rv.scale));
                rv.cacheDir = fv.cacheDir;
                rv.content = fv.content;
                clip.video = rv;
            }
            clip.video.camera = front ? 'F' : 'R';
            fs::path dir = root / top / (front ? "Front" : "Rear");
            if (!MakeDirs(dir, error)) return false;
            if (!WriteClip(dir / clip.name, clip, nullptr, error)) return false;
        }
    }
    return true;
}

bool WriteSeeds(const fs::path& dir, std::string* error) {
    if (!MakeDirs(dir, error)) return false;
    ClipSpec base;
    base.video.content = VideoContent::Synthetic;
    base.video.frames = 12;
    base.video.gop = 6;
    base.audio.framesPerChunk = 4;
    base.drive.records = 6;

    // Seeds carry recording names: readers choose the header layout (and
    // whether to read a sensor block) by the name.
    struct Seed {
        const char* name;
        void (*tweak)(ClipSpec&);
    };
    const Seed seeds[] = {
        {"A___-230715-081522-000001F.AVI", [](ClipSpec&) {}},
        {"A___-230715-081522-000001R.AVI", [](ClipSpec&) {}},
        {"T___-230715-081522-000002F.AVI", [](ClipSpec&) {}},
        {"P___-230715-081522-000003F.AVI", [](ClipSpec&) {}},
        {"A___-230715-081522-000004F.AVI",
         [](ClipSpec& c) { c.sensor.countMode = CountMode::Unlimited; }},
        {"A___-230715-081522-000005F.AVI",
         [](ClipSpec& c) { c.sensor.countMode = CountMode::Zero; }},
        {"A___-230715-081522-000006F.AVI",
         [](ClipSpec& c) {
             c.sensor.chained.resize(2);
             c.sensor.chained[1].mode = 'D';
         }},
        {"A___-230715-081522-000007F.AVI", [](ClipSpec& c) { c.damage.indexLost = true; }},
        {"A___-230715-081522-000008F.AVI", [](ClipSpec& c) { c.damage.truncateInChunk = 9; }},
        {"A___-230715-081522-000009F.AVI", [](ClipSpec& c) { c.damage.brokenStartCodeFrame = 3; }},
        {"A___-230715-081522-000010F.AVI", [](ClipSpec& c) { c.damage.tinyVideoFrame = 4; }},
        {"A___-230715-081522-000011F.AVI", [](ClipSpec& c) { c.damage.riffSizeZero = true; }},
        {"A___-230715-081522-000012F.AVI", [](ClipSpec& c) { c.damage.indexSizeField = 8; }},
        {"A___-230715-081522-000013F.AVI", [](ClipSpec& c) { c.damage.missingIndex = true; }},
        {"A___-230715-081522-000014F.AVI", [](ClipSpec& c) { c.sensor.present = false; }},
        {"A___-230715-081522-000015F.AVI",
         [](ClipSpec& c) {
             c.sensor.countMode = CountMode::Given;
             c.sensor.headerCount = 40;
         }},
        {"T___-230715-081522-000016F.AVI", [](ClipSpec& c) { c.damage.indexLost = true; }},
        {"A___-230715-081522-000017F.AVI", [](ClipSpec& c) { c.sensor.trailerCount = 3; }},
    };
    for (const Seed& s : seeds) {
        ClipSpec c = base;
        c.name = s.name;
        s.tweak(c);
        if (!WriteClip(dir / s.name, c, nullptr, error)) return false;
    }
    return true;
}

}  // namespace trivexa::clipforge
