#pragma once

#include <QObject>
#include <QString>

// The object the map page reaches as "JSBridge" over the web channel. Only
// these three methods are exposed to the page.
class JSBridge : public QObject {
    Q_OBJECT
public:
    explicit JSBridge(QObject* parent = nullptr);

    // The page has built its map and opened the channel.
    Q_INVOKABLE void loadMap_finish();
    // A click on the route at (lat, lon), in the map's datum, as text.
    Q_INVOKABLE void ClickLineCallBack(const QString& lat, const QString& lon);
    // A message from the page, written to the debug stream.
    Q_INVOKABLE void Msg(const QString& text);

signals:
    void Signal_loadMap_finish();
    void Signal_findPoint(QString lat, QString lon);
};
