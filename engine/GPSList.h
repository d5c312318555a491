#pragma once

#include <QVector>
#include <QtGlobal>
#include <optional>

#include "engine/GPSPoint.h"
#include "engine/ResetLock.h"

// The selected file's whole track: appended by the track reader, drained
// through a read cursor by the track line worker, and searched for the point
// nearest a click. Every call but IsReset is made between Lock() and Unlock().
class GPSList : public ResetLock {
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

    int Count() const { return points.size(); }

private:
    // Guarded by the lock.
    int readIndex = 0;
    QVector<GPSPoint> points;
};
