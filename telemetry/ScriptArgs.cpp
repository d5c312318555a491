#include "telemetry/ScriptArgs.h"

#include <cmath>

namespace {

void AppendEscaped(QString* out, QChar c) {
    out->append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')));
}

}  // namespace

QString ScriptArgs::String(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out.append(QLatin1Char('"'));
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out.append(QLatin1Char('\\')).append(c);
        } else if (u < 0x20 || u == '<' || u == '>' || u == '&' || u == 0x2028 || u == 0x2029) {
            AppendEscaped(&out, c);
        } else {
            out.append(c);
        }
    }
    out.append(QLatin1Char('"'));
    return out;
}

QString ScriptArgs::Fixed(double value) {
    return QString::number(std::isfinite(value) ? value : 0.0, 'f', 6);
}

QString ScriptArgs::Heading(double degrees) {
    return QString::number(std::isfinite(degrees) ? degrees : 0.0, 'g', 6);
}

QString ScriptArgs::TrackArgs(const QString& id, double lat, double lon) {
    return String(id) + QLatin1Char(',') + Fixed(lat) + QLatin1Char(',') + Fixed(lon);
}

QString ScriptArgs::CarArgs(const QString& id, double lat, double lon, double course) {
    return TrackArgs(id, lat, lon) + QLatin1Char(',') + Heading(course);
}

QString ScriptArgs::Call(const QString& function, const QString& args) {
    return function + QLatin1Char('(') + args + QLatin1Char(')');
}
