// Every name operation on arbitrary bytes: file names come from the card and
// may be anything. Besides the sanitizers' checks, a few relations between
// the operations must hold for every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "recordings/drive_utils.h"
#include "recordings/recording_name.h"

using namespace trivexa;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string_view name = FileNameOf(path);

    const bool any = IsRecordingName(path, CameraFilter::Any);
    const bool front = IsRecordingName(path, CameraFilter::Front);
    const bool rear = IsRecordingName(path, CameraFilter::Rear);
    if ((front || rear) && !any) std::abort();
    // The grammar test answers exactly like a plain search with the pattern.
    static const std::regex pattern(
        "[APT_]{1,1}[GMD_]{1,1}[T_]{1,1}[S_]{1,1}-[0-9]{6,6}-[0-9]{6,6}-[0-9]{6,6}[FR]{1,1}.AVI",
        std::regex::ECMAScript);
    const bool searched = (name.size() <= 4 || name[4] == '-') &&
                          std::regex_search(name.begin(), name.end(), pattern) &&
                          TriggerKindOf(name) != TriggerKind::None;
    if (any != searched) std::abort();
    if (any && !HasRecognisedKind(path)) std::abort();

    TriggerFlags flags = 0;
    AddTriggerFlags(path, flags);
    if (flags & ~TriggerFlags{0x7f}) std::abort();
    const std::string text = TriggerText(path);
    if (name.size() < kRecordingNameLength && !text.empty()) std::abort();

    const SystemTime t = RecordingDateTime(path);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.dayOfWeek > 6) {
        std::abort();
    }
    (void)IsTimeLapse(path);
    (void)IsParking(path);
    (void)IsShockEvent(path);
    (void)SequenceText(path);
    (void)SequenceNumber(path);
    (void)ShortDisplayName(path);
    (void)StillBaseName(path);
    (void)HasAviExtension(path);
    // Partner paths always come out with '/' separators.
    if (FrontToRearPath(path).find('\\') != std::string::npos) std::abort();
    (void)RearToFrontPath(path);
    return 0;
}
