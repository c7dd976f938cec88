// Trash through Qt Core: the freedesktop.org trash (files/ and info/ under
// the trash folder) is what file managers show and restore from.
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "platform/files.h"

namespace trivexa::platform {
namespace {

// A fresh account has no trash yet; create the home trash so that a file on
// the home volume always has somewhere to go.
void EnsureHomeTrash() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return;
    const QString trash = data + QStringLiteral("/Trash");
    QDir().mkpath(trash + QStringLiteral("/files"));
    QDir().mkpath(trash + QStringLiteral("/info"));
    QFile::setPermissions(trash,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace

bool MoveToTrash(const std::string& path) {
    if (path.empty()) return false;
    EnsureHomeTrash();
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    return QFile::moveToTrash(name);
}

}  // namespace trivexa::platform
