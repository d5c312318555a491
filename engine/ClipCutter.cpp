#include "engine/ClipCutter.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "container/avidec.h"
#include "container/avienc.h"
#include "container/avio.h"
#include "container/aviobuf.h"
#include "container/error.h"
#include "container/mem.h"
#include "engine/ClipPolicy.h"
#include "engine/DemuxChannel.h"
#include "engine/RecordingName.h"

using namespace container;

namespace {
// Packets copied per clip between two looks at the demux loop's events.
constexpr int kBatch = 64;
// Pieces of one source audio chunk are joined up to this size.
constexpr int kMaxJoinedChunk = 16 << 20;
constexpr int kVideoStream = 0;
constexpr int kAudioStream = 1;

const AVStream* FirstStream(const AVFormatContext* s, int type) {
    for (unsigned n = 0; n < s->nb_streams; ++n) {
        if (s->streams[n]->codec && s->streams[n]->codec->codec_type == type) {
            return s->streams[n];
        }
    }
    return nullptr;
}

// The clip's stream carries the source's codec parameters unchanged, so
// that the copied packets decode as they did in the source.
bool DeclareStream(AVFormatContext* out, const AVStream* source, int id) {
    AVStream* st = av_new_stream_avi(out, id);
    if (!st) {
        return false;
    }
    const AVCodecContext* s = source->codec;
    AVCodecContext* d = st->codec;
    d->codec_type = s->codec_type;
    d->codec_id = s->codec_id;
    d->codec_tag = s->codec_tag;
    d->bit_rate = s->bit_rate;
    d->width = s->width;
    d->height = s->height;
    d->bits_per_coded_sample = s->bits_per_coded_sample;
    d->sample_rate = s->sample_rate;
    d->channels = s->channels;
    d->frame_size = s->frame_size;
    d->time_base = source->time_base;
    d->block_align = s->codec_type == CODEC_TYPE_VIDEO ? 0 : s->block_align;
    st->sample_aspect_ratio = source->sample_aspect_ratio;
    if (s->extradata && s->extradata_size > 0 && s->extradata_size <= MAX_EXTRADATA_SIZE) {
        d->extradata = static_cast<uint8_t*>(
            av_mallocz(size_t(s->extradata_size) + FF_INPUT_BUFFER_PADDING_SIZE));
        if (!d->extradata) {
            return false;
        }
        std::memcpy(d->extradata, s->extradata, size_t(s->extradata_size));
        d->extradata_size = s->extradata_size;
    }
    return true;
}

// One video frame in ms; 0 for a time base that is no frame rate.
qint64 FrameMs(const AVStream* video) {
    const AVRational tb = video->time_base;
    if (tb.num <= 0 || tb.den <= 0)
        return 0;
    return qint64(tb.num) * 1000 / tb.den;
}

// The clip's bytes reach the disk before it takes its final name, so that a
// disk that fails late (a full disk, a network folder) fails the clip.
bool SyncToDisk(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && ::fsync(file.handle()) == 0;
}

// Tells the file under a name now from the one there before: rewritten in
// place, or another file put in its place.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 bytes = -1;  // -1: no file to look at
    qint64 modifiedSec = 0;
    qint64 modifiedNsec = 0;

    bool operator==(const FileIdentity& o) const {
        return device == o.device && inode == o.inode && bytes == o.bytes &&
               modifiedSec == o.modifiedSec && modifiedNsec == o.modifiedNsec;
    }
};

FileIdentity Identify(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return {};
    }
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}
}  // namespace

struct ClipCutter::Clip {
    explicit Clip(int ch) : channel(ch), source(ch) {}

    const int channel;
    DemuxChannel source;  // forward reader of the source file
    const AVStream* videoSource = nullptr;
    const AVStream* audioSource = nullptr;
    QString workPath;
    QString sourcePath;
    FileIdentity sourceBegan;  // the source as the cut began
    qint64 beginMs = 0;
    qint64 frameMs = 0;
    qint64 videoEndMs = -1;  // where the last written video frame ends
    AVFormatContext out{};
    AVIMuxContext mux{};
    bool created = false;  // the working file is ours
    bool opened = false;   // its header is written
    bool videoPast = false;
    bool audioPast = false;
    bool done = false;
    QByteArray audioChunk;  // pieces of one source chunk, joined again
    qint64 audioChunkMs = -1;
};

ClipCutter::Request ClipCutter::FromSettings(qint64 beginMs, qint64 endMs) {
    QSettings settings;
    settings.setIniCodec("utf-8");
    Request r;
    r.beginMs = beginMs;
    r.endMs = endMs;
    r.savePath = settings.value(ClipPolicy::kSavePathKey).toString();
    bool ok = false;
    r.policy = settings.value(ClipPolicy::kPolicyKey, 0).toUInt(&ok);
    if (!ok) {
        r.policy = 0;
    }
    r.selectChannel = settings.value(ClipPolicy::kSelectChannelKey, 0).toInt();
    return r;
}

ClipCutter::ClipCutter() = default;

ClipCutter::~ClipCutter() {
    Interrupt(QStringLiteral("the player ended"));
}

int ClipCutter::Start(const Request& request, const std::array<QString, kChannels>& sources,
                      const std::array<bool, kChannels>& open) {
    if (active) {
        qDebug() << "Cut Error: a cut is running";
        return 0;
    }
    outcomes.clear();
    endMs = request.endMs;
    QString folder = request.savePath;
    if (request.beginMs < 0 || request.endMs < request.beginMs || folder.isEmpty()) {
        qDebug() << "Cut Error: no range or no save folder" << request.beginMs << request.endMs
                 << folder;
        return 0;
    }
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    std::array<bool, kChannels> chosen{};
    for (int ch = 0; ch < kChannels; ++ch) {
        chosen[size_t(ch)] = (request.policy & ClipPolicy::kSelectedWindowBit)
                                 ? ch == request.selectChannel
                                 : (request.policy & ClipPolicy::ChannelBit(ch + 1)) != 0;
    }
    int started = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!chosen[size_t(ch)] || !open[size_t(ch)]) {
            continue;  // an absent channel has nothing to cut
        }
        const QString& source = sources[size_t(ch)];
        const QString name =
            RecordingName::ClipName(source, request.beginMs, request.endMs - request.beginMs, 0);
        if (name.isEmpty()) {
            Report(ch, false, QString(), QStringLiteral("the source name has no clip fields"));
        } else if (QFileInfo::exists(folder + name)) {
            Report(ch, false, QString(), QStringLiteral("will not overwrite ") + folder + name);
        } else if (StartClip(ch, source, folder + name, request.beginMs)) {
            ++started;
        }
    }
    if (started == 0 && outcomes.empty()) {
        qDebug() << "Cut Error: no chosen channel is open";
    }
    active = started > 0;
    if (active) {
        qDebug() << "Cut" << request.beginMs << "to" << request.endMs << "of" << started
                 << "channels";
    }
    return started;
}

bool ClipCutter::StartClip(int ch, const QString& source, const QString& workPath, qint64 beginMs) {
    std::unique_ptr<Clip> clip(new Clip(ch));
    clip->workPath = workPath;
    // Looked at before the reader opens it: a file replaced in between is
    // taken as replaced during the cut.
    clip->sourceBegan = Identify(source);
    if (clip->sourceBegan.bytes < 0 || !clip->source.Open(source, false)) {
        Report(ch, false, QString(), QStringLiteral("cannot open ") + source);
        return false;
    }
    clip->videoSource = FirstStream(clip->source.Context(), CODEC_TYPE_VIDEO);
    clip->audioSource = FirstStream(clip->source.Context(), CODEC_TYPE_AUDIO);
    if (!clip->videoSource || !clip->source.Seek(beginMs)) {
        Report(ch, false, QString(), QStringLiteral("no video to seek in ") + source);
        return false;
    }
    clip->beginMs = beginMs;
    clip->frameMs = FrameMs(clip->videoSource);
    clip->sourcePath = source;
    clips[size_t(ch)] = std::move(clip);
    return true;
}

bool ClipCutter::Step() {
    if (!active) {
        return false;
    }
    for (auto& clip : clips) {
        for (int n = 0; clip && !clip->done && n < kBatch && CopyOne(*clip); ++n) {
        }
    }
    EndIfDone();
    return active;
}

bool ClipCutter::CopyOne(Clip& clip) {
    const int result = clip.source.Read(false);
    if (result < 0) {
        // The source has no more (its end, or a cut-short file): the clip
        // holds what there was, and its name says how long that is.
        if (!clip.opened) {
            Fail(clip, QStringLiteral("no video in the range"));
        } else {
            if (result != AVERROR_EOF)
                qDebug() << "Cut: channel" << clip.channel + 1 << "source unreadable from here,"
                         << "error" << result;
            Finish(clip, QString());
        }
        return false;
    }
    const DemuxChannel::Packet& p = clip.source.Last();
    if (p.dtsMs < 0) {
        return true;
    }
    if (p.stream == clip.videoSource) {
        if (p.dtsMs > endMs) {
            clip.videoPast = true;
        } else if ((!clip.opened && !OpenOutput(clip)) ||
                   !Write(clip, kVideoStream, p.data, p.size, p.key)) {
            return false;
        } else {
            clip.videoEndMs = p.dtsMs + clip.frameMs;
        }
    } else if (p.stream == clip.audioSource && clip.opened) {
        const auto* ast = static_cast<const AVIStream*>(p.stream->priv_data);
        if (!WriteAudio(clip, p.data, p.size, !ast || ast->remaining <= 0, p.dtsMs)) {
            return false;
        }
    }
    if (clip.videoPast && (clip.audioPast || !clip.audioSource)) {
        if (clip.opened) {
            Finish(clip, QString());
        } else {
            Fail(clip, QStringLiteral("no video in the range"));
        }
        return false;
    }
    return true;
}

bool ClipCutter::OpenOutput(Clip& clip) {
    const QByteArray name = QFile::encodeName(clip.workPath);
    if (size_t(name.size()) >= sizeof(clip.out.filename)) {
        Fail(clip, QStringLiteral("the clip path is too long"));
        return false;
    }
    // Never overwrite: the working name is claimed before the writer opens it.
    QFile claim(clip.workPath);
    if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        Fail(clip, QStringLiteral("cannot create: ") + claim.errorString());
        return false;
    }
    claim.close();
    clip.created = true;
    qDebug() << "Cut channel" << clip.channel + 1 << "to" << clip.workPath;
    clip.out = AVFormatContext{};
    clip.mux = AVIMuxContext{};
    clip.out.priv_data = &clip.mux;
    std::memcpy(clip.out.filename, name.constData(), size_t(name.size()) + 1);
    if (url_fopen(&clip.out.pb, clip.out.filename, URL_WRONLY) < 0) {
        clip.out.pb = nullptr;
        Fail(clip, QStringLiteral("cannot open for writing"));
        return false;
    }
    const bool declared =
        DeclareStream(&clip.out, clip.videoSource, kVideoStream) &&
        (!clip.audioSource || DeclareStream(&clip.out, clip.audioSource, kAudioStream));
    if (!declared || avi_write_header(&clip.out) < 0 || url_ferror(clip.out.pb) < 0) {
        Fail(clip, QStringLiteral("cannot write the header"));
        return false;
    }
    clip.opened = true;
    return true;
}

// The reader hands small-sample audio over in pieces; the clip stores each
// source chunk whole again, with the time of its first piece.
bool ClipCutter::WriteAudio(Clip& clip, const unsigned char* data, int size, bool chunkEnds,
                            qint64 dtsMs) {
    if (clip.audioChunk.isEmpty()) {
        clip.audioChunkMs = dtsMs;
    }
    if (!chunkEnds || !clip.audioChunk.isEmpty()) {
        clip.audioChunk.append(reinterpret_cast<const char*>(data), size);
        if (!chunkEnds && clip.audioChunk.size() < kMaxJoinedChunk) {
            return true;
        }
        data = reinterpret_cast<const unsigned char*>(clip.audioChunk.constData());
        size = clip.audioChunk.size();
    }
    bool written = true;
    if (clip.audioChunkMs > endMs) {
        clip.audioPast = true;
    } else {
        written = Write(clip, kAudioStream, data, size, true);
    }
    clip.audioChunk.clear();
    clip.audioChunkMs = -1;
    return written;
}

bool ClipCutter::Write(Clip& clip, int stream, const unsigned char* data, int size, bool key) {
    AVPacket pkt{};
    av_init_packet(&pkt);
    pkt.stream_index = stream;
    pkt.dts = 0;  // chunks follow one another; no gaps to fill
    pkt.flags = key ? PKT_FLAG_KEY : 0;
    pkt.data = const_cast<uint8_t*>(data);
    pkt.size = size;
    if (avi_write_packet(&clip.out, &pkt) < 0 || url_ferror(clip.out.pb) < 0) {
        Fail(clip, QStringLiteral("write error %1").arg(url_ferror(clip.out.pb)));
        return false;
    }
    return true;
}

void ClipCutter::Finish(Clip& clip, const QString& cutShort) {
    const QString changed = SourceChange(clip);
    if (!changed.isEmpty()) {
        Fail(clip, changed);
        return;
    }
    if (!clip.audioChunk.isEmpty()) {
        const QByteArray rest = clip.audioChunk;
        clip.audioChunk.clear();
        if (clip.audioChunkMs <= endMs &&
            !Write(clip, kAudioStream, reinterpret_cast<const unsigned char*>(rest.constData()),
                   rest.size(), true)) {
            return;
        }
    }
    const int trailer = avi_write_trailer(&clip.out);
    const int closed = url_fclose(clip.out.pb);
    clip.out.pb = nullptr;
    avformat_free_context_avi(&clip.out);
    clip.source.Close();
    clip.done = true;
    if (trailer < 0 || closed < 0) {
        Discard(clip,
                QStringLiteral("write error %1 at the end").arg(trailer < 0 ? trailer : closed));
        return;
    }
    if (!SyncToDisk(clip.workPath)) {
        Discard(clip, QStringLiteral("the clip did not reach the disk"));
        return;
    }
    const qint64 asked = endMs - clip.beginMs;
    const qint64 length = std::clamp<qint64>(clip.videoEndMs - clip.beginMs, 0, asked);
    if (length < asked && cutShort.isEmpty())
        qDebug() << "Cut: channel" << clip.channel + 1 << "is" << length << "ms long of" << asked
                 << "asked: the source has no more";
    const QString final =
        RecordingName::WithLengthAndSize(clip.workPath, length, QFileInfo(clip.workPath).size());
    // rename() never replaces a file: a final name already taken, or a folder
    // that went away, fails the clip rather than leave it where none looks.
    if (final.isEmpty() || !QFile::rename(clip.workPath, final)) {
        Discard(clip, QStringLiteral("cannot name it ") + final);
        return;
    }
    Report(clip.channel, cutShort.isEmpty(), final,
           cutShort.isEmpty() ? QString() : QStringLiteral("cut short: ") + cutShort);
}

// A source that changed while it was read gives a clip of mixed or torn
// bytes, whatever the reader made of them.
QString ClipCutter::SourceChange(const Clip& clip) {
    const FileIdentity now = Identify(clip.sourcePath);
    if (now == clip.sourceBegan) {
        return QString();
    }
    if (now.bytes < 0) {
        return QStringLiteral("the source went away during the cut");
    }
    if (now.bytes < clip.sourceBegan.bytes) {
        return QStringLiteral("the source shrank during the cut");
    }
    return QStringLiteral("the source was replaced during the cut");
}

void ClipCutter::Fail(Clip& clip, const QString& why) {
    if (clip.out.pb) {
        avi_write_abort(&clip.out);
    }
    avformat_free_context_avi(&clip.out);
    clip.source.Close();
    clip.done = true;
    if (clip.created) {
        Discard(clip, why);
    } else {
        Report(clip.channel, false, QString(), why);
    }
}

// A clip that failed is torn: nothing of it stays, under any name.
void ClipCutter::Discard(Clip& clip, const QString& why) {
    QFile::remove(clip.workPath);
    Report(clip.channel, false, QString(), why);
}

void ClipCutter::Report(int ch, bool ok, const QString& path, const QString& why) {
    outcomes.push_back(Outcome{ch, ok, path});
    if (ok) {
        qDebug() << "Cut channel" << ch + 1 << "done:" << path;
    } else {
        qDebug() << "Cut Error: channel" << ch + 1 << why << path;
    }
}

void ClipCutter::Interrupt(const QString& why) {
    if (!active) {
        return;
    }
    for (auto& clip : clips) {
        if (!clip || clip->done) {
            continue;
        }
        if (clip->opened) {
            Finish(*clip, why);
        } else {
            Fail(*clip, why);
        }
    }
    EndIfDone();
}

void ClipCutter::EndIfDone() {
    for (const auto& clip : clips) {
        if (clip && !clip->done) {
            return;
        }
    }
    for (auto& clip : clips) {
        clip.reset();
    }
    active = false;
    bool whole = !outcomes.empty();
    for (const Outcome& o : outcomes) {
        whole = whole && o.ok;
    }
    if (whole) {
        qDebug() << "cut SU";
    }
}
