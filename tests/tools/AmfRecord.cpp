#include "AmfRecord.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned char kNumber = 0x00;
constexpr unsigned char kString = 0x02;
constexpr unsigned char kEcmaArray = 0x08;
constexpr unsigned char kObjectEnd = 0x09;

class Cursor {
public:
    explicit Cursor(const std::string& bytes) : bytes_(bytes) {}

    bool atEnd() const { return pos_ == bytes_.size(); }
    bool has(size_t n) const { return bytes_.size() - pos_ >= n; }

    bool byte(unsigned char* out) {
        if (!has(1))
            return false;
        *out = static_cast<unsigned char>(bytes_[pos_++]);
        return true;
    }

    bool bigEndian(size_t width, uint64_t* out) {
        if (!has(width))
            return false;
        *out = 0;
        for (size_t i = 0; i < width; ++i)
            *out = *out << 8 | static_cast<unsigned char>(bytes_[pos_++]);
        return true;
    }

    // A 16-bit length and that many bytes.
    bool shortString(std::string* out) {
        uint64_t length = 0;
        if (!bigEndian(2, &length) || !has(length))
            return false;
        *out = bytes_.substr(pos_, length);
        pos_ += length;
        return true;
    }

private:
    const std::string& bytes_;
    size_t pos_ = 0;
};

bool readValue(Cursor& in, AmfValue* value) {
    unsigned char marker = 0;
    if (!in.byte(&marker))
        return false;
    if (marker == kString) {
        value->isString = true;
        return in.shortString(&value->text);
    }
    uint64_t bits = 0;
    if (marker != kNumber || !in.bigEndian(8, &bits))
        return false;
    std::memcpy(&value->number, &bits, sizeof bits);
    return true;
}

}  // namespace

bool parseAmfRecord(const std::string& bytes, AmfRecord* record, std::string* error) {
    Cursor in(bytes);
    unsigned char marker = 0;
    uint64_t count = 0;
    if (!in.byte(&marker) || marker != kString || !in.shortString(&record->name)) {
        *error = "no record name";
        return false;
    }
    if (!in.byte(&marker) || marker != kEcmaArray || !in.bigEndian(4, &count)) {
        *error = "no ECMA array after the name";
        return false;
    }
    record->members.clear();
    for (;;) {
        std::string key;
        if (!in.shortString(&key)) {
            *error = "truncated key";
            return false;
        }
        if (key.empty())
            break;
        AmfValue value;
        if (!readValue(in, &value)) {
            *error = "bad value for key " + key;
            return false;
        }
        record->members.emplace_back(key, value);
    }
    if (!in.byte(&marker) || marker != kObjectEnd || !in.atEnd()) {
        *error = "array not ended by 00 00 09 at the end of the record";
        return false;
    }
    if (count != record->members.size()) {
        *error = "ECMA array count differs from its members";
        return false;
    }
    return true;
}
