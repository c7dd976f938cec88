#pragma once
// Commands of trivexa-cli. Each command lives in its own file and registers
// itself at static-initialisation time:
//
//   static const trivexa::cli::Registration reg{"check", "CLIP", &RunCheck};
//
// A command gets its arguments after the command name and returns the exit
// status: 0 success, 1 the source or file cannot be read (one line on stderr),
// 2 bad usage.

#include <string>
#include <string_view>
#include <vector>

namespace trivexa::cli {

enum ExitCode : int { kOk = 0, kFailed = 1, kUsage = 2 };

using CommandFn = int (*)(const std::vector<std::string>& args);

struct Registration {
    Registration(std::string_view name, std::string_view usage, CommandFn fn);
};

// Prints "trivexa-cli: <message>" on stderr and returns `code`.
int Fail(int code, std::string_view message);

// Splits options (words starting with a dash) from operands; "--" ends the
// options, so an operand may start with a dash after it. Known flags without a value are
// listed in `switches`, flags taking a value in `valued`. Returns false (and
// prints a usage line) for an unknown flag or a missing value.
struct ParsedArgs {
    std::vector<std::string> switches;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> operands;
    bool Has(std::string_view flag) const;
    const std::string* Value(std::string_view flag) const;
};
bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& switches,
               const std::vector<std::string>& valued, ParsedArgs& out);

}  // namespace trivexa::cli
