#include "CodecTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QStringList>

#include <fcntl.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "Command.h"
#include "RiffReading.h"
#include "TestData.h"
#include "codec/ACAACDecoder.h"
#include "codec/ACADPCMDecoder.h"
#include "codec/ACH264Decoder.h"
#include "codec/I420Layout.h"

using namespace testsupport;

namespace codectest {

namespace {

constexpr int kChunkHeader = 8;
constexpr int kFrameCapacity = 4096 * 2304 * 3 / 2;

std::string probeValue(const std::string& file, const std::string& stream,
                       const std::string& entry) {
    CommandResult r = ffprobe(
        {"-select_streams", stream, "-show_entries", entry, "-of", "default=nw=1:nk=1"}, file);
    EXPECT_EQ(r.exitCode, 0) << file;
    return r.out;
}

// The bytes of the dump after "extradata=" ("00000000: 1210 56e5 00   ..V..").
Bytes parseHexDump(const std::string& text) {
    const std::string mark = "extradata=\n";
    const size_t at = text.find(mark);
    if (at == std::string::npos)
        return {};
    Bytes bytes;
    std::istringstream lines(text.substr(at + mark.size()));
    std::string line, group;
    while (std::getline(lines, line) && line.size() > 10 && line[8] == ':') {
        std::istringstream groups(line.substr(10, 40));
        while (groups >> group) {
            for (size_t i = 0; i + 1 < group.size(); i += 2)
                bytes.push_back(
                    static_cast<unsigned char>(std::stoi(group.substr(i, 2), nullptr, 16)));
        }
    }
    return bytes;
}

QStringList* captured = nullptr;
QtMessageHandler previous = nullptr;

void collect(QtMsgType, const QMessageLogContext&, const QString& text) {
    if (captured)
        captured->append(text);
}

}  // namespace

std::vector<Bytes> readPackets(const std::string& file, const std::string& stream) {
    const Bytes bytes = testsupport::readFileBytes(file);
    std::istringstream lines(probeValue(file, stream, "packet=pos,size"));
    std::vector<Bytes> packets;
    size_t pos = 0, size = 0;
    while (lines >> size >> pos) {  // ffprobe prints size before pos
        // pos is the payload's; the chunk's own size field must agree.
        if (pos < kChunkHeader || pos + size > bytes.size() || le32(bytes, pos - 4) != size) {
            ADD_FAILURE() << "no chunk of " << size << " bytes at " << pos << " in " << file;
            break;
        }
        packets.emplace_back(bytes.begin() + pos, bytes.begin() + pos + size);
    }
    return packets;
}

VideoInfo probeVideo(const std::string& file) {
    std::istringstream in(probeValue(file, "v:0", "stream=width,height"));
    VideoInfo v;
    in >> v.width >> v.height;
    return v;
}

AudioStreamInfo probeAudio(const std::string& file) {
    std::istringstream in(probeValue(file, "a:0", "stream=sample_rate,channels"));
    AudioStreamInfo info;
    in >> info.sampleRate >> info.channels;
    CommandResult r = ffprobe({"-select_streams", "a:0", "-show_streams", "-show_data"}, file);
    info.extra = parseHexDump(r.out);
    return info;
}

Bytes ffmpegOutput(const std::string& file, const std::vector<std::string>& args) {
    std::vector<std::string> argv{"-i", file};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back("-");
    CommandResult r = ffmpeg(argv);
    EXPECT_EQ(r.exitCode, 0) << file;
    return Bytes(r.out.begin(), r.out.end());
}

std::string md5Hex(const unsigned char* data, size_t size) {
    QByteArray digest = QCryptographicHash::hash(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)),
        QCryptographicHash::Md5);
    return digest.toHex().toStdString();
}

Decoded decodeVideo(ACDecoder& decoder, const std::vector<Bytes>& packets, VideoInfo info,
                    bool drain) {
    Decoded d;
    Bytes dst(kFrameCapacity);
    const auto keep = [&] {
        d.width = decoder.pictureWidth();
        d.height = decoder.pictureHeight();
        const I420Layout l = I420Layout::ForSize(d.width, d.height);
        d.frames.emplace_back(dst.begin(), dst.begin() + l.size);
    };
    int key = 0;
    for (const Bytes& p : packets) {
        if (decoder.DecodeBuffer(0, p.data(), int(p.size()), &key, info.width, info.height,
                                 dst.data(), int(dst.size())))
            keep();
    }
    while (drain && decoder.Drain(&key, dst.data(), int(dst.size())))
        keep();
    return d;
}

std::vector<std::string> Decoded::md5s() const {
    std::vector<std::string> sums;
    for (const Bytes& f : frames)
        sums.push_back(md5Hex(f.data(), f.size()));
    return sums;
}

std::unique_ptr<ACDecoder> makeAudioDecoder(int codecId) {
    if (codecId == kAac)
        return std::make_unique<ACAACDecoder>();
    return std::make_unique<ACADPCMDecoder>();
}

Bytes decodeAudio(ACDecoder& d, int codecId, const std::vector<Bytes>& packets) {
    Bytes pcm;
    for (const Bytes& p : packets) {
        int n = -1;
        const unsigned char* out =
            d.DecodeBuffer(codecId, p.data(), int(p.size()), &n, 0, 0, nullptr, 0);
        if (!out)
            continue;
        EXPECT_GT(n, 0);
        pcm.insert(pcm.end(), out, out + n);
    }
    return pcm;
}

void expectFramesMatchFfmpeg(const std::string& file) {
    ACH264Decoder decoder;
    const Decoded ours = decodeVideo(decoder, readPackets(file, "v:0"), probeVideo(file));
    CommandResult r =
        ffmpeg({"-i", file, "-map", "0:v:0", "-fps_mode", "passthrough", "-f", "framemd5", "-"});
    EXPECT_EQ(r.exitCode, 0) << file;
    std::vector<std::string> theirs;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#')
            theirs.push_back(line.substr(line.find_last_of(", ") + 1));
    }
    ASSERT_FALSE(theirs.empty()) << file;
    EXPECT_EQ(ours.md5s(), theirs) << file;
}

void expectPcmMatchesFfmpeg(const std::string& file, int codecId, bool withStreamInfo,
                            int outputRate) {
    const std::vector<Bytes> packets = readPackets(file, "a:0");
    ASSERT_FALSE(packets.empty()) << file;
    auto d = makeAudioDecoder(codecId);
    d->setOutputRate(outputRate);
    if (withStreamInfo) {
        AudioStreamInfo info = probeAudio(file);
        info.blockAlign = codecId == kAac ? 0 : int(packets[0].size());  // one block a chunk
        d->setStreamInfo(info);
    }
    const Bytes ours = decodeAudio(*d, codecId, packets);
    const Bytes theirs = ffmpegOutput(file, {"-map", "0:a:0", "-ac", "1", "-f", "s16le"});
    ASSERT_FALSE(theirs.empty()) << file;
    EXPECT_EQ(ours.size(), theirs.size()) << file;
    EXPECT_TRUE(ours == theirs) << file;
}

double psnr(const unsigned char* a, const unsigned char* b, size_t size) {
    double sum = 0;
    for (size_t i = 0; i < size; ++i) {
        const double e = double(a[i]) - double(b[i]);
        sum += e * e;
    }
    if (sum == 0)
        return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 * double(size) / sum);
}

DebugCapture::DebugCapture() {
    captured = new QStringList;
    previous = qInstallMessageHandler(collect);
}

DebugCapture::~DebugCapture() {
    qInstallMessageHandler(previous);
    delete captured;
    captured = nullptr;
}

QStringList DebugCapture::lines(const QString& prefix) const {
    QStringList matching;
    std::copy_if(captured->begin(), captured->end(), std::back_inserter(matching),
                 [&prefix](const QString& line) { return line.startsWith(prefix); });
    return matching;
}

StderrCapture::StderrCapture() {
    char name[] = "/tmp/codec-stderr-XXXXXX";
    const int fd = mkstemp(name);
    path = name;
    std::fflush(stderr);
    saved = dup(2);
    dup2(fd, 2);
    close(fd);
}

StderrCapture::~StderrCapture() {
    text();
    unlink(path.c_str());
}

std::string StderrCapture::text() {
    if (saved >= 0) {
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        saved = -1;
    }
    return testsupport::readFile(path);
}

}  // namespace codectest
