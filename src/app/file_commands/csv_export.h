#pragma once
// The recording list as a CSV file: one header line and one line per
// recording (name, date, start time, length, trigger, picture size class,
// quality, frame rate, front and rear file sizes), in the character set of
// the user's locale, lines ending in CR LF, no byte-order mark.
//
// The line builders are pure functions of what was read from the clips, so
// the formats have table tests; ReadCsvClip reads those facts from the card.
// WriteCsvFile is the whole export: the main window's CSV worker and
// `trivexa-cli csv` run it on their own thread. Nothing here touches a window.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "recordings/recording_library.h"

namespace trivexa {

// The file name pattern, filled from the first recording's name.
inline constexpr const char* kCsvFileNamePattern = "Dv_%Y%m%d_%H%M%S.csv";
// Frames of a time-lapse clip count this many times over in its length.
inline constexpr float kCsvTimeLapseFactor = 14.985f;
inline constexpr std::uint64_t kCsvBytesPerMegabyte = 1048576;

// What a data line needs from one recording's files.
struct CsvClip {
    std::string name;       // front file name, else rear file name
    bool readable = false;  // intact, header and embedded data header read
    std::uint32_t frames = 0;
    std::uint32_t rate = 0;
    std::uint32_t scale = 0;
    std::int32_t height = 0;
    char quality = 0;  // 'H' high; anything else is low
    std::uint64_t frontBytes = 0;
    std::uint64_t rearBytes = 0;
};

// Reads the facts of `entry`'s files: the header and the embedded data header
// of the front file (the rear file when there is none), the sizes of both.
// `readable` stays false for a clip the library found damaged, one whose
// header cannot be read or whose rate is 0, and one without embedded data.
// An entry the library's scan made (`scanned`) already carries the sizes and
// header fields, and the data header when the scan was asked for it
// (CollectRecordings' `withDataHeaders`); then no file is opened here.
CsvClip ReadCsvClip(const RecordingEntry& entry);

// The header line (UI strings 30, 29, 37, 36, 38, 35, 34, 32, 148, 149), UTF-8,
// with CR LF.
std::string CsvHeaderLine();
// The data line of a recording, UTF-8, with CR LF; the fallback line
// "<front name>,-,-,-,-,-,-,fps,0MB,0MB" when the clip was not readable.
std::string CsvDataLine(const CsvClip& clip);
// "<front name>,-,-,-,-,-,-,fps,0MB,0MB\r\n": the front name is empty for a
// recording without a front file.
std::string CsvFallbackLine(const RecordingEntry& entry);
// The line of `entry` as the export writes it.
std::string CsvLineFor(const RecordingEntry& entry);

// "Dv_20210503_070809.csv" from the first recording's name (front, else rear).
std::string CsvFileName(const RecordingEntry& first);

// The character set the file is written in: the locale's, except where that
// cannot hold the Japanese header (the C and POSIX locales' ASCII, or any
// charset iconv lacks), where the file is UTF-8 rather than question marks.
std::string CsvCharset(const std::string& localeCharset);

enum class CsvResult {
    kDone,
    kNoRecordings,  // nothing to export: UI string 99, then 93
    kCannotCreate,  // the folder cannot take the file: UI string 93 twice
    kExists,        // a file of that name exists and may not be replaced: 93 twice
    kCannotWrite,   // a write failed (disk full) or the file could not be put in place: 93 twice
    kCancelled,
};

struct CsvOptions {
    // Empty: CsvCharset(the locale's charset).
    std::string charset;
    // Replace a file of the same name (the user agreed); otherwise such a file
    // fails the export with kExists.
    bool replaceExisting = false;
};

struct CsvReport {
    CsvResult result = CsvResult::kCannotCreate;
    std::string path;     // the file written (or that would have been)
    std::string charset;  // what it was written in
    int lines = 0;        // data lines written
    std::string error;    // one line for logs and the CLI
};

// The UI strings the user sees for a result, in order (empty for done and
// cancelled).
std::vector<int> CsvResultMessages(CsvResult result);

// Writes the CSV file of `recordings` into `folder`, named after the first
// recording, under a temporary name that becomes the real one only when the
// last line is written: a failed or cancelled export leaves no file behind
// (and a replaced file untouched). `progress` gets (i, n) after line i and
// (n, n) at the end; `cancel` is read before every line. Runs on the calling
// thread.
CsvReport WriteCsvFile(const std::vector<RecordingEntry>& recordings, const std::string& folder,
                       const CsvOptions& options = {},
                       const std::function<void(int done, int total)>& progress = {},
                       const std::atomic<bool>* cancel = nullptr);

}  // namespace trivexa
