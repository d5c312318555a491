#pragma once

#include <QObject>
#include <atomic>

class AudioCtrl;
class Controller;

// Reopens the audio output at a stream's sample rate. The output lives on the
// GUI thread, so a request from the demux thread is carried out there while
// the requester waits on a semaphore in short steps (no event processing, no
// blocking queued call) and gives up when the exit flag rises.
class AudioReopen : public QObject {
    Q_OBJECT
public:
    // Rates beyond this in a file are not audio this player plays.
    static constexpr int kMaxRate = 192000;
    static constexpr int kWaitStepMs = 10;

    // Built in the GUI thread, where audio lives; both must outlive it.
    AudioReopen(AudioCtrl* audio, Controller* controller);

    // Demux thread: whether a stream at streamRate needs a reopen. Compared
    // with the last requested rate, not the granted one, so a device that
    // substitutes a rate costs one reopen, not one per packet.
    bool NeedsReopen(int streamRate) const;
    // Any thread: reopens at rate on the GUI thread and returns once the
    // controller holds the new format; false when the exit flag rose first
    // (the reopen may still run later). Called on the GUI thread, it runs at
    // once.
    bool Request(int rate);
    // GUI thread: close, choose the format (mono 16-bit signed PCM at rate,
    // or the device's nearest), publish it to the controller, start.
    void Open(int rate);
    int RequestedRate() const { return requestedRate.load(); }
    // How many times Open ran (the start's open included).
    int Opens() const { return opens.load(); }

protected:
    // Runs a posted request (GUI thread).
    bool event(QEvent* e) override;

private:
    AudioCtrl* const audio;
    Controller* const controller;
    // Written by the requesting thread and the GUI thread, read by the demux.
    std::atomic<int> requestedRate{0};
    std::atomic<int> opens{0};
};
