#include "app/file_commands/csv_export.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <span>

#include "app/core/ui_strings.h"
#include "container/avi_reader.h"
#include "container/sensor_loader.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/mapping.h"
#include "platform/output_file.h"
#include "recordings/recording_name.h"

namespace trivexa {
namespace {

constexpr int kHeaderIds[] = {30, 29, 37, 36, 38, 35, 34, 32, 148, 149};
constexpr int kUiHighQuality = 55;
constexpr int kUiLowQuality = 56;
constexpr int kUiTimeLapse = 159;
constexpr int kUiNoRecordings = 99;
constexpr int kUiCannotCreate = 93;

std::uint32_t Le32(std::span<const std::byte> bytes, std::uint64_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | std::to_integer<std::uint32_t>(bytes[offset + static_cast<unsigned>(i)]);
    return v;
}

std::string Format(const char* format, const SystemTime& t) {
    // Only the fields of the patterns used here: %Y %m %d %H %M %S.
    std::string out;
    char field[8];
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0') {
            out += *p;
            continue;
        }
        switch (*++p) {
            case 'Y':
                std::snprintf(field, sizeof field, "%04u", static_cast<unsigned>(t.year));
                break;
            case 'm':
                std::snprintf(field, sizeof field, "%02u", static_cast<unsigned>(t.month));
                break;
            case 'd':
                std::snprintf(field, sizeof field, "%02u", static_cast<unsigned>(t.day));
                break;
            case 'H':
                std::snprintf(field, sizeof field, "%02u", static_cast<unsigned>(t.hour));
                break;
            case 'M':
                std::snprintf(field, sizeof field, "%02u", static_cast<unsigned>(t.minute));
                break;
            case 'S':
                std::snprintf(field, sizeof field, "%02u", static_cast<unsigned>(t.second));
                break;
            default:
                field[0] = *p;
                field[1] = '\0';
                break;
        }
        out += field;
    }
    return out;
}

std::string Megabytes(std::uint64_t bytes) {
    return std::to_string(bytes / kCsvBytesPerMegabyte) + "MB";
}

}  // namespace

namespace {

// The facts of an entry the library's scan made: sizes and header fields come
// from the scan, which had every file open a moment ago. So does the embedded
// data header when the scan was asked for it; otherwise it is read here, one
// read of the key clip.
CsvClip CsvClipFromScan(const RecordingEntry& entry) {
    CsvClip clip;
    clip.name = KeyName(entry);
    const bool front = !entry.frontPath.empty();
    const ClipVideoFacts& video = front ? entry.frontVideo : entry.rearVideo;
    clip.frontBytes = entry.frontBytes;
    clip.rearBytes = entry.rearBytes;
    if ((front ? entry.frontDamaged : entry.rearDamaged) || !video.read) return clip;
    clip.scale = video.scale;
    clip.rate = video.rate;
    clip.frames = video.frames;
    clip.height = video.height;
    if (clip.rate == 0 || clip.scale == 0) return clip;
    switch (entry.dataHeader) {
        case DataHeaderScan::kRead:
            clip.quality = entry.dataQuality;
            clip.readable = true;
            return clip;
        case DataHeaderScan::kNotReadable:
            return clip;
        case DataHeaderScan::kNotAsked:
            break;
    }
    const std::string& path = KeyPath(entry);
    platform::ReadOnlyFile file;
    clip.readable = file.Open(path) && ReadSensorQuality(file, path, clip.quality);
    return clip;
}

}  // namespace

CsvClip ReadCsvClip(const RecordingEntry& entry) {
    if (entry.scanned) return CsvClipFromScan(entry);
    CsvClip clip;
    clip.name = KeyName(entry);
    const std::string& path = KeyPath(entry);
    const bool front = !entry.frontPath.empty();
    // The other camera's file only gives its size.
    if (front) clip.rearBytes = platform::RegularFileSize(entry.rearPath);

    platform::ReadOnlyFile file;
    if (path.empty() || !file.Open(path)) return clip;
    (front ? clip.frontBytes : clip.rearBytes) = file.Size();
    const bool damaged = front ? entry.frontDamaged : entry.rearDamaged;
    if (damaged) return clip;

    std::array<std::byte, avi::kFullHeaderSize> header{};
    const ClipLayout layout = LayoutForPath(path);
    const std::uint64_t headerSize = avi::HeaderSize(layout);
    if (file.ReadAt(0, std::span(header).first(headerSize)) !=
        static_cast<std::int64_t>(headerSize))
        return clip;
    clip.scale = Le32(header, avi::kVideoScaleOffset);
    clip.rate = Le32(header, avi::kVideoRateOffset);
    clip.frames = Le32(header, avi::kVideoLengthOffset);
    clip.height = static_cast<std::int32_t>(Le32(header, avi::kBitmapHeightOffset));
    // A rate or scale of 0 gives no frame rate to compute the length with.
    if (clip.rate == 0 || clip.scale == 0) return clip;

    // The embedded data header. The list was collected (every clip checked)
    // by this same export just before, so the clip is not checked again.
    clip.readable = ReadSensorQuality(file, path, clip.quality);
    return clip;
}

std::string CsvHeaderLine() {
    std::string line;
    for (int id : kHeaderIds) line += UiString(id);
    return line + "\r\n";
}

std::string CsvFallbackLine(const RecordingEntry& entry) {
    return entry.frontName + ",-,-,-,-,-,-,fps,0MB,0MB\r\n";
}

std::string CsvDataLine(const CsvClip& clip) {
    const SystemTime t = RecordingDateTime(clip.name);
    const bool dated = t.year != 0;
    const bool timeLapse = IsTimeLapse(clip.name);

    // Single precision throughout, as the recorder's tools compute it.
    const float fps = static_cast<float>(clip.rate) / static_cast<float>(clip.scale);
    std::int64_t frames = clip.frames;
    if (timeLapse)
        frames = static_cast<std::int64_t>(static_cast<float>(frames) * kCsvTimeLapseFactor);
    const float seconds = static_cast<float>(frames) / fps;
    // A length beyond what an int holds cannot come from a real clip; it
    // reads as the largest one rather than as an undefined conversion.
    const std::int64_t s =
        seconds < 2147483647.0f ? static_cast<std::int64_t>(seconds) : 2147483647;
    char length[32];
    std::snprintf(length, sizeof length, "%02" PRId64 ":%02" PRId64 ":%02" PRId64, s / 3600,
                  s % 3600 / 60, s % 60);

    const std::string sizeClass = ResolutionClass(clip.height);
    std::string quality;
    if (!sizeClass.empty())
        quality = UiString(clip.quality == 'H' ? kUiHighQuality : kUiLowQuality);
    std::string rate;
    if (timeLapse) {
        rate = UiString(kUiTimeLapse);
    } else {
        char text[64];
        std::snprintf(text, sizeof text, "%.1ffps", static_cast<double>(fps));
        rate = text;
    }

    std::string line = clip.name;
    line += ',';
    line += dated ? Format("%Y/%m/%d", t) : "--/--/--";
    line += ',';
    line += dated ? Format("%H:%M:%S", t) : "--:--:--";
    line += ',';
    line += length;
    line += ',';
    line += TriggerText(clip.name);
    line += ',';
    line += sizeClass;
    line += ',';
    line += quality;
    line += ',';
    line += rate;
    line += ',';
    line += Megabytes(clip.frontBytes);
    line += ',';
    line += Megabytes(clip.rearBytes);
    return line + "\r\n";
}

std::string CsvLineFor(const RecordingEntry& entry) {
    const CsvClip clip = ReadCsvClip(entry);
    return clip.readable ? CsvDataLine(clip) : CsvFallbackLine(entry);
}

std::string CsvFileName(const RecordingEntry& first) {
    return Format(kCsvFileNamePattern, RecordingDateTime(KeyName(first)));
}

std::string CsvCharset(const std::string& localeCharset) {
    if (localeCharset.empty() || platform::IsAsciiCharset(localeCharset)) return "UTF-8";
    std::size_t replaced = 0;
    const auto header = platform::EncodeFromUtf8(CsvHeaderLine(), localeCharset, &replaced);
    if (!header || replaced != 0) return "UTF-8";
    return localeCharset;
}

std::vector<int> CsvResultMessages(CsvResult result) {
    switch (result) {
        case CsvResult::kNoRecordings:
            return {kUiNoRecordings, kUiCannotCreate};
        case CsvResult::kCannotCreate:
        case CsvResult::kExists:
        case CsvResult::kCannotWrite:
            return {kUiCannotCreate, kUiCannotCreate};
        case CsvResult::kDone:
        case CsvResult::kCancelled:
            return {};
    }
    return {};
}

CsvReport WriteCsvFile(const std::vector<RecordingEntry>& recordings, const std::string& folder,
                       const CsvOptions& options,
                       const std::function<void(int done, int total)>& progress,
                       const std::atomic<bool>* cancel) {
    CsvReport report;
    report.charset =
        options.charset.empty() ? CsvCharset(platform::LocaleCharset()) : options.charset;
    if (recordings.empty()) {
        report.result = CsvResult::kNoRecordings;
        report.error = "the source holds no recordings";
        return report;
    }
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    report.path = (base == "/" ? base : base + "/") + CsvFileName(recordings.front());

    {
        // Never written over one of the recordings it lists (a link of that
        // name to a clip).
        std::vector<std::string> inputs;
        inputs.reserve(recordings.size() * 2);
        for (const RecordingEntry& e : recordings) {
            inputs.push_back(e.frontPath);
            inputs.push_back(e.rearPath);
        }
        if (platform::IsOneOfInputs(report.path, inputs)) {
            report.result = CsvResult::kCannotCreate;
            report.error = report.path + " would replace one of the recordings";
            return report;
        }
    }
    if (!options.replaceExisting && platform::PathExists(report.path)) {
        report.result = CsvResult::kExists;
        report.error = report.path + " already exists";
        return report;
    }
    const auto encode = [&](const std::string& text) {
        return platform::EncodeFromUtf8(text, report.charset);
    };
    platform::OutputFile out;
    const auto header = encode(CsvHeaderLine());
    if (!header || !out.Create(report.path)) {
        report.result = CsvResult::kCannotCreate;
        report.error = header ? "cannot create a file in " + base
                              : "the character set " + report.charset + " is unknown";
        return report;
    }
    const auto write = [&](const std::string& bytes) {
        return out.Write(std::as_bytes(std::span(bytes.data(), bytes.size())));
    };
    const auto writeFailed = [&] {
        report.result = CsvResult::kCannotWrite;
        report.error = "cannot write " + report.path + " (disk full?)";
        return report;
    };
    if (!write(*header)) return writeFailed();

    // Lines are converted and written in batches: one conversion and one
    // write per batch instead of per line (the lines end in CR LF, so a
    // batch never splits a character).
    constexpr std::size_t kBatchBytes = 64 * 1024;
    std::string pending;
    const auto flush = [&] {
        if (pending.empty()) return true;
        // Characters the charset lacks (a name outside the recorder's
        // grammar) become '?', as the system's conversion writes them.
        const auto bytes = encode(pending);
        pending.clear();
        return bytes && write(*bytes);
    };
    const int n = static_cast<int>(recordings.size());
    for (int i = 0; i < n; ++i) {
        if (cancel != nullptr && cancel->load()) {
            report.result = CsvResult::kCancelled;
            report.error = "cancelled";
            return report;
        }
        pending += CsvLineFor(recordings[static_cast<std::size_t>(i)]);
        if (pending.size() >= kBatchBytes && !flush()) return writeFailed();
        ++report.lines;
        if (progress) progress(i, n);
    }
    if (!flush()) return writeFailed();
    if (!out.Commit(/*replace=*/options.replaceExisting)) {
        report.result = options.replaceExisting ? CsvResult::kCannotWrite : CsvResult::kExists;
        report.error = options.replaceExisting ? "cannot put the file in place as " + report.path
                                               : report.path + " already exists";
        return report;
    }
    if (progress) progress(n, n);
    report.result = CsvResult::kDone;
    return report;
}

}  // namespace trivexa
