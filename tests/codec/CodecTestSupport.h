#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "codec/AudioStreamInfo.h"

class ACDecoder;

namespace codectest {

using Bytes = std::vector<unsigned char>;

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

// md5 of each frame that `ffmpeg -i file <args> -f framemd5 -` lists, in order.
std::vector<std::string> ffmpegFrameMd5(const std::string& file,
                                        const std::vector<std::string>& args);
// Standard output of `ffmpeg -i file <args> -` as bytes.
Bytes ffmpegOutput(const std::string& file, const std::vector<std::string>& args);

std::string md5Hex(const unsigned char* data, size_t size);

// Every picture a video decoder gives for the packets, then the drained ones.
struct Decoded {
    std::vector<Bytes> frames;
    int width = 0;  // size of the last picture
    int height = 0;
};
Decoded decodeVideo(ACDecoder& decoder, const std::vector<Bytes>& packets, VideoInfo info,
                    bool drain = true);

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
