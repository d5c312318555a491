#pragma once

#include <string>
#include <utility>
#include <vector>

// A telemetry record as the fixture writer lays it out: an AMF0 string (the
// name) and one ECMA array of numbers and strings. Read strictly, so that a
// writer fault shows instead of being repaired.
struct AmfValue {
    bool isString = false;
    double number = 0;
    std::string text;
};

struct AmfRecord {
    std::string name;
    std::vector<std::pair<std::string, AmfValue>> members;  // in file order
};

// Parses one whole record. Returns false, with `error` set, on any byte that
// does not fit the layout above, including trailing bytes after 00 00 09.
bool parseAmfRecord(const std::string& bytes, AmfRecord* record, std::string* error);
