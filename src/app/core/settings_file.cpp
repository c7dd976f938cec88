#include "app/core/settings_file.h"

#include <climits>
#include <cmath>
#include <fstream>
#include <mutex>
#include <span>
#include <vector>

#include "platform/files.h"
#include "platform/locale.h"
#include "platform/output_file.h"
#include "platform/path.h"

namespace trivexa {
namespace {

// Largest file we read as a settings file; anything bigger is not ours.
constexpr std::streamoff kMaxSettingsFileBytes = 1 << 20;

std::mutex g_dirMutex;
std::string g_dirOverride;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::string_view Trim(std::string_view s) {
    const char* blanks = " \t\r\n";
    size_t b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(blanks);
    return s.substr(b, e - b + 1);
}

bool ContainsLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// The file as lines (without their line ends); false when it cannot be read.
bool ReadLines(const std::string& file, std::vector<std::string>& lines) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxSettingsFileBytes) return false;
    in.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), size);
    if (!in) return false;
    std::string_view view(text);
    if (view.starts_with("\xEF\xBB\xBF")) view.remove_prefix(3);
    while (!view.empty()) {
        size_t nl = view.find('\n');
        std::string_view line = view.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (nl == std::string_view::npos) break;
        view.remove_prefix(nl + 1);
    }
    return true;
}

// Section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Key of a "key=value" line, or nullopt for comments and other lines.
std::optional<std::string_view> KeyOf(std::string_view line, std::string_view* value = nullptr) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') return std::nullopt;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    if (value) *value = Trim(t.substr(eq + 1));
    return Trim(t.substr(0, eq));
}

// At most `maxChars` UTF-8 characters of `s`, never cutting one in half.
std::string_view TruncateChars(std::string_view s, size_t maxChars) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == maxChars) return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

bool WriteWhole(const std::string& file, const std::vector<std::string>& lines) {
    // Written beside the target and renamed over it, so a crash or a full disk
    // leaves either the old file or the new one.
    std::string text;
    for (const auto& l : lines) {
        text += l;
        text += '\n';
    }
    platform::OutputFile out;
    return out.Create(file) && out.Write(std::as_bytes(std::span(text))) &&
           out.Commit(/*replace=*/true);
}

}  // namespace

bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || ContainsLineBreak(section) || ContainsLineBreak(key) ||
        ContainsLineBreak(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos)
        return false;

    std::vector<std::string> lines;
    if (platform::PathExists(file) && !ReadLines(file, lines)) return false;

    std::string newLine = std::string(key) + "=" + std::string(value);
    bool inSection = false;
    std::optional<size_t> lastOfSection;  // last non-blank line of the section
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto s = SectionOf(lines[i])) {
            if (inSection) break;
            inSection = EqualsNoCase(*s, section);
            if (inSection) lastOfSection = i;
            continue;
        }
        if (!inSection) continue;
        if (auto k = KeyOf(lines[i]); k && EqualsNoCase(*k, key)) {
            lines[i] = newLine;
            return WriteWhole(file, lines);
        }
        if (!Trim(lines[i]).empty()) lastOfSection = i;
    }
    if (lastOfSection) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastOfSection + 1), newLine);
    } else {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(newLine);
    }
    return WriteWhole(file, lines);
}

std::string ReadProfileString(const std::string& file, std::string_view section,
                              std::string_view key) {
    std::vector<std::string> lines;
    if (!ReadLines(file, lines)) return {};
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    for (const auto& line : lines) {
        if (auto s = SectionOf(line)) {
            inSection = EqualsNoCase(*s, section);
            continue;
        }
        if (!inSection) continue;
        std::string_view value;
        if (auto k = KeyOf(line, &value); k && EqualsNoCase(*k, key)) {
            // A value in matching quotes is read without them.
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            return std::string(TruncateChars(value, kSettingValueMaxChars));
        }
    }
    return {};
}

void SetSettingsDirectory(const std::string& dir) {
    std::lock_guard lock(g_dirMutex);
    g_dirOverride = dir;
}

std::string SettingsDirectory() {
    {
        std::lock_guard lock(g_dirMutex);
        if (!g_dirOverride.empty()) return g_dirOverride;
    }
    return platform::SettingsDirectory();
}

std::string SettingsFilePath() { return JoinPath(SettingsDirectory(), kSettingsFileName); }

bool WriteSetting(std::string_view section, std::string_view key, std::string_view text) {
    const std::string file = SettingsFilePath();
    if (!WriteProfileString(file, section, key, text)) return false;
    // The mark is cosmetic: a volume without DOS attributes still keeps the value.
    platform::SetHiddenAttribute(file);
    return true;
}

std::string ReadSetting(std::string_view section, std::string_view key) {
    return ReadProfileString(SettingsFilePath(), section, key);
}

bool TakeOverOldSettings(const std::string& oldFolder) {
    const std::string target = SettingsFilePath();
    if (oldFolder.empty() || platform::PathExists(target)) return false;
    const std::string old = JoinPath(oldFolder, kSettingsFileName);
    if (!platform::IsRegularFile(old) || platform::SameFile(old, target)) return false;
    std::vector<std::string> lines;
    if (!ReadLines(old, lines)) return false;
    return WriteWhole(target, lines);
}

bool CreateDefaultSettings() {
    if (platform::PathExists(SettingsFilePath())) return false;
    bool ok = WriteSetting(settings::kDisplay, settings::kInfoCheck, "31");
    ok = WriteSetting(settings::kDisplay, settings::kAspect, "on") && ok;
    ok = WriteSetting(settings::kDisplay, settings::kVolume, "65535") && ok;
    return ok;
}

int ParseVolume(std::string_view text) {
    if (text.empty()) return 65535;
    // Decimal integer from the start, like atoi, but saturating.
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > INT_MAX) {
            v = static_cast<long long>(INT_MAX) + 1;
            break;
        }
    }
    if (negative) return v > INT_MAX ? INT_MIN : static_cast<int>(-v);
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

int ReadVolume() { return ParseVolume(ReadSetting(settings::kDisplay, settings::kVolume)); }

bool WriteVolume(int volume) {
    return WriteSetting(settings::kDisplay, settings::kVolume, std::to_string(volume));
}

std::optional<double> ParseScale(std::string_view text) {
    const std::string_view s = Trim(text);
    if (s.empty()) return std::nullopt;
    // Written with '.' by WriteScale, whatever the user's locale.
    const platform::ParsedNumber n = platform::ParseDoubleInCLocale(s);
    if (n.length == 0 || n.outOfRange || !std::isfinite(n.value) || !(n.value > 0.0))
        return std::nullopt;
    return n.value;
}

void ReadScale(std::string_view section, double& scaleX, double& scaleY) {
    scaleX = ParseScale(ReadSetting(section, settings::kScaleX)).value_or(1.0);
    scaleY = ParseScale(ReadSetting(section, settings::kScaleY)).value_or(1.0);
}

bool WriteScale(std::string_view section, double scaleX, double scaleY) {
    bool ok = WriteSetting(section, settings::kScaleX, platform::FormatFixedInCLocale(scaleX));
    return WriteSetting(section, settings::kScaleY, platform::FormatFixedInCLocale(scaleY)) && ok;
}

bool IsOn(std::string_view text) { return text == "on"; }

bool ReadAspectOn() { return IsOn(ReadSetting(settings::kDisplay, settings::kAspect)); }

bool WriteAspectOn(bool on) {
    return WriteSetting(settings::kDisplay, settings::kAspect, on ? "on" : "off");
}

}  // namespace trivexa
