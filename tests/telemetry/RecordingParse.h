#pragma once

// A Parse that writes down every value reported to it, in order.
#include <string>
#include <vector>

#include "telemetry/Parse.h"

struct Report {
    double num;
    std::string str;
    int amfType;
    std::string key;
};

class RecordingParse : public Parse {
public:
    void setValue(double num, const char* str, int amfType, const char* key) override {
        reports.push_back({num, str, amfType, key});
    }

    std::vector<Report> reports;
};
