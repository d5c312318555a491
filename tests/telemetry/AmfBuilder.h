#pragma once

// Hand-built AMF0 bytes for the record tests: each call appends one piece,
// so malformed records are as easy to write as good ones.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class AmfBuilder {
public:
    AmfBuilder& byte(uint8_t b) {
        bytes_.push_back(b);
        return *this;
    }
    AmfBuilder& be16(uint16_t v) { return byte(v >> 8).byte(v & 0xff); }
    AmfBuilder& be32(uint32_t v) { return be16(v >> 16).be16(v & 0xffff); }
    AmfBuilder& be64(uint64_t v) { return be32(v >> 32).be32(v & 0xffffffffu); }
    AmfBuilder& raw(const std::string& text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    AmfBuilder& append(const AmfBuilder& other) {
        bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
        return *this;
    }
    // A 16-bit length and the text: a key, or a string value's body.
    AmfBuilder& text(const std::string& s) { return be16(s.size()).raw(s); }

    AmfBuilder& number(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return byte(0).be64(bits);
    }
    AmfBuilder& boolean(uint8_t v) { return byte(1).byte(v); }
    AmfBuilder& string(const std::string& s) { return byte(2).text(s); }
    AmfBuilder& beginObject() { return byte(3); }
    AmfBuilder& beginEcma(uint32_t count) { return byte(8).be32(count); }
    AmfBuilder& beginStrict(uint32_t count) { return byte(10).be32(count); }
    AmfBuilder& end() { return be16(0).byte(9); }

    // A record: its name, then one ECMA array (members added by the caller,
    // closed with end()).
    static AmfBuilder record(const std::string& name, uint32_t members) {
        AmfBuilder b;
        b.string(name).beginEcma(members);
        return b;
    }
    // A whole "GPS" record with every key, as a recorder writes it.
    static AmfBuilder gpsRecord() {
        AmfBuilder b = record("GPS", 10);
        b.text("mode").number(3).text("lat").number(22.5431).text("lon").number(113.9345);
        b.text("alt").number(-4.5).text("speed").number(54).text("course").number(270.5);
        b.text("sat_used").number(8).text("sat_visible").number(14);
        b.text("time").number(1684053000).text("carInfo").string("B12345");
        return b.end();
    }
    // A whole "GSensor" record with every key.
    static AmfBuilder sensorRecord() {
        AmfBuilder b = record("GSensor", 5);
        b.text("x").number(-0.04).text("y").number(0.002).text("z").number(0.9866);
        b.text("temperature").number(36.5).text("speed").number(54);
        return b.end();
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    const unsigned char* data() const { return bytes_.data(); }
    int size() const { return static_cast<int>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
};
