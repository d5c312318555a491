#include "telemetry/GSensorParse.h"

GSensorParse::GSensorParse(QObject* parent) : Parse(parent) {}

void GSensorParse::setValue(double num, const char* /*str*/, int amfType, const char* key) {
    if (amfType != 0) {
        return;
    }
    static constexpr KeyedField<GSensorParse, double> kFields[] = {
        {"x", &GSensorParse::x},
        {"y", &GSensorParse::y},
        {"z", &GSensorParse::z},
        {"temperature", &GSensorParse::temperature},
        {"speed", &GSensorParse::speed}};
    StoreByKey(this, kFields, key, num);
}
