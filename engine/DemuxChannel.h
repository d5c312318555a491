#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

#include "codec/AudioStreamInfo.h"

namespace container {
struct AVFormatContext;
struct AVIContext;
struct AVPacket;
struct AVStream;
}  // namespace container

// One channel file as the demux worker reads it: open and closed through the
// container layer, read forwards or backwards in its own backward slot, and
// sought. Used by the demux thread only.
class DemuxChannel {
public:
    // What one read delivered.
    struct Packet {
        int codecType = -1;  // container CODEC_TYPE_*; -1: no stream of that number
        int codecId = 0;
        bool key = false;
        qint64 dtsMs = 0;  // ms from the start of the file; -1 when unusable
        const unsigned char* data = nullptr;
        int size = 0;
        int width = 0;  // video stream's frame size
        int height = 0;
        const container::AVStream* stream = nullptr;
    };

    explicit DemuxChannel(int slot);
    ~DemuxChannel();
    DemuxChannel(const DemuxChannel&) = delete;
    DemuxChannel& operator=(const DemuxChannel&) = delete;

    // Closes what is open, then opens path and reads its header (for reading
    // backwards when backward). A file without an index is read through once
    // so that its duration is known and every seek works. False (and a
    // debug line saying why) when the file cannot be opened or holds no
    // readable packet; an empty path is simply absent.
    bool Open(const QString& path, bool backward);
    void Close();
    bool IsOpen() const { return open; }
    // Milliseconds: the longest stream by its index.
    qint64 DurationMs() const { return durationMs; }

    // Reads the next packet (into Last()); the container's result: its size,
    // or negative at the end or on an error.
    int Read(bool backward);
    const Packet& Last() const { return last; }
    // The open file's streams (for copying their parameters).
    const container::AVFormatContext* Context() const { return context.get(); }
    // Moves to the key frame at or before ms. False when nothing changed.
    bool Seek(qint64 ms);
    // The audio stream's parameters for the decoder.
    static AudioStreamInfo AudioInfo(const container::AVStream* stream);

    // Demux bookkeeping: no more packets until a seek; cycles to sit out
    // before the parked packet in Last() is offered again (-1: none parked).
    bool ended = false;
    int countdown = -1;

private:
    bool Refuse(const QString& path, const char* why);
    void ScanIndex();
    qint64 ComputeDurationMs() const;
    void Describe();

    const int slot;
    std::unique_ptr<container::AVFormatContext> context;
    std::unique_ptr<container::AVIContext> avi;
    std::unique_ptr<container::AVPacket> packet;
    bool open = false;
    qint64 durationMs = 0;
    Packet last;
};
