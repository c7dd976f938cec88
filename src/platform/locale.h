#pragma once
// The user's locale, as far as the viewer cares about it.

#include <string>
#include <string_view>

namespace trivexa::platform {

// True when the user's message locale is English (United States): the first
// non-empty of LC_ALL, LC_MESSAGES and LANG starts with "en_US".
bool UserLocaleIsEnglishUnitedStates();

// The character set of the user's locale for text (LC_ALL, LC_CTYPE, LANG, as
// the C library reads them), as iconv names it: "UTF-8", "EUC-JP",
// "ANSI_X3.4-1968" for the C locale. Read afresh on every call without
// touching the process's locale, so any thread may ask. A locale the system
// does not have gives the character set its name carries ("ja_JP.UTF-8"),
// else "UTF-8".
std::string LocaleCharset();

// `bytes` in `charset` as UTF-8. Every byte that is not valid in the charset,
// and a sequence cut off at the end, becomes U+FFFD, so any input gives valid
// UTF-8 of bounded size. An unknown charset is read as UTF-8. Safe on any
// thread (each call has its own converter).
std::string DecodeToUtf8(std::string_view bytes, const std::string& charset);

}  // namespace trivexa::platform
