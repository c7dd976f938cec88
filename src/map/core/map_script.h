#pragma once
// The calls of page functions the map host sends, as text, and which of the
// host's values each call reads.
//
// The page reads the host's values (connection, loader address, tracks,
// playback frame) synchronously, but over the web channel they can only be
// pushed to it ahead of time. So before a call goes out, the host pushes the
// values that call reads (ReadsOf), and the page never draws with values
// older than the call.
//
// Pure functions; any thread.

#include <string>
#include <string_view>
#include <vector>

namespace trivexa::map {

inline constexpr std::string_view kClearCrashPos = "cplist.ClearCrashPos()";
inline constexpr std::string_view kRemoveLineList = "orbitgrplist.RemoveLineList()";
inline constexpr std::string_view kCreateLine = "orbitgrplist.CreateLine()";
inline constexpr std::string_view kMoveMarker = "orbitgrplist.MoveMarker()";
// "orbitgrplist.CreateGridLine(%d)"
std::string CreateGridLineCall(int igrid);

// The calls of RedrawMap, in order: clear the event markers, remove the
// current recording's lines, the group track when `group` is set, then the
// current recording's track.
std::vector<std::string> RedrawCalls(int igrid, bool group);

// A number as C's "%f" writes it in the "C" locale: six decimals and a
// point, whatever the user's locale ("nan", "inf", "-inf" when not finite).
std::string FormatFixed6(double value);

// The values of the host object the page reads, by their method names.
enum class HostValue : int {
    kConnectTest = 0,  // JS2C_ConnectTest
    kMapUrl,           // JS2C_GetMapURL
    kGroupTrack,       // JS2C_GetGPSData
    kRecordingTrack,   // JS2C_GetGridData
    kPosition,         // JS2C_GetRelJpgNum
};
inline constexpr int kHostValueCount = 5;
std::string_view HostValueName(HostValue value);

// A set of host values.
class HostValues {
public:
    constexpr HostValues() = default;
    static constexpr HostValues All() { return HostValues((1u << kHostValueCount) - 1); }
    constexpr HostValues& Add(HostValue v) {
        bits_ |= Bit(v);
        return *this;
    }
    constexpr bool Has(HostValue v) const { return (bits_ & Bit(v)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    friend constexpr bool operator==(HostValues, HostValues) = default;

private:
    constexpr explicit HostValues(unsigned bits) : bits_(bits) {}
    static constexpr unsigned Bit(HostValue v) { return 1u << static_cast<int>(v); }
    unsigned bits_ = 0;
};

// The host values `script` reads when the page runs it: the group track for
// CreateLine, the recording's track and the playback frame for
// CreateGridLine (it moves the marker), the frame for MoveMarker; none for
// the event marker calls and RemoveLineList. A text that is none of the
// host's calls reads the frame, the one value that changes while playing.
HostValues ReadsOf(std::string_view script);

}  // namespace trivexa::map
