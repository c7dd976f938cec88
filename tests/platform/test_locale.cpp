// The locale's character set and the conversion of fetched text to UTF-8.
#include <gtest/gtest.h>

#include "platform/locale.h"
#include "support/local_http_server.h"

namespace trivexa::platform {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

TEST(PlatformLocale, CharsetFollowsTheEnvironmentEvenForLocalesNotInstalled) {
    test::ScopedEnv lcAll("LC_ALL", "C.UTF-8");
    EXPECT_EQ(LocaleCharset(), "UTF-8");
    {
        test::ScopedEnv c("LC_ALL", "C");
        EXPECT_EQ(LocaleCharset(), "ANSI_X3.4-1968");
    }
    {
        test::ScopedEnv missing("LC_ALL", "ja_JP.EUC-JP@trivexa");
        EXPECT_EQ(LocaleCharset(), "EUC-JP");
    }
    {
        test::ScopedEnv unset("LC_ALL", std::nullopt);
        test::ScopedEnv ctype("LC_CTYPE", "xx_XX");
        test::ScopedEnv lang("LANG", std::nullopt);
        EXPECT_EQ(LocaleCharset(), "UTF-8");
    }
}

TEST(PlatformLocale, DecodingAlwaysGivesValidUtf8) {
    // "日本" in EUC-JP and in Shift_JIS.
    EXPECT_EQ(DecodeToUtf8("\xC6\xFC\xCB\xDC", "EUC-JP"), "日本");
    EXPECT_EQ(DecodeToUtf8("VER:\x93\xFA\x96\x7B", "SHIFT_JIS"), "VER:日本");
    EXPECT_EQ(DecodeToUtf8("1.2.3", "ANSI_X3.4-1968"), "1.2.3");

    // Bytes the charset does not have, each replaced.
    EXPECT_EQ(DecodeToUtf8("a\xFF\xFE"
                           "b",
                           "UTF-8"),
              std::string("a") + kReplacement + kReplacement + "b");
    EXPECT_EQ(DecodeToUtf8("\xC3\xA9\x80", "ANSI_X3.4-1968"),
              std::string(kReplacement) + kReplacement + kReplacement);
    // A character cut off at the end of a piece.
    EXPECT_EQ(DecodeToUtf8("ok\xE6\x97", "UTF-8"), std::string("ok") + kReplacement);
    // An unknown charset reads as UTF-8.
    EXPECT_EQ(DecodeToUtf8("日本\xFF", "NO-SUCH-CHARSET"), std::string("日本") + kReplacement);
    EXPECT_EQ(DecodeToUtf8("", "UTF-8"), "");
    EXPECT_EQ(DecodeToUtf8(std::string_view("a\0b", 3), "UTF-8"), std::string("a\0b", 3));
}

}  // namespace
}  // namespace trivexa::platform
