#include "playback/engine_error.h"

#include <cstdio>

#include "app/core/ui_strings.h"

namespace trivexa {

std::string EngineErrorText(EngineCode code) {
    switch (code) {
        case EngineCode::kNotImplemented:
            return "E_NOTIMPL";
        case EngineCode::kNoInterface:
            return "E_NOINTERFACE";
        case EngineCode::kPointer:
            return "E_POINTER";
        case EngineCode::kNoDecoder: {
            const char* text = UiString(kUiInstallCodec);
            if (text != nullptr && *text != '\0') return text;
            break;
        }
        case EngineCode::kNotConnected:
            return "VFW_E_NOT_CONNECTED";
        case EngineCode::kWrongState:
            return "VFW_E_WRONG_STATE";
        case EngineCode::kOutOfMemory:
            return "E_OUTOFMEMORY";
        case EngineCode::kInvalidArg:
            return "E_INVALIDARG";
        default:
            break;
    }
    char buffer[260];
    std::snprintf(buffer, sizeof buffer, "Unknown 0x%x", static_cast<unsigned>(code));
    return buffer;
}

}  // namespace trivexa
