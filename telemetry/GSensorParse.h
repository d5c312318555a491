#pragma once

#include "telemetry/Parse.h"

// The last sensor values read from any record carrying their keys; all start
// at zero and persist from record to record.
class GSensorParse : public Parse {
    Q_OBJECT

public:
    explicit GSensorParse(QObject* parent = nullptr);

    void setValue(double num, const char* str, int amfType, const char* key) override;

    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double temperature = 0.0;
    double speed = 0.0;
};
