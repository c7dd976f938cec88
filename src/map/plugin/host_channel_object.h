#pragma once
// HostChannelObject: the map page's host object, published to the page as
// "sample" on the page's web channel. The page's adapter (host.js) turns it
// into the synchronous chrome.webview.hostObjects.sync.sample the page calls
// and into the message events it listens to, so the page runs unchanged.
//
// A channel cannot answer a call synchronously, so the values the page reads
// (connection, loader address, tracks, playback frame) are kept on the
// page's side and refreshed from here: all of them when the page connects
// (hostValues), the ones a host call reads right before the call (Call), the
// connection and frame whenever the page asks for the state (JS2C_SetSend,
// once a second). The page's own calls arrive as invokable methods and go to
// the host on the UI thread.
//
// Lives on the UI thread with its dialog; the host must outlive it.

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include "map/core/map_script.h"
#include "map/module/map_module.h"

namespace trivexa {

class HostChannelObject : public QObject {
    Q_OBJECT
    // The page reads it once, when it connects: every value, fresh.
    Q_PROPERTY(QVariantMap hostValues READ hostValues CONSTANT)

public:
    explicit HostChannelObject(MapHost& host, QObject* parent = nullptr);

    QVariantMap hostValues();

    // Asks the host for `values` and sends the page those that differ from
    // what it holds.
    void Refresh(map::HostValues values);
    // One call of a page function, after the values it reads.
    void Call(const QString& script);
    // A message for the page's message listeners (JSON text).
    void Post(const QString& json);

    // The value of `value` as the page receives it.
    QVariant ValueOf(map::HostValue value);

    // --- The page's calls (through the channel) ---------------------------
    Q_INVOKABLE void JS2C_OnInitHtml();
    Q_INVOKABLE void JS2C_SetSend();
    Q_INVOKABLE void JS2C_OnClickCrashPoint(int ifile, int igrid, int ipos, int valid, double lat,
                                            double lng, double speed, double direction);
    // Answers itself, as a check of the channel: "TestMethod(text, n) called.\n".
    Q_INVOKABLE QString TestMethod(const QString& text, int number);

signals:
    void valuesSet(const QVariantMap& changed);
    void runScript(const QString& script);
    void webMessage(const QString& json);

private:
    MapHost& host_;
    QVariantMap sent_;  // the values the page holds
};

// A track array as the page receives it: latitude and longitude as numbers,
// frame numbers and the final count as integers.
QVariantList TrackVariant(const map::TrackArray& track);

}  // namespace trivexa
