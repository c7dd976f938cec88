#pragma once
// Whether the trip panel shows the supply voltage: the card carries the
// recorder's trace file "pvtrace.txt" in its root (trace present), and the
// recording on screen is one the trace concerns (trace applies: its front
// name, else its rear name, has mode letter 'P', or option letter 'T' with a
// mode letter other than 'A', 'T' and 'P'). The file is only looked for,
// never read or written.
//
// Callers: the main window after it opens a source (TracePresent) and when a
// recording opens (TraceApplies), on the UI thread.

#include <string>
#include <string_view>

namespace trivexa {

inline constexpr const char* kTraceFileName = "pvtrace.txt";

// True when `isCard` (the source is an SD card) and `sourcePath` holds the
// trace file.
bool TracePresent(bool isCard, const std::string& sourcePath);

// True when the trace is present and the recording named `frontName` /
// `rearName` (either may be empty) qualifies.
bool TraceApplies(bool tracePresent, std::string_view frontName, std::string_view rearName);

}  // namespace trivexa
