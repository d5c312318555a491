#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <memory>
#include <vector>

#include "engine/Channels.h"

// Writes the clips of one cut: for each chosen channel a forward reader of
// its own on the source file, sought to the key frame nearest the begin, and
// an AVI clip that copies the source's video and audio packets (never its
// data records) up to the end. The play readers are not touched, so a cut
// works whatever the play direction. Each clip is written under a working
// name whose size field is "0000000000", and renamed to carry its real
// length and size once it is on the disk; a clip that cannot take its final
// name, or fails on the way, is removed. A source that ends before the cut
// does gives a shorter clip, which is a success; a source that changes while
// it is read (shrinks, is rewritten or replaced under its name, goes away)
// fails its clip, even one read to its end. Results go to the debug log:
// "Cut Error" (with the channel and the reason) for each clip that fails or
// is cut short, and "cut SU" when every clip of the cut was finished whole.
//
// Owned and used by the demux thread only.
class ClipCutter {
public:
    static constexpr int kChannels = kPlayerChannels;

    // What the clip dialog stored, and the range in ms from the file start.
    struct Request {
        qint64 beginMs = 0;
        qint64 endMs = 0;
        QString savePath;    // folder; a missing trailing "/" is added
        quint32 policy = 0;  // ClipPolicy mask
        int selectChannel = 0;
    };

    // One clip of the last cut; ok only when finished whole.
    struct Outcome {
        int channel = 0;  // 0-based
        bool ok = false;
        QString path;  // the clip under its final name; empty when none is kept
    };

    // Reads the three settings keys.
    static Request FromSettings(qint64 beginMs, qint64 endMs);

    ClipCutter();
    // Finishes what is still open, as Interrupt does.
    ~ClipCutter();
    ClipCutter(const ClipCutter&) = delete;
    ClipCutter& operator=(const ClipCutter&) = delete;

    // Starts a cut of the chosen channels among those whose entry in
    // `open` is set; sources: the channel files (index = channel - 1).
    // Returns the number of clips started; 0 (after "Cut Error") when
    // nothing can be cut or a cut is running.
    int Start(const Request& request, const std::array<QString, kChannels>& sources,
              const std::array<bool, kChannels>& open);
    bool Active() const { return active; }
    // Copies a batch of packets of every unfinished clip; false once every
    // clip has finished (the cut is then over and reported).
    bool Step();
    // Finishes every unfinished clip now (stop, new recording, exit): the
    // written part keeps its trailer and a final name with its own length,
    // reported as cut short.
    void Interrupt(const QString& why);
    const std::vector<Outcome>& Outcomes() const { return outcomes; }

private:
    struct Clip;

    bool StartClip(int ch, const QString& source, const QString& workPath, qint64 beginMs);
    // One packet of the clip's source; false when the clip has finished.
    bool CopyOne(Clip& clip);
    bool OpenOutput(Clip& clip);
    bool WriteAudio(Clip& clip, const unsigned char* data, int size, bool chunkEnds, qint64 dtsMs);
    bool Write(Clip& clip, int stream, const unsigned char* data, int size, bool key);
    // Ends the file and gives it its final name (real length and size);
    // cutShort, when not empty, is why it ends before the cut does. A clip
    // whose source changed fails instead.
    void Finish(Clip& clip, const QString& cutShort);
    // Why the clip cannot be kept when its source is no longer the file the
    // cut began on (other size, time or file); empty when it still is.
    static QString SourceChange(const Clip& clip);
    void Fail(Clip& clip, const QString& why);
    void Discard(Clip& clip, const QString& why);
    void Report(int ch, bool ok, const QString& path, const QString& why);
    void EndIfDone();

    std::array<std::unique_ptr<Clip>, kChannels> clips;
    std::vector<Outcome> outcomes;
    qint64 endMs = 0;
    bool active = false;
};
