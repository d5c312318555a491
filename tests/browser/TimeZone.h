#pragma once

#include <QByteArray>
#include <ctime>

// Zones the name tests run under: Europe and North America skip an hour in
// spring, Shanghai does not; UTC is what the test harness sets.
inline const char* const kTestZones[] = {"UTC", "Europe/Berlin", "America/New_York",
                                         "Asia/Shanghai"};

// Sets the process's time zone for the object's lifetime; local-time
// conversions follow at once.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : old(qgetenv("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone() {
        qputenv("TZ", old);
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    QByteArray old;
};
