#pragma once

#include <memory>
#include <vector>

#include "engine/PacketQueue.h"
#include "engine/Worker.h"

class ACDecoder;
class Controller;
class SoundBuffer;

// The audio decode worker: takes the played channel's audio packets from the
// audio queue, decodes them to mono 16-bit PCM at the output's sample rate and
// writes each block whole into the sound ring, with the timestamp at which the
// buffered sound ends. At the End marker and before a decoder is replaced it
// drains the decoder, so the last samples play. It waits for ring room as
// long as an output exists, however slowly it pulls; only while none exists
// is the PCM dropped, so the worker never waits on a ring nobody reads. Its
// waits end on their cause (a packet, room, a reset, the exit flag), never
// on a poll.
class AudioDecoderCtrl : public Worker {
    Q_OBJECT
public:
    // The controller gives the output's sample rate; buffer and queue must
    // outlive the worker.
    AudioDecoderCtrl(Controller* controller, SoundBuffer* buffer, PacketQueue* queue,
                     TimeSource* time);
    ~AudioDecoderCtrl() override;

    // The decoder for a container codec id; null for an id it does not play.
    static std::unique_ptr<ACDecoder> MakeDecoder(int codecId);

    // Starts the thread. Sound is routed to the worker from the moment this
    // returns (the controller's audioDecoding flag), not from when the thread
    // first runs, so the first packets of a recording are never dropped.
    void Start();

protected:
    void run() override;

private:
    // One turn of the loop; false when there was nothing to do.
    bool Pass(std::vector<unsigned char>* packet);
    // Until a packet or a reset is in the queue, or the exit flag rose.
    void WaitForPacket();
    // Room for bytes under the ring's lock: its start, or null.
    char* Room(qint64 bytes);
    void Restart();
    void Decode(const PacketInfo& info, const unsigned char* data, int size);
    void Drain();
    // Writes one block whole, waiting for room while an output exists; drops
    // it when none does, the queue was reset or the worker ends.
    void Write(const unsigned char* pcm, qint64 bytes, qint64 dts, int rate);

    // Set at construction.
    Controller* const controller;
    SoundBuffer* const buffer;
    PacketQueue* const queue;

    // Audio decode thread only.
    PacketInfo taken;  // the last packet's fields, kept so its buffers are reused
    std::unique_ptr<ACDecoder> decoder;
    int decoderId = 0;    // codec id the decoder was made for
    int decoderRate = 0;  // output rate last given to the decoder
    qint64 nextDts = 0;   // where the PCM decoded so far ends
};
