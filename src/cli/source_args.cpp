#include "cli/source_args.h"

#include "platform/files.h"

namespace trivexa::cli {

int OpenSourceOperand(const ParsedArgs& parsed, const std::string& source, BrowserModel& model,
                      SourceKind& kind) {
    kind = SourceKind::None;
    if (const std::string* k = parsed.Value("--kind")) {
        if (!ParseSourceKind(*k, kind)) return Fail(kUsage, "unknown source kind " + *k);
    }
    if (!platform::PathExists(source)) return Fail(kFailed, "cannot read " + source);
    if (kind == SourceKind::None) kind = GuessSourceKind(source);
    if (kind != SourceKind::File && !platform::IsDirectory(source))
        return Fail(kFailed, source + " is not a folder");
    // A folder that cannot be listed is not an empty source.
    std::vector<platform::DirEntry> entries;
    if (kind != SourceKind::File && !platform::ListDirectory(source, entries))
        return Fail(kFailed, "cannot read " + source);
    if (!model.OpenSource(source, kind)) return Fail(kFailed, "cannot read " + source);
    return kOk;
}

}  // namespace trivexa::cli
