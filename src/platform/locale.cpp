#include "platform/locale.h"

#include <cstdlib>
#include <string_view>

namespace trivexa::platform {

bool UserLocaleIsEnglishUnitedStates() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value == nullptr || *value == '\0') continue;
        std::string_view v(value);
        // "en_US", "en_US.UTF-8", "en_US@euro"; "en_USA" is no locale name.
        return v.starts_with("en_US") && (v.size() == 5 || v[5] == '.' || v[5] == '@');
    }
    return false;
}

}  // namespace trivexa::platform
