#include "browser/browse_for_folder.h"

#include <QFileDialog>
#include <QUrl>

#include "app/core/settings_file.h"
#include "app/core/ui_strings.h"
#include "controls/msg_box.h"
#include "recordings/drive_utils.h"

namespace trivexa {
namespace {

constexpr int kUiNoFolderPath = 95;

}  // namespace

std::string BrowseForFolder(QWidget* owner, const std::string& section, const std::string& key,
                            const std::string& title) {
    const std::string start = BrowseStartFolder(ReadSetting(section, key));
    QFileDialog dialog(owner, QString::fromUtf8(title), QString::fromUtf8(start));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setObjectName(QStringLiteral("BrowseForFolder"));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QList<QUrl> urls = dialog.selectedUrls();
    if (urls.isEmpty()) return {};
    const QUrl& chosen = urls.front();
    if (!chosen.isLocalFile() || chosen.toLocalFile().isEmpty()) {
        CMsgBox(owner).Show(UiString(kUiNoFolderPath), "ERROR", 0);
        return {};
    }
    return QFile::encodeName(chosen.toLocalFile()).toStdString();
}

}  // namespace trivexa
