#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include "codec/AudioStreamInfo.h"

class ACDecoder;

namespace codectest {

using Bytes = std::vector<unsigned char>;

// The container's audio ids, which the audio worker passes on unchanged.
constexpr int kAac = 0x15002;
constexpr int kMsAdpcm = 0x11006;
constexpr int kSwfAdpcm = 0x1100d;
constexpr int kImaWavAdpcm = 0x11001;  // one no decoder takes

// Payloads of one stream ("v:0", "a:0") of an AVI file, in file order, cut
// out at the positions and sizes ffprobe reports.
std::vector<Bytes> readPackets(const std::string& file, const std::string& stream);

struct VideoInfo {
    int width = 0;
    int height = 0;
};
VideoInfo probeVideo(const std::string& file);

// Sample rate, channels and set-up bytes of the first audio stream.
AudioStreamInfo probeAudio(const std::string& file);

// Standard output of `ffmpeg -i file <args> -` as bytes.
Bytes ffmpegOutput(const std::string& file, const std::vector<std::string>& args);

std::string md5Hex(const unsigned char* data, size_t size);

// Every picture a video decoder gives for the packets, then the drained ones.
struct Decoded {
    std::vector<Bytes> frames;
    int width = 0;  // size of the last picture
    int height = 0;
    std::vector<std::string> md5s() const;
};
Decoded decodeVideo(ACDecoder& decoder, const std::vector<Bytes>& packets, VideoInfo info,
                    bool drain = true);

// The decoder class the audio worker makes for codecId: AAC or ADPCM.
std::unique_ptr<ACDecoder> makeAudioDecoder(int codecId);
// The PCM of every packet, joined.
Bytes decodeAudio(ACDecoder& decoder, int codecId, const std::vector<Bytes>& packets);

// Every picture of the file's first video stream has the md5 that
// `ffmpeg -map 0:v:0 -fps_mode passthrough -f framemd5` lists, in count and order.
void expectFramesMatchFfmpeg(const std::string& file);
// The PCM of the file's first audio stream equals `ffmpeg -ac 1 -f s16le`
// byte for byte; withStreamInfo false opens with the decoder's own defaults.
// outputRate is given to setOutputRate (0: the stream's own rate).
void expectPcmMatchesFfmpeg(const std::string& file, int codecId, bool withStreamInfo,
                            int outputRate = 0);

// Peak signal-to-noise ratio of two 8-bit buffers of one size; infinity when equal.
double psnr(const unsigned char* a, const unsigned char* b, size_t size);

// Collects Qt debug-stream messages while it lives.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    // Messages that start with prefix.
    QStringList lines(const QString& prefix) const;
};

// Collects what is written to standard error (file descriptor 2) while it lives.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    // Stops collecting and returns the text.
    std::string text();

private:
    std::string path;
    int saved = -1;
};

}  // namespace codectest
