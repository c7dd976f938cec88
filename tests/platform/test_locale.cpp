// The locale's character set and the conversion of fetched text to UTF-8;
// numbers in files read and written with '.' whatever the user's locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

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

TEST(CLocaleNumbers, FormattedNumbersReadBackAndMatchPrintf) {
    for (double v : {0.0, -0.0, 1.5, 0.75, 1.0 / 3.0, 2.5e-7, 123456789.125, -42.0000005, 1e21}) {
        char expected[512];
        std::snprintf(expected, sizeof expected, "%f", v);
        const std::string text = FormatFixedInCLocale(v);
        EXPECT_EQ(text, expected) << v;
        const ParsedNumber back = ParseDoubleInCLocale(text);
        EXPECT_EQ(back.length, text.size()) << text;
        EXPECT_EQ(back.value, std::strtod(expected, nullptr)) << text;
    }
}

TEST(CLocaleNumbers, ReadingStopsWhereStrtodStops) {
    EXPECT_EQ(ParseDoubleInCLocale("  +3539.1234xyz").value, 3539.1234);
    EXPECT_EQ(ParseDoubleInCLocale("  +3539.1234xyz").length, 12u);
    EXPECT_EQ(ParseDoubleInCLocale("x1.5").length, 0u);
    EXPECT_EQ(ParseDoubleInCLocale(std::string_view("12\0"
                                                    "34",
                                                    5))
                  .value,
              12.0);
    EXPECT_TRUE(ParseDoubleInCLocale("1e999").outOfRange);
    EXPECT_FALSE(ParseDoubleInCLocale("1e99").outOfRange);
}

TEST(CLocaleNumbers, AUserLocaleWithADecimalCommaChangesNothing) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no de_DE.UTF-8 locale on this machine";
    const std::string text = FormatFixedInCLocale(1.25);
    const double back = ParseDoubleInCLocale("1.25").value;
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ(text, "1.250000");
    EXPECT_EQ(back, 1.25);
}

TEST(PlatformLocale, EncodingWritesTheCharsetAndMarksWhatItCannotHold) {
    // Japanese in the charsets a Japanese desktop uses, read back unchanged.
    for (const char* charset : {"EUC-JP", "SHIFT_JIS", "ISO-2022-JP", "UTF-8"}) {
        const auto bytes = EncodeFromUtf8("ファイル名,日付\r\n", charset);
        ASSERT_TRUE(bytes.has_value()) << charset;
        EXPECT_EQ(DecodeToUtf8(*bytes, charset), "ファイル名,日付\r\n") << charset;
    }
    EXPECT_EQ(*EncodeFromUtf8("日本", "EUC-JP"), "\xC6\xFC\xCB\xDC");
    // No byte-order mark, even where iconv would add one for a bare "UTF-16".
    EXPECT_EQ(EncodeFromUtf8("a", "UTF-8")->size(), 1u);

    // ASCII cannot hold Japanese: one '?' per character, counted; a stateful
    // charset returns to ASCII before each '?'.
    std::size_t replaced = 0;
    EXPECT_EQ(*EncodeFromUtf8("a日本b", "ANSI_X3.4-1968", &replaced), "a??b");
    EXPECT_EQ(replaced, 2u);
    EXPECT_EQ(DecodeToUtf8(*EncodeFromUtf8("日€本", "ISO-2022-JP", &replaced), "ISO-2022-JP"),
              "日?本");
    EXPECT_EQ(replaced, 1u);
    // Bytes that are not UTF-8, and a character cut off at the end.
    EXPECT_EQ(*EncodeFromUtf8("a\xFF\xE6\x97", "UTF-8", &replaced), "a??");
    EXPECT_EQ(replaced, 2u);
    EXPECT_FALSE(EncodeFromUtf8("a", "NO-SUCH-CHARSET").has_value());

    EXPECT_TRUE(IsAsciiCharset("ANSI_X3.4-1968"));
    EXPECT_TRUE(IsAsciiCharset("us-ascii"));
    EXPECT_FALSE(IsAsciiCharset("UTF-8"));
    EXPECT_FALSE(IsAsciiCharset("EUC-JP"));
}

}  // namespace
}  // namespace trivexa::platform
