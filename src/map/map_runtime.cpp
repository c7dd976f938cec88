#include "map/map_runtime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

#include "map/module/map_module.h"

namespace trivexa {
namespace {

constexpr const char* kModuleName = "trivexa_map";

}  // namespace

MapModuleLoader::MapModuleLoader(std::vector<std::string> candidates)
    : candidates_(std::move(candidates)) {}

MapModule* MapModuleLoader::Load() {
    if (tried_) return module_;
    tried_ = true;
    error_ = "no place to look for the map module";
    for (const std::string& path : candidates_) {
        // The loader stays: unloading the library would pull the map
        // dialog's code from under its widgets.
        auto* loader = new QPluginLoader(QString::fromStdString(path), qApp);
        QObject* root = loader->instance();
        if (root == nullptr) {
            error_ = loader->errorString().toStdString();
            delete loader;
            continue;
        }
        module_ = qobject_cast<MapModule*>(root);
        if (module_ != nullptr) {
            error_.clear();
            return module_;
        }
        error_ = path + " is not the map module";
    }
    return nullptr;
}

std::vector<std::string> DefaultMapModuleCandidates() {
    std::vector<std::string> candidates;
    const QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.isEmpty()) {
        candidates.push_back(QDir(appDir).filePath(QString::fromLatin1(kModuleName)).toStdString());
        candidates.push_back(
            QDir(appDir)
                .filePath(QStringLiteral("../lib/trivexa/") + QString::fromLatin1(kModuleName))
                .toStdString());
    }
#ifdef TRIVEXA_MAP_MODULE_BUILD_DIR
    candidates.push_back(QDir(QStringLiteral(TRIVEXA_MAP_MODULE_BUILD_DIR))
                             .filePath(QString::fromLatin1(kModuleName))
                             .toStdString());
#endif
    return candidates;
}

MapModuleLoader& DefaultMapModuleLoader() {
    static MapModuleLoader loader(DefaultMapModuleCandidates());
    return loader;
}

void PrepareMapModuleBeforeApplication() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace trivexa
