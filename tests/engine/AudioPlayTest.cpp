// The sound of whole recordings played by engine_harness without a sound
// device (the silent sink pulls the ring), against
// `ffmpeg -map 0:a -ac 1 -ar RATE -f s16le` of channel 1's file.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>

#include "CodecTestSupport.h"
#include "Command.h"
#include "Limits.h"
#include "TempDir.h"

using codectest::Bytes;

namespace {

// 10 s of H.264 (key frame every second) with a tone: name -> (codec, rate, channels).
const std::map<std::string, std::tuple<std::string, int, int>> kFiles{
    {"adpcm8", {"adpcm_ms", 8000, 1}},
    {"aac16stereo", {"aac", 16000, 2}},
    {"aac44stereo", {"aac", 44100, 2}}};

class AudioPlay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new testsupport::TempDir;
        for (const auto& [name, f] : kFiles) {
            const auto& [codec, rate, channels] = f;
            const std::string r = std::to_string(rate);
            testsupport::ffmpeg({"-f",      "lavfi",
                                 "-i",      "testsrc2=size=160x120:rate=25:duration=10",
                                 "-f",      "lavfi",
                                 "-i",      "sine=frequency=440:sample_rate=" + r,
                                 "-t",      "10",
                                 "-c:v",    "libx264",
                                 "-preset", "veryfast",
                                 "-g",      "25",
                                 "-bf",     "0",
                                 "-c:a",    codec,
                                 "-ac",     std::to_string(channels),
                                 "-ar",     r,
                                 "-y",      Path(name)});
        }
    }
    static void TearDownTestSuite() { delete dir; }
    static std::string Path(const std::string& name) { return dir->file(name + ".avi"); }
    static Bytes Ffmpeg(const std::string& name, int rate) {
        return codectest::ffmpegOutput(
            Path(name), {"-map", "0:a", "-ac", "1", "-ar", std::to_string(rate), "-f", "s16le"});
    }
    // Plays the harness's arguments; recordings as "CH=name" words, "--" between them.
    void Play(std::vector<std::string> args, const std::vector<std::string>& files) {
        args.insert(args.begin(), {ENGINE_HARNESS, "--audio", dir->file("out.pcm")});
        for (const std::string& f : files)
            args.push_back(f == "--" ? f : f.substr(0, 2) + Path(f.substr(2)));
        const auto r = testsupport::runCommand(args);
        ASSERT_EQ(r.exitCode, 0) << "harness failed or hung";
        json = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
        EXPECT_LT(json["shutdown_ms"].toDouble(), testsupport::kExitLimitMs) << "Shutdown too slow";
        std::ifstream in(dir->file("out.pcm"), std::ios::binary);
        pcm.assign(std::istreambuf_iterator<char>(in), {});
    }
    // Bytes the output took from the ring from ms on (harness time).
    double PulledFrom(double ms) const {
        double bytes = 0;
        for (const QJsonValue& v : json["audio"].toArray())
            bytes += v[0].toDouble() >= ms ? v[1].toDouble() : 0;
        return bytes;
    }
    double ActionAt(int i) const { return json["actions"][i][0].toDouble(); }
    // Harness time of the first report of position pos.
    double ReportAt(qint64 pos) const {
        for (const QJsonValue& v : json["times"].toArray())
            if (qint64(v[1].toDouble()) == pos)
                return v[0].toDouble();
        return -1;
    }

    static testsupport::TempDir* dir;
    QJsonObject json;
    Bytes pcm;
};
testsupport::TempDir* AudioPlay::dir = nullptr;

double SnrDb(const Bytes& ours, const Bytes& theirs) {
    if (ours.size() != theirs.size())
        return 0;
    const auto* a = reinterpret_cast<const int16_t*>(ours.data());
    const auto* b = reinterpret_cast<const int16_t*>(theirs.data());
    double signal = 0, noise = 0;
    for (size_t i = 0; i < ours.size() / 2; ++i) {
        signal += double(b[i]) * b[i];
        noise += double(a[i] - b[i]) * (a[i] - b[i]);
    }
    return noise == 0 ? INFINITY : 10 * std::log10(signal / noise);
}

// At 1X every sample of channel 1 as ffmpeg gives it (another channel's sound
// is not heard), the output reopened once at the stream's rate, and playback
// reaches End paced, never early, without a device. (How close to real time
// is the audio play benchmark's figure.)
TEST_F(AudioPlay, OneXPlaysChannelOnesSoundAsFfmpegDecodesIt) {
    struct Row {
        std::string file;
        int rate;
        int opens;
        double minSnrDb;  // infinity: byte-exact
    };
    for (const Row& row : {Row{"adpcm8", 8000, 1, INFINITY}, Row{"aac16stereo", 16000, 2, 90},
                           Row{"aac44stereo", 44100, 2, 90}}) {
        SCOPED_TRACE(row.file);
        Play({"--grace", "1500"}, {"1=" + row.file, "2=aac16stereo"});
        const Bytes theirs = Ffmpeg(row.file, row.rate);
        if (std::isinf(row.minSnrDb))
            EXPECT_TRUE(pcm == theirs) << pcm.size() << " bytes, ffmpeg " << theirs.size();
        else
            EXPECT_GE(SnrDb(pcm, theirs), row.minSnrDb) << pcm.size() << " / " << theirs.size();
        EXPECT_EQ(json["audio_opens"].toInt(), row.opens);
        EXPECT_GE(ReportAt(-3) - ReportAt(-1), 9900) << "End came early: not paced";
    }
}

// No sound at other speeds, backwards, unpaced, while stepping, nor from a
// channel other than 1; the recordings still play to End.
TEST_F(AudioPlay, SilentUnlessForwardOneXFromChannelOne) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> files;
        bool ends = true;
    };
    const std::vector<Row> rows{
        {"2X", {"--speed", "5"}, {"1=adpcm8"}},
        {"1/2X", {"--speed", "3", "--timeout", "3000", "--no-end"}, {"1=adpcm8"}, false},
        {"backward", {"--reverse"}, {"1=adpcm8"}},
        {"unpaced", {"--unpaced"}, {"1=aac16stereo"}},
        {"channel 2", {"--selected", "2"}, {"2=adpcm8"}},
        {"stepping",
         {"--no-end", "--timeout", "2500", "--action", "0:pause", "--action", "400:step",
          "--action", "800:step", "--action", "1200:step"},
         {"1=adpcm8"},
         false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Play(row.args, row.files);
        // Stepping: from the first step on, which runs after the pause is done.
        const bool stepping = json["actions"].toArray().size() > 0;
        EXPECT_EQ(PulledFrom(stepping ? ActionAt(1) : 0), 0);
        EXPECT_TRUE(!row.ends || ReportAt(-3) > 0) << "no End";
    }
}

// After a seek the sound goes on from the first audio packet after the key
// frame: what played is a prefix of the file's sound, then all of it from
// that packet on.
TEST_F(AudioPlay, SeekGoesOnFromTheFirstAudioPacketAfterTheKeyFrame) {
    Play({"--grace", "1500", "--action", "2500:seek:6000"}, {"1=adpcm8"});
    const auto probe = testsupport::ffprobe(
        {"-show_entries", "packet=codec_type,dts_time,pos,flags", "-of", "csv=p=0"},
        Path("adpcm8"));
    const QStringList packets = QString::fromStdString(probe.out).split('\n');
    qint64 keyPos = -1, from = -1;
    for (const QString& line : packets) {  // (type, seconds, file position, flags)
        const QStringList f = line.split(',');
        if (f.size() == 4 && f[0] == "video" && f[3].startsWith('K') && f[1].toDouble() <= 6.0)
            keyPos = std::max(keyPos, f[2].toLongLong());
    }
    for (const QString& line : packets) {
        const QStringList f = line.split(',');
        if (f.size() == 4 && f[0] == "audio" && f[2].toLongLong() > keyPos && from < 0)
            from = std::llround(f[1].toDouble() * 8000) * 2;
    }
    const Bytes theirs = Ffmpeg("adpcm8", 8000);
    ASSERT_GT(from, 0);
    const size_t tail = theirs.size() - size_t(from);
    ASSERT_GT(pcm.size(), tail);
    const size_t head = pcm.size() - tail;
    EXPECT_TRUE(std::equal(pcm.begin() + long(head), pcm.end(), theirs.begin() + from));
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + long(head), theirs.begin()));
    EXPECT_GT(head, 16000u) << "the sound before the seek is missing";
}

// 8000 -> 16000 -> 8000 Hz recordings in a row: one reopen per change. Then
// a stress of seeks and rate changes (run under TSan too), which ends with
// an exit while the demux may wait for a reopen.
TEST_F(AudioPlay, RecordingsAtOtherRatesReopenOncePerChange) {
    Play(
        {"--no-end", "--action", "1500:open:1", "--action", "3000:open:2", "--action", "4500:quit"},
        {"1=adpcm8", "--", "1=aac16stereo", "--", "1=adpcm8"});
    EXPECT_EQ(json["audio_opens"].toInt(), 3);
    EXPECT_EQ(json["audio_rate"].toInt(), 8000);
    std::vector<std::string> args{"--no-end"};
    for (int t = 100; t < 3000; t += 100)
        args.insert(args.end(),
                    {"--action", std::to_string(t) + (t % 300 ? ":seek:" : ":open:") +
                                     std::to_string(t % 300 ? t * 3 : t / 300 % 2 + 1)});
    args.insert(args.end(), {"--action", "3000:quit"});
    Play(args, {"1=adpcm8", "--", "1=aac16stereo", "--", "1=aac44stereo"});
}

}  // namespace
