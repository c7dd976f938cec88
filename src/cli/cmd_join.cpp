// trivexa-cli join [--json] [--force] OUTDIR RECORDING...: joins the given
// recordings, in the given order, into one front and one rear clip in OUTDIR,
// named after the first recording's files. Each RECORDING is the front or
// rear clip of a recording; its partner is found as the browser pairs them.
// Progress goes to standard error; Ctrl-C cancels and leaves no output behind.
#include <atomic>
#include <csignal>
#include <iostream>
#include <nlohmann/json.hpp>

#include "app/file_commands/join_texts.h"
#include "cli/command.h"
#include "cli/output_text.h"
#include "container/concat.h"
#include "platform/files.h"
#include "recordings/recording_library.h"

namespace trivexa::cli {
namespace {

std::atomic<bool> g_cancel{false};

extern "C" void OnInterrupt(int) { g_cancel.store(true); }

int RunJoin(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--json", "--force"}, {}, parsed)) return kUsage;
    if (parsed.operands.size() < 2)
        return Fail(kUsage, "usage: join [--json] [--force] OUTDIR RECORDING...");
    const std::string& outDir = parsed.operands[0];
    const bool force = parsed.Has("--force");

    std::vector<RecordingEntry> selection;
    for (std::size_t i = 1; i < parsed.operands.size(); ++i) {
        const std::string& path = parsed.operands[i];
        if (!platform::IsRegularFile(path)) return Fail(kFailed, "cannot read " + path);
        PairPaths pair;
        if (!ResolvePair(path, selection, pair))
            return Fail(kFailed, path + " is not a recording, or its recording is given twice");
        if (!MakeEntry(pair.front, pair.rear, selection))
            return Fail(kFailed, path + " is not a recording");
    }

    JoinPlan plan;
    const JoinPrepareResult prepared = PrepareJoin(selection, outDir, plan);
    if (prepared != JoinPrepareResult::kReady)
        return Fail(kFailed, JoinPrepareMessage(prepared, plan));
    if (!force && (plan.frontOutputExists || plan.rearOutputExists))
        return Fail(kFailed, (plan.frontOutputExists ? plan.frontOutput : plan.rearOutput) +
                                 " already exists (--force replaces it)");

    g_cancel.store(false);
    auto previous = std::signal(SIGINT, OnInterrupt);
    // A file-size limit then shows as a failed write, which removes the
    // partial output, instead of ending the program with the file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    JoinOptions options;
    options.replaceExisting = force;
    JoinSummary summary;
    const JoinResult result = JoinRecordings(
        selection, plan.frontOutput, plan.rearOutput, g_cancel,
        [](int done, int total) { std::cerr << "progress " << done << '/' << total << '\n'; },
        options, &summary);
    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);

    if (result == JoinResult::kCancelled) return Fail(kFailed, "join cancelled; nothing written");
    if (result != JoinResult::kDone)
        return Fail(kFailed, "join failed: " + CoreErrorText(summary.error));

    if (parsed.Has("--json")) {
        nlohmann::json out = {{"recordings", selection.size()},
                              {"front",
                               {{"path", plan.frontOutput},
                                {"size", summary.frontBytes},
                                {"indexEntries", summary.frontIndexEntries},
                                {"sensorRecords", summary.frontSensorRecords}}},
                              {"rear", nullptr},
                              {"rearNote", CoreErrorText(summary.rearNote)}};
        if (summary.rearWritten) {
            out["rear"] = {{"path", plan.rearOutput},
                           {"size", summary.rearBytes},
                           {"indexEntries", summary.rearIndexEntries}};
        }
        // Paths need not be UTF-8: written losslessly instead of aborting.
        std::cout << JsonText(nlohmann::ordered_json(out)) << '\n';
    } else {
        std::cout << plan.frontOutput << '\n';
        if (summary.rearWritten) std::cout << plan.rearOutput << '\n';
        if (summary.rearNote)
            std::cerr << "trivexa-cli: no rear clip written: " << CoreErrorText(summary.rearNote)
                      << '\n';
    }
    return kOk;
}

const Registration reg{"join", "[--json] [--force] OUTDIR RECORDING...", &RunJoin};

}  // namespace
}  // namespace trivexa::cli
