#include "app/core/ui_strings.h"

#include <atomic>
#include <cstdio>

#include "platform/locale.h"

namespace trivexa {
namespace {
std::atomic<int> g_language{0};
}  // namespace

int UiLanguage() { return g_language.load(std::memory_order_relaxed); }

void SetUiLanguage(int language) {
    if (language >= 0 && language < kUiLanguageCount)
        g_language.store(language, std::memory_order_relaxed);
}

void InitUiLanguage() {
    if (platform::UserLocaleIsEnglishUnitedStates()) SetUiLanguage(1);
}

const char* UiString(int id) { return UiStringTable(UiLanguage(), id); }

std::string UiCountText(int count) {
    // The stored text is a printf format with exactly one integer conversion.
    char buf[64];
    std::snprintf(buf, sizeof buf, UiString(kUiCountFormat), count);
    return buf;
}

}  // namespace trivexa
