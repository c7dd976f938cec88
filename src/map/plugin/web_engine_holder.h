#pragma once
// CWebEngineHolder: the map dialog's browser. It makes the web profile (the
// tile cache on disk, the User-Agent), the page with its web channel and the
// host object on it, and the view inside the dialog, and loads the map page
// from the module's resources, never from the network.
//
// The page may go nowhere else: a link it opens (the map library's credit)
// goes to the user's browser, anything else is refused. A renderer that
// dies is restarted with a fresh page, which then reports ready again.
//
// Owned by CWebMapDlg on the UI thread; made once, when the dialog is first
// shown.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebChannel>
#include <memory>

#include "map/module/map_module.h"
#include "map/plugin/host_channel_object.h"

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace trivexa {

// Where the map page lies in the module's resources.
inline constexpr const char* kMapPageUrl = "qrc:/trivexa/map/map.html";

class CWebEngineHolder {
public:
    CWebEngineHolder(MapHost& host, const MapDialogOptions& options);
    // Takes the host object off the channel, then the view (and its page)
    // goes before the profile.
    ~CWebEngineHolder();
    CWebEngineHolder(const CWebEngineHolder&) = delete;
    CWebEngineHolder& operator=(const CWebEngineHolder&) = delete;

    // Makes the view as a child of `dialog` filling it and loads the page.
    // False when the channel's script is missing (the view then stays empty).
    bool Create(QWidget* dialog);

    QWebEngineView* View() const { return view_; }
    HostChannelObject& HostObject() { return hostObject_; }
    // The dialog's client rectangle, at the zoom factor.
    void FitTo(QWidget* dialog);

private:
    MapDialogOptions options_;
    HostChannelObject hostObject_;
    QWebChannel channel_;
    std::unique_ptr<QWebEngineProfile> profile_;
    QPointer<QWebEngineView> view_;
};

}  // namespace trivexa
