#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>

#include "app/core/program_version.h"
#include "cli/command.h"
#include "cli/output_text.h"

namespace trivexa::cli {
namespace {

struct Command {
    std::string usage;
    CommandFn fn;
};

std::map<std::string, Command, std::less<>>& Commands() {
    static std::map<std::string, Command, std::less<>> commands;
    return commands;
}

void PrintUsage(std::ostream& out) {
    out << "usage: trivexa-cli COMMAND [ARGS]\n"
           "       trivexa-cli COMMAND --help\n"
           "       trivexa-cli --version\n";
    for (const auto& [name, cmd] : Commands()) out << "  " << name << ' ' << cmd.usage << '\n';
}

// "COMMAND --help" (or -h) before any "--": that command's usage is asked for.
bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--") return false;
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

void PrintHelp(std::ostream& out) {
    PrintUsage(out);
    out << '\n'
        << "Exit status: 0 success, 1 a source or file cannot be read or written, 2 bad "
           "usage.\n"
        << "An output is never one of the command's inputs; an existing output is "
           "replaced only with --force.\n\n"
        << kOutputFormsHelp;
}

}  // namespace

Registration::Registration(std::string_view name, std::string_view usage, CommandFn fn) {
    Commands().emplace(std::string(name), Command{std::string(usage), fn});
}

int Fail(int code, std::string_view message) {
    std::cerr << "trivexa-cli: " << message << '\n';
    return code;
}

bool ParsedArgs::Has(std::string_view flag) const {
    return std::find(switches.begin(), switches.end(), flag) != switches.end();
}

const std::string* ParsedArgs::Value(std::string_view flag) const {
    for (const auto& [k, v] : values)
        if (k == flag) return &v;
    return nullptr;
}

bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& switches,
               const std::vector<std::string>& valued, ParsedArgs& out) {
    bool operandsOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // A word starting with a dash is an option ("-" alone, and anything
        // after "--", are operands).
        if (operandsOnly || a.size() < 2 || a[0] != '-') {
            out.operands.push_back(a);
            continue;
        }
        if (a == "--") {
            operandsOnly = true;
            continue;
        }
        if (std::find(switches.begin(), switches.end(), a) != switches.end()) {
            out.switches.push_back(a);
        } else if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
            if (i + 1 >= args.size()) {
                Fail(kUsage, "option " + a + " needs a value");
                return false;
            }
            out.values.emplace_back(a, args[++i]);
        } else {
            Fail(kUsage, "unknown option " + a);
            return false;
        }
    }
    return true;
}

}  // namespace trivexa::cli

int main(int argc, char** argv) {
    using namespace trivexa::cli;
    if (argc < 2) {
        PrintUsage(std::cerr);
        return kUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(std::cout);
        return kOk;
    }
    if (name == "--version") {
        std::cout << "trivexa-cli " << trivexa::kProgramVersion << '\n';
        return kOk;
    }
    if (!name.empty() && name[0] == '-') {
        std::cerr << "trivexa-cli: unknown option " << name << '\n';
        PrintUsage(std::cerr);
        return kUsage;
    }
    auto it = Commands().find(name);
    if (it == Commands().end()) {
        std::cerr << "trivexa-cli: unknown command " << name << '\n';
        PrintUsage(std::cerr);
        return kUsage;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    if (AsksForHelp(args)) {
        std::cout << "usage: trivexa-cli " << name << ' ' << it->second.usage << '\n';
        return kOk;
    }
    return it->second.fn(args);
}
