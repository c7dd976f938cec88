// The demo card: a morning's drive in Kyoto as a recorder would have put it
// on its card. One simulated drive gives both the sensor records (position,
// speed, accelerations, event marks) and the camera's motion through the
// street, so the map, the graph, the trip panel and the pictures agree.

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <mutex>
#include <thread>

#include "clipforge/clipforge.h"
#include "clipforge/forge_internal.h"

namespace trivexa::clipforge {
namespace {

using detail::SetError;

// Bump when the card's contents change, so older demo cards are replaced.
constexpr int kDemoVersion = 3;

// Karasuma-dori runs straight north from Kyoto Station; the street of the
// pictures is laid along it, Z metres north of the Shiokoji crossing.
constexpr double kOriginLatitude = 34.98770;
constexpr double kLongitude = 135.75952;  // the northbound lanes
constexpr double kMetresPerDegreeLatitude = 110950.0;
constexpr double kMetresPerDegreeLongitude = 91300.0;
constexpr double kBlock = 120.0;   // crossing streets, as the pictures draw them
constexpr double kStopLine = 6.0;  // stop lines before the crossings
// Where the camera comes to rest behind a car waiting at the line: a few
// metres between the bumpers.
constexpr double kQueued = 10.5;

// Lengths of the clips. A recorder writes one-minute clips; the demo's are
// shorter so that a first build takes a few minutes on two cores, not tens.
constexpr double kDriveClipSeconds = 30.0;
constexpr int kDriveClips = 5;

constexpr int kFrontWidth = 1920, kFrontHeight = 1080;
constexpr int kRearWidth = 1280, kRearHeight = 720;

struct Brake {
    double at;     // seconds into the drive
    double to;     // m/s
    double decel;  // m/s²
};

struct DrivePlan {
    double startZ = 0;           // metres along the street
    double seconds = 0;          // length of the drive
    double recordSeconds = 0.1;  // real time between records (1 s in time-lapse)
    double cruise = 12.5;        // m/s
    double waitFirst = 0;        // seconds standing before moving off
    // Red lights: the crossing (block number) and how long the car waits.
    std::vector<std::pair<int64_t, double>> stops;
    std::vector<Brake> brakes;
    std::vector<std::pair<double, double>> hurry;  // seconds spent above the limit
    bool parked = false;
    uint32_t seed = 1;
};

struct DriveTrace {
    std::vector<double> z;      // metres, one per record
    std::vector<double> speed;  // m/s
    std::vector<double> accel;  // m/s², along the street
};

// A driver in town: moves off gently, keeps to the cruising speed, slows to
// a stop behind the car waiting at a red light and moves off again.
DriveTrace Simulate(const DrivePlan& plan) {
    DriveTrace out;
    const double dt = 0.05;
    const int perRecord = std::max(1, static_cast<int>(std::lround(plan.recordSeconds / dt)));
    const int records = static_cast<int>(std::ceil(plan.seconds / plan.recordSeconds)) + 3;
    double z = plan.startZ, v = 0, t = 0, waitUntil = plan.waitFirst, hold = -1, holdSpeed = 0,
           holdDecel = 0;
    size_t nextStop = 0;
    bool stopped = false;
    double prevV = 0;
    for (int r = 0; r < records; ++r) {
        out.z.push_back(z);
        out.speed.push_back(v);
        out.accel.push_back((v - prevV) / plan.recordSeconds);
        prevV = v;
        for (int k = 0; k < perRecord; ++k, t += dt) {
            double a = 0;
            double target = plan.cruise;
            for (auto [from, to] : plan.hurry)
                if (t >= from && t < to) target = plan.cruise * 1.3;
            if (plan.parked || t < waitUntil) {
                v = 0;
                continue;
            }
            for (const Brake& b : plan.brakes)
                if (t >= b.at && t < b.at + 0.1 && v > b.to) {
                    hold = b.at;
                    holdSpeed = b.to;
                    holdDecel = b.decel;
                }
            if (hold >= 0) {
                if (v > holdSpeed) {
                    a = -holdDecel;
                } else if (t > hold + 4.0) {
                    hold = -1;
                } else {
                    target = holdSpeed;
                }
            }
            if (a == 0) a = std::clamp((target - v) / 2.5, -2.0, 1.4);
            if (nextStop < plan.stops.size()) {
                // Stop behind the car waiting at the line.
                const double at = plan.stops[nextStop].first * kBlock - kStopLine - kQueued;
                const double left = at - z;
                if (!stopped && left < 80) {
                    const double need = left > 0.05 ? v * v / (2 * left) : 9;
                    if (need > 1.4) a = -std::min(need, 4.0);
                    if (left < 0.3 && v < 0.6) {
                        stopped = true;
                        v = 0;
                        waitUntil = t + plan.stops[nextStop].second;
                        continue;
                    }
                }
                if (stopped && t >= waitUntil) {
                    stopped = false;
                    ++nextStop;
                }
            }
            v = std::max(0.0, v + a * dt);
            z += v * dt;
        }
    }
    return out;
}

struct Marks {
    std::vector<int> knocks;  // shock (moving) or parking knock
    int manual = -1;
    int approachFrom = -1, approachTo = -1;
    std::vector<std::pair<int, int>> braking;
};

// Sensor records for records [first, first + count) of a trace, with the
// recording's events at record numbers relative to `first`.
std::vector<SensorSample> Records(const DriveTrace& trace, const DrivePlan& plan, int first,
                                  int count, const DateTime& start, const Marks& marks) {
    std::vector<SensorSample> out;
    uint32_t noise = plan.seed * 2654435761u + static_cast<uint32_t>(first);
    auto jitter = [&](double spread) {
        noise = noise * 1664525u + 1013904223u;
        return (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 2 * spread;
    };
    double driftN = 0, driftE = 0;
    for (int i = 0; i < count; ++i) {
        const auto k =
            static_cast<size_t>(std::min<int>(first + i, static_cast<int>(trace.z.size()) - 1));
        SensorSample s;
        const double seconds = i * plan.recordSeconds;
        s.time = detail::AddSeconds(start, static_cast<long>(std::floor(seconds + 1e-9)));
        // A good fix with a metre or two of wander.
        driftN += jitter(0.2) - driftN * 0.05;
        driftE += jitter(0.2) - driftE * 0.05;
        s.fix = !plan.parked;
        if (!plan.parked) {
            s.latitude = kOriginLatitude + (trace.z[k] + driftN) / kMetresPerDegreeLatitude;
            s.longitude = kLongitude + driftE / kMetresPerDegreeLongitude;
            s.speedKmh = static_cast<int>(std::lround(trace.speed[k] * 3.6));
        }
        const double along = trace.accel[k] / 9.81 * 1000;
        s.accelX = static_cast<int>(std::lround(along + jitter(18)));
        s.accelY = static_cast<int>(std::lround(jitter(22)));
        // The road's small bumps grow with speed.
        s.accelZ = static_cast<int>(std::lround(-1000 + jitter(10 + 4 * trace.speed[k])));
        // The recorder names an axis only in the records of a shock; every
        // other record carries no axis letter.
        s.axis = 'N';
        s.voltageTenths = plan.parked ? 124 : 141;
        s.mic = 'R';
        s.levels = static_cast<uint8_t>(((i / 50) % 4) << 4 | ((i / 70) % 3));
        for (size_t w = 0; w < s.vehicleWords.size(); ++w)
            s.vehicleWords[w] = static_cast<uint16_t>(w == 0 ? std::lround(trace.speed[k] * 3.6)
                                                             : static_cast<long>(w) * 10);
        for (int knock : marks.knocks) {
            if (i == knock) {
                if (plan.parked) {
                    s.accelY = 1240;  // a bump against the side of the parked car
                    s.accelX = -310;
                    s.axis = 'Y';
                } else {
                    s.accelZ = -2380;  // a hard jolt up through the wheels
                    s.accelX = -420;
                    s.axis = 'Z';
                }
            } else if (i == knock + 1) {
                s.accelZ = plan.parked ? -1180 : -240;
                s.accelY = plan.parked ? -520 : s.accelY;
            } else if (i == knock + 2) {
                s.accelZ = plan.parked ? -930 : -1460;
            }
            if (plan.parked && i >= knock && i < knock + 3) s.parkingShock = true;
        }
        s.manual = i == marks.manual;
        s.approach = i >= marks.approachFrom && i < marks.approachTo;
        for (auto [from, to] : marks.braking)
            if (i >= from && i < to) s.driveSupport = 'B';
        s.overspeed = !plan.parked && trace.speed[k] * 3.6 > 55;
        out.push_back(s);
    }
    return out;
}

struct Recording {
    std::string kind;  // the four letters
    DateTime start;
    int sequence;
    const DriveTrace* trace;
    const DrivePlan* plan;
    int firstRecord;
    double seconds;
    Marks marks;
    bool powerLost = false;
};

// The clip settings of one camera of a recording.
ClipSpec MakeClip(const Recording& rec, bool rear, const DemoOptions& options) {
    const bool timeLapse = rec.kind[0] == 'T' || rec.kind[2] == 'T';
    ClipSpec c;
    VideoSpec& v = c.video;
    v.width = rear ? kRearWidth : kFrontWidth;
    v.height = rear ? kRearHeight : kFrontHeight;
    if (timeLapse) {
        // One picture a second, played at 14.985 frames a second.
        v.rate = 14985;
        v.scale = 1000;
    } else if (rear) {
        v.rate = 55;  // 27.5 fps
        v.scale = 2;
    } else {
        v.rate = 30;
        v.scale = 1;
    }
    const double fps = static_cast<double>(v.rate) / v.scale;
    const double recordVideoSeconds = timeLapse ? 1.0 / fps : rec.plan->recordSeconds;
    const double videoSeconds = rec.seconds / (timeLapse ? fps : 1.0);
    v.frames = static_cast<int>(std::lround(videoSeconds * fps));
    v.gop = timeLapse ? 15 : 30;
    // A recorder's bit rate (about 9 Mbit/s at 1080p) at a speed that keeps a
    // first build of the card to a few minutes.
    v.crf = 23;
    v.preset = "superfast";
    v.content = options.content;
    v.cacheDir = options.cacheDir;
    v.camera = rear ? 'R' : 'F';
    RoadScene scene;
    scene.seed = 7;  // one street for every recording
    scene.rear = rear;
    scene.recordSeconds = recordVideoSeconds;
    scene.clockScale = timeLapse ? fps : 1.0;
    scene.start = rec.start;
    const auto& z = rec.trace->z;
    const int records = static_cast<int>(std::ceil(videoSeconds / recordVideoSeconds));
    for (int i = 0; i <= records + 1; ++i)
        scene.metres.push_back(z[static_cast<size_t>(
            std::min<int>(rec.firstRecord + i, static_cast<int>(z.size()) - 1))]);
    scene.knocks = rec.marks.knocks;
    scene.tailgateBegin = rec.marks.approachFrom;
    scene.tailgateEnd = rec.marks.approachTo;
    v.scene = scene;

    c.audio.cabin = true;
    c.sensor.slots = 4600;  // the recorder's preallocated block
    c.sensor.samples =
        Records(*rec.trace, *rec.plan, rec.firstRecord, records, rec.start, rec.marks);
    c.damage.indexLost = rec.powerLost;
    return c;
}

DateTime At(const DateTime& day, int hour, int minute, int second) {
    DateTime t = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

int Processors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

// Encodes every stream into the cache before the card is written, several at
// once: drawing a picture and encoding it each keep about one processor busy,
// so one encoder at a time would leave the second processor of a small
// machine half idle.
bool EncodeAll(const std::vector<std::pair<std::string, VideoSpec>>& streams,
               const DemoOptions& options, std::string* error) {
    const int workers = options.workers > 0 ? options.workers : std::min(4, Processors());
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex lock;
    std::string firstError;
    size_t done = 0;
    auto work = [&] {
        for (size_t i = next++; i < streams.size() && !failed; i = next++) {
            std::string why;
            const bool ok = MakeVideo(streams[i].second, &why).has_value();
            std::lock_guard<std::mutex> hold(lock);
            if (!ok) {
                if (!failed.exchange(true)) firstError = streams[i].first + ": " + why;
                return;
            }
            ++done;
            if (options.progress)
                options.progress("pictures of " + streams[i].first + " ready (" +
                                 std::to_string(done) + " of " + std::to_string(streams.size()) +
                                 ")");
        }
    };
    {
        std::vector<std::jthread> pool;
        for (int k = 0; k < workers; ++k) pool.emplace_back(work);
    }
    if (failed) SetError(error, firstError);
    return !failed;
}

// The card's recordings, both cameras' clips each.
CardSpec DemoCardSpec(const DemoOptions& options) {
    const DateTime day{2024, 5, 18, 0, 0, 0};
    CardSpec card;
    card.pvtrace = true;

    // The morning drive: waits at a red light by Kyoto Station, drives north,
    // stops at another light, brakes hard once.
    DrivePlan morning;
    morning.startZ = 2 * kBlock - kStopLine - kQueued;  // waiting at the second crossing
    morning.seconds = kDriveClipSeconds * kDriveClips;
    morning.waitFirst = 5.0;
    morning.stops = {{8, 14.0}};
    morning.brakes = {{128.0, 4.5, 6.0}};
    morning.hurry = {{136.0, 144.0}};
    morning.seed = 3;
    const DriveTrace drive = Simulate(morning);

    std::vector<Recording> recs;
    const char* kinds[kDriveClips] = {"A__S", "AG__", "AM__", "AD__", "A___"};
    const auto perClip = static_cast<int>(std::lround(kDriveClipSeconds / morning.recordSeconds));
    for (int i = 0; i < kDriveClips; ++i) {
        Recording r{kinds[i],
                    detail::AddSeconds(At(day, 9, 30, 0), static_cast<long>(i * kDriveClipSeconds)),
                    100 + i,
                    &drive,
                    &morning,
                    i * perClip,
                    kDriveClipSeconds,
                    {},
                    false};
        recs.push_back(r);
    }
    // Events at record numbers within their clips.
    recs[1].marks.knocks = {112};  // a pothole
    recs[2].marks.manual = 140;    // the driver presses the record button at the light
    recs[3].marks.approachFrom = 60;
    recs[3].marks.approachTo = 150;
    recs[4].marks.braking = {{80, 84}};

    // Parked in the afternoon: a quiet recording, then one with a knock.
    DrivePlan parked;
    parked.startZ = 12 * kBlock + 45.0;
    parked.seconds = 20;
    parked.parked = true;
    parked.seed = 5;
    const DriveTrace still = Simulate(parked);
    recs.push_back({"P__S", At(day, 13, 5, 12), 105, &still, &parked, 0, 20, {}, false});
    recs.push_back({"PG__", At(day, 13, 20, 40), 106, &still, &parked, 0, 20, {}, false});
    recs.back().marks.knocks = {82};

    // A time-lapse recording further north: one picture a second.
    DrivePlan north;
    north.startZ = 27 * kBlock + 20;
    north.seconds = 240;
    north.recordSeconds = 1.0;
    north.cruise = 13.0;
    north.stops = {{33, 35.0}, {44, 20.0}};
    north.seed = 9;
    const DriveTrace lapse = Simulate(north);
    recs.push_back({"T__S", At(day, 14, 0, 0), 107, &lapse, &north, 0, 240, {}, false});

    // Cut off by a power loss: no index, no sizes, no sensor block. The
    // viewer marks it and plays it from a repaired copy.
    DrivePlan last;
    last.startZ = 52 * kBlock + 30;
    last.seconds = 15;
    last.seed = 11;
    const DriveTrace cut = Simulate(last);
    recs.push_back({"A__S", At(day, 15, 10, 0), 108, &cut, &last, 0, 15, {}, true});

    for (const Recording& r : recs) {
        CardRecording cr;
        cr.name = MakeName(r.kind, r.start, r.sequence, 'F');
        cr.clip = MakeClip(r, false, options);
        cr.rearClip = MakeClip(r, true, options);
        card.recordings.push_back(std::move(cr));
    }
    return card;
}

bool WriteDemoInto(const fs::path& root, const DemoOptions& options, std::string* error) {
    const CardSpec card = DemoCardSpec(options);
    std::vector<std::pair<std::string, VideoSpec>> streams;
    for (const CardRecording& cr : card.recordings) {
        streams.emplace_back(cr.name, cr.clip->video);
        streams.emplace_back(PartnerName(cr.name), cr.rearClip->video);
    }
    if (options.content == VideoContent::H264 && !EncodeAll(streams, options, error)) return false;
    if (options.progress) options.progress("writing the clips");
    if (!WriteCard(root, card, error)) return false;
    const std::string stamp = "clipforge demo card " + std::to_string(kDemoVersion) + "\n";
    return detail::WriteFileAtomic(root / kDemoStamp,
                                   std::vector<uint8_t>(stamp.begin(), stamp.end()), error);
}

bool IsCurrent(const fs::path& root) {
    std::ifstream in(root / kDemoStamp);
    std::string line;
    std::getline(in, line);
    return line == "clipforge demo card " + std::to_string(kDemoVersion);
}

}  // namespace

bool WriteDemoCard(const fs::path& root, std::string* error, const DemoOptions& options) {
    std::error_code ec;
    if (fs::exists(root, ec)) {
        if (IsCurrent(root)) return true;
        const bool ours = fs::exists(root / kDemoStamp, ec);
        const bool empty = fs::is_directory(root, ec) && fs::is_empty(root, ec);
        if (!ours && !empty) {
            SetError(error, root.string() + " exists and is not a demo card; not replaced");
            return false;
        }
    }
    // A new card is built beside its place and renamed in when complete, so
    // an interrupted run never leaves a half card that looks finished.
    fs::path tmp = root;
    tmp += ".partial";
    if (options.progress) options.progress("building the demo card in " + tmp.string());
    fs::remove_all(tmp, ec);
    if (!WriteDemoInto(tmp, options, error)) {
        fs::remove_all(tmp, ec);
        return false;
    }
    if (fs::exists(root, ec)) {
        fs::path old = root;
        old += ".old";
        fs::remove_all(old, ec);
        fs::rename(root, old, ec);
        if (!ec) fs::remove_all(old, ec);
    }
    fs::rename(tmp, root, ec);
    if (ec) {
        fs::remove_all(tmp, ec);
        SetError(error, "cannot rename the demo card into " + root.string());
        return false;
    }
    return true;
}

}  // namespace trivexa::clipforge
