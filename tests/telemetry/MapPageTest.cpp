// The four map pages in real Qt WebEngine, loaded from <build>/Resources/html
// beside the test program in <build>/bin, exactly as the player loads them.
// The page state is read back through runJavaScript.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>

#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "telemetry/CustomWebView.h"
#include "telemetry/DrawBackLine.h"
#include "telemetry/ScriptArgs.h"

namespace {

// Before the application object: WebEngine wants shared GL contexts, and
// Mesa under Xvfb is no GPU.
const bool kWebEngineSetUp = [] {
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

const char* kLogCalls =
    "window.calls = []; ['DrawTrackLine', 'MoveCar', 'ClearTrackLine',"
    " 'ClearCarMarker', 'DrawBackLine', 'HideBackLine'].forEach(function (n) {"
    " var f = window[n]; window[n] = function () { calls.push(n);"
    " return f.apply(this, arguments); }; });";

// Clicks the page at the map's pixel for (lat, lng) the way a mouse would.
const char* kClickAt =
    "(function (lat, lng) { var p = OrdavexMap.map().latLngToContainerPoint([lat, lng]);"
    " var box = document.getElementById('map').getBoundingClientRect();"
    " var x = box.left + p.x, y = box.top + p.y; var target = document.elementFromPoint(x, y);"
    " ['mousedown', 'mouseup', 'click'].forEach(function (type) { target.dispatchEvent("
    " new MouseEvent(type, {clientX: x, clientY: y, bubbles: true, view: window})); });"
    " return target.tagName; })(22.51, 113.91)";

QVariant Eval(CustomWebView& view, const QString& script) {
    QVariant result;
    bool done = false;
    view.page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 30000)) << script.toStdString();
    return result;
}

class MapPage : public ::testing::TestWithParam<int> {};

}  // namespace

TEST_P(MapPage, KeepsThePageContract) {
    // Loaded hidden, as the window loads it behind the recording list.
    CustomWebView view;
    view.resize(800, 600);
    QSignalSpy loaded(&view, &CustomWebView::Signal_loadMap_finish);
    view.LoadMap(MapType(GetParam()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.size() == 1 && view.IsLoad(); }, 60000));
    const auto State = [&] { return Eval(view, "OrdavexMap.state()").toMap(); };
    const auto MoveCar = [&](const QString& id, double heading) {
        view.AddTrack(ScriptArgs::TrackArgs(id, 0, 1), ScriptArgs::CarArgs(id, 0, 1, heading));
    };
    const char* files[] = {"", "Google.html", "Baidu.html", "LeafLet_OpenStreet.html", "Bing.html"};
    EXPECT_EQ(view.url().fileName(), files[GetParam()]);
    // The first car zooms a map that shows more than a region in to street
    // level; routes drawn while the page is hidden are in view once it shows.
    const auto Zoom = [&] { return Eval(view, "OrdavexMap.map().getZoom()").toInt(); };
    EXPECT_LT(Zoom(), 10);
    view.DrawBackLine("22.500000,113.900000;22.510000,113.910000;");
    MoveCar("B1", 0);
    EXPECT_EQ(Zoom(), 16);
    view.DrawBackLine("22.520000,113.920000;");
    view.show();
    const char* routeInView =
        "OrdavexMap.map().getZoom() >= 10 &&"
        " OrdavexMap.map().getBounds().contains(OrdavexMap.route().getBounds())";
    EXPECT_TRUE(QTest::qWaitFor([&] { return Eval(view, routeInView).toBool(); }, 10000)) << Zoom();
    view.ClearTrackLine();
    view.ClearBackLine();
    // A click on the route reaches the bridge, and the track line worker seeks.
    Controller controller;
    DrawBackLine line(&controller, &controller.gpsList, SystemTimeSource::Instance());
    {
        QueueLock<GPSList> lock(controller.gpsList);
        for (int i = 0; i < 3; ++i) {
            controller.gpsList.InputData(40 + i, 22.5 + 0.01 * i, 113.9 + 0.01 * i);
        }
    }
    QObject::connect(&view, &CustomWebView::Signal_findPoint, &line, &DrawBackLine::RecvPoint);
    QSignalSpy seeks(&line, &DrawBackLine::Signal_seek);
    view.DrawBackLine("22.500000,113.900000;22.510000,113.910000;22.520000,113.920000;");
    ASSERT_EQ(Eval(view, kClickAt).toString().toLower(), "path");
    ASSERT_TRUE(QTest::qWaitFor([&] { return seeks.size() == 1; }, 30000));
    EXPECT_EQ(seeks[0][0].toLongLong(), 41000);
    // The script texts run in order; the route takes no empty point.
    view.ClearBackLine();
    Eval(view, kLogCalls);
    MoveCar("B1", 90);
    EXPECT_EQ(State()["track"].toList().size(), 1);
    const QVariantMap first = State();
    view.ClearTrackLine();
    view.SetBackLineShow(false);
    view.DrawBackLine("22.500000,113.900000;22.500001,113.900002;");
    EXPECT_EQ(Eval(view, "calls").toStringList(),
              QStringList({"DrawTrackLine", "MoveCar", "ClearTrackLine", "ClearCarMarker",
                           "HideBackLine", "DrawBackLine"}));
    QVariantMap state = State();
    EXPECT_EQ(state["route"],
              QVariantList({QVariantList({22.5, 113.9}), QVariantList({22.500001, 113.900002})}));
    EXPECT_FALSE(state["routeShown"].toBool());
    EXPECT_TRUE(state["track"].toList().isEmpty());
    EXPECT_TRUE(state["car"].isNull());
    // The track's colour comes round again after 24 clears.
    EXPECT_NE(state["trackColour"], first["trackColour"]);
    for (int i = 1; i < 24; ++i) {
        view.ClearTrackLine();
    }
    EXPECT_EQ(State()["colourIndex"], first["colourIndex"]);
    const struct {
        double heading;
        int icon;
    } headings[] = {{0, 0}, {23, 1}, {337, 7}, {338, 0}, {-10, 0}, {-30, 7}, {405, 1}, {720, 0}};
    for (const auto& h : headings) {
        MoveCar("B1", h.heading);
        EXPECT_EQ(State()["car"].toMap()["icon"].toInt(), h.icon) << h.heading;
    }
    const QString hostile = "A\"%2');window.ran=1;('</script><img src=x onerror=\"window.ran=1\">";
    MoveCar(hostile, 0);
    QTest::qWait(300);  // an injected image would have failed to load by now
    EXPECT_EQ(State()["car"].toMap()["label"].toString(), hostile);
    EXPECT_EQ(Eval(view, "typeof window.ran").toString(), "undefined");
}

INSTANTIATE_TEST_SUITE_P(EachService, MapPage, ::testing::Values(1, 2, 3, 4));

TEST(MapView, UnknownMapTypesLoadOpenStreetMapFromAnyFolder) {
    CustomWebView view;
    for (int type : {0, 3, 5, -1}) {
        view.LoadMap(MapType(type));
        EXPECT_EQ(view.page()->requestedUrl().fileName(), "LeafLet_OpenStreet.html") << type;
    }
    const QString folder = "/tmp/a #b%20c/Resources";
    EXPECT_EQ(CustomWebView::PageUrl(MapType::Bing, folder).toLocalFile(),
              folder + "/html/Bing.html");
}
