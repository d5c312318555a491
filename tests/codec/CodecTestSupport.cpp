#include "CodecTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QMutex>
#include <QStringList>

#include <fcntl.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "Command.h"
#include "codec/ACDecoder.h"
#include "codec/I420Layout.h"

using namespace testsupport;

namespace codectest {

namespace {

constexpr int kChunkHeader = 8;
constexpr int kFrameCapacity = 4096 * 2304 * 3 / 2;

Bytes readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

uint32_t le32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// Where the payload of the chunk that ffprobe places at pos begins: ffprobe
// gives the payload itself for AVI, the chunk header for some versions. The
// chunk's own size field must agree either way.
size_t payloadStart(const Bytes& file, size_t pos, size_t size) {
    if (pos >= kChunkHeader && le32(file, pos - 4) == size)
        return pos;
    if (pos + kChunkHeader <= file.size() && le32(file, pos + 4) == size)
        return pos + kChunkHeader;
    ADD_FAILURE() << "no chunk of " << size << " bytes at " << pos;
    return pos;
}

std::string probeValue(const std::string& file, const std::string& stream,
                       const std::string& entry) {
    CommandResult r = ffprobe(
        {"-select_streams", stream, "-show_entries", entry, "-of", "default=nw=1:nk=1"}, file);
    EXPECT_EQ(r.exitCode, 0) << file;
    return r.out;
}

// "00000000: 1588 56e5 00   ..V.." lines after "extradata=".
Bytes parseHexDump(const std::string& text) {
    Bytes bytes;
    std::istringstream lines(text);
    std::string line;
    bool inDump = false;
    while (std::getline(lines, line)) {
        if (line.rfind("extradata=", 0) == 0) {
            inDump = true;
            continue;
        }
        if (!inDump || line.size() < 10 || line[8] != ':')
            break;
        const std::string hex = line.substr(10, 40);
        std::string digits;
        for (char c : hex) {
            if (std::isxdigit(static_cast<unsigned char>(c)))
                digits += c;
        }
        for (size_t i = 0; i + 1 < digits.size(); i += 2)
            bytes.push_back(
                static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
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
    const Bytes bytes = readAll(file);
    std::istringstream lines(probeValue(file, stream, "packet=pos,size"));
    std::vector<Bytes> packets;
    size_t pos = 0, size = 0;
    while (lines >> size >> pos) {  // ffprobe prints size before pos
        const size_t at = payloadStart(bytes, pos, size);
        if (at + size > bytes.size()) {
            ADD_FAILURE() << "packet past the end of " << file;
            break;
        }
        packets.emplace_back(bytes.begin() + at, bytes.begin() + at + size);
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

std::vector<std::string> ffmpegFrameMd5(const std::string& file,
                                        const std::vector<std::string>& args) {
    std::vector<std::string> argv{"-i", file};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.insert(argv.end(), {"-f", "framemd5", "-"});
    CommandResult r = ffmpeg(argv);
    EXPECT_EQ(r.exitCode, 0) << file;
    std::vector<std::string> md5s;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        md5s.push_back(line.substr(line.rfind(',') + 1));
        md5s.back().erase(0, md5s.back().find_first_not_of(' '));
    }
    return md5s;
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
    for (const QString& line : *captured) {
        if (line.startsWith(prefix))
            matching << line;
    }
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
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace codectest
