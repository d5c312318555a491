#pragma once

#include <qcustomplot.h>
#include <QDateTime>

// The scrolling G-sensor chart: X, Y and Z over the last 10.8 s, value labels
// for X, Y, Z, speed and temperature along the bottom, a crosshair and time
// read-out under the mouse, and unit toggles on a click on the speed (km/h,
// mph) or temperature (C, F) label. GUI thread only.
class GSensorPlot : public QCustomPlot {
    Q_OBJECT
public:
    static constexpr double kWindowSeconds = 10.8;

    explicit GSensorPlot(QWidget* parent = nullptr);

    // The recording's start time: the origin of every later sample.
    void SetDateTime(const QDateTime& start);
    // One sample dts ms after the start: accelerations, speed in km/h,
    // temperature in degrees Celsius. Redraws on the next event-loop pass.
    void AddDate(long long dts, double x, double y, double z, double speed, double temperature);
    // Empties the three graphs and the five labels (shown with the next replot).
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    enum Label { LabelX, LabelY, LabelZ, LabelSpeed, LabelTemperature, kLabels };

    void PlaceLabels();

    bool speedInMph = false;
    bool temperatureInFahrenheit = false;
    QDateTime startTime;
    // Owned by the plot.
    QCPItemText* labels[kLabels] = {};
    QCPItemTracer* tracer = nullptr;
    QCPItemText* readout = nullptr;
};
