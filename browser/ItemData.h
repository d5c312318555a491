#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>
#include <QtGlobal>

// One listed recording file, as far as its name tells. Filled by
// CustomSearchList::parseAVIFileName and the folder walk; read by the table,
// the property window and the backup.
struct ItemData {
    // The per-channel arrays cover channels 1 to 8; only the entry of the
    // file's own channel is filled, and only when that channel is in range.
    static constexpr int kPropertyChannels = 8;
    quint8 recType = 0;  // record-type bit: 8, 4, 2 or 1; 0 for an unknown code
    qint64 fileSize = 0;
    int channel = 0;
    int width[kPropertyChannels] = {};
    int height[kPropertyChannels] = {};
    int bitrate[kPropertyChannels] = {};  // bits per second
    int frameRate[kPropertyChannels] = {};
    QTime duration;
    // The name's wall clock as a UTC date-time (RecordingName::Fields::start);
    // invalid when the name's field 0 is no date-time.
    QDateTime startTime;
    QString carNumber;
    QString filePath;  // set by the folder walk

    // True when the channel has an entry in the per-channel arrays.
    bool hasPropertyEntry() const { return channel >= 1 && channel <= kPropertyChannels; }
};
