#pragma once

#include <QByteArray>
#include <QObject>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace container {
struct ByteIOContext;
}

// Walker over the AMF0 values of one data-stream record. A record is an AMF0
// string (its name: "GPS", "GSensor" or "otherSensors") followed, in practice,
// by one ECMA array. Every member of every ECMA array reaches setValue()
// under its key, wherever the array lies (at the top, or nested in an ECMA
// array, an object or a strict array); a member that is itself a container
// is reported after its own members. Top-level values, object members and
// strict-array elements are walked and not reported. Subclasses keep the
// values of the keys they know; values persist from record to record.
//
// Every count and length read from a record is bounded by the bytes left, and
// nesting is capped, so any byte sequence is walked in time linear in its size.
class Parse : public QObject {
    Q_OBJECT

public:
    explicit Parse(QObject* parent = nullptr);

    // Receives one keyed value: num for numbers and booleans (0.0 otherwise),
    // str the text of a string (amfType 2; empty for other types).
    virtual void setValue(double num, const char* str, int amfType, const char* key) = 0;

    // Parses one AMF0 value at *cursor, advancing *cursor and decreasing
    // *remaining by the bytes consumed. With nothing left the value is the
    // number 0.0. Reports the value under `key` when key is not null.
    // Returns 0 on success, -1 on failure (values reported before the failure
    // stay stored).
    int ParseAMF2(unsigned char** cursor, int* remaining, const char* key);

    // Parses a whole record, value after value. Returns 0 when every value
    // parsed (an empty record included), -1 when one failed; the caller then
    // drops the record.
    int ParseRecord(const unsigned char* data, int size);

    // The name of a record: empty unless byte 0 is 2 and the record holds the
    // whole name, whose 16-bit length must be at most 255.
    static QByteArray RecordName(const unsigned char* data, int size);

    // Data packets larger than this are not records.
    static constexpr int kMaxRecordBytes = 64 * 1024;

protected:
    // A field of a record class and the key whose value it keeps.
    template <typename Record, typename Value>
    struct KeyedField {
        const char* key;
        Value Record::*value;
    };

    // Stores value in the field that `fields` names for key (exact,
    // case-sensitive); false when none does.
    template <typename Record, typename Value, size_t N>
    static bool StoreByKey(Record* record, const KeyedField<Record, Value> (&fields)[N],
                           const char* key, Value value) {
        for (const KeyedField<Record, Value>& field : fields) {
            if (std::strcmp(key, field.key) == 0) {
                record->*field.value = value;
                return true;
            }
        }
        return false;
    }

private:
    int parseValue(container::ByteIOContext* io, int64_t size, const char* key, int depth);
    int parseObjectMembers(container::ByteIOContext* io, int64_t size, int depth);
    int parseEcmaMembers(container::ByteIOContext* io, int64_t size, int depth);
    int parseStrictArray(container::ByteIOContext* io, int64_t size, int depth);
};
