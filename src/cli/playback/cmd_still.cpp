// trivexa-cli still [--mirror] [--force] CLIP FRAME OUT.jpg: the batch form of
// the still button. Opens the clip in a player without a display, shows FRAME
// (frame units of the clip), mirrors it when asked and saves the picture
// shown as a JPEG at the clip's native size. OUT is never the clip, and an
// existing OUT is replaced only with --force.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <charconv>
#include <chrono>
#include <memory>
#include <thread>

#include "cli/command.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "playback/movie_player.h"

namespace trivexa::cli {
namespace {

// Opening and decoding one picture never takes this long on a sound clip.
constexpr int kPictureTimeoutMs = 20000;

bool WaitFor(const auto& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kPictureTimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

int RunStill(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {"--mirror", "--force"}, {}, parsed)) return kUsage;
    if (parsed.operands.size() != 3)
        return Fail(kUsage, "usage: trivexa-cli still [--mirror] [--force] CLIP FRAME OUT.jpg");
    const std::string& clip = parsed.operands[0];
    const std::string& frameText = parsed.operands[1];
    const std::string& out = parsed.operands[2];
    std::int64_t frame = -1;
    const auto [end, ec] =
        std::from_chars(frameText.data(), frameText.data() + frameText.size(), frame);
    if (ec != std::errc() || end != frameText.data() + frameText.size() || frame < 0)
        return Fail(kUsage, "FRAME must be a frame number (0 or more)");
    if (platform::IsOneOfInputs(out, {clip}))
        return Fail(kFailed, out + ": the still would replace the clip itself");
    const bool force = parsed.Has("--force");
    if (platform::IsDirectory(out)) return Fail(kFailed, out + " is a folder");
    if (!force && (platform::PathExists(out) || platform::IsSymlink(out)))
        return Fail(kFailed, out + " already exists (--force replaces it)");

    // The player posts its notices through the event loop.
    std::unique_ptr<QCoreApplication> app;
    static int argc = 1;
    static char name[] = "trivexa-cli";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        app = std::make_unique<QCoreApplication>(argc, argv);

    QObject window;
    MemoryFrameSink sink;
    MoviePlayer player;
    if (!player.Initialise(&window, &sink)) return Fail(kFailed, "cannot set up a player");
    const OpenResult opened = player.Open(clip);
    if (opened == OpenResult::kTooShort)
        return Fail(kFailed, clip + ": the clip is too short to play");
    if (opened != OpenResult::kOpened) {
        const std::string why = player.LastErrorText();
        return Fail(kFailed, clip + ": cannot be played" + (why.empty() ? "" : ": " + why));
    }
    if (!WaitFor([&] { return player.HasDisplay(); }))
        return Fail(kFailed, clip + ": no picture could be decoded");
    player.SetZoom(0, 0, 0, 0, 1.0f, false);
    const long before = sink.PresentCount();
    if (!player.Seek(frame) || !WaitFor([&] { return sink.PresentCount() > before; }))
        return Fail(kFailed, clip + ": frame " + frameText + " could not be shown");
    if (parsed.Has("--mirror")) player.ToggleMirror();
    if (!player.SaveFrame(out, /*replace=*/force)) {
        if (!force && (platform::PathExists(out) || platform::IsSymlink(out)))
            return Fail(kFailed, out + " already exists (--force replaces it)");
        return Fail(kFailed, out + ": the still cannot be written");
    }
    player.Close();
    return kOk;
}

const Registration reg{"still", "[--mirror] [--force] CLIP FRAME OUT.jpg", &RunStill};

}  // namespace
}  // namespace trivexa::cli
