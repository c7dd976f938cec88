#include "app/core/recording_life.h"

namespace trivexa {

int ExpectedReports(bool frontOpened, bool rearOpened) {
    return (frontOpened ? 1 : 0) + (rearOpened ? 1 : 0);
}

OpenOutcome ClassifyOpen(int combinedResult) {
    if ((combinedResult & 2) != 0) return OpenOutcome::kTooShort;
    if ((combinedResult & 1) != 0) return OpenOutcome::kOpened;
    return OpenOutcome::kFailed;
}

int OpenFailureMessageId(OpenOutcome outcome) {
    return outcome == OpenOutcome::kTooShort ? 97 : 96;
}

EndStep EndOfRecordingStep(int currentRow, int rowCount, bool treeHasNextNode) {
    if (currentRow < 0 || currentRow >= rowCount) return EndStep::kNothing;
    if (currentRow + 1 < rowCount) return EndStep::kNextRow;
    return treeHasNextNode ? EndStep::kNextFolder : EndStep::kStopAtStart;
}

std::optional<std::size_t> PreviousEventIndex(std::span<const std::int64_t> frames,
                                              std::int64_t current, std::int64_t duration) {
    for (const std::int64_t limit : {current, duration + 1}) {
        for (std::size_t i = frames.size(); i-- > 0;)
            if (frames[i] < limit) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> NextEventIndex(std::span<const std::int64_t> frames,
                                          std::int64_t current) {
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (frames[i] > current) return i;
    if (!frames.empty()) return 0;
    return std::nullopt;
}

int ModelCodeOf(std::string_view model) {
    while (!model.empty() && (model.back() == ' ' || model.back() == '\0')) model.remove_suffix(1);
    if (model == "PL35-XQR") return 2;
    if (model == "PL21-XQR") return 1;
    return 0;
}

}  // namespace trivexa
