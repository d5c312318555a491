#pragma once

#include <QString>
#include <QUrl>
#include <QWebEngineView>

#include "engine/MapType.h"

class JSBridge;
class QWebChannel;

// The map view: loads one of the four map pages from disk, offers the page
// the bridge object "JSBridge" on a web channel, and turns the map workers'
// signals into calls of the page's script functions. GUI thread only.
class CustomWebView : public QWebEngineView {
    Q_OBJECT
public:
    explicit CustomWebView(QWidget* parent = nullptr);

    // True once the loaded page has called loadMap_finish().
    bool IsLoad() const { return loaded; }

    // Loads the page of the map type; unknown types load OpenStreetMap.
    void LoadMap(MapType type);
    void LoadGoogle();
    void LoadBaidu();
    void LoadOSMap();
    void LoadBing();

    // The executable's folder + "/../Resources", where html/ holds the pages.
    static QString ResourcesFolder();
    // File URL of the page of the map type under resourcesFolder + "/html".
    static QUrl PageUrl(MapType type, const QString& resourcesFolder);

    // Script calls, run in the order they are made.
    void ClearBackLine();
    void ClearTrackLine();
    void SetBackLineShow(bool show);
    // Argument lists as DrawGPS builds them (ScriptArgs).
    void AddTrack(const QString& trackArgs, const QString& carArgs);
    // points: "lat,lon;" per point, as DrawBackLine sends them.
    void DrawBackLine(const QString& points);

signals:
    void Signal_loadMap_finish();
    void Signal_findPoint(QString lat, QString lon);

private:
    void Load(MapType type);
    void Run(const QString& script);

    JSBridge* const bridge;
    QWebChannel* const channel;
    bool loaded = false;
};
