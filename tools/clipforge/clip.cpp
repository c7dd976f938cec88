// One clip in the recorder's RIFF AVI layout: fixed header (full with an
// audio stream, short for time-lapse), movi list, idx1 index, sensor block.

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "clipforge/clipforge.h"
#include "clipforge/forge_internal.h"

namespace trivexa::clipforge {
namespace {

using detail::Put16;
using detail::Put32;
using detail::PutText;
using detail::SetError;

// Header field offsets, shared by both layouts up to the audio stream list.
constexpr size_t kRiffSize = 4;
constexpr size_t kHdrlList = 12;
constexpr size_t kHdrlSize = 16;
constexpr size_t kAvih = 24;
constexpr size_t kUsPerFrame = 32;
constexpr size_t kMaxBytesPerSec = 36;
constexpr size_t kAviFlags = 44;
constexpr size_t kTotalFrames = 48;
constexpr size_t kStreams = 56;
constexpr size_t kSuggestedBuffer = 60;
constexpr size_t kWidth = 64;
constexpr size_t kHeight = 68;
constexpr size_t kVideoStrl = 88;
constexpr size_t kVideoStrh = 100;
constexpr size_t kVideoType = 108;
constexpr size_t kVideoHandler = 112;
constexpr size_t kVideoScale = 128;
constexpr size_t kVideoRate = 132;
constexpr size_t kVideoLength = 140;
constexpr size_t kVideoSuggestedBuffer = 144;
constexpr size_t kVideoQuality = 148;
constexpr size_t kVideoFrameRect = 156;
constexpr size_t kVideoStrf = 164;
constexpr size_t kBitmapInfo = 172;
constexpr size_t kAudioStrl = 212;
constexpr size_t kAudioStrh = 224;
constexpr size_t kAudioType = 232;
constexpr size_t kAudioScale = 252;
constexpr size_t kAudioRate = 256;
constexpr size_t kAudioLength = 264;
constexpr size_t kAudioSuggestedBuffer = 268;
constexpr size_t kAudioQuality = 272;
constexpr size_t kAudioSampleSize = 276;
constexpr size_t kAudioStrf = 288;
constexpr size_t kWaveFormat = 296;
constexpr size_t kFullJunk = 316;
constexpr size_t kShortJunk = 212;
constexpr uint32_t kJunkData = 60;  // 68 bytes with its chunk header
constexpr uint32_t kStrhSize = 56;
constexpr uint32_t kBitmapInfoSize = 40;
constexpr uint32_t kWaveFormatChunk = 20;  // 18-byte format + 2 bytes to the junk

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kIndexKeyFrame = 0x10;

// Offsets after the header: the movi list header (12 bytes) and first chunk.
constexpr size_t kMoviListHeader = 12;

void PutFourcc(std::vector<uint8_t>& b, size_t off, const char* cc) {
    PutText(b, off, std::string_view(cc, 4));
}

struct Chunk {
    bool video;
    int frame;  // video frame, or the audio chunk's number
    std::vector<uint8_t> data;
    bool key;
};

std::vector<uint8_t> Tone(size_t samples, uint16_t channels, uint32_t sampleRate, int toneHz,
                          size_t firstSample) {
    std::vector<uint8_t> out(samples * channels * 2);
    for (size_t i = 0; i < samples; ++i) {
        double t = static_cast<double>(firstSample + i) / sampleRate;
        int16_t v = toneHz > 0 ? static_cast<int16_t>(6000 * std::sin(2 * M_PI * toneHz * t)) : 0;
        for (uint16_t c = 0; c < channels; ++c) {
            size_t o = (i * channels + c) * 2;
            out[o] = static_cast<uint8_t>(v & 0xFF);
            out[o + 1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
        }
    }
    return out;
}

// Cabin sound for the whole clip: low-passed noise for the road and a soft
// engine hum, at the level a recorder's microphone gives behind closed
// windows. Made in one piece so the chunks join without clicks.
std::vector<int16_t> CabinTrack(size_t samples, uint32_t sampleRate) {
    std::vector<int16_t> out(samples);
    double low = 0, lower = 0;
    uint32_t state = 0x12345u;
    for (size_t i = 0; i < samples; ++i) {
        state = state * 1664525u + 1013904223u;
        const double white = static_cast<double>(state >> 8) / 8388608.0 - 1.0;
        low += (white - low) * 0.08;
        lower += (low - lower) * 0.05;
        const double t = static_cast<double>(i) / sampleRate;
        const double hum =
            std::sin(2 * M_PI * 38 * t) * 0.5 + std::sin(2 * M_PI * 76 * t + 0.7) * 0.25;
        out[i] = static_cast<int16_t>(
            std::clamp(lower * 9000 + low * 1400 + hum * 500, -32000.0, 32000.0));
    }
    return out;
}

std::vector<uint8_t> Slice(const std::vector<int16_t>& track, size_t from, size_t samples,
                           uint16_t channels) {
    std::vector<uint8_t> out(samples * channels * 2);
    for (size_t i = 0; i < samples; ++i) {
        const int16_t v = from + i < track.size() ? track[from + i] : 0;
        for (uint16_t c = 0; c < channels; ++c) {
            size_t o = (i * channels + c) * 2;
            out[o] = static_cast<uint8_t>(v & 0xFF);
            out[o + 1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
        }
    }
    return out;
}

DateTime NameTime(std::string_view name) {
    DateTime t;
    auto num = [&](size_t pos) {
        if (pos + 2 > name.size() || name[pos] < '0' || name[pos] > '9' || name[pos + 1] < '0' ||
            name[pos + 1] > '9')
            return -1;
        return (name[pos] - '0') * 10 + (name[pos + 1] - '0');
    };
    int v[6] = {num(5), num(7), num(9), num(12), num(14), num(16)};
    if (std::all_of(v, v + 6, [](int x) { return x >= 0; }))
        t = DateTime{2000 + v[0], v[1], v[2], v[3], v[4], v[5]};
    return t;
}

}  // namespace

bool WriteClip(const fs::path& path, const ClipSpec& spec, ClipReport* reportOut,
               std::string* error) {
    ClipReport report;
    const std::string fileName = path.filename().string();
    const std::string& name = spec.name.empty() ? fileName : spec.name;
    const Layout layout =
        spec.layout.value_or(NameIsTimeLapse(name) ? Layout::Short : Layout::Full);
    const bool full = layout == Layout::Full;
    const bool audio = full && spec.audio.enabled;
    report.layout = layout;

    if (spec.damage.unreadable) {
        std::error_code ec;
        fs::remove(path, ec);
        std::ofstream(path, std::ios::binary | std::ios::trunc).close();
        if (!fs::exists(path) || chmod(path.c_str(), 0) != 0) {
            SetError(error, "cannot create " + path.string());
            return false;
        }
        if (reportOut) *reportOut = report;
        return true;
    }

    VideoSpec vspec = spec.video;
    auto video = MakeVideo(vspec, error);
    if (!video) return false;

    // Chunks in file order: each video frame, and after every
    // framesPerChunk frames an audio chunk with the sound of that stretch.
    std::vector<Chunk> chunks;
    const uint32_t sampleRate = std::max<uint32_t>(1, spec.audio.sampleRate);
    const uint16_t channels = std::max<uint16_t>(1, spec.audio.channels);
    const int perChunk = std::max(1, spec.audio.framesPerChunk);
    size_t samplesWritten = 0;
    int audioChunks = 0;
    std::vector<int16_t> cabin;
    if (audio && spec.audio.cabin)
        cabin = CabinTrack(static_cast<size_t>(std::llround(static_cast<double>(vspec.frames) *
                                                            sampleRate * vspec.scale / vspec.rate)),
                           sampleRate);
    for (int f = 0; f < vspec.frames; ++f) {
        Chunk c{true, f, video->units[static_cast<size_t>(f)], video->key[static_cast<size_t>(f)]};
        if (spec.damage.tinyVideoFrame == f) {
            // Start code, filler NAL (type 12) and filler bytes: 16 bytes.
            c.data = {0,    0,    0,    1,    0x0C, 0xFF, 0xFF, 0xFF,
                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80};
            c.key = false;
        }
        if (spec.damage.brokenStartCodeFrame == f && c.data.size() >= 4) c.data[3] = 0x02;
        chunks.push_back(std::move(c));
        if (audio && ((f + 1) % perChunk == 0 || f + 1 == vspec.frames)) {
            size_t upTo = static_cast<size_t>(
                std::llround(static_cast<double>(f + 1) * sampleRate * vspec.scale / vspec.rate));
            size_t n = upTo > samplesWritten ? upTo - samplesWritten : 0;
            chunks.push_back(Chunk{
                false, audioChunks++,
                spec.audio.cabin ? Slice(cabin, samplesWritten, n, channels)
                                 : Tone(n, channels, sampleRate, spec.audio.toneHz, samplesWritten),
                true});
            samplesWritten = upTo;
        }
    }

    const size_t headerSize = full ? kFullHeaderSize : kShortHeaderSize;
    const size_t moviFourcc = headerSize + 8;
    size_t moviData = 4;  // the "movi" list type
    uint32_t maxChunk = 0;
    for (const Chunk& c : chunks) {
        moviData += 8 + c.data.size() + (c.data.size() & 1);
        maxChunk = std::max<uint32_t>(maxChunk, static_cast<uint32_t>(c.data.size()));
    }
    const bool withIndex = !spec.damage.indexLost && !spec.damage.missingIndex;
    const size_t indexSize = withIndex ? 16 * chunks.size() : 0;

    std::vector<uint8_t> b(headerSize + kMoviListHeader, 0);
    b.reserve(headerSize + kMoviListHeader + moviData + 8 + indexSize);

    const uint32_t usPerFrame =
        static_cast<uint32_t>(std::llround(1e6 * vspec.scale / static_cast<double>(vspec.rate)));
    report.frameIntervalUs = usPerFrame;
    const uint32_t bytesPerSecAudio = sampleRate * channels * 2;

    PutFourcc(b, 0, "RIFF");
    PutFourcc(b, 8, "AVI ");
    PutFourcc(b, kHdrlList, "LIST");
    const size_t hdrlEnd = full ? kFullJunk : kShortJunk;
    Put32(b, kHdrlSize, static_cast<uint32_t>(hdrlEnd - (kHdrlSize + 4)));
    PutFourcc(b, kHdrlSize + 4, "hdrl");
    PutFourcc(b, kAvih, "avih");
    Put32(b, kAvih + 4, kStrhSize);
    Put32(b, kUsPerFrame, usPerFrame);
    Put32(b, kMaxBytesPerSec,
          static_cast<uint32_t>(static_cast<uint64_t>(maxChunk) * vspec.rate / vspec.scale +
                                (audio ? bytesPerSecAudio : 0)));
    Put32(b, kAviFlags, kAvifHasIndex | kAvifIsInterleaved);
    Put32(b, kTotalFrames, static_cast<uint32_t>(vspec.frames));
    Put32(b, kStreams, audio || full ? 2 : 1);
    Put32(b, kSuggestedBuffer, maxChunk + 8);
    Put32(b, kWidth, static_cast<uint32_t>(vspec.width));
    Put32(b, kHeight, static_cast<uint32_t>(vspec.height));

    PutFourcc(b, kVideoStrl, "LIST");
    Put32(b, kVideoStrl + 4, static_cast<uint32_t>(kAudioStrl - (kVideoStrl + 8)));
    PutFourcc(b, kVideoStrl + 8, "strl");
    PutFourcc(b, kVideoStrh, "strh");
    Put32(b, kVideoStrh + 4, kStrhSize);
    PutFourcc(b, kVideoType, "vids");
    PutFourcc(b, kVideoHandler, "H264");
    Put32(b, kVideoScale, vspec.scale);
    Put32(b, kVideoRate, vspec.rate);
    Put32(b, kVideoLength, static_cast<uint32_t>(vspec.frames));
    Put32(b, kVideoSuggestedBuffer, maxChunk);
    Put32(b, kVideoQuality, 0xFFFFFFFF);
    Put16(b, kVideoFrameRect + 4, static_cast<uint16_t>(vspec.width));
    Put16(b, kVideoFrameRect + 6, static_cast<uint16_t>(vspec.height));
    PutFourcc(b, kVideoStrf, "strf");
    Put32(b, kVideoStrf + 4, kBitmapInfoSize);
    Put32(b, kBitmapInfo, kBitmapInfoSize);
    Put32(b, kBitmapInfo + 4, static_cast<uint32_t>(vspec.width));
    Put32(b, kBitmapInfo + 8, static_cast<uint32_t>(vspec.height));
    Put16(b, kBitmapInfo + 12, 1);   // planes
    Put16(b, kBitmapInfo + 14, 24);  // bits per pixel
    PutFourcc(b, kBitmapInfo + 16, "H264");
    Put32(b, kBitmapInfo + 20, static_cast<uint32_t>(vspec.width * vspec.height * 3));

    if (full) {
        // The full layout always has the audio stream list; a clip written
        // without sound keeps it with zero chunks.
        PutFourcc(b, kAudioStrl, "LIST");
        Put32(b, kAudioStrl + 4, static_cast<uint32_t>(kFullJunk - (kAudioStrl + 8)));
        PutFourcc(b, kAudioStrl + 8, "strl");
        PutFourcc(b, kAudioStrh, "strh");
        Put32(b, kAudioStrh + 4, kStrhSize);
        PutFourcc(b, kAudioType, "auds");
        // PCM: one block (a sample of every channel) per time unit.
        Put32(b, kAudioScale, channels * 2u);
        Put32(b, kAudioRate, bytesPerSecAudio);
        Put32(b, kAudioLength, static_cast<uint32_t>(audioChunks));
        Put32(b, kAudioSuggestedBuffer, bytesPerSecAudio);
        Put32(b, kAudioQuality, 0xFFFFFFFF);
        Put32(b, kAudioSampleSize, channels * 2u);
        PutFourcc(b, kAudioStrf, "strf");
        Put32(b, kAudioStrf + 4, kWaveFormatChunk);
        Put16(b, kWaveFormat, 1);  // WAVE_FORMAT_PCM
        Put16(b, kWaveFormat + 2, channels);
        Put32(b, kWaveFormat + 4, sampleRate);
        Put32(b, kWaveFormat + 8, bytesPerSecAudio);
        Put16(b, kWaveFormat + 12, static_cast<uint16_t>(channels * 2));
        Put16(b, kWaveFormat + 14, 16);
        Put16(b, kWaveFormat + 16, 0);
    }
    const size_t junk = full ? kFullJunk : kShortJunk;
    PutFourcc(b, junk, "JUNK");
    Put32(b, junk + 4, kJunkData);

    PutFourcc(b, headerSize, "LIST");
    Put32(b, headerSize + 4, static_cast<uint32_t>(moviData));
    PutFourcc(b, headerSize + 8, "movi");
    report.moviOffset = moviFourcc;
    report.moviListSize = static_cast<uint32_t>(moviData);

    for (const Chunk& c : chunks) {
        size_t at = b.size();
        report.chunkOffsets.push_back(at);
        IndexEntry e;
        std::copy_n(c.video ? "00dc" : "01wb", 4, e.fourcc.begin());
        e.flags = c.key ? kIndexKeyFrame : 0;
        e.offset = static_cast<uint32_t>(at - moviFourcc);
        e.size = static_cast<uint32_t>(c.data.size());
        if (withIndex) report.index.push_back(e);
        b.resize(at + 8);
        PutFourcc(b, at, e.fourcc.data());
        Put32(b, at + 4, e.size);
        b.insert(b.end(), c.data.begin(), c.data.end());
        if (c.data.size() & 1) b.push_back(0);
        if (c.video) {
            ++report.videoFrames;
            if (c.key) ++report.keyFrames;
        } else {
            ++report.audioChunks;
        }
    }

    if (withIndex) {
        size_t at = b.size();
        report.idx1Offset = at;
        b.resize(at + 8);
        PutFourcc(b, at, "idx1");
        Put32(b, at + 4, spec.damage.indexSizeField.value_or(static_cast<uint32_t>(indexSize)));
        for (const IndexEntry& e : report.index) {
            size_t o = b.size();
            b.resize(o + 16);
            PutText(b, o, std::string_view(e.fourcc.data(), 4));
            Put32(b, o + 4, e.flags);
            Put32(b, o + 8, e.offset);
            Put32(b, o + 12, e.size);
        }
    }
    report.riffSize = static_cast<uint32_t>(b.size() - 8);
    Put32(b, kRiffSize, spec.damage.riffSizeZero ? 0 : report.riffSize);
    if (spec.damage.riffSizeZero) report.riffSize = 0;

    if (spec.sensor.present && !spec.damage.indexLost) {
        SensorSpec sensor = spec.sensor;
        if (sensor.samples.empty()) {
            DriveScript drive = spec.drive;
            if (!drive.start) drive.start = NameTime(name);
            if (drive.records <= 0) {
                // One record per step of video time over the clip.
                double stepMs = full ? 100.0 : 66.666664;
                double ms = vspec.frames * 1000.0 * vspec.scale / vspec.rate;
                drive.records = static_cast<int>(std::ceil(ms / stepMs));
            }
            if (name.size() > 0 && name[0] == 'P') drive.parked = true;
            sensor.samples = ScriptedDrive(drive);
        }
        report.sensorOffset = b.size();
        report.sensorRecords = static_cast<int>(sensor.samples.size());
        auto block = EncodeSensorBlock(sensor);
        b.insert(b.end(), block.begin(), block.end());
    }

    if (spec.damage.indexLost) {
        // Power lost while recording: nothing was finalised and the last
        // chunk is cut half way.
        Put32(b, kRiffSize, 0);
        Put32(b, headerSize + 4, 0);
        Put32(b, kTotalFrames, 0);
        Put32(b, kVideoLength, 0);
        if (full) Put32(b, kAudioLength, 0);
        report.riffSize = 0;
        report.moviListSize = 0;
        if (!chunks.empty()) {
            size_t last = report.chunkOffsets.back();
            b.resize(last + 8 + chunks.back().data.size() / 2);
        }
    }
    if (spec.damage.truncateInChunk) {
        size_t k = static_cast<size_t>(std::max(0, *spec.damage.truncateInChunk));
        if (k < chunks.size()) {
            size_t cut =
                report.chunkOffsets[k] + 8 + std::max<size_t>(1, chunks[k].data.size() / 2);
            if (cut < b.size()) b.resize(cut);
        }
    }
    report.fileSize = b.size();

    if (!detail::WriteFileAtomic(path, b, error)) return false;
    if (reportOut) *reportOut = std::move(report);
    return true;
}

}  // namespace trivexa::clipforge
