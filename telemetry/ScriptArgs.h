#pragma once

#include <QString>

// Argument lists and calls for the map page's script functions. Texts become
// JSON string literals in which nothing can end the literal or the script
// ('"', '\\', '<', '>', '&', line separators are escaped), numbers fixed-point
// decimals; the result is always inert data, whatever a record carries.
class ScriptArgs {
public:
    // A JSON string literal of text, quotes included.
    static QString String(const QString& text);
    // A finite value with 6 decimals; a non-finite one gives "0.000000".
    static QString Fixed(double value);
    // The course in general format, 6 significant digits; non-finite gives 0.
    static QString Heading(double degrees);

    // "id",lat,lon for DrawTrackLine.
    static QString TrackArgs(const QString& id, double lat, double lon);
    // "id",lat,lon,course for MoveCar.
    static QString CarArgs(const QString& id, double lat, double lon, double course);
    // function(args).
    static QString Call(const QString& function, const QString& args = QString());
};
