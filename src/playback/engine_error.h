#pragma once
// Failures of the playback engine as a code and a text for the window to
// show. The codes keep the values the rest of the viewer knows them by.

#include <cstdint>
#include <string>

namespace trivexa {

enum class EngineCode : std::uint32_t {
    kOk = 0,
    kNotImplemented = 0x80004001,
    kNoInterface = 0x80004002,
    kPointer = 0x80004003,
    kUnexpected = 0x8000FFFF,
    kFail = 0x80004005,
    // No decoder for the clip's video: the user is asked to install one.
    kNoDecoder = 0x80040200,
    kNotConnected = 0x80040209,
    kWrongState = 0x80040227,
    kOutOfMemory = 0x8007000E,
    kInvalidArg = 0x80070057,
    // The operation is not allowed in the engine's current state.
    kInvalidRequest = 0xC00D36B2,
    kUnsupportedByteStream = 0xC00D36C4,
    kShutdown = 0xC00D3E85,
};

struct EngineError {
    EngineCode code = EngineCode::kOk;
    std::string detail;  // technical detail for the log of a session, may be empty
    bool Ok() const { return code == EngineCode::kOk; }
};

// The text shown for a code: the symbolic name, the install-a-codec UI
// string for a missing decoder, or "Unknown 0x%x".
std::string EngineErrorText(EngineCode code);

}  // namespace trivexa
