#include "telemetry/Parse.h"

#include "container/amf.h"
#include "container/aviobuf.h"
#include "container/intfloat.h"

using container::ByteIOContext;

namespace {

// The AMF0 markers and caps are the container layer's, shared with the FLV reader.
enum AmfMarker {
    kNumber = container::AMF_DATA_TYPE_NUMBER,
    kBoolean = container::AMF_DATA_TYPE_BOOL,
    kString = container::AMF_DATA_TYPE_STRING,
    kObject = container::AMF_DATA_TYPE_OBJECT,
    kNull = container::AMF_DATA_TYPE_NULL,
    kUndefined = container::AMF_DATA_TYPE_UNDEFINED,
    kEcmaArray = container::AMF_DATA_TYPE_MIXEDARRAY,
    kObjectEnd = container::AMF_DATA_TYPE_OBJECT_END,
    kStrictArray = container::AMF_DATA_TYPE_ARRAY,
    kDate = container::AMF_DATA_TYPE_DATE,
    kUnsupported = container::AMF_DATA_TYPE_UNSUPPORTED,
};

constexpr int kTextSize = container::AMF_TEXT_SIZE;
constexpr int kMaxStringLength = container::AMF_MAX_STRING_LENGTH;
constexpr int kMaxDepth = container::AMF_MAX_DEPTH;
constexpr int64_t kEcmaCountSize = container::AMF_COUNT_SIZE;
constexpr int64_t kDateSize = container::AMF_DATE_SIZE;

int64_t bytesLeft(ByteIOContext* io, int64_t size) {
    return size - container::url_ftell(io);
}

// Moves past n bytes when at least n are left; otherwise consumes nothing.
void skipBytes(ByteIOContext* io, int64_t size, int64_t n) {
    if (n <= 0 || n > bytesLeft(io, size)) {
        return;
    }
    // A seek may not land exactly on the end of the block; the last byte is read.
    container::url_fskip(io, n - 1);
    container::get_byte(io);
}

// Reads a 16-bit length and that many bytes into text (NUL-terminated).
// Returns the length, or -1 when it exceeds 255 or the bytes left.
int readText(ByteIOContext* io, int64_t size, char* text) {
    const int length = static_cast<int>(container::get_be16(io));
    if (length > kMaxStringLength || length > bytesLeft(io, size)) {
        return -1;
    }
    container::get_buffer(io, reinterpret_cast<unsigned char*>(text), length);
    text[length] = '\0';
    return length;
}

// An object or ECMA array ends with an empty key (already read) and byte 9.
int readObjectEnd(ByteIOContext* io, int64_t size) {
    if (bytesLeft(io, size) <= 0 || container::get_byte(io) != kObjectEnd) {
        return -1;
    }
    return 0;
}

}  // namespace

Parse::Parse(QObject* parent) : QObject(parent) {}

int Parse::ParseAMF2(unsigned char** cursor, int* remaining, const char* key) {
    if (!cursor || !remaining) {
        return -1;
    }
    const int64_t size = *remaining > 0 && *cursor ? *remaining : 0;
    ByteIOContext io{};
    container::init_put_byte(&io, *cursor, static_cast<int>(size), 0, nullptr, nullptr, nullptr,
                             nullptr);
    const int result = parseValue(&io, size, key, 1);
    const int consumed = static_cast<int>(container::url_ftell(&io));
    *cursor += consumed;
    *remaining -= consumed;
    return result;
}

int Parse::ParseRecord(const unsigned char* data, int size) {
    // The walker only reads; the cursor type is the one ParseAMF2 shares.
    unsigned char* cursor = const_cast<unsigned char*>(data);
    int remaining = data ? size : 0;
    while (remaining > 0) {
        if (ParseAMF2(&cursor, &remaining, nullptr) < 0) {
            return -1;
        }
    }
    return 0;
}

QByteArray Parse::RecordName(const unsigned char* data, int size) {
    int length = 0;
    if (!container::data_record_name(data, size, &length)) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(data + container::DATA_RECORD_NAME_OFFSET),
                      length);
}

int Parse::parseValue(ByteIOContext* io, int64_t size, const char* key, int depth) {
    char text[kTextSize] = {};
    double num = 0.0;
    int marker = kNumber;
    if (bytesLeft(io, size) > 0) {
        marker = container::get_byte(io);
        const bool nests = marker == kObject || marker == kEcmaArray || marker == kStrictArray;
        if (nests && depth > kMaxDepth) {
            return -1;
        }
        int result = 0;
        switch (marker) {
            case kNumber:
                num = container::av_int2dbl(static_cast<int64_t>(container::get_be64(io)));
                break;
            case kBoolean:
                if (bytesLeft(io, size) > 0) {
                    num = container::get_byte(io);
                }
                break;
            case kString:
                result = readText(io, size, text) < 0 ? -1 : 0;
                break;
            case kObject:
                result = parseObjectMembers(io, size, depth);
                break;
            case kNull:
            case kUndefined:
            case kUnsupported:
                break;
            case kEcmaArray:
                result = parseEcmaMembers(io, size, depth);
                break;
            case kStrictArray:
                result = parseStrictArray(io, size, depth);
                break;
            case kDate:
                skipBytes(io, size, kDateSize);
                break;
            default:  // movie clip, reference, object end, long string, unknown
                result = -1;
                break;
        }
        if (result < 0) {
            return -1;
        }
    }
    if (key) {
        setValue(num, text, marker, key);
    }
    return 0;
}

int Parse::parseObjectMembers(ByteIOContext* io, int64_t size, int depth) {
    for (;;) {
        const int keyLength = static_cast<int>(container::get_be16(io));
        if (keyLength == 0) {
            break;
        }
        if (keyLength > bytesLeft(io, size)) {
            return -1;
        }
        skipBytes(io, size, keyLength);
        if (parseValue(io, size, nullptr, depth + 1) < 0) {
            return -1;
        }
    }
    return readObjectEnd(io, size);
}

int Parse::parseEcmaMembers(ByteIOContext* io, int64_t size, int depth) {
    // Recorders write wrong counts: the members end at the empty key and
    // the end marker, within the bytes left.
    if (bytesLeft(io, size) > kEcmaCountSize) {
        skipBytes(io, size, kEcmaCountSize);
    }
    char key[kTextSize];
    while (readText(io, size, key) > 0) {
        if (parseValue(io, size, key, depth + 1) < 0) {
            return -1;
        }
    }
    return readObjectEnd(io, size);
}

int Parse::parseStrictArray(ByteIOContext* io, int64_t size, int depth) {
    const uint32_t count = container::get_be32(io);
    if (count > bytesLeft(io, size)) {
        return -1;
    }
    // Elements past the end would be unreported zeros: stop there.
    for (uint32_t i = 0; i < count && bytesLeft(io, size) > 0; ++i) {
        if (parseValue(io, size, nullptr, depth + 1) < 0) {
            return -1;
        }
    }
    return 0;
}
