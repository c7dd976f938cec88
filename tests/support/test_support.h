#pragma once
// Helpers shared by the test binaries: scratch folders on real disk and
// running outside programs (ffprobe, ffmpeg, trivexa-cli) with their output.

#include <filesystem>
#include <string>
#include <vector>

namespace trivexa::test {

// A fresh folder under the build tree's scratch area, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs argv[0] (searched on PATH) with the arguments, without a shell.
CommandResult RunCommand(const std::vector<std::string>& argv);

// Path of a program built by this project (trivexa-cli, clipforge, ...).
std::filesystem::path BuiltProgram(const std::string& name);

// Folder that caches generated test data between runs.
std::filesystem::path TestDataDir();

std::string ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::string& bytes);

}  // namespace trivexa::test
