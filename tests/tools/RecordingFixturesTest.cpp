// The recorder-style fixtures, checked against ffprobe/ffmpeg and against an
// independent reading of their bytes: what the manifest promises must be
// what the files hold, because every later test trusts the manifest.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"

using namespace testsupport;

namespace {

constexpr size_t kMinNameLength = 108;
constexpr uint32_t kHasIndex = 0x10;  // avih flags
constexpr uint32_t kKeyFrame = 0x10;  // idx1 flags
constexpr int kMaxRiffDepth = 8;      // AVI nests three levels; more is a broken file
constexpr int kGop = 25;              // the media's key frame spacing

QJsonDocument parseJson(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text));
}

std::string str(const QJsonValue& v) {
    return v.toString().toStdString();
}

int64_t num(const QJsonValue& v) {
    return v.toVariant().toLongLong();
}

std::vector<int64_t> ints(const QJsonValue& array) {
    std::vector<int64_t> out;
    for (const QJsonValue& v : array.toArray())
        out.push_back(num(v));
    return out;
}

std::vector<std::string> nameFields(const std::string& name) {
    std::vector<std::string> fields;
    std::stringstream in(name);
    for (std::string field; std::getline(in, field, '_');)
        fields.push_back(field);
    return fields;
}

std::string recordingsDir() {
    return testDataDir() + "/recordings";
}

// Little-endian 32-bit word at `pos`; 0 when out of range.
uint32_t le32(const std::string& bytes, int64_t pos) {
    if (pos < 0 || pos + 4 > int64_t(bytes.size()))
        return 0;
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | uint8_t(bytes[pos + i]);
    return value;
}

// One RIFF chunk; a list goes by its list type ("AVI ", "hdrl", "movi").
struct RiffChunk {
    std::string id;
    int64_t pos = 0;
    uint32_t size = 0;
    int depth = 0;
};

// Walks the chunks between pos and end in file order; false when a chunk
// runs past its parent.
bool walkRiff(const std::string& b, int64_t pos, int64_t end, int depth,
              std::vector<RiffChunk>* out) {
    for (; pos + 8 <= end && depth <= kMaxRiffDepth;) {
        RiffChunk c{b.substr(pos, 4), pos, le32(b, pos + 4), depth};
        int64_t bodyEnd = pos + 8 + int64_t(c.size);
        if (bodyEnd > end)
            return false;
        bool list = (c.id == "RIFF" || c.id == "LIST") && c.size >= 4;
        if (list)
            c.id = b.substr(pos + 8, 4);
        out->push_back(c);
        if (list && !walkRiff(b, pos + 12, bodyEnd, depth + 1, out))
            return false;
        pos = bodyEnd + (c.size & 1);
    }
    return pos >= end;
}

// Big-endian `width` bytes of `value`.
std::string bigEndian(uint64_t value, int width) {
    std::string out;
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        out += char(value >> shift & 0xff);
    return out;
}

std::string amfText(const std::string& text) {
    return bigEndian(text.size(), 2) + text;
}

// A telemetry record encoded from its values, in the given key order: the
// name as an AMF0 string, one ECMA array of numbers and strings, 00 00 09.
std::string amfRecord(const std::string& name, const std::vector<std::string>& keys,
                      const QJsonObject& values) {
    std::string out = "\x02" + amfText(name) + "\x08" + bigEndian(keys.size(), 4);
    for (const std::string& key : keys) {
        QJsonValue value = values[QString::fromStdString(key)];
        double number = value.toDouble();
        uint64_t bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        out += amfText(key) + (value.isString() ? "\x02" + amfText(str(value))
                                                : std::string(1, '\0') + bigEndian(bits, 8));
    }
    return out + std::string("\0\0\x09", 3);
}

// The keys each record kind carries, in the order the recorder writes them.
const std::map<std::string, std::vector<std::string>> kRecordKeys{
    {"GPS",
     {"mode", "lat", "lon", "alt", "speed", "course", "sat_used", "sat_visible", "time",
      "carInfo"}},
    {"GSensor", {"x", "y", "z", "temperature", "speed"}},
    {"otherSensors", {"temperature", "speed"}},
};

using Packet = std::tuple<int64_t, int64_t, int64_t, bool>;  // dts, size, position, key
using Packets = std::map<int, std::vector<Packet>>;          // per stream

// ffprobe's view of a file: streams (with packets counted), format and packets.
struct Probe {
    int exitCode = -1;
    QJsonObject json;
    Packets packets;
};

Probe probe(const std::string& path) {
    CommandResult r = ffprobe({"-count_packets", "-show_entries",
                               "stream=codec_type,codec_name,codec_tag_string,time_base,width,"
                               "height,nb_read_packets:format=duration:packet=stream_index,dts,"
                               "size,pos,flags",
                               "-of", "json"},
                              path);
    Probe result{r.exitCode, parseJson(r.out).object(), {}};
    for (const QJsonValue& v : result.json["packets"].toArray()) {
        QJsonObject p = v.toObject();
        result.packets[p["stream_index"].toInt()].emplace_back(
            num(p["dts"]), p["size"].toString().toLongLong(), p["pos"].toString().toLongLong(),
            p["flags"].toString().startsWith('K'));
    }
    return result;
}

Packets withoutPositions(Packets packets) {
    for (auto& stream : packets) {
        for (Packet& p : stream.second)
            std::get<2>(p) = 0;
    }
    return packets;
}

std::string recordBytes(const QJsonObject& record) {
    return QByteArray::fromHex(record["hex"].toString().toLatin1()).toStdString();
}

void expectNameDescribesFile(const QJsonObject& f, int64_t size) {
    std::string name = str(f["name"]);
    EXPECT_GE(name.size(), kMinNameLength);
    EXPECT_EQ(name.find('.'), name.size() - 4);
    EXPECT_EQ(name.substr(name.size() - 4), ".avi");
    std::vector<std::string> fields = nameFields(name);
    ASSERT_GE(fields.size(), 11u);
    const size_t widths[] = {14, 2, 7, 10, 4, 4, 2, 8, 16, 2};
    const char* keys[] = {"start",  "record_type", "duration_ms", "size",       "width",
                          "height", "frame_rate",  "bitrate",     "car_number", "channel"};
    for (size_t i = 0; i < 10; ++i) {
        SCOPED_TRACE(keys[i]);
        EXPECT_EQ(fields[i].size(), widths[i]);
        bool decimal = std::all_of(fields[i].begin(), fields[i].end(),
                                   [](char c) { return c >= '0' && c <= '9'; });
        EXPECT_EQ(decimal, i != 1);
        QJsonValue declared = f[keys[i]];
        QString padded = QString::number(num(declared)).rightJustified(int(widths[i]), '0');
        EXPECT_EQ(fields[i], declared.isString() ? str(declared) : padded.toStdString());
    }
    EXPECT_EQ(std::stoll(fields[3]), size);
}

// ffprobe sees the declared streams, and every chunk as a packet at its
// place, in order, with its key flag: video key frames are the media's IDR
// frames, every audio and data packet is a key frame.
void expectReadAsDeclared(const QJsonObject& f, Probe p) {
    ASSERT_EQ(p.exitCode, 0);
    QJsonArray probed = p.json["streams"].toArray(), declared = f["streams"].toArray();
    ASSERT_EQ(probed.size(), declared.size());
    for (int i = 0; i < declared.size(); ++i) {
        SCOPED_TRACE("stream " + std::to_string(i));
        QJsonObject ps = probed[i].toObject(), d = declared[i].toObject();
        bool data = str(d["type"]) == "data";
        EXPECT_EQ(str(ps["codec_type"]), str(d["type"]));
        EXPECT_EQ(str(ps["codec_tag_string"]), str(d["codec_tag"]));
        EXPECT_EQ(str(ps["codec_name"]), data ? "" : str(d["codec_name"]));
        QStringList tb = ps["time_base"].toString().split('/');
        ASSERT_EQ(tb.size(), 2);
        EXPECT_EQ(tb[0].toLongLong() * num(d["rate"]), tb[1].toLongLong() * num(d["scale"]));
        EXPECT_EQ(ps["nb_read_packets"].toString().toLongLong(), num(d["packets"]));
        std::vector<int64_t> sizes = ints(d["sizes"]), offsets = ints(d["offsets"]), keys;
        for (int64_t k = 0; k < int64_t(sizes.size()); k += i == 0 ? kGop : 1)
            keys.push_back(k);
        EXPECT_EQ(ints(d["key_frames"]), keys);
        const std::vector<Packet>& packets = p.packets[i];
        ASSERT_EQ(packets.size(), sizes.size());
        for (size_t k = 0; k < packets.size(); ++k) {
            bool key = std::count(keys.begin(), keys.end(), int64_t(k)) == 1;
            EXPECT_EQ(packets[k], Packet(k, sizes[k], offsets[k] + 8, key)) << "packet " << k;
        }
    }
    EXPECT_EQ(probed[0].toObject()["width"].toInt(), f["width"].toInt());
    EXPECT_EQ(probed[0].toObject()["height"].toInt(), f["height"].toInt());
    double seconds = p.json["format"].toObject()["duration"].toString().toDouble();
    EXPECT_NEAR(seconds * 1000, double(num(f["duration_ms"])), 100.0);
}

void expectDataDumpIsTheRecords(const QJsonObject& f, const std::string& path) {
    CommandResult r = ffmpeg({"-i", path, "-map", "0:d", "-c", "copy", "-f", "data", "-"});
    ASSERT_EQ(r.exitCode, 0);
    std::string expected;
    for (const QJsonValue& rec : f["records"].toArray())
        expected += recordBytes(rec.toObject());
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(r.out == expected)
        << r.out.size() << " bytes dumped, " << expected.size() << " in the manifest";
}

// The records are the manifest's values under the recorder's keys, cover the video,
// open each second with a GPS fix and trace a plausible drive in China.
void expectRecordsDecode(const QJsonObject& f) {
    QJsonObject data = f["streams"].toArray().last().toObject();
    int64_t scale = num(data["scale"]), rate = num(data["rate"]);
    QJsonArray records = f["records"].toArray();
    int64_t n = records.size(), durationMs = num(f["duration_ms"]);
    ASSERT_EQ(n, num(data["packets"]));
    EXPECT_LT((n - 1) * scale * 1000, durationMs * rate);
    EXPECT_GE(n * scale * 1000, durationMs * rate);
    int64_t lastSecond = -1;
    double lastLat = 0, lastLon = 0;
    for (int64_t k = 0; k < n; ++k) {
        SCOPED_TRACE("record " + std::to_string(k));
        QJsonObject rec = records[k].toObject();
        int64_t timeMs = num(rec["time_ms"]);
        EXPECT_EQ(timeMs, k * scale * 1000 / rate);
        std::string name = str(rec["name"]);
        ASSERT_EQ(kRecordKeys.count(name), 1u) << name;
        QJsonObject values = rec["values"].toObject();
        EXPECT_EQ(size_t(values.size()), kRecordKeys.at(name).size());
        EXPECT_TRUE(recordBytes(rec) == amfRecord(name, kRecordKeys.at(name), values))
            << str(rec["hex"]);
        EXPECT_EQ(name == "GPS", timeMs / 1000 > lastSecond);
        lastSecond = timeMs / 1000;
        double speed = values["speed"].toDouble();
        EXPECT_TRUE(speed > 0 && speed < 130) << speed;
        if (name != "GPS")
            continue;
        double lat = values["lat"].toDouble(), lon = values["lon"].toDouble();
        EXPECT_TRUE(lat > 18 && lat < 54 && lon > 73 && lon < 135) << lat << "," << lon;
        EXPECT_TRUE(lat > lastLat && lon > lastLon) << "every fix moves";
        lastLat = lat;
        lastLon = lon;
    }
}

// avih and strh count what movi holds; chunk ids, padding, fillers and idx1
// entries are where the manifest says. ffmpeg reads an interleaved file in
// order, so idx1 is checked here.
void expectHeadersAndIndex(const QJsonObject& f, const std::string& b) {
    std::vector<RiffChunk> chunks;
    ASSERT_TRUE(walkRiff(b, 0, int64_t(b.size()), 0, &chunks));
    std::map<std::string, std::vector<const RiffChunk*>> byId;
    std::map<std::string, int64_t> moviIds;
    std::set<std::pair<std::string, int64_t>> fillers, declaredFillers;
    const RiffChunk* movi = nullptr;
    for (const RiffChunk& c : chunks) {
        byId[c.id].push_back(&c);
        movi = c.id == "movi" ? &c : movi;
        if (!movi || c.depth != 2 || c.pos <= movi->pos)
            continue;
        EXPECT_EQ(c.pos % 2, 0) << "chunk at odd position " << c.pos;
        ++moviIds[c.id];
        if (c.id == "JUNK" || c.id == "ix00")
            fillers.insert({c.id, c.pos});
    }
    for (const QJsonValue& v : f["fillers"].toArray())
        declaredFillers.insert({str(v.toObject()["id"]), num(v.toObject()["pos"])});
    EXPECT_EQ(fillers, declaredFillers);
    QJsonArray streams = f["streams"].toArray();
    ASSERT_TRUE(movi && byId["avih"].size() == 1);
    ASSERT_EQ(byId["strh"].size(), size_t(streams.size()));
    ASSERT_EQ(byId["strf"].size(), size_t(streams.size()));
    EXPECT_EQ(byId["strf"].back()->size, 0u) << "the data stream's format is empty";
    EXPECT_EQ(movi->pos + 8, num(f["movi_list"]));
    std::string index = str(f["options"].toObject()["index"]);
    int64_t avih = byId["avih"][0]->pos + 8;
    EXPECT_EQ(byId.count("idx1") == 1, index != "none");
    EXPECT_EQ((le32(b, avih + 12) & kHasIndex) != 0, index != "none");
    EXPECT_EQ(le32(b, avih + 16), num(streams[0].toObject()["packets"]));
    EXPECT_EQ(le32(b, avih + 24), uint32_t(streams.size()));
    const std::map<std::string, std::string> suffixes{
        {"video", "dc"}, {"audio", "wb"}, {"data", "tx"}};
    int64_t largest = 0;
    std::map<int64_t, bool> keyAt;  // chunk position: key frame
    for (int i = 0; i < streams.size(); ++i) {
        SCOPED_TRACE("stream " + std::to_string(i));
        QJsonObject s = streams[i].toObject();
        std::vector<int64_t> sizes = ints(s["sizes"]), at = ints(s["offsets"]);
        std::vector<int64_t> keys = ints(s["key_frames"]);
        for (size_t k = 0; k < at.size(); ++k)
            keyAt[at[k]] = std::count(keys.begin(), keys.end(), int64_t(k)) == 1;
        int64_t biggest = *std::max_element(sizes.begin(), sizes.end());
        largest = std::max(largest, biggest);
        std::string chunkId = str(s["chunk_id"]);
        EXPECT_EQ(chunkId, "0" + std::to_string(i) + suffixes.at(str(s["type"])));
        EXPECT_EQ(moviIds[chunkId], num(s["packets"]));
        int64_t h = byId["strh"][i]->pos + 8;
        EXPECT_EQ(b.substr(h, 4), str(s["fcc_type"]));
        EXPECT_EQ(le32(b, h + 20), num(s["scale"]));
        EXPECT_EQ(le32(b, h + 24), num(s["rate"]));
        EXPECT_EQ(le32(b, h + 32), num(s["packets"]));
        EXPECT_EQ(le32(b, h + 36), biggest);
        EXPECT_EQ(le32(b, h + 44), num(s["sample_size"]));
    }
    EXPECT_EQ(le32(b, avih + 28), largest);
    if (index == "none")
        return;
    const RiffChunk& idx1 = *byId["idx1"][0];
    EXPECT_EQ(idx1.pos, num(f["idx1_pos"]));
    ASSERT_EQ(idx1.size, 16 * keyAt.size());
    int64_t base = index == "absolute" ? 0 : movi->pos + 8;
    auto chunk = keyAt.begin();
    for (int64_t entry = idx1.pos + 8; chunk != keyAt.end(); entry += 16, ++chunk) {
        SCOPED_TRACE("idx1 entry at " + std::to_string(entry));
        int64_t pos = base + le32(b, entry + 8);
        EXPECT_EQ(pos, chunk->first);
        EXPECT_EQ(b.substr(pos, 4), b.substr(entry, 4));
        EXPECT_EQ(le32(b, pos + 4), le32(b, entry + 12));
        EXPECT_EQ(le32(b, entry + 4), chunk->second ? kKeyFrame : 0u);
    }
}

// Decodes every video frame, stopping at the first error; returns the first
// frame's hash.
std::string expectEveryFrameDecodes(const QJsonObject& f, const std::string& path) {
    CommandResult r = ffmpeg({"-xerror", "-i", path, "-map", "0:v", "-f", "framemd5", "-"});
    EXPECT_EQ(r.exitCode, 0);
    std::istringstream lines(r.out);
    std::string first;
    int64_t frames = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        if (frames++ == 0)
            first = line.substr(line.rfind(' ') + 1);
    }
    EXPECT_EQ(frames, num(f["streams"].toArray()[0].toObject()["packets"]));
    return first;
}

// All the checks above on one whole file; returns its first frame's hash.
std::string expectFileAsDeclared(const QJsonObject& f, const std::string& path) {
    SCOPED_TRACE(str(f["name"]));
    std::string bytes = readFile(path);
    Probe p = probe(path);
    expectNameDescribesFile(f, int64_t(bytes.size()));
    expectReadAsDeclared(f, p);
    expectDataDumpIsTheRecords(f, path);
    expectRecordsDecode(f);
    expectHeadersAndIndex(f, bytes);
    return expectEveryFrameDecodes(f, path);
}

// Runs the writer on the generated media; returns its exit code and output.
CommandResult runWriter(std::vector<std::string> args) {
    args.insert(args.begin(), {"python3", sourceDir() + "/scripts/fixtures/make_recordings.py"});
    args.insert(args.end(), {"--media", testDataDir()});
    return runCommand(args);
}

// One single-channel file in `dir`, with its manifest entry.
QJsonObject writeSingle(const TempDir& dir, const std::vector<std::string>& options) {
    std::vector<std::string> args{"single", "--out", dir.path() + "/"};
    args.insert(args.end(), options.begin(), options.end());
    CommandResult r = runWriter(args);
    EXPECT_EQ(r.exitCode, 0);
    return parseJson(r.out).object();
}

QJsonObject loadManifest() {
    return parseJson(readFile(recordingsDir() + "/manifest.json")).object();
}

}  // namespace

TEST(RecordingFixtures, EveryFileIsWhatItsManifestEntryDeclares) {
    // Channel durations per recording, in channel order.
    const std::map<std::string, std::vector<int64_t>> expected{
        {"h264_4ch", {4000, 4000, 4000, 4000}}, {"hevc_2ch", {4000, 4000}},
        {"h264_aac_data_10hz", {4000}},         {"h264_no_idx1", {4000}},
        {"h264_absolute_idx1", {4000}},         {"h264_3ch_lengths", {4000, 3000, 2000}}};
    QJsonObject manifest = loadManifest();
    std::map<std::string, std::vector<int64_t>> durations;
    std::map<std::string, QStringList> names;
    std::map<std::string, std::set<std::string>> starts, firstFrames;
    for (const QJsonValue& v : manifest["files"].toArray()) {
        QJsonObject f = v.toObject();
        std::string id = str(f["recording"]);
        durations[id].push_back(num(f["duration_ms"]));
        EXPECT_EQ(num(f["channel"]), int64_t(durations[id].size()));
        names[id] << f["name"].toString();
        starts[id].insert(str(f["start"]));
        firstFrames[id].insert(expectFileAsDeclared(f, recordingsDir() + "/" + str(f["name"])));
    }
    EXPECT_EQ(durations, expected);
    std::set<std::string> allStarts;
    for (const QJsonValue& v : manifest["recordings"].toArray()) {
        QJsonObject rec = v.toObject();
        std::string id = str(rec["id"]);
        EXPECT_EQ(rec["files"].toVariant().toStringList(), names[id]) << id;
        EXPECT_EQ(starts[id], std::set<std::string>{str(rec["start"])}) << id;
        EXPECT_EQ(firstFrames[id].size(), expected.at(id).size()) << "cameras of " << id;
        allStarts.insert(str(rec["start"]));
    }
    EXPECT_EQ(allStarts.size(), expected.size()) << "one start time per recording";
}

TEST(RecordingWriterCli, OptionsGiveFilesReadAsDeclared) {
    struct Variant {
        std::vector<std::string> options;
        const char* summary;  // codecs, data time base, duration in ms
        bool layoutOnly;      // the same packets as the plain file, elsewhere in it
    };
    const char* plainSummary = "h264,adpcm_ms,none 1/25 4000";
    const Variant variants[] = {
        {{}, plainSummary, true},
        {{"--absolute-idx1"}, plainSummary, true},
        {{"--no-idx1"}, plainSummary, true},
        {{"--filler-every", "5"}, plainSummary, true},
        {{"--no-idx1", "--filler-every", "5"}, plainSummary, true},
        {{"--audio", "none"}, "h264,none 1/25 4000", false},
        {{"--video", "hevc", "--audio", "aac", "--data-time-base", "3/20"},
         "hevc,aac,none 3/20 4000",
         false},
        {{"--duration-ms", "10000", "--channel", "2"}, "h264,adpcm_ms,none 1/25 10000", false},
    };
    Packets plain;
    for (const Variant& variant : variants) {
        TempDir dir;
        QJsonObject f = writeSingle(dir, variant.options);
        SCOPED_TRACE(str(f["name"]));
        QStringList codecs;
        for (const QJsonValue& s : f["streams"].toArray())
            codecs << s.toObject()["codec_name"].toString();
        QJsonObject data = f["streams"].toArray().last().toObject();
        EXPECT_EQ(QString("%1 %2/%3 %4")
                      .arg(codecs.join(','))
                      .arg(num(data["scale"]))
                      .arg(num(data["rate"]))
                      .arg(num(f["duration_ms"]))
                      .toStdString(),
                  variant.summary);
        bool filler = std::count(variant.options.begin(), variant.options.end(), "--filler-every");
        EXPECT_EQ(f["fillers"].toArray().size() > 40, filler);
        expectFileAsDeclared(f, str(f["path"]));
        if (!variant.layoutOnly)
            continue;
        Packets packets = withoutPositions(probe(str(f["path"])).packets);
        plain = plain.empty() ? packets : plain;
        EXPECT_TRUE(packets == plain);
    }
}

TEST(RecordingWriterCli, TruncatedFileIsReadUpToTheCut) {
    TempDir whole, cut;
    QJsonObject full = writeSingle(whole, {});
    std::vector<int64_t> videoOffsets = ints(full["streams"].toArray()[0].toObject()["offsets"]);
    ASSERT_GT(videoOffsets.size(), 60u);
    int64_t at = videoOffsets[50] + 100;  // inside video chunk 50

    QJsonObject f = writeSingle(cut, {"--truncate", std::to_string(at)});
    EXPECT_EQ(int64_t(readFile(str(f["path"])).size()), at);
    EXPECT_EQ(std::stoll(nameFields(str(f["name"]))[3]), at);
    EXPECT_EQ(f["streams"].toArray()[0].toObject()["complete_packets"].toInt(), 50);

    Probe got = probe(str(f["path"])), want = probe(str(full["path"]));
    EXPECT_EQ(got.exitCode, 0);
    for (const QJsonValue& sv : f["streams"].toArray()) {
        int index = sv.toObject()["index"].toInt();
        std::vector<Packet> read = got.packets[index], written = want.packets[index];
        size_t complete = sv.toObject()["complete_packets"].toInt();
        ASSERT_GE(read.size(), complete);
        ASSERT_LE(read.size(), complete + 1);  // at most one short packet at the cut
        read.resize(complete);
        written.resize(complete);
        EXPECT_EQ(read, written) << "stream " << index;
    }
}

TEST(RecordingWriterCli, RecordingIsChannelFilesWithOneStartTime) {
    TempDir dir;
    CommandResult r =
        runWriter({"recording", "--out", dir.path(), "--channels", "3", "--durations-ms",
                   "1000,2000,400", "--start", "20240101235959", "--type", "GS"});
    ASSERT_EQ(r.exitCode, 0);
    QJsonArray entries = parseJson(r.out).array();
    ASSERT_EQ(entries.size(), 3);
    const int64_t durations[] = {1000, 2000, 400};
    for (int i = 0; i < 3; ++i) {
        QJsonObject f = entries[i].toObject();
        EXPECT_EQ(str(f["start"]) + str(f["record_type"]), "20240101235959GS");
        EXPECT_EQ(num(f["duration_ms"]), durations[i]);
        EXPECT_EQ(num(f["channel"]), i + 1);
        expectFileAsDeclared(f, dir.file(str(f["name"])));
    }
}

// The default set spans both codecs, both audio codecs and every index kind.
TEST(RecordingWriterCli, SameArgumentsGiveTheSameBytes) {
    TempDir set;
    ASSERT_EQ(runWriter({"--out", set.file("recordings")}).exitCode, 0);
    EXPECT_TRUE(readFile(set.file("recordings/manifest.json")) ==
                readFile(recordingsDir() + "/manifest.json"));
    for (const QJsonValue& v : loadManifest()["files"].toArray()) {
        std::string name = str(v.toObject()["name"]);
        EXPECT_TRUE(readFile(set.file("recordings/" + name)) ==
                    readFile(recordingsDir() + "/" + name))
            << name;
    }
}

TEST(RecordingWriterCli, RefusesWhatThePlayerWouldMisread) {
    TempDir dir;
    const std::vector<std::vector<std::string>> refused{
        {"--data-suffix", "pc"},  // a palette change
        {"--data-suffix", "ix"},  // an OpenDML index chunk
        {"--data-suffix", "7x"},  // a digit shifts the chunk id scan
        {"--channel", "13"},      // the player has 12 channels
        {"--type", "NMX"},        // two-letter record types
        {"--start", "20231399000000"},
        {"--data-time-base", "0/25"},
        {"--filler-every", "-1"},
        {"--duration-ms", "3600001"},
    };
    for (std::vector<std::string> args : refused) {
        args.insert(args.begin(), {"single", "--out", dir.path() + "/"});
        EXPECT_EQ(runWriter(args).exitCode, 2) << args[3];
    }
    EXPECT_EQ(runCommand({"ls", "-A", dir.path()}).out, "");
}
