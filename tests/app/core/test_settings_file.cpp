#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/core/settings_file.h"
#include "platform/files.h"
#include "support/test_support.h"

using namespace trivexa;
namespace fs = std::filesystem;
using trivexa::test::ReadFile;
using trivexa::test::TempDir;
using trivexa::test::WriteFile;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsDirectory(dir.path().string()); }
    void TearDown() override { SetSettingsDirectory(""); }
    std::string File() const { return (dir.path() / "Default_Folder.ini").string(); }
    TempDir dir;
};

}  // namespace

TEST_F(SettingsFileTest, FirstStartWritesTheThreeDefaultsInOrder) {
    EXPECT_EQ(SettingsFilePath(), File());
    EXPECT_TRUE(CreateDefaultSettings());
    EXPECT_EQ(ReadFile(File()), "[DISPLAY]\nINFOCHECK=31\nASPECT=on\nVOLUME=65535\n");
    // A second start leaves the file alone.
    EXPECT_TRUE(WriteVolume(1000));
    EXPECT_FALSE(CreateDefaultSettings());
    EXPECT_EQ(ReadVolume(), 1000);
    EXPECT_TRUE(ReadAspectOn());
    // No temporary file is left beside it.
    int files = 0;
    for (auto& e : fs::directory_iterator(dir.path())) (void)e, ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(SettingsFileTest, SectionsAndKeysMatchWithoutCaseAndValuesAreReplacedInPlace) {
    WriteFile(File(),
              "; written by hand\r\n[display]\r\nVolume = 12 \r\n\r\n[Source]\r\nselect=SD\r\n");
    EXPECT_EQ(ReadSetting("DISPLAY", "VOLUME"), "12");
    EXPECT_EQ(ReadSetting("SOURCE", "SELECT"), "SD");
    EXPECT_EQ(ReadSetting("SOURCE", "FOLDER"), "");
    EXPECT_EQ(ReadSetting("NOSUCH", "SELECT"), "");

    EXPECT_TRUE(WriteSetting("DISPLAY", "VOLUME", "300"));
    EXPECT_TRUE(WriteSetting("DISPLAY", "ASPECT", "off"));
    EXPECT_TRUE(WriteSetting("FOLDERPATH", "CSV_FOLDER", "/home/u/csv"));
    EXPECT_EQ(ReadFile(File()),
              "; written by hand\n[display]\nVOLUME=300\nASPECT=off\n\n[Source]\nselect=SD\n"
              "[FOLDERPATH]\nCSV_FOLDER=/home/u/csv\n");
    EXPECT_EQ(ReadVolume(), 300);
    EXPECT_FALSE(ReadAspectOn());
}

TEST_F(SettingsFileTest, JapanesePathsSurviveAndLongValuesAreCut) {
    const std::string path = "/media/ユーザー/ドライブレコーダー/録画 フォルダ";
    EXPECT_TRUE(WriteSetting(settings::kSource, settings::kFolder, path));
    EXPECT_EQ(ReadSetting(settings::kSource, settings::kFolder), path);

    // 300 characters of three bytes each: 259 whole characters come back.
    std::string longValue;
    for (int i = 0; i < 300; ++i) longValue += "あ";
    EXPECT_TRUE(WriteSetting(settings::kSource, settings::kFile, longValue));
    EXPECT_EQ(ReadSetting(settings::kSource, settings::kFile), longValue.substr(0, 259 * 3));
}

TEST_F(SettingsFileTest, ValuesThatWouldBreakTheFileAreRefused) {
    EXPECT_FALSE(WriteSetting("SOURCE", "FILE", "a\nINFOCHECK=0"));
    EXPECT_FALSE(WriteSetting("SO]URCE", "FILE", "x"));
    EXPECT_FALSE(WriteSetting("SOURCE", "FI=LE", "x"));
    EXPECT_FALSE(WriteSetting("", "FILE", "x"));
    EXPECT_FALSE(platform::PathExists(File()));
}

TEST_F(SettingsFileTest, NumbersParseAsTheViewerReadsThem) {
    EXPECT_EQ(ParseVolume(""), 65535);
    EXPECT_EQ(ParseVolume("abc"), 0);
    EXPECT_EQ(ParseVolume("123abc"), 123);
    EXPECT_EQ(ParseVolume("70000"), 70000);  // no range check
    EXPECT_EQ(ParseVolume("-5"), -5);
    EXPECT_EQ(ParseVolume("99999999999999999999"), 2147483647);

    EXPECT_FALSE(ParseScale("0"));
    EXPECT_FALSE(ParseScale("-1.5"));
    EXPECT_FALSE(ParseScale("x"));
    EXPECT_FALSE(ParseScale("inf"));
    EXPECT_DOUBLE_EQ(*ParseScale("1.250000"), 1.25);

    EXPECT_TRUE(IsOn("on"));
    EXPECT_FALSE(IsOn("ON"));
    EXPECT_FALSE(IsOn(""));

    EXPECT_TRUE(WriteScale(settings::kMapDisplay, 1.5, 0.75));
    EXPECT_EQ(ReadSetting(settings::kMapDisplay, settings::kScaleX), "1.500000");
    WriteSetting(settings::kMovieDisplay, settings::kScaleX, "0");
    WriteSetting(settings::kMovieDisplay, settings::kScaleY, "-2");
    double x = 0, y = 0;
    ReadScale(settings::kMapDisplay, x, y);
    EXPECT_DOUBLE_EQ(x, 1.5);
    EXPECT_DOUBLE_EQ(y, 0.75);
    ReadScale(settings::kMovieDisplay, x, y);
    EXPECT_DOUBLE_EQ(x, 1.0);
    EXPECT_DOUBLE_EQ(y, 1.0);
}

TEST_F(SettingsFileTest, UnwritableFolderReadsEmptyAndReportsFailure) {
    SetSettingsDirectory((dir.path() / "missing" / "deeper").string());
    EXPECT_FALSE(WriteSetting("DISPLAY", "VOLUME", "1"));
    EXPECT_EQ(ReadVolume(), 65535);
    EXPECT_FALSE(ReadAspectOn());
}

// Settings kept by an earlier version in the start-up folder carry over
// once; an existing settings file is never replaced by them.
TEST_F(SettingsFileTest, OldSettingsInTheStartupFolderCarryOverOnce) {
    const std::filesystem::path old = dir.path() / "home";
    std::filesystem::create_directories(old);
    WriteFile(old / "Default_Folder.ini", "[DISPLAY]\nVOLUME=1234\n[SOURCE]\nSELECT=FOLDER\n");
    SetSettingsDirectory((dir.path() / "config").string());
    std::filesystem::create_directories(dir.path() / "config");
    EXPECT_TRUE(TakeOverOldSettings(old.string()));
    EXPECT_EQ(ReadVolume(), 1234);
    EXPECT_EQ(ReadSetting("SOURCE", "SELECT"), "FOLDER");
    EXPECT_TRUE(std::filesystem::exists(old / "Default_Folder.ini"));
    EXPECT_TRUE(WriteVolume(99));
    EXPECT_FALSE(TakeOverOldSettings(old.string()));
    EXPECT_EQ(ReadVolume(), 99);
    // Nothing to take over: nothing written.
    SetSettingsDirectory((dir.path() / "config2").string());
    std::filesystem::create_directories(dir.path() / "config2");
    EXPECT_FALSE(TakeOverOldSettings((dir.path() / "none").string()));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "config2" / "Default_Folder.ini"));
    // The same folder: nothing to do.
    SetSettingsDirectory(old.string());
    EXPECT_FALSE(TakeOverOldSettings(old.string()));
}

TEST_F(SettingsFileTest, GarbageFilesNeverCrashTheReader) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    garbage += "\n[DISPLAY\n=\n[\n]\nVOLUME\n[DISPLAY]\n=5\nVOLUME=\"42\"\n";
    WriteFile(File(), garbage);
    EXPECT_EQ(ReadSetting("DISPLAY", "VOLUME"), "42");
    EXPECT_TRUE(WriteSetting("DISPLAY", "ASPECT", "on"));
    EXPECT_TRUE(ReadAspectOn());
    EXPECT_EQ(ReadSetting("DISPLAY", "VOLUME"), "42");
}
