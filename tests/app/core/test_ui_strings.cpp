#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "app/core/ui_strings.h"

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

TEST_F(UiStringsTest, TextsUsersSeeAreExact) {
    EXPECT_STREQ(UiString(0), "閉じる");
    EXPECT_STREQ(UiString(5), "回転 180°");
    EXPECT_STREQ(UiString(29), "日付,");
    EXPECT_STREQ(UiString(104), "確認");
    EXPECT_STREQ(UiString(113), "コーデックとスプリッターをインストールしてください。");
    EXPECT_STREQ(UiString(172), "ファイルが破損しています。修復して再生しますか？");
    EXPECT_STREQ(UiString(180), "拡大モードです\n\n拡大したい場所を\nクリックしてください");
    EXPECT_STREQ(UiString(105),
                 "新しいバージョンのソフトを利用できます。\r\nダウンロードする場合は下記URLを"
                 "クリックしてください。");
    const std::string last = UiString(185);
    EXPECT_TRUE(last.starts_with("WebView2ランタイムがインストールされていないと"));
    EXPECT_TRUE(last.ends_with("版を選択してください。\r\n"));
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
    EXPECT_STREQ(UiStringTable(0, 186), "");
    EXPECT_STREQ(UiStringTable(1, 259), "");
    EXPECT_STREQ(UiStringTable(2, 0), "");
    EXPECT_STREQ(UiStringTable(0, -1), "");
}

TEST_F(UiStringsTest, CsvHeaderFieldsEndWithACommaButTheLast) {
    // The fields are concatenated into the header line; the last one (149)
    // closes it without a comma.
    EXPECT_STREQ(UiString(149), "リヤカメラデータサイズ");
    for (int id : {29, 30, 31, 32, 34, 35, 36, 37, 38, 148}) {
        std::string t = UiString(id);
        ASSERT_FALSE(t.empty());
        EXPECT_EQ(t.back(), ',') << id;
    }
}

TEST_F(UiStringsTest, CountTextIsFormattedWithTheNumber) {
    EXPECT_EQ(UiCountText(12), "12個");
    EXPECT_EQ(UiCountText(0), "0個");
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
