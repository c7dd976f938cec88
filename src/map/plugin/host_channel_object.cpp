#include "map/plugin/host_channel_object.h"

#include <QVariantList>

namespace trivexa {

QVariantList TrackVariant(const map::TrackArray& track) {
    QVariantList list;
    list.reserve(static_cast<qsizetype>(track.points.size() * 3 + 1));
    for (const map::TrackPoint& p : track.points) {
        list.append(p.latitude);
        list.append(p.longitude);
        list.append(static_cast<int>(p.frame));
    }
    list.append(static_cast<int>(track.CountElement()));
    return list;
}

HostChannelObject::HostChannelObject(MapHost& host, QObject* parent)
    : QObject(parent), host_(host) {}

QVariant HostChannelObject::ValueOf(map::HostValue value) {
    switch (value) {
        case map::HostValue::kConnectTest:
            return host_.ConnectTest();
        case map::HostValue::kMapUrl:
            return QString::fromStdString(host_.GetMapURL());
        case map::HostValue::kGroupTrack:
            return TrackVariant(host_.GetGroupTrack());
        case map::HostValue::kRecordingTrack: {
            const std::optional<map::TrackArray> track = host_.GetRecordingTrack();
            // No list: null, which the page takes as "nothing to draw".
            return track ? QVariant(TrackVariant(*track)) : QVariant::fromValue(nullptr);
        }
        case map::HostValue::kPosition:
            return QString::fromStdString(host_.GetPosition());
    }
    return {};
}

QVariantMap HostChannelObject::hostValues() {
    for (int i = 0; i < map::kHostValueCount; ++i) {
        const auto value = static_cast<map::HostValue>(i);
        sent_.insert(QString::fromLatin1(map::HostValueName(value)), ValueOf(value));
    }
    return sent_;
}

void HostChannelObject::Refresh(map::HostValues values) {
    QVariantMap changed;
    for (int i = 0; i < map::kHostValueCount; ++i) {
        const auto value = static_cast<map::HostValue>(i);
        if (!values.Has(value)) continue;
        const QString name = QString::fromLatin1(map::HostValueName(value));
        QVariant v = ValueOf(value);
        const auto it = sent_.constFind(name);
        if (it != sent_.constEnd() && *it == v) continue;
        sent_.insert(name, v);
        changed.insert(name, std::move(v));
    }
    if (!changed.isEmpty()) emit valuesSet(changed);
}

void HostChannelObject::Call(const QString& script) {
    Refresh(map::ReadsOf(script.toStdString()));
    emit runScript(script);
}

void HostChannelObject::Post(const QString& json) { emit webMessage(json); }

void HostChannelObject::JS2C_OnInitHtml() { host_.OnPageReady(); }

void HostChannelObject::JS2C_SetSend() {
    // The page reads the connection and the frame right after this call; the
    // fresh values reach it before its next pass.
    Refresh(map::HostValues()
                .Add(map::HostValue::kConnectTest)
                .Add(map::HostValue::kMapUrl)
                .Add(map::HostValue::kPosition));
    host_.SendState();
}

void HostChannelObject::JS2C_OnClickCrashPoint(int ifile, int igrid, int ipos, int valid,
                                               double lat, double lng, double speed,
                                               double direction) {
    host_.OnEventClicked(ifile, igrid, ipos, valid, lat, lng, speed, direction);
}

QString HostChannelObject::TestMethod(const QString& text, int number) {
    return QStringLiteral("TestMethod(%1, %2) called.\n").arg(text).arg(number);
}

}  // namespace trivexa
