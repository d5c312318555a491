#include "telemetry/JSBridge.h"

#include <QDebug>

JSBridge::JSBridge(QObject* parent) : QObject(parent) {}

void JSBridge::loadMap_finish() {
    emit Signal_loadMap_finish();
}

void JSBridge::ClickLineCallBack(const QString& lat, const QString& lon) {
    emit Signal_findPoint(lat, lon);
}

void JSBridge::Msg(const QString& text) {
    qDebug().noquote() << text;
}
