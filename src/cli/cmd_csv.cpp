// trivexa-cli csv [--force] [--charset NAME] [--kind sd|folder|file] SOURCE OUTDIR:
// the CSV button for scripts. Writes the recording list of a card, folder or
// clip into OUTDIR as "Dv_<first recording's date and time>.csv", in the
// locale's character set (UTF-8 where that is plain ASCII), and prints the
// file's path. Ctrl-C cancels and leaves no file behind.
#include <atomic>
#include <csignal>
#include <iostream>

#include "app/file_commands/csv_export.h"
#include "browser/model/browser_model.h"
#include "cli/command.h"
#include "cli/source_args.h"
#include "platform/files.h"

namespace trivexa::cli {
namespace {

std::atomic<bool> g_cancel{false};

extern "C" void OnCsvInterrupt(int) { g_cancel.store(true); }

int RunCsv(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--force"}, {"--kind", "--charset"}, parsed)) return kUsage;
    if (parsed.operands.size() != 2)
        return Fail(kUsage,
                    "usage: csv [--force] [--charset NAME] [--kind sd|folder|file] SOURCE OUTDIR");
    const std::string& source = parsed.operands[0];
    const std::string& outDir = parsed.operands[1];
    if (!platform::IsDirectory(outDir)) return Fail(kFailed, outDir + " is not a folder");

    MemoryFolderTree tree;
    BrowserModel model(tree);
    SourceKind kind = SourceKind::None;
    if (int rc = OpenSourceOperand(parsed, source, model, kind); rc != kOk) return rc;

    CsvOptions options;
    options.replaceExisting = parsed.Has("--force");
    if (const std::string* charset = parsed.Value("--charset")) options.charset = *charset;

    g_cancel.store(false);
    auto previous = std::signal(SIGINT, OnCsvInterrupt);
    std::signal(SIGXFSZ, SIG_IGN);  // a size limit fails the write instead of the program
    const CsvReport report =
        WriteCsvFile(model.CollectAll(/*withDataHeaders=*/true), outDir, options, {}, &g_cancel);
    std::signal(SIGINT, previous);

    switch (report.result) {
        case CsvResult::kDone:
            std::cout << report.path << '\n';
            return kOk;
        case CsvResult::kExists:
            return Fail(kFailed, report.error + " (--force replaces it)");
        default:
            return Fail(kFailed, report.error);
    }
}

const Registration reg{"csv", "[--force] [--charset NAME] [--kind sd|folder|file] SOURCE OUTDIR",
                       &RunCsv};

}  // namespace
}  // namespace trivexa::cli
