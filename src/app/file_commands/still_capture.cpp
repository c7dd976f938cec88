#include "app/file_commands/still_capture.h"

#include "app/file_commands/still_names.h"
#include "platform/files.h"
#include "platform/output_file.h"

namespace trivexa {

StillCaptureReport RunStillCapture(StillCaptureOwner& owner) {
    StillCaptureReport report;
    if (!owner.CanCapture()) return report;
    owner.PrepareCapture();

    const std::string folder = owner.ChooseFolder();
    if (folder.empty()) {
        report.result = StillCaptureResult::kFolderCancelled;
        owner.EndCapture();
        return report;
    }

    const std::string name = owner.RecordingName();
    const std::int64_t position = owner.Position();
    // Only cameras with a picture get a file; the one that named the
    // recording is asked about first, as its name is the one the user sees.
    const bool front = owner.HasPicture(Camera::Front);
    const bool rear = owner.HasPicture(Camera::Rear);
    const std::string frontPath = front ? StillPath(folder, name, position, Camera::Front) : "";
    const std::string rearPath = rear ? StillPath(folder, name, position, Camera::Rear) : "";

    bool ok = (front || rear) && (!front || !frontPath.empty()) && (!rear || !rearPath.empty());
    // A folder of that name cannot become a picture, and a picture never
    // replaces a clip (a link of that name leading to one).
    const std::vector<std::string> inputs = owner.InputPaths();
    for (const std::string* p : {&frontPath, &rearPath})
        if (ok && !p->empty() &&
            (platform::IsDirectory(*p) || platform::IsOneOfInputs(*p, inputs)))
            ok = false;

    bool declined = false;
    if (ok) {
        for (const std::string* p : {&frontPath, &rearPath}) {
            if (p->empty() || !platform::PathExists(*p)) continue;
            if (!owner.ConfirmOverwrite(*p)) declined = true;
            break;  // one question covers both pictures
        }
    }

    if (ok && !declined) {
        if (front && owner.SaveFrame(Camera::Front, frontPath)) report.frontPath = frontPath;
        if (rear && owner.SaveFrame(Camera::Rear, rearPath)) report.rearPath = rearPath;
        ok = !report.frontPath.empty() || !report.rearPath.empty();
        if (ok) owner.RememberFolder(folder);
    }
    owner.RestoreLayout();

    if (declined) {
        report.result = StillCaptureResult::kOverwriteDeclined;
    } else if (ok) {
        report.result = StillCaptureResult::kSaved;
        owner.ShowMessage(kUiTaskComplete, kUiTaskCompleteCaption);
    } else {
        report.result = StillCaptureResult::kFailed;
        owner.ShowMessage(kUiStillFailed, -1);
    }
    owner.EndCapture();
    return report;
}

}  // namespace trivexa
