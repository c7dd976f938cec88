#pragma once
// Finding a clip's sensor block on disk and decoding it. The block is read
// with positioned reads into memory; the one search done in place runs over a
// guarded mapping (platform/mapping.h), so a clip cut short, or a card pulled
// out, while it is read fails the load instead of the process.
//
// Called by SensorReader and the group track on whichever thread loads
// sensor data; the functions keep no state of their own apart from the
// mapping error handler and one block buffer per thread.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "container/mapped_file.h"
#include "container/sensor_decoder.h"

namespace trivexa {

// Called with the system's error text when a view of a clip cannot be mapped,
// or its bytes cannot be read (the clip was cut short, or its card removed,
// while it was being read); the viewer shows it in a message box captioned
// kMappingErrorCaption. It may be called on any thread that loads sensor
// data, so the handler must hand the text over to the user-interface thread
// itself.
using MappingErrorHandler = std::function<void(const std::string& text)>;
inline constexpr std::string_view kMappingErrorCaption = "Error Message";
void SetMappingErrorHandler(MappingErrorHandler handler);

// A window of `file`; a mapping failure is reported through the mapping error
// handler.
MappedWindow MapSensorWindow(const MappedFile& file, std::uint64_t offset, std::uint64_t length);

// How much of the block a load decodes.
enum class SensorLoadKind { kFull, kPositionsOnly, kHeaderOnly };

struct SensorLoad {
    // False when the file's bytes could not be read or mapped (reported
    // through the mapping error handler). A block that decodes only in
    // part (its count promised more records than it holds) still loads.
    bool ok = false;
    // Entries, header (kFull, kHeaderOnly) and the record step. When the
    // block at the usual place fails to decode, its header stays here even if
    // the search finds no other block.
    SensorBlockData data;
    // Windows of the file looked at: mapped views, and the block the fast
    // path reads in one positioned read.
    std::uint32_t views = 0;
};

// Finds the block of the open `file` (its name, `path`, decides time-lapse
// and parking handling) and decodes what `what` asks for. First the usual
// 4600-record block at the end of the file; when that is not there or does
// not decode, a search of the last quarter (sensor::SearchBlockStart). A file
// without any block loads as empty and ok. Throws std::bad_alloc like the
// decoder.
SensorLoad LoadSensorBlock(const MappedFile& file, std::string_view path, SensorLoadKind what);

// The header alone, for a clip already opened by the caller: the header units
// and the model are read alone when the block is where the recorder puts it,
// else the block is searched like a load. Callers that never look at the
// model (the CSV export) pass `withModel` false: the usual block's model is
// then not read, which saves a read per clip; the searched path fills it
// either way.
bool ReadSensorHeader(const platform::ReadOnlyFile& file, const std::string& path,
                      SensorHeader& out, bool withModel = true);

// The quality letter of the clip's data header, read without the model.
// False when there is no header to read: the header read also answers true
// for a clip without any block, but its decoder always sets the time-lapse
// letter, so a zero letter says nothing was read.
bool ReadSensorQuality(const platform::ReadOnlyFile& file, const std::string& path, char& quality);

}  // namespace trivexa
