#pragma once

#include <functional>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// One open libavcodec decoder and the send/receive rules every decoder here
// shares: no packet is dropped when the decoder is full, every frame is
// received, an empty packet (the drain request) is never sent by mistake.
// Used by one thread at a time.
class CodecSession {
public:
    enum class OpenResult { Opened, NotFound, OpenFailed };
    using Configure = std::function<void(AVCodecContext*)>;
    // Receives each decoded frame; it may take the frame's data (move_ref).
    using FrameSink = std::function<void(AVFrame*)>;

    // lockCalls: hold FFmpegLock around every send and receive as well.
    explicit CodecSession(bool lockCalls = false);
    ~CodecSession();
    CodecSession(const CodecSession&) = delete;
    CodecSession& operator=(const CodecSession&) = delete;

    // Under FFmpegLock: closes the current context, then finds the decoder
    // for codecId, lets configure set the new context up and opens it. On
    // failure the session stays closed.
    OpenResult Open(int codecId, const Configure& configure);
    // Closes the context without the lock.
    void Close();
    bool IsOpen() const { return context != nullptr; }
    // The open context (owned by the session), or null.
    AVCodecContext* Context() const { return context; }

    // Sends data (copied into padded memory; size > 0) and hands every frame
    // that comes out to sink, oldest first. False when the decoder is closed,
    // memory runs out or the decoder rejects the packet; frames received
    // before the failure have still been handed on.
    bool Decode(const unsigned char* data, int size, const FrameSink& sink);
    // Drain one frame held back for the end of the stream into frame. False
    // when none is left; the session then takes new packets again.
    bool DrainOne(AVFrame* frame);
    // Drops every frame and reference picture the decoder holds.
    void Flush();

private:
    int send(const AVPacket* p);
    int receive(AVFrame* f);
    void receiveAll(const FrameSink& sink);

    const bool lockCalls;
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;  // scratch, reused
    AVFrame* scratch = nullptr;  // scratch, reused
    bool draining = false;       // the drain request has been sent
};
