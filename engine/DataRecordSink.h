#pragma once

#include <QtGlobal>

// Receiver of the selected channel's data-stream records ("GPS", "GSensor",
// "otherSensors"), implemented by the telemetry workers and registered with
// Controller::SetRecordSinks. Called from the demux thread.
class DataRecordSink {
public:
    virtual ~DataRecordSink();
    // Offers one whole record (copied before returning); dts in ms (backward:
    // duration - time). False when there is no room now: the demux offers the
    // same record again later.
    virtual bool InputData(qint64 dts, const unsigned char* data, int size) = 0;
    // Drops every record not yet used (a new recording or a seek).
    virtual void Clear() = 0;
};
