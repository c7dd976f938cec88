#pragma once
// The settings file Default_Folder.ini: sections in brackets, KEY=value lines,
// read and written one value at a time. There is no copy in memory; every read
// goes to the file and every write goes straight to it, so two running viewers
// share the file and the last write wins.
//
// Section and key names match without regard to ASCII letter case. Values are
// UTF-8 (Japanese paths survive) and at most 259 characters are returned. A
// write goes to a temporary file that then replaces the settings file, so an
// interrupted write never leaves a half-written file behind; afterwards the file
// is marked hidden where the volume supports that.
//
// Callers: every component that remembers something, on the UI thread or on a
// file-management worker. No lock is taken around a sequence of writes.

#include <optional>
#include <string>
#include <string_view>

namespace trivexa {

inline constexpr std::string_view kSettingsFileName = "Default_Folder.ini";
inline constexpr size_t kSettingValueMaxChars = 259;

// Sections and keys.
namespace settings {
inline constexpr const char* kDisplay = "DISPLAY";
inline constexpr const char* kMapDisplay = "MAPDISPLAY";
inline constexpr const char* kMovieDisplay = "MOVIEDISPLAY";
inline constexpr const char* kSource = "SOURCE";
inline constexpr const char* kFolderPath = "FOLDERPATH";

inline constexpr const char* kInfoCheck = "INFOCHECK";
inline constexpr const char* kAspect = "ASPECT";
inline constexpr const char* kVolume = "VOLUME";
inline constexpr const char* kScaleX = "SCALEX";
inline constexpr const char* kScaleY = "SCALEY";
inline constexpr const char* kSelect = "SELECT";
inline constexpr const char* kSd = "SD";
inline constexpr const char* kFolder = "FOLDER";
inline constexpr const char* kFile = "FILE";
inline constexpr const char* kCsvFolder = "CSV_FOLDER";
inline constexpr const char* kConnectFolder = "CONNECT_FOLDER";
inline constexpr const char* kSnapshotFolder = "SNAPSHOT_FOLDER";
inline constexpr const char* kRepairFolder = "REPAIR_FOLDER";
}  // namespace settings

// --- The file format, on any file -----------------------------------------

// Sets KEY=value in [section] of `file`, creating the file, the section or the
// key as needed. False when the value cannot be stored: the file cannot be
// written, or the section, key or value contains a line break (or the section
// a ']', or the key a '=') that would corrupt the file.
bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

// The stored value (surrounding blanks removed, at most 259 characters), or ""
// when the file, section or key does not exist.
std::string ReadProfileString(const std::string& file, std::string_view section,
                              std::string_view key);

// --- The viewer's settings file -------------------------------------------

// Folder of the settings file: the platform's settings directory unless a
// test or the start-up code set another one.
void SetSettingsDirectory(const std::string& dir);
std::string SettingsDirectory();
std::string SettingsFilePath();

// Writes into the settings file, then marks it hidden (the only attribute).
// True only when the value was written.
bool WriteSetting(std::string_view section, std::string_view key, std::string_view text);
std::string ReadSetting(std::string_view section, std::string_view key);

// Earlier versions kept the settings file in the folder the viewer was
// started from. When the settings folder has no settings file yet and
// `oldFolder` holds one, its values are taken over (the old file stays).
// True when they were.
bool TakeOverOldSettings(const std::string& oldFolder);

// On first start (no settings file): INFOCHECK=31, ASPECT=on, VOLUME=65535 in
// [DISPLAY], in this order. Returns true when the file was created.
bool CreateDefaultSettings();

// --- Reading the values -----------------------------------------------------

// VOLUME: empty reads as 65535; otherwise the decimal integer at the start of
// the text, without a range check ("abc" reads as 0). Out-of-range numbers
// saturate instead of overflowing.
int ParseVolume(std::string_view text);
int ReadVolume();
bool WriteVolume(int volume);

// SCALEX/SCALEY: a factor is used only when it parses as a number > 0.
std::optional<double> ParseScale(std::string_view text);
// Reads the section's factors; each stays at 1.0 unless stored and > 0.
void ReadScale(std::string_view section, double& scaleX, double& scaleY);
bool WriteScale(std::string_view section, double scaleX, double scaleY);

// ASPECT: exactly "on" (case-sensitive) is on.
bool IsOn(std::string_view text);
bool ReadAspectOn();
bool WriteAspectOn(bool on);

}  // namespace trivexa
