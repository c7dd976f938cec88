// The programs' own options, run as the real programs: --version, a
// command's --help, and unknown options (exit 2 with a line saying so).
#include <gtest/gtest.h>

#include <filesystem>

#include "app/core/program_version.h"
#include "support/test_support.h"

namespace trivexa {
namespace {

test::CommandResult RunProgram(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), test::BuiltProgram(program).string());
    return test::RunCommand(args);
}

const std::string kVersion(kProgramVersion);

TEST(ProgramOptions, CliVersionHelpAndUnknownOptions) {
    const auto version = RunProgram("trivexa-cli", {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "trivexa-cli " + kVersion + "\n");

    // A command's own usage, on standard output, whatever else is given.
    for (const char* help : {"--help", "-h"}) {
        const auto usage = RunProgram("trivexa-cli", {"check", help});
        EXPECT_EQ(usage.exitCode, 0) << help;
        EXPECT_EQ(usage.out, "usage: trivexa-cli check CLIP\n") << help;
    }
    const auto joinHelp = RunProgram("trivexa-cli", {"join", "--json", "--help", "x"});
    EXPECT_EQ(joinHelp.exitCode, 0);
    EXPECT_NE(joinHelp.out.find("usage: trivexa-cli join "), std::string::npos);
    // After "--" it is a file name: the command runs (and cannot read it).
    EXPECT_EQ(RunProgram("trivexa-cli", {"check", "--", "--help"}).exitCode, 1);

    // Unknown options, long and short, before or after the command.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bogus"}, {"check", "--bogus", "x"}, {"check", "-x", "y"},
          {"list", "-j", "."}}) {
        const auto r = RunProgram("trivexa-cli", args);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_NE(r.err.find("unknown option"), std::string::npos) << r.err;
    }
}

TEST(ProgramOptions, ViewerVersionHelpAndUnknownOptions) {
    if (!std::filesystem::exists(test::BuiltProgram("trivexa")))
        GTEST_SKIP() << "the viewer is not built (core-only build)";
    // Answered before any window or display: nothing is opened as a source.
    const auto version = RunProgram("trivexa", {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "trivexa " + kVersion + "\n");
    const auto help = RunProgram("trivexa", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: trivexa ", 0), 0u) << help.out;

    // Unknown options end the viewer before a window opens (offscreen, so
    // it needs no display).
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bogus"}, {"-q"}, {"card", "--bogus"}, {"a", "b"}}) {
        std::vector<std::string> line = {"env", "QT_QPA_PLATFORM=offscreen",
                                         test::BuiltProgram("trivexa").string()};
        line.insert(line.end(), args.begin(), args.end());
        const auto r = test::RunCommand(line);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        // (The toolkit may have said something of its own first.)
        EXPECT_NE(r.err.find("trivexa: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: trivexa"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace trivexa
