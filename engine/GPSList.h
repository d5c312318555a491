#pragma once

#include <QVector>
#include <QtGlobal>
#include <atomic>
#include <mutex>
#include <optional>

#include "engine/GPSPoint.h"

// The selected file's whole track: appended by the track reader, drained
// through a read cursor by the track line worker, and searched for the point
// nearest a click. Every call but IsReset is made between Lock() and Unlock().
class GPSList {
public:
    // Appends a point; always true.
    bool InputData(qint64 dts, double lat, double lon);
    // Hands out the point at the cursor and advances it; false at the end.
    bool OutputData(qint64* dts, double* lat, double* lon);
    // Time of the point nearest (lat, lon) by |dlat| + |dlon|; ties keep the
    // earlier point. None when the list is empty (the caller then does not seek).
    std::optional<qint64> GetDTS(double lat, double lon) const;
    // Removes all points, rewinds the cursor and sets the reset flag.
    void Clear();

    // Consumer, with the drain: whether a Clear came since the last call.
    bool TakeReset() { return reset.exchange(false); }
    bool IsReset() const { return reset.load(); }
    int Count() const { return points.size(); }

    void Lock() { mutex.lock(); }
    void Unlock() { mutex.unlock(); }

private:
    std::mutex mutex;
    std::atomic<bool> reset{false};

    // Guarded by mutex.
    int readIndex = 0;
    QVector<GPSPoint> points;
};
