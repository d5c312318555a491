#include "telemetry/TrackFile.h"

#include "container/avformat.h"
#include "container/avidec.h"
#include "container/avio.h"
#include "container/aviobuf.h"
#include "telemetry/Parse.h"

using namespace container;

struct TrackFile::State {
    AVFormatContext context{};
    AVIContext avi{};
    AVPacket packet{};
    bool open = false;
    bool readable = false;  // the header was accepted
};

namespace {

// ms = num x dts x 1000 / den, truncated; false when it does not fit or the
// time base is unusable.
bool PacketMs(const AVRational& base, int64_t dts, qint64* ms) {
    if (base.den <= 0 || base.num <= 0 || dts < 0) {
        return false;
    }
    const __int128 value = __int128(base.num) * dts * 1000 / base.den;
    if (value > INT64_MAX) {
        return false;
    }
    *ms = qint64(value);
    return true;
}

}  // namespace

TrackFile::TrackFile() : state(new State) {
    av_init_packet(&state->packet);
}

TrackFile::~TrackFile() {
    Close();
    av_destruct_packet(&state->packet);
}

bool TrackFile::Open(const QString& path) {
    Close();
    if (path.split(QLatin1Char('.')).last() != QLatin1String("avi")) {
        return false;
    }
    const QByteArray name = path.toUtf8();
    state->context = AVFormatContext{};
    state->avi = AVIContext{};
    state->context.priv_data = &state->avi;
    av_strlcpy(state->context.filename, name.constData(), sizeof state->context.filename);
    if (url_fopen(&state->context.pb, name.constData(), URL_RDONLY) < 0) {
        state->context.pb = nullptr;
        return false;
    }
    state->open = true;
    // A file whose header is rejected is not read at all.
    state->readable = avi_read_header(&state->context, nullptr) == 0;
    return true;
}

void TrackFile::Close() {
    if (!state->open) {
        return;
    }
    avi_read_close(&state->context);
    avformat_free_context_avi(&state->context);
    url_fclose(state->context.pb);
    state->context = AVFormatContext{};
    state->open = false;
    state->readable = false;
}

TrackFile::Packet TrackFile::Next(qint64* seconds, const unsigned char** data, int* size) {
    if (!state->readable) {
        return Packet::End;
    }
    AVPacket& packet = state->packet;
    if (avi_read_packet(&state->context, &packet) < 0 || url_ferror(state->context.pb)) {
        return Packet::End;
    }
    if (packet.stream_index < 0 || unsigned(packet.stream_index) >= state->context.nb_streams ||
        packet.size <= 0 || packet.size > kMaxRecordBytes) {
        return Packet::Other;
    }
    const AVStream* stream = state->context.streams[packet.stream_index];
    const int type = stream->codec ? stream->codec->codec_type : CODEC_TYPE_UNKNOWN;
    qint64 ms = 0;
    if (type == CODEC_TYPE_VIDEO || type == CODEC_TYPE_AUDIO ||
        Parse::RecordName(packet.data, packet.size) != "GPS" ||
        !PacketMs(stream->time_base, packet.dts, &ms)) {
        return Packet::Other;
    }
    *seconds = ms / 1000;
    *data = packet.data;
    *size = packet.size;
    return Packet::Gps;
}
