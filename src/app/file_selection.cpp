#include "app/file_selection.h"

#include "browser/file_select_dlg.h"

namespace trivexa {

std::vector<RecordingEntry> RunFileSelection(QWidget* owner, bool join,
                                             const std::string& objectName,
                                             const std::vector<RecordingEntry>& full,
                                             const std::vector<RecordingEntry>& displayed) {
    CFileSelectDlg dialog(owner);
    dialog.setObjectName(QString::fromStdString(objectName));
    dialog.SetMode(join ? FileSelectMode::kJoin : FileSelectMode::kDelete);
    if (!join) dialog.SetFullList(full);
    dialog.SetDisplayedList(displayed);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.Result();
}

}  // namespace trivexa
