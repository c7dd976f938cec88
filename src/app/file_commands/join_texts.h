#pragma once
// The words for a join's failures: the detail line the join task's failure
// message carries, and the lines `trivexa-cli join` prints. The core reports
// a code and a path or number (platform/core_error.h); the wording is chosen
// here, once, for both.

#include <string>

#include "container/concat.h"
#include "platform/core_error.h"

namespace trivexa {

// One line for `error` ("" for no error), e.g. "cannot read PATH".
std::string CoreErrorText(const CoreError& error);

// One line describing a preparation result.
std::string JoinPrepareMessage(JoinPrepareResult result, const JoinPlan& plan);

}  // namespace trivexa
