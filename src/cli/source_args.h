#pragma once
// Opening the SOURCE operand of the listing commands (tree, list) the way the
// browser opens a source: the kind from --kind or guessed from the path.

#include <string>

#include "browser/model/browser_model.h"
#include "cli/command.h"

namespace trivexa::cli {

// Opens `source` in `model`; `kind` receives the kind used. Returns kOk, or
// the exit status after printing the message (kUsage for a bad --kind,
// kFailed for a source that cannot be read).
int OpenSourceOperand(const ParsedArgs& parsed, const std::string& source, BrowserModel& model,
                      SourceKind& kind);

}  // namespace trivexa::cli
