// CVidorraDlg's online half: the update check started once at the second
// stage of start-up on the connection the map made, the notice shown when the
// check finds newer versions, and no notice once the window closes (the
// connection's destructor ends a request still waiting on a silent server).
#include <memory>

#include "app/vidorra_dlg.h"
#include "browser/filer_container_dlg.h"
#include "online/core/update_settings.h"
#include "online/inet_connection_async.h"
#include "online/update_dialog.h"

namespace trivexa {

CUpdateDialog* CVidorraDlg::UpdateNotice() const { return updateNotice_.data(); }

void CVidorraDlg::StartUpdateCheck() {
    // The connection comes with the map (CreateMap), which does not make it
    // once the window is closing.
    if (!inet_ || !online::ReadUpdateCheckEnabled()) return;
    // The device texts of the card the browser opened (empty without a card:
    // then only the viewer's own version is compared).
    const DeviceInfo& device = browser_->Device();
    inet_->StartUpdateCheck(device.firmwareVersion, device.gpsDataVersion, device.reserved,
                            device.modelId);
}

void CVidorraDlg::ShowUpdateAvailable() {
    if (!inet_) return;
    const online::UpdateNotice notice = inet_->Notice();
    if (notice.empty()) return;
    // The check posts once per run; a notice still open is replaced rather
    // than stacked.
    if (updateNotice_) updateNotice_->close();
    updateNotice_ = ShowUpdateNotice(notice, this);
}

void CVidorraDlg::StopOnline() {
    // No notice may be posted to a window on its way out. The connection
    // itself goes with the window, after the map that uses it; its
    // destructor aborts the running requests and joins both workers.
    if (inet_) inet_->SetNotifyTarget(nullptr);
    if (updateNotice_) delete updateNotice_.data();
}

}  // namespace trivexa
