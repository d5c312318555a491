// The G-sensor chart on the offscreen platform: labels, window, unit toggles
// by a click on a label, and the hover read-out, in several time zones with
// the start time made from a recording's name as the engine makes it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "TimeZone.h"
#include "engine/RecordingName.h"
#include "telemetry/GSensorPlot.h"

namespace {
class GSensorPlotZones : public ::testing::TestWithParam<const char*> {};
}  // namespace

TEST_P(GSensorPlotZones, ShowsValuesTogglesUnitsAndReadsOutTheNearestSample) {
    ScopedTimeZone zone(GetParam());
    GSensorPlot plot;
    const auto label = [&](int item) { return static_cast<QCPItemText*>(plot.item(item)); };
    plot.resize(640, 320);
    plot.show();
    for (int i : {0, 1, 2, 3, 4, 6}) {
        EXPECT_EQ(label(i)->text(), "") << "no placeholder before the first sample: " << i;
    }
    const QDateTime start = RecordingName::StartOf(
        "/r/20230514120000_NM_0010000_0000100000_0320_0240_25_00512000_0000000088880001_01_x.avi");
    ASSERT_TRUE(start.isValid());
    plot.SetDateTime(start);
    plot.AddDate(1500, 0.5, -0.25, 1.0, 100, 25);
    plot.repaint();
    const double key = start.addMSecs(1500).toMSecsSinceEpoch() / 1000.0;
    EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, key);
    EXPECT_DOUBLE_EQ(plot.xAxis->range().lower, key - 10.8);
    const QStringList shown = {"X: 0.500", "Y:-0.250", "Z: 1.000", "100.0 km/h", "25.00 C"};
    for (int i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(label(i)->text(), shown[i]) << i;
    }
    const struct {
        int clicked;  // label item
        QString speed, temperature;
    } steps[] = {{3, "62.1 mph", "25.00 C"},
                 {4, "62.1 mph", "77.00 F"},
                 {0, "62.1 mph", "77.00 F"},
                 {3, "100.0 km/h", "77.00 F"},
                 {4, "100.0 km/h", "25.00 C"}};
    qint64 dts = 1500;
    for (const auto& step : steps) {
        QTest::mouseClick(&plot, Qt::LeftButton, Qt::NoModifier,
                          label(step.clicked)->position->pixelPosition().toPoint());
        plot.AddDate(dts += 100, 0.5, -0.25, 1.0, 100, 25);
        EXPECT_EQ(label(3)->text(), step.speed) << step.clicked;
        EXPECT_EQ(label(4)->text(), step.temperature) << step.clicked;
    }
    plot.AddDate(dts + 40, 0.125, 0.75, -1.5, 0, 0);  // the newest, at the right edge
    plot.repaint();
    QMouseEvent move(QEvent::MouseMove, QPoint(plot.xAxis->coordToPixel(key + 10), 100),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&plot, &move);
    EXPECT_EQ(label(6)->text().toStdString(),
              "12:00:02.040 x=0.125,y=0.75,z=-1.5");  // the name's clock
    plot.Clear();
    EXPECT_TRUE(plot.graph(2)->data()->isEmpty());
    EXPECT_EQ(label(3)->text(), "");
}

INSTANTIATE_TEST_SUITE_P(Zones, GSensorPlotZones, ::testing::ValuesIn(kTestZones),
                         [](const auto& info) {
                             return QString(info.param).replace('/', '_').toStdString();
                         });
