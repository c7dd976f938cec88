// The map module: the plugin the viewer loads at run time to make its map
// dialog (see map/module/map_module.h).

#include <QObject>
#include <QtPlugin>

#include "map/module/map_module.h"
#include "map/plugin/web_map_dlg.h"

namespace trivexa {

class MapPlugin : public QObject, public MapModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TRIVEXA_MAP_MODULE_IID)
    Q_INTERFACES(trivexa::MapModule)

public:
    MapDialog* CreateMapDialog(QWidget* parent, MapHost& host,
                               const MapDialogOptions& options) override {
        return new CWebMapDlg(parent, host, options);
    }
};

}  // namespace trivexa

#include "map_plugin.moc"
