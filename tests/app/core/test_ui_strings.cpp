#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/core/ui_strings.h"
#include "platform/locale.h"

using namespace trivexa;

namespace {

// Restores the language index and LANG-like variables after each test.
class UiStringsTest : public ::testing::Test {
protected:
    void SetUp() override { SetUiLanguage(0); }
    void TearDown() override {
        SetUiLanguage(0);
        for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(v);
    }
};

}  // namespace

TEST_F(UiStringsTest, EveryTextIsValidUtf8AndItsLineBreaksAreWhole) {
    for (int id = 0; id < kUiStringCount; ++id) {
        const std::string text = UiString(id);
        // Decoding replaces every invalid byte, so only valid UTF-8 comes back unchanged.
        EXPECT_EQ(platform::DecodeToUtf8(text, "UTF-8"), text) << id;
        // Message texts break lines with "\r\n" or "\n"; a lone '\r' would show as a box.
        for (std::size_t at = text.find('\r'); at != std::string::npos;
             at = text.find('\r', at + 1))
            EXPECT_EQ(text.substr(at, 2), "\r\n") << id;
    }
}

TEST_F(UiStringsTest, EveryIdHasATextAndSharedIdsAgree) {
    for (int id = 0; id < kUiStringCount; ++id) EXPECT_GT(std::strlen(UiString(id)), 0u) << id;
    // Pairs the table marks as sharing one text.
    for (auto [a, b] : {std::pair{3, 43}, {0, 78}, {4, 79}, {21, 177}, {179, 183}, {26, 163}}) {
        EXPECT_STREQ(UiString(a), UiString(b)) << a << " vs " << b;
    }
    // Ids of different roles keep different texts.
    EXPECT_STRNE(UiString(21), UiString(178));
    // Empty slots and ids outside the table give "", never garbage.
    EXPECT_STREQ(UiStringTable(0, 194), "");
    EXPECT_STREQ(UiStringTable(1, 259), "");
    // After the table's ids, the detail lines of the error boxes.
    for (int id = 186; id <= 193; ++id) {
        EXPECT_GT(std::strlen(UiStringTable(0, id)), 0u) << id;
        EXPECT_EQ(platform::DecodeToUtf8(UiString(id), "UTF-8"), UiString(id)) << id;
    }
    EXPECT_STREQ(UiStringTable(2, 0), "");
    EXPECT_STREQ(UiStringTable(0, -1), "");
}

TEST_F(UiStringsTest, CsvHeaderSplitsBackIntoItsFields) {
    // The fields are concatenated into the header line, each but the last (149)
    // ending with its comma; splitting the line at commas must give every
    // field back, so no field may hold a comma of its own.
    const std::vector<int> fields = {29, 30, 31, 32, 34, 35, 36, 37, 38, 148, 149};
    std::string line;
    for (int id : fields) line += UiString(id);
    std::vector<std::string> split;
    std::size_t start = 0;
    for (std::size_t comma = line.find(','); comma != std::string::npos;
         start = comma + 1, comma = line.find(',', start))
        split.push_back(line.substr(start, comma + 1 - start));
    split.push_back(line.substr(start));
    ASSERT_EQ(split.size(), fields.size()) << line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(split[i], UiString(fields[i])) << fields[i];
        EXPECT_GT(split[i].size(), 1u) << fields[i];
    }
    EXPECT_NE(split.back().back(), ',');
}

TEST_F(UiStringsTest, TheCountTextIsTheOnlyFormatAndGivesItsNumberBack) {
    for (int id = 0; id < kUiStringCount; ++id) {
        if (id == kUiCountFormat) continue;
        EXPECT_EQ(std::strchr(UiString(id), '%'), nullptr) << id;
    }
    const std::string format = UiString(kUiCountFormat);
    const std::size_t at = format.find("%d");
    ASSERT_NE(at, std::string::npos);
    const std::string before = format.substr(0, at), after = format.substr(at + 2);
    for (int n : {0, 12, -7, 2147483647}) {
        const std::string text = UiCountText(n);
        ASSERT_TRUE(text.starts_with(before) && text.ends_with(after)) << text;
        const std::string number =
            text.substr(before.size(), text.size() - before.size() - after.size());
        EXPECT_EQ(number, std::to_string(n));
    }
}

TEST_F(UiStringsTest, EnglishUsLocaleSelectsSecondColumnWithTheSameTexts) {
    setenv("LANG", "en_US.UTF-8", 1);
    InitUiLanguage();
    EXPECT_EQ(UiLanguage(), 1);
    for (int id = 0; id < kUiStringCount; ++id) EXPECT_STREQ(UiString(id), UiStringTable(0, id));

    SetUiLanguage(0);
    setenv("LANG", "ja_JP.UTF-8", 1);
    InitUiLanguage();
    EXPECT_EQ(UiLanguage(), 0);

    // LC_ALL outranks LANG; "en_GB" is not English (United States).
    setenv("LC_ALL", "en_GB.UTF-8", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    InitUiLanguage();
    EXPECT_EQ(UiLanguage(), 0);
}
