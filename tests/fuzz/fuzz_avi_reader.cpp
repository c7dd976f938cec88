// ReadClipInfo, DeriveFacts, ReadTiming and CheckClip on arbitrary files.
#include <cstdlib>

#include "container/avi_reader.h"
#include "container/integrity.h"
#include "fuzz_clip_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trivexa;
    const std::filesystem::path p = fuzz::WriteInput(data, size);
    if (const std::optional<ClipInfo> info = ReadClipInfo(p)) {
        // Nothing read may claim more than the file holds.
        if (info->indexEntries.size() * avi::kIndexEntrySize > size) std::abort();
        if (info->sensorRecords.size() > size) std::abort();
        (void)DeriveFacts(*info);
    }
    (void)ReadTiming(p);
    std::uint64_t expected = 0;
    const int result = static_cast<int>(CheckClip(p, &expected));
    if (result < 0 || result > 2) std::abort();
    return 0;
}
