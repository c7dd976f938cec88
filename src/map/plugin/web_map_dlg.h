#pragma once
// CWebMapDlg: the map dialog, the widget that holds the browser with the
// map page (MapDialog of map/module/map_module.h). It keeps what the page
// is told once a second (latitude, longitude, play status) and builds that
// message; the browser itself is its CWebEngineHolder.
//
// The browser is made the first time the dialog is shown, so that it starts
// at the dialog's size and a map that is never shown costs nothing. UI
// thread only.

#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "map/core/json_holder.h"
#include "map/module/map_module.h"

namespace trivexa {

class CWebEngineHolder;

class CWebMapDlg : public QWidget, public MapDialog {
    Q_OBJECT

public:
    CWebMapDlg(QWidget* parent, MapHost& host, const MapDialogOptions& options);
    ~CWebMapDlg() override;

    QWidget* Widget() override { return this; }
    bool ViewExists() const override;
    void RunScript(std::string_view script) override;
    void SetLatLng(double latitude, double longitude) override;
    double Latitude() const override { return latitude_; }
    double Longitude() const override { return longitude_; }
    void SetStatusText(std::string_view status) override { status_ = std::string(status); }
    std::string StatusText() const override { return status_; }
    void SendState() override;
    void ValueChanged(map::HostValue value) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PushPending();

    MapHost& host_;
    MapDialogOptions options_;
    bool started_ = false;
    std::unique_ptr<CWebEngineHolder> holder_;
    CJsonHolder json_;
    double latitude_ = 0.0;
    double longitude_ = 0.0;
    std::string status_;
    // Host values changed since they were last pushed, pushed together.
    map::HostValues pending_;
    QTimer pushTimer_;
};

}  // namespace trivexa
