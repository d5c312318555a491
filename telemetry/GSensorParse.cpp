#include "telemetry/GSensorParse.h"

#include <cstring>

GSensorParse::GSensorParse(QObject* parent) : Parse(parent) {}

void GSensorParse::setValue(double num, const char* /*str*/, int amfType, const char* key) {
    if (amfType != 0) {
        return;
    }
    struct Field {
        const char* key;
        double GSensorParse::*value;
    };
    static constexpr Field kFields[] = {{"x", &GSensorParse::x},
                                        {"y", &GSensorParse::y},
                                        {"z", &GSensorParse::z},
                                        {"temperature", &GSensorParse::temperature},
                                        {"speed", &GSensorParse::speed}};
    for (const Field& field : kFields) {
        if (std::strcmp(key, field.key) == 0) {
            this->*field.value = num;
            return;
        }
    }
}
