#pragma once
// The user's locale, as far as the viewer cares about it.

namespace trivexa::platform {

// True when the user's message locale is English (United States): the first
// non-empty of LC_ALL, LC_MESSAGES and LANG starts with "en_US".
bool UserLocaleIsEnglishUnitedStates();

}  // namespace trivexa::platform
