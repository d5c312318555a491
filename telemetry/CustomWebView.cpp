#include "telemetry/CustomWebView.h"

#include <QCoreApplication>
#include <QDebug>
#include <QWebChannel>
#include <QWebEnginePage>

#include "telemetry/JSBridge.h"
#include "telemetry/PageMapType.h"
#include "telemetry/ScriptArgs.h"

namespace {

QString PageFile(MapType type) {
    switch (PageMapType(type)) {
        case MapType::Google:
            return QStringLiteral("Google.html");
        case MapType::Baidu:
            return QStringLiteral("Baidu.html");
        case MapType::Bing:
            return QStringLiteral("Bing.html");
        case MapType::OSMap:
            break;
    }
    return QStringLiteral("LeafLet_OpenStreet.html");
}

}  // namespace

CustomWebView::CustomWebView(QWidget* parent)
    : QWebEngineView(parent), bridge(new JSBridge(this)), channel(new QWebChannel(this)) {
    connect(bridge, &JSBridge::Signal_loadMap_finish, this, [this] {
        loaded = true;
        emit Signal_loadMap_finish();
    });
    connect(bridge, &JSBridge::Signal_findPoint, this, &CustomWebView::Signal_findPoint);
    channel->registerObject(QStringLiteral("JSBridge"), bridge);
    page()->setWebChannel(channel);
}

void CustomWebView::LoadMap(MapType type) {
    Load(PageMapType(type));
}

void CustomWebView::LoadGoogle() {
    qDebug() << PageUrl(MapType::Google, ResourcesFolder()).toString();
    Load(MapType::Google);
}

void CustomWebView::LoadBaidu() {
    Load(MapType::Baidu);
}

void CustomWebView::LoadOSMap() {
    Load(MapType::OSMap);
}

void CustomWebView::LoadBing() {
    Load(MapType::Bing);
}

QString CustomWebView::ResourcesFolder() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../Resources");
}

QUrl CustomWebView::PageUrl(MapType type, const QString& resourcesFolder) {
    return QUrl::fromLocalFile(resourcesFolder + QStringLiteral("/html/") + PageFile(type));
}

void CustomWebView::Load(MapType type) {
    loaded = false;
    load(PageUrl(type, ResourcesFolder()));
}

void CustomWebView::ClearBackLine() {
    Run(ScriptArgs::Call(QStringLiteral("ClearBackLine")));
}

void CustomWebView::ClearTrackLine() {
    Run(ScriptArgs::Call(QStringLiteral("ClearTrackLine")));
    Run(ScriptArgs::Call(QStringLiteral("ClearCarMarker")));
}

void CustomWebView::SetBackLineShow(bool show) {
    Run(ScriptArgs::Call(show ? QStringLiteral("ShowBackLine") : QStringLiteral("HideBackLine")));
}

void CustomWebView::AddTrack(const QString& trackArgs, const QString& carArgs) {
    Run(ScriptArgs::Call(QStringLiteral("DrawTrackLine"), trackArgs));
    Run(ScriptArgs::Call(QStringLiteral("MoveCar"), carArgs));
}

void CustomWebView::DrawBackLine(const QString& points) {
    Run(ScriptArgs::Call(QStringLiteral("DrawBackLine"), ScriptArgs::String(points)));
}

void CustomWebView::Run(const QString& script) {
    page()->runJavaScript(script);
}
