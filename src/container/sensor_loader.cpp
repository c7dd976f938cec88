#include "container/sensor_loader.h"

#include <array>
#include <cerrno>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace trivexa {
namespace {

std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}
MappingErrorHandler& Handler() {
    static MappingErrorHandler handler;
    return handler;
}

void ReportMappingError(int error) {
    const std::string text = std::generic_category().message(error != 0 ? error : EINVAL);
    MappingErrorHandler handler;
    {
        std::lock_guard lock(HandlerMutex());
        handler = Handler();
    }
    if (handler) handler(text);
}

// Decodes `block` into `load`: the header decoders always leave their header
// and record step; the entries replace the load's when the decoder succeeded
// or `keepEntries` is set.
bool RunDecoder(SensorLoadKind what, std::span<const std::byte> block, std::string_view path,
                bool keepEntries, SensorLoad& load) {
    SensorBlockData data;
    bool ok = true;
    switch (what) {
        case SensorLoadKind::kFull:
            ok = DecodeSensorBlock(block, path, data);
            load.data.header = data.header;
            load.data.msPerRecord = data.msPerRecord;
            break;
        case SensorLoadKind::kHeaderOnly:
            DecodeSensorHeader(block, path, data.header, data.msPerRecord);
            load.data.header = data.header;
            load.data.msPerRecord = data.msPerRecord;
            break;
        case SensorLoadKind::kPositionsOnly:
            ok = DecodeSensorPositions(block, data);
            break;
    }
    if (ok || keepEntries) {
        load.data.positions = std::move(data.positions);
        load.data.accels = std::move(data.accels);
        load.data.vehicles = std::move(data.vehicles);
        load.data.currentIndex = data.currentIndex;
    }
    return ok;
}

}  // namespace

void SetMappingErrorHandler(MappingErrorHandler handler) {
    std::lock_guard lock(HandlerMutex());
    Handler() = std::move(handler);
}

MappedWindow MapSensorWindow(const MappedFile& file, std::uint64_t offset, std::uint64_t length) {
    errno = 0;
    MappedWindow window = file.MapWindow(offset, length);
    if (!window) ReportMappingError(errno);
    return window;
}

SensorLoad LoadSensorBlock(const MappedFile& file, std::string_view path, SensorLoadKind what) {
    SensorLoad load;
    const bool wantsHeader = what != SensorLoadKind::kPositionsOnly;
    const std::uint64_t fileSize = file.Size();
    // Bytes that cannot be read fail the load like a view that cannot be mapped.
    auto unreadable = [&load] {
        ReportMappingError(EIO);
        load.ok = false;
        return std::move(load);
    };

    // One buffer per thread for the block: a fresh one per load costs more
    // in page faults than the decoding itself.
    thread_local std::vector<std::byte> buffer;

    // Fast path: the usual block fills exactly the last 598,068 bytes.
    if (const std::optional<std::uint64_t> usual = sensor::UsualBlockStart(fileSize)) {
        if (!file.ReadWindow(*usual, sensor::kUsualBlockSize, buffer) ||
            buffer.size() != sensor::kUsualBlockSize)
            return unreadable();
        const std::span<const std::byte> tail = buffer;
        ++load.views;
        if (sensor::HasMagicAt(tail, 0, sensor::kBlockMagic) &&
            RunDecoder(what, tail, path, false, load)) {
            if (wantsHeader) CopySensorModel(tail, load.data.header);
            load.ok = true;
            return load;
        }
    }

    // Search path: look for the block start in the last quarter, record by
    // record back from the smallest possible block.
    load.ok = true;
    const std::uint64_t start = sensor::SearchStart(fileSize);
    const std::uint64_t length = fileSize - start;
    if (length == 0) return load;  // an empty file holds no block
    const MappedWindow quarter = MapSensorWindow(file, start, length);
    if (!quarter) {
        load.ok = false;
        return load;
    }
    ++load.views;
    // Only the search runs in place; it reads six bytes per candidate.
    std::optional<std::size_t> found;
    auto search = [&] { found = sensor::SearchBlockStart(quarter.data(), quarter.size()); };
    if (!quarter.ReadGuarded(search)) return unreadable();
    if (found) {
        if (!file.ReadWindow(start + *found, quarter.size() - *found, buffer) ||
            buffer.size() != quarter.size() - *found)
            return unreadable();
        const std::span<const std::byte> block = buffer;
        RunDecoder(what, block, path, true, load);
        if (wantsHeader) CopySensorModel(block, load.data.header);
        // An odd block far from the end is not worth keeping room for.
        if (buffer.capacity() > 2 * sensor::kUsualBlockSize) std::vector<std::byte>().swap(buffer);
    }
    return load;
}

bool ReadSensorHeader(const platform::ReadOnlyFile& file, const std::string& path,
                      SensorHeader& out, bool withModel) {
    // The usual block ends the file at a known place: its header units and
    // the model near the end are read alone, instead of the whole block.
    constexpr std::size_t kHeaderPrefix = 4096;
    if (const std::optional<std::uint64_t> usual = sensor::UsualBlockStart(file.Size())) {
        std::array<std::byte, kHeaderPrefix> prefix;
        std::array<std::byte, sensor::kModelFromEnd> tail;
        if (file.ReadAt(*usual, prefix) == static_cast<std::int64_t>(prefix.size()) &&
            sensor::HasMagicAt(prefix, 0, sensor::kBlockMagic)) {
            SensorHeader header;
            float msPerRecord = 0;
            if (DecodeSensorHeader(prefix, path, header, msPerRecord)) {
                if (!withModel) {
                    out = header;
                    return true;
                }
                if (file.ReadAt(file.Size() - tail.size(), tail) ==
                    static_cast<std::int64_t>(tail.size())) {
                    CopySensorModel(tail, header);
                    out = header;
                    return true;
                }
            }
        }
    }
    MappedFile mapped;
    if (!mapped.Open(path)) return false;
    SensorLoad load = LoadSensorBlock(mapped, path, SensorLoadKind::kHeaderOnly);
    out = load.data.header;
    return load.ok;
}

bool ReadSensorQuality(const platform::ReadOnlyFile& file, const std::string& path, char& quality) {
    SensorHeader header;
    if (!ReadSensorHeader(file, path, header, /*withModel=*/false) || header.timeLapse == 0)
        return false;
    quality = header.quality;
    return true;
}

}  // namespace trivexa
