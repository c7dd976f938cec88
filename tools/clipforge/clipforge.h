#pragma once
// clipforge: writes dash-camera clips and whole SD cards byte for byte in the
// recorder's layout, so that tests, benchmarks and the demo have recordings to
// read without a recorder at hand.
//
// It is written straight from the byte layouts and shares no code with the
// readers in src/container, so a test that reads a forge clip back checks the
// reader against an independent writer.
//
// Callers: tests, benchmarks, the fuzz seed command and the `clipforge`
// program. All functions are synchronous, may run on any thread, and report
// failures as return values with a one-line reason in `error` (when given).
// Encoded H.264 streams are cached on disk (see VideoSpec::cacheDir); writes to
// the cache go through a temporary name, so parallel test processes may share it.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trivexa::clipforge {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Names

// Builds a 30-character recording name, e.g.
// MakeName("AG_S", {2023,7,15,8,15,22}, 123, 'F') -> "AG_S-230715-081522-000123F.AVI".
// `kind` is the four letters before the first '-'; they are taken as given so
// that tests can also build names the grammar rejects.
struct DateTime {
    int year = 2023, month = 7, day = 15;
    int hour = 8, minute = 15, second = 22;
};
std::string MakeName(std::string_view kind, const DateTime& start, int sequence, char camera,
                     std::string_view extension = "AVI");

// The other camera's name: the letter before ".AVI" swapped between F and R.
std::string PartnerName(std::string_view name);

// Time-lapse recordings (first letter 'T' or third letter 'T') use the short
// header layout, carry no audio and space sensor records 66.67 ms apart.
bool NameIsTimeLapse(std::string_view name);
// Parking recordings live under Parking/ on a card ('P' first, or no mode
// letter and 'T' third).
bool NameIsParking(std::string_view name);

// ---------------------------------------------------------------------------
// Video

enum class VideoContent {
    H264,       // real H.264 from the ffmpeg program (libx264), cached on disk
    Synthetic,  // tiny fake access units (start code, NAL header, filler): fast, not decodable
};

// A city street seen from a car driving along it, drawn frame by frame: the
// pictures of the demo card, which a new user should take for a real camera's.
// They carry no frame marks. The street (buildings, trees, signals, other
// cars) follows from the seed alone, so the front and rear clips of one drive,
// and consecutive clips, show one consistent street.
struct RoadScene {
    uint32_t seed = 1;
    bool rear = false;  // the rear camera, looking back through the rear window
    // Distance driven along the street (metres) at each sensor record, taken
    // from the same drive as the clip's sensor block, so the picture moves at
    // the speed the records state. Empty or constant: the car stands still.
    std::vector<double> metres;
    double recordSeconds = 0.1;  // video seconds between two records
    double clockScale = 1.0;     // real seconds per video second (time-lapse: 14.985)
    DateTime start;              // real time of the first frame, for the time stamp
    std::vector<int> knocks;     // records at which the car is knocked: the picture shakes
    // Records during which a car follows much too close (the rear camera sees it).
    int tailgateBegin = -1, tailgateEnd = -1;
};

struct VideoSpec {
    int width = 160;
    int height = 96;
    // Frame rate as the stream header's rate / scale (27.5 fps: rate 55, scale 2).
    uint32_t rate = 30;
    uint32_t scale = 1;
    int frames = 60;
    int gop = 30;  // key frame every `gop` frames
    VideoContent content = VideoContent::H264;
    // Tints the picture so the two cameras look different ('F' bluish, 'R' warm).
    char camera = 'F';
    // Fine texture that moves with the scene below the mark band, so the
    // stream costs the decoder about what a real camera's does (benchmarks).
    // Without it the picture is flat and compresses to almost nothing.
    bool texture = false;
    // Where encoded streams are cached; empty: $CLIPFORGE_CACHE, else
    // <temp>/clipforge-cache.
    fs::path cacheDir;
    // When set, the pictures show this street instead of the frame-marked
    // test picture (and `texture` is ignored).
    std::optional<RoadScene> scene;
    int crf = 20;                     // x264 constant rate factor: higher is smaller and softer
    std::string preset = "veryfast";  // x264 preset: faster ones give bigger streams
};

// One access unit per frame, each in byte-stream form starting 00 00 00 01;
// key frames begin with an SPS (or an IDR slice).
struct VideoStream {
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint8_t>> units;
    std::vector<bool> key;
};

// Draws frames of `spec.scene` as planar 4:2:0 pictures, exactly as the
// encoder receives them (tests look at them without encoding).
std::vector<std::vector<uint8_t>> DrawSceneFrames(const VideoSpec& spec,
                                                  std::span<const int> numbers);

// Reads the recorder's stamp back from a road-scene picture at the size it
// was drawn (luma, or a grey picture, with its row stride):
// "YYYY/MM/DD hh:mm:ss". Nothing when no stamp is found there.
std::optional<std::string> ReadSceneStamp(std::span<const uint8_t> luma, int width, int height,
                                          int stride);

// Encodes (or fetches from the cache) the stream described by `spec`.
std::optional<VideoStream> MakeVideo(const VideoSpec& spec, std::string* error = nullptr);

// Every frame shows its number as a row of 18 large blocks across the top
// third of the picture: a white start block, 16 bits of the number (most
// significant first, white = 1), a black end block. The blocks survive
// compression and scaling; a mirrored picture reads with the guards swapped.
inline constexpr int kMarkBlocks = 18;
inline constexpr int kMarkBits = 16;

// Draws the luma plane of frame `number` (width × height bytes, no padding).
void DrawFrameLuma(int number, int width, int height, std::span<uint8_t> luma);

struct FrameMark {
    int number = -1;
    bool mirrored = false;  // the picture is flipped left to right
};
// Reads the frame number back from a luma (or grey) plane with the given row
// stride. Nothing when the guard blocks are not found.
std::optional<FrameMark> ReadFrameMark(std::span<const uint8_t> luma, int width, int height,
                                       int stride);

// ---------------------------------------------------------------------------
// Audio

struct AudioSpec {
    bool enabled = true;  // ignored (no audio) for the short layout
    // 16-bit PCM; a chunk is written after every `framesPerChunk` video frames.
    uint32_t sampleRate = 8000;
    uint16_t channels = 1;
    int framesPerChunk = 10;
    int toneHz = 440;  // 0: silence
    // The sound inside a car (engine hum and road rumble, quiet) instead of
    // the tone.
    bool cabin = false;
};

// ---------------------------------------------------------------------------
// Sensor block

// One 100 ms (66.67 ms in time-lapse clips) sample of the recorder's sensors,
// in the units the record stores. Each field becomes the record's text form.
struct SensorSample {
    bool fix = true;                             // GPS status 'A' when true, 'V' otherwise
    std::optional<double> latitude;              // signed degrees; nothing: nine spaces
    std::optional<double> longitude;             // signed degrees; nothing: ten spaces
    std::optional<int> speedKmh;                 // nothing: four spaces
    DateTime time;                               // local date and time of the sample
    std::optional<int> correction;               // seconds; nothing: '*'
    int voltageTenths = 124;                     // -1: three spaces
    int accelX = 0, accelY = 0, accelZ = -1000;  // thousandths of G
    bool manual = false;                         // mark 5
    char axis = 'X';                             // 'X', 'Y', 'Z' or another byte
    char driveSupport = 'N';                     // 'A', 'B', 'H' or 'N'
    bool emergencyStop = false;                  // mark 6
    bool parkingShock = false;                   // mark 7
    bool overspeed = false;                      // mark 8
    bool approach = false;                       // mark 9
    std::array<uint8_t, 4> vehicleStatus{'0', '0', '0', '0'};
    std::array<uint16_t, 18> vehicleWords{};  // stored low byte first
    char mic = 'R';                           // status byte: microphone state
    uint8_t levels = 0x00;                    // two 4-bit levels
};

inline constexpr size_t kRecordSize = 130;
inline constexpr size_t kSensorHeaderSize = 40;
inline constexpr size_t kSensorTrailerSize = 28;

// The 130-byte record of one sample.
std::array<uint8_t, kRecordSize> EncodeRecord(const SensorSample& s);

struct SensorHeaderUnit {
    std::array<int, 4> thresholds{300, 500, 800, 1000};  // thousandths of G, four digits each
    char mode = 'M';                                     // 'M' or 'D': thresholds valid
    std::string six = "000000";                          // copied through by readers
    char quality = 'H';
    char unit24 = '0';
    char positionMode = '3';
    char speedDisplay = '1';
    char receptionMark = '1';
};

enum class CountMode {
    Exact,      // header count = number of records (at most 0xFFFE; use Unlimited beyond)
    Unlimited,  // header count 0xFFFF: read until the trailer
    Zero,       // header count 0 (records still written)
    Given,      // header count = SensorSpec::headerCount
};

struct SensorSpec {
    bool present = true;
    std::vector<SensorSample> samples;  // empty: a scripted drive (see ScriptedDrive)
    // Slots in the block; those after the records are filled with spaces (the
    // recorder preallocates its block: a usual block has 4600 slots). 0: as
    // many slots as records.
    int slots = 0;
    CountMode countMode = CountMode::Exact;
    uint16_t headerCount = 0;
    std::optional<uint32_t> trailerCount;  // nothing: the number of slots
    std::string model = "PL21-XQR";        // eight characters in the trailer
    SensorHeaderUnit header;
    // Further header units chained through "@CS<letter>" markers. They lie
    // over the first record slot(s), which readers still decode as records;
    // the last unit carries the values that count.
    std::vector<SensorHeaderUnit> chained;
};

// A scripted drive: a road-like polyline through a town, with the GPS fix
// lost for a stretch, speeds that follow the road, three-axis accelerations
// with bumps, and events at the given record positions.
struct DriveScript {
    int records = 0;                   // 0: one record per record step of the clip's video
    std::optional<DateTime> start;     // nothing: the clip name's date and time
    double startLatitude = 35.6581;    // degrees
    double startLongitude = 139.7017;  // degrees
    uint32_t seed = 1;
    // Fix lost (status 'V', no position) for records [gapBegin, gapEnd).
    int gapBegin = -1, gapEnd = -1;
    // Record positions of events (negative: none).
    int shockAt = -1;  // a spike on one axis with axis letter
    int manualAt = -1;
    int overspeedAt = -1;
    int approachAt = -1;
    int brakingAt = -1;       // drive support 'B'
    int accelerationAt = -1;  // drive support 'A'
    int steeringAt = -1;      // drive support 'H'
    bool parked = false;      // speed 0, no fix, parking shock marks instead of shocks
    int voltageTenths = 124;
    char mic = 'R';
};
std::vector<SensorSample> ScriptedDrive(const DriveScript& script);

// The whole block (header, records, spare slots, trailer) as written.
std::vector<uint8_t> EncodeSensorBlock(const SensorSpec& spec);

// ---------------------------------------------------------------------------
// Clips

enum class Layout { Full, Short };
inline constexpr uint32_t kFullHeaderSize = 384;  // up to the movi list
inline constexpr uint32_t kShortHeaderSize = 280;

// Damage applied on request; several may be combined.
struct Damage {
    // The recorder lost power: RIFF size, movi size and frame counts left 0,
    // no idx1, no sensor block, and the file ends in the middle of a chunk.
    bool indexLost = false;
    // Sizes intact but no idx1 chunk (the sensor block follows the movi list).
    bool missingIndex = false;
    bool riffSizeZero = false;
    // The idx1 chunk's size field says this (8 or 15: no whole entry).
    std::optional<uint32_t> indexSizeField;
    // The file is cut half way into the data of this chunk (counted from 0
    // in file order over video and audio chunks); sizes stay as written.
    std::optional<int> truncateInChunk;
    // Video frame whose chunk starts 00 00 00 02 instead of 00 00 00 01.
    std::optional<int> brokenStartCodeFrame;
    // Video frame whose chunk is replaced by 16 bytes (start code + filler).
    std::optional<int> tinyVideoFrame;
    // Empty file with no permissions: no reader can map it (even as root).
    bool unreadable = false;
};

struct ClipSpec {
    // The recording name; empty: the file name of the path written. The
    // layout (and with it the audio) follows the name unless `layout` is
    // given; the scripted drive starts at the name's date and time.
    std::string name;
    std::optional<Layout> layout;
    VideoSpec video;
    AudioSpec audio;
    SensorSpec sensor;
    DriveScript drive;  // used when sensor.samples is empty
    Damage damage;
};

struct IndexEntry {
    std::array<char, 4> fourcc{};
    uint32_t flags = 0;
    uint32_t offset = 0;  // from the movi fourcc
    uint32_t size = 0;
};

// What was written, for tests to compare a reader against.
struct ClipReport {
    Layout layout = Layout::Full;
    uint64_t fileSize = 0;
    uint32_t riffSize = 0;
    uint32_t moviListSize = 0;           // as written in the header (0 when the index was lost)
    uint64_t moviOffset = 0;             // file offset of the movi fourcc (392 / 288)
    uint64_t idx1Offset = 0;             // 0 when no idx1 chunk was written
    uint64_t sensorOffset = 0;           // 0 when no sensor block was written
    std::vector<IndexEntry> index;       // entries as written (empty without idx1)
    std::vector<uint64_t> chunkOffsets;  // file offset of every chunk, file order
    int videoFrames = 0;
    int audioChunks = 0;
    int keyFrames = 0;
    int sensorRecords = 0;
    uint32_t frameIntervalUs = 0;
};

bool WriteClip(const fs::path& path, const ClipSpec& spec, ClipReport* report = nullptr,
               std::string* error = nullptr);

// ---------------------------------------------------------------------------
// Cards

// `DRFormatConfig.dfc`: 48 bytes not read, model (8), firmware "xxyyzz" (6),
// GPS data version (6 digits or spaces), padded to `size` bytes.
struct DfcSpec {
    std::string model = "PL21-XQR";
    std::string firmware = "010203";
    std::string gpsVersion = "000123";
    size_t size = 128;
};
std::vector<uint8_t> EncodeDfc(const DfcSpec& spec);

struct CardRecording {
    // A 30-character front or rear name; the other camera's name follows.
    std::string name;
    bool front = true;
    bool rear = true;
    // Empty: Normal or Parking by the name. Otherwise the top folder to use.
    std::string topFolder;
    std::optional<ClipSpec> clip;  // per-recording settings; else CardSpec::clip
    // The rear file's own settings (its name is set here); else the front's
    // with CardSpec::rearVideo.
    std::optional<ClipSpec> rearClip;
};

struct CardSpec {
    std::vector<CardRecording> recordings;
    ClipSpec clip;  // template: the name is replaced, the drive starts at the name's time
    std::optional<DfcSpec> dfc = DfcSpec{};
    bool pvtrace = false;
    // Rear clips get their own size, rate and key-frame distance; their frame
    // count follows the front clip's duration (content and cache as the front's).
    std::optional<VideoSpec> rearVideo;
};

// Writes the card under `root` (created when missing): Normal/{Front,Rear},
// Parking/{Front,Rear} always exist; clips go into their folders.
bool WriteCard(const fs::path& root, const CardSpec& spec, std::string* error = nullptr);

// The demo card: what the viewer opens when it is given nothing. A morning
// drive north along Karasuma-dori in Kyoto in consecutive clips with both
// cameras (front 1920x1080 at 30 fps, rear 1280x720 at 27.5 fps), with a
// shock, a manual recording, a car closing in from behind, hard braking and
// a stop at a red light; two parking recordings (one with a knock), a
// time-lapse recording and a recording cut off by a power loss.
//
// The card is built beside `root` and renamed into place when complete. A
// card that clipforge wrote is marked by a hidden stamp file; when `root`
// already holds the current demo card nothing is done, an older one is
// replaced, and any other existing folder is left alone (an error).
struct DemoOptions {
    // Synthetic: the same card with fake access units instead of pictures,
    // in a moment (for tests of its layout and sensor data; not playable).
    VideoContent content = VideoContent::H264;
    fs::path cacheDir;  // as VideoSpec::cacheDir
    // Streams encoded at once (each encoder uses two threads); 0: one per
    // processor, at most four.
    int workers = 0;
    // Told a line of what is being done, from the calling thread or a worker
    // (one call at a time).
    std::function<void(const std::string&)> progress;
};
bool WriteDemoCard(const fs::path& root, std::string* error = nullptr,
                   const DemoOptions& options = {});

// Name of the stamp file in a demo card's root.
inline constexpr const char* kDemoStamp = ".clipforge-demo";

// A small corpus of intact, damaged and odd clips for the fuzzers.
bool WriteSeeds(const fs::path& dir, std::string* error = nullptr);

}  // namespace trivexa::clipforge
