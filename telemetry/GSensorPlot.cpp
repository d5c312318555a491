#include "telemetry/GSensorPlot.h"

namespace {

const QColor kBackground(24, 64, 68);
const QColor kAxis(216, 192, 255);
constexpr double kMphPerKmh = 0.62137119223733;
constexpr int kLabelX[] = {46, 106, 166, 226, 286};
constexpr int kLabelBottom = 12;

// 14 at the 72 dpi the layout was drawn for: sized in pixels, so the labels
// 60 px apart do not run into each other at 96 dpi.
QFont LabelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    font.setBold(true);
    return font;
}

bool Hit(QCPItemText* label, const QPointF& at) {
    const double distance = label->selectTest(at, false);
    return distance >= 0 && distance < label->parentPlot()->selectionTolerance();
}

void StyleAxisPens(QCPAxis* axis) {
    axis->setBasePen(QPen(kAxis));
    axis->setTickPen(QPen(kAxis));
    axis->setSubTickPen(QPen(kAxis));
}

QString Axis(const char* name, double value) {
    return QStringLiteral("%1:%2").arg(QLatin1String(name)).arg(value, 6, 'f', 3);
}

}  // namespace

GSensorPlot::GSensorPlot(QWidget* parent) : QCustomPlot(parent) {
    setBackground(QBrush(kBackground));

    yAxis->setRange(-2, 2);
    yAxis->setSubTicks(false);
    yAxis->ticker()->setTickCount(5);
    StyleAxisPens(yAxis);
    yAxis->grid()->setPen(QPen(QBrush(kAxis), 1.0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin));
    yAxis->setTickLabelColor(kAxis);

    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss.zzz"));
    xAxis->setTicker(ticker);
    xAxis->setTickLabels(false);
    xAxis->grid()->setVisible(false);
    StyleAxisPens(xAxis);
    xAxis->setPadding(20);

    for (QCPAxis* frame : {yAxis2, xAxis2}) {
        frame->setVisible(true);
        frame->setTicks(false);
        frame->setBasePen(QPen(kAxis));
    }

    const QColor colours[kLabels] = {Qt::white, Qt::red, Qt::green, QColor(0, 144, 255),
                                     QColor(0, 255, 255)};
    for (int i = 0; i < kLabels; ++i) {
        labels[i] = new QCPItemText(this);
        labels[i]->setColor(colours[i]);
        labels[i]->setFont(LabelFont());
        labels[i]->setText(QString());  // QCPItemText starts with "text"
        labels[i]->setClipToAxisRect(false);
        labels[i]->setSelectable(i == LabelSpeed || i == LabelTemperature);
        labels[i]->position->setType(QCPItemPosition::ptAbsolute);
    }
    PlaceLabels();

    tracer = new QCPItemTracer(this);
    tracer->setInterpolating(false);
    tracer->setStyle(QCPItemTracer::tsCrosshair);
    tracer->setPen(QPen(kAxis));

    readout = new QCPItemText(this);
    readout->setLayer(QStringLiteral("overlay"));
    readout->setBrush(QBrush(Qt::white));
    readout->setColor(Qt::black);
    readout->setFont(LabelFont());
    readout->setText(QString());
    readout->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);

    setMouseTracking(true);  // the read-out follows the mouse without a button
    const QColor graphColours[] = {Qt::white, Qt::red, Qt::green};
    for (const QColor& colour : graphColours) {
        QCPGraph* graph = addGraph();
        graph->setAntialiased(false);
        graph->setPen(QPen(colour, 1));
    }
}

void GSensorPlot::SetDateTime(const QDateTime& start) {
    startTime = start;
}

void GSensorPlot::AddDate(long long dts, double x, double y, double z, double speed,
                          double temperature) {
    const QDateTime at = startTime.addMSecs(dts);
    const double key = at.isValid() ? at.toMSecsSinceEpoch() * 0.001 : 0.0;
    xAxis->setRange(key - kWindowSeconds, key);
    graph(0)->addData(key, x);
    graph(1)->addData(key, y);
    graph(2)->addData(key, z);
    labels[LabelX]->setText(Axis("X", x));
    labels[LabelY]->setText(Axis("Y", y));
    labels[LabelZ]->setText(Axis("Z", z));
    labels[LabelSpeed]->setText(speedInMph
                                    ? QStringLiteral("%1 mph").arg(speed * kMphPerKmh, 0, 'f', 1)
                                    : QStringLiteral("%1 km/h").arg(speed, 0, 'f', 1));
    labels[LabelTemperature]->setText(
        temperatureInFahrenheit ? QStringLiteral("%1 F").arg(temperature * 1.8 + 32, 0, 'f', 2)
                                : QStringLiteral("%1 C").arg(temperature, 0, 'f', 2));
    replot(QCustomPlot::rpQueuedReplot);
}

void GSensorPlot::Clear() {
    for (int i = 0; i < 3; ++i) {
        graph(i)->data()->clear();
    }
    for (QCPItemText* label : labels) {
        label->setText(QString());
    }
}

void GSensorPlot::PlaceLabels() {
    const int y = viewport().height() - kLabelBottom;
    for (int i = 0; i < kLabels; ++i) {
        labels[i]->position->setCoords(kLabelX[i], y);
    }
}

void GSensorPlot::paintEvent(QPaintEvent* event) {
    QCustomPlot::paintEvent(event);
    PlaceLabels();
}

void GSensorPlot::mousePressEvent(QMouseEvent* event) {
    QCustomPlot::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // Where the two labels overlap, the one drawn on top (temperature) wins.
    const QPointF at = event->pos();
    if (Hit(labels[LabelTemperature], at)) {
        temperatureInFahrenheit = !temperatureInFahrenheit;
    } else if (Hit(labels[LabelSpeed], at)) {
        speedInMph = !speedInMph;
    }
}

void GSensorPlot::mouseMoveEvent(QMouseEvent* event) {
    QCustomPlot::mouseMoveEvent(event);
    if (graph(0)->data()->isEmpty() && graph(1)->data()->isEmpty() && graph(2)->data()->isEmpty()) {
        return;
    }
    const double key = xAxis->pixelToCoord(event->pos().x());
    const double value = yAxis->pixelToCoord(event->pos().y());
    tracer->setGraphKey(key);
    double values[3] = {};
    for (int i = 0; i < 3; ++i) {
        tracer->setGraph(graph(i));
        tracer->updatePosition();
        values[i] = tracer->position->value();
    }
    // Back in the start time's own offset: the recording's clock reading,
    // not the machine's local time.
    QDateTime at = QCPAxisTickerDateTime::keyToDateTime(tracer->position->key());
    if (startTime.isValid()) {
        at = at.toOffsetFromUtc(startTime.offsetFromUtc());
    }
    const QString time = at.toString(QStringLiteral("hh:mm:ss.zzz"));
    readout->setText(QStringLiteral("%1 x=%2,y=%3,z=%4")
                         .arg(time)
                         .arg(values[0], 0, 'g', -1)
                         .arg(values[1], 0, 'g', -1)
                         .arg(values[2], 0, 'g', -1));
    readout->position->setCoords(key, value);
    replot(QCustomPlot::rpQueuedReplot);
}
