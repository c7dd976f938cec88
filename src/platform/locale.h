#pragma once
// The user's locale, as far as the viewer cares about it, and the one place
// where the core reaches the C library's locale-dependent conversions.
//
// Numbers in the recorder's files and in the settings file use '.' whatever
// the user's locale (the viewer's GUI takes its locale from the environment),
// so they are parsed and formatted in the C locale here. All functions are
// safe on any thread.

#include <cstddef>
#include <optional>
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

// A number read from the start of a text.
struct ParsedNumber {
    double value = 0.0;
    std::size_t length = 0;   // characters taken; 0 when no number starts the text
    bool outOfRange = false;  // the value overflowed (or underflowed) a double
};

// strtod in the C locale: leading white space, sign, digits with '.' as the
// decimal point, exponent, "inf"/"nan" and hex forms. Reading stops at the
// first other character (and at a zero byte).
ParsedNumber ParseDoubleInCLocale(std::string_view text);

// `value` with six decimals, as printf's "%f" writes it in the C locale.
std::string FormatFixedInCLocale(double value);
// The character sets that hold nothing beyond ASCII (the C and POSIX
// locales' "ANSI_X3.4-1968", "US-ASCII", "ASCII"), whatever their spelling.
bool IsAsciiCharset(const std::string& charset);

// UTF-8 `text` in `charset`, the other direction of DecodeToUtf8. A character
// the charset cannot hold, and any byte that is not valid UTF-8, becomes '?'
// (what the system's conversions write); `replaced` (when given) counts them.
// Nothing when the charset is unknown to iconv. No byte-order mark is
// written. Safe on any thread.
std::optional<std::string> EncodeFromUtf8(std::string_view text, const std::string& charset,
                                          std::size_t* replaced = nullptr);

// The offset from UTC, in minutes east, of the user's time zone at the given
// local wall-clock time (the zone's rules for that date, daylight saving
// included). Nothing when the C library cannot place that time.
std::optional<int> LocalUtcOffsetMinutes(int year, int month, int day, int hour, int minute,
                                         int second);

}  // namespace trivexa::platform
