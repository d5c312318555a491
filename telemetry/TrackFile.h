#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

#include "telemetry/Parse.h"

// One recording file read from start to end for its GPS records, through the
// container layer, independently of the demux worker. Used by one thread.
class TrackFile {
public:
    // What Next found.
    enum class Packet { Gps, Other, End };

    static constexpr int kMaxRecordBytes = Parse::kMaxRecordBytes;

    TrackFile();
    ~TrackFile();
    TrackFile(const TrackFile&) = delete;
    TrackFile& operator=(const TrackFile&) = delete;

    // Opens path (closing what was open) and reads its headers; false when it
    // cannot be opened or its extension is not "avi" (case counts).
    bool Open(const QString& path);
    void Close();

    // Reads the next packet. Gps: a "GPS" data record, *data/*size valid until
    // the next call, *seconds its time in whole seconds (truncated). Other:
    // any other packet, or one with a zero time base, a negative time or a
    // size out of bounds. End: end of file, read error, a rejected header, or
    // nothing open.
    Packet Next(qint64* seconds, const unsigned char** data, int* size);

private:
    struct State;
    std::unique_ptr<State> state;
};
