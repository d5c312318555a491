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
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "AmfRecord.h"
#include "Command.h"
#include "RiffChunks.h"
#include "TempDir.h"
#include "TestData.h"

using namespace testsupport;

namespace {

constexpr int kMinNameLength = 108;
constexpr uint32_t kHasIndex = 0x10;
constexpr uint32_t kKeyFrame = 0x10;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QJsonDocument parseJson(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text));
}

std::string str(const QJsonValue& v) {
    return v.toString().toStdString();
}

std::string recordingsDir() {
    return testDataDir() + "/recordings";
}

QJsonObject loadManifest() {
    return parseJson(readAll(recordingsDir() + "/manifest.json")).object();
}

std::string script() {
    return sourceDir() + "/scripts/fixtures/make_recordings.py";
}

// Runs the writer's CLI; returns its exit code and standard output.
CommandResult runWriter(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"python3", script()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv);
}

// One single-channel file in `dir`, with its manifest entry.
QJsonObject writeSingle(const TempDir& dir, std::vector<std::string> options) {
    std::vector<std::string> args{"single", "--media", testDataDir(), "--out", dir.path() + "/"};
    args.insert(args.end(), options.begin(), options.end());
    CommandResult r = runWriter(args);
    EXPECT_EQ(r.exitCode, 0);
    return parseJson(r.out).object();
}

struct ProbedPacket {
    int stream = -1;
    int64_t dts = 0;
    int64_t size = 0;
    int64_t pos = 0;
    bool key = false;
    bool operator==(const ProbedPacket& o) const {
        return stream == o.stream && dts == o.dts && size == o.size && pos == o.pos && key == o.key;
    }
};

std::vector<ProbedPacket> probePackets(const std::string& path, int* exitCode = nullptr) {
    CommandResult r =
        ffprobe({"-show_entries", "packet=stream_index,dts,size,pos,flags", "-of", "json"}, path);
    if (exitCode)
        *exitCode = r.exitCode;
    std::vector<ProbedPacket> packets;
    for (const QJsonValue& v : parseJson(r.out).object()["packets"].toArray()) {
        QJsonObject p = v.toObject();
        ProbedPacket packet;
        packet.stream = p["stream_index"].toInt();
        packet.dts = p["dts"].toVariant().toLongLong();
        packet.size = p["size"].toString().toLongLong();
        packet.pos = p["pos"].toString().toLongLong();
        packet.key = p["flags"].toString().startsWith('K');
        packets.push_back(packet);
    }
    return packets;
}

std::vector<ProbedPacket> ofStream(const std::vector<ProbedPacket>& all, int stream) {
    std::vector<ProbedPacket> out;
    std::copy_if(all.begin(), all.end(), std::back_inserter(out),
                 [stream](const ProbedPacket& p) { return p.stream == stream; });
    return out;
}

std::vector<int64_t> ints(const QJsonValue& array) {
    std::vector<int64_t> out;
    for (const QJsonValue& v : array.toArray())
        out.push_back(v.toVariant().toLongLong());
    return out;
}

std::string recordBytes(const QJsonObject& record) {
    return QByteArray::fromHex(record["hex"].toString().toLatin1()).toStdString();
}

// The keys each record kind carries, in the order the recorder writes them.
const std::map<std::string, std::vector<std::string>>& expectedKeys() {
    static const std::map<std::string, std::vector<std::string>> keys{
        {"GPS",
         {"mode", "lat", "lon", "alt", "speed", "course", "sat_used", "sat_visible", "time",
          "carInfo"}},
        {"GSensor", {"x", "y", "z", "temperature", "speed"}},
        {"otherSensors", {"temperature", "speed"}},
    };
    return keys;
}

bool isDecimal(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> nameFields(const std::string& name) {
    std::vector<std::string> fields;
    std::stringstream in(name);
    std::string field;
    while (std::getline(in, field, '_'))
        fields.push_back(field);
    return fields;
}

class RecordingFixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { manifest_ = new QJsonObject(loadManifest()); }
    static void TearDownTestSuite() {
        delete manifest_;
        manifest_ = nullptr;
    }

    static QJsonArray files() { return (*manifest_)["files"].toArray(); }
    static std::string pathOf(const QJsonObject& file) {
        return recordingsDir() + "/" + str(file["name"]);
    }
    static QJsonObject fileOf(const std::string& recording, int channel) {
        for (const QJsonValue& v : files()) {
            QJsonObject f = v.toObject();
            if (str(f["recording"]) == recording && f["channel"].toInt() == channel)
                return f;
        }
        ADD_FAILURE() << "no channel " << channel << " in " << recording;
        return {};
    }

    static QJsonObject* manifest_;
};

QJsonObject* RecordingFixtures::manifest_ = nullptr;

}  // namespace

TEST_F(RecordingFixtures, ManifestListsEveryRecordingWithOneStartTime) {
    ASSERT_EQ((*manifest_)["version"].toInt(), 1);
    std::map<std::string, size_t> expected{{"h264_4ch", 4},           {"hevc_2ch", 2},
                                           {"h264_aac_data_10hz", 1}, {"h264_no_idx1", 1},
                                           {"h264_absolute_idx1", 1}, {"h264_3ch_lengths", 3}};
    std::set<std::string> starts;
    for (const QJsonValue& v : (*manifest_)["recordings"].toArray()) {
        QJsonObject rec = v.toObject();
        std::string id = str(rec["id"]);
        SCOPED_TRACE(id);
        ASSERT_EQ(expected.count(id), 1u);
        QJsonArray names = rec["files"].toArray();
        EXPECT_EQ(size_t(names.size()), expected[id]);
        std::set<int> channels;
        for (const QJsonValue& n : names) {
            std::vector<std::string> fields = nameFields(str(n));
            EXPECT_EQ(fields[0], str(rec["start"]));
            channels.insert(std::stoi(fields[9]));
        }
        EXPECT_EQ(channels.size(), expected[id]);
        EXPECT_EQ(*channels.begin(), 1);
        EXPECT_EQ(*channels.rbegin(), int(expected[id]));
        EXPECT_TRUE(starts.insert(str(rec["start"])).second) << "start time used twice";
        expected.erase(id);
    }
    EXPECT_TRUE(expected.empty());
}

TEST_F(RecordingFixtures, FileNamesFollowTheRecorderFormat) {
    for (const QJsonValue& v : files()) {
        QJsonObject f = v.toObject();
        std::string name = str(f["name"]);
        SCOPED_TRACE(name);
        EXPECT_GE(name.size(), size_t(kMinNameLength));
        std::vector<std::string> fields = nameFields(name);
        ASSERT_GE(fields.size(), 11u);
        const size_t widths[] = {14, 2, 7, 10, 4, 4, 2, 8, 16, 2};
        for (size_t i = 0; i < 10; ++i) {
            EXPECT_EQ(fields[i].size(), widths[i]) << "field " << i;
            EXPECT_TRUE(i == 1 || isDecimal(fields[i])) << "field " << i;
        }
        EXPECT_EQ(name.substr(name.size() - 4), ".avi");
        EXPECT_EQ(name.find('.'), name.size() - 4);
        EXPECT_EQ(fields[0], str(f["start"]));
        EXPECT_EQ(fields[1], str(f["record_type"]));
        EXPECT_EQ(std::stoll(fields[2]), f["duration_ms"].toInt());
        EXPECT_EQ(std::stoll(fields[3]), int64_t(readAll(pathOf(f)).size()));
        EXPECT_EQ(std::stoi(fields[4]), f["width"].toInt());
        EXPECT_EQ(std::stoi(fields[5]), f["height"].toInt());
        EXPECT_EQ(std::stoi(fields[6]), f["frame_rate"].toInt());
        EXPECT_EQ(std::stoi(fields[9]), f["channel"].toInt());
        EXPECT_EQ(fields[8], str(f["car_number"]));
    }
}

TEST_F(RecordingFixtures, FfprobeSeesTheDeclaredStreams) {
    for (const QJsonValue& v : files()) {
        QJsonObject f = v.toObject();
        SCOPED_TRACE(str(f["name"]));
        CommandResult r = ffprobe({"-count_packets", "-show_entries",
                                   "stream=index,codec_type,codec_name,codec_tag_string,time_base,"
                                   "width,height,nb_read_packets",
                                   "-of", "json"},
                                  pathOf(f));
        ASSERT_EQ(r.exitCode, 0);
        QJsonArray probed = parseJson(r.out).object()["streams"].toArray();
        QJsonArray declared = f["streams"].toArray();
        ASSERT_EQ(probed.size(), declared.size());
        for (int i = 0; i < declared.size(); ++i) {
            QJsonObject p = probed[i].toObject(), d = declared[i].toObject();
            EXPECT_EQ(str(p["codec_type"]), str(d["type"])) << "stream " << i;
            EXPECT_EQ(str(p["codec_tag_string"]), str(d["codec_tag"])) << "stream " << i;
            if (str(d["type"]) != "data") {
                EXPECT_EQ(str(p["codec_name"]), str(d["codec_name"])) << "stream " << i;
            }
            QStringList tb = p["time_base"].toString().split('/');
            ASSERT_EQ(tb.size(), 2);
            EXPECT_EQ(tb[0].toLongLong() * d["rate"].toInt(),
                      tb[1].toLongLong() * d["scale"].toInt())
                << "stream " << i;
            EXPECT_EQ(p["nb_read_packets"].toString().toInt(), d["packets"].toInt())
                << "stream " << i;
        }
        EXPECT_EQ(probed[0].toObject()["width"].toInt(), f["width"].toInt());
        EXPECT_EQ(probed[0].toObject()["height"].toInt(), f["height"].toInt());
    }
}

TEST_F(RecordingFixtures, PacketsAreTheChunksWrittenWithTheirKeyFlags) {
    for (const QJsonValue& v : files()) {
        QJsonObject f = v.toObject();
        SCOPED_TRACE(str(f["name"]));
        std::vector<ProbedPacket> all = probePackets(pathOf(f));
        for (const QJsonValue& sv : f["streams"].toArray()) {
            QJsonObject s = sv.toObject();
            int index = s["index"].toInt();
            std::vector<ProbedPacket> packets = ofStream(all, index);
            std::vector<int64_t> sizes = ints(s["sizes"]), offsets = ints(s["offsets"]);
            std::vector<int64_t> keys = ints(s["key_frames"]);
            ASSERT_EQ(packets.size(), sizes.size()) << "stream " << index;
            for (size_t i = 0; i < packets.size(); ++i) {
                EXPECT_EQ(packets[i].size, sizes[i]) << "stream " << index << " packet " << i;
                EXPECT_EQ(packets[i].pos, offsets[i] + 8) << "stream " << index << " packet " << i;
                EXPECT_EQ(packets[i].dts, int64_t(i)) << "stream " << index << " packet " << i;
                bool key = std::find(keys.begin(), keys.end(), int64_t(i)) != keys.end();
                EXPECT_EQ(packets[i].key, key) << "stream " << index << " packet " << i;
            }
        }
    }
}

TEST_F(RecordingFixtures, VideoKeyFramesComeEveryTwentyFiveFrames) {
    for (const QJsonValue& v : files()) {
        QJsonObject video = v.toObject()["streams"].toArray()[0].toObject();
        std::vector<int64_t> keys = ints(video["key_frames"]);
        ASSERT_FALSE(keys.empty());
        for (size_t i = 0; i < keys.size(); ++i)
            EXPECT_EQ(keys[i], int64_t(25 * i));
        // Audio and data chunks are all key frames.
        for (int s = 1; s < v.toObject()["streams"].toArray().size(); ++s) {
            QJsonObject other = v.toObject()["streams"].toArray()[s].toObject();
            EXPECT_EQ(ints(other["key_frames"]).size(), size_t(other["packets"].toInt()));
        }
    }
}

TEST_F(RecordingFixtures, DataRecordsDumpedByFfmpegAreTheManifestBytes) {
    for (const QJsonValue& v : files()) {
        QJsonObject f = v.toObject();
        SCOPED_TRACE(str(f["name"]));
        CommandResult r = ffmpeg({"-i", pathOf(f), "-map", "0:d", "-c", "copy", "-f", "data", "-"});
        ASSERT_EQ(r.exitCode, 0);
        std::string expected;
        for (const QJsonValue& rec : f["records"].toArray())
            expected += recordBytes(rec.toObject());
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(r.out == expected)
            << r.out.size() << " bytes dumped, " << expected.size() << " in the manifest";
    }
}

TEST_F(RecordingFixtures, DataRecordsDecodeToTheManifestValues) {
    for (const QJsonValue& v : files()) {
        QJsonObject f = v.toObject();
        SCOPED_TRACE(str(f["name"]));
        QJsonObject data = f["streams"].toArray().last().toObject();
        int64_t scale = data["scale"].toInt(), rate = data["rate"].toInt();
        QJsonArray records = f["records"].toArray();
        ASSERT_EQ(records.size(), data["packets"].toInt());
        EXPECT_EQ(str(records[0].toObject()["name"]), "GPS");
        for (const QJsonValue& rv : records) {
            QJsonObject rec = rv.toObject();
            int64_t k = rec["index"].toInt();
            SCOPED_TRACE(k);
            EXPECT_EQ(rec["dts"].toInt(), k);
            EXPECT_EQ(rec["time_ms"].toVariant().toLongLong(), k * scale * 1000 / rate);
            AmfRecord parsed;
            std::string error;
            ASSERT_TRUE(parseAmfRecord(recordBytes(rec), &parsed, &error)) << error;
            EXPECT_EQ(parsed.name, str(rec["name"]));
            ASSERT_EQ(expectedKeys().count(parsed.name), 1u);
            std::vector<std::string> keys;
            QJsonObject values = rec["values"].toObject();
            for (const auto& member : parsed.members) {
                keys.push_back(member.first);
                QJsonValue expected = values[QString::fromStdString(member.first)];
                if (member.second.isString)
                    EXPECT_EQ(member.second.text, str(expected)) << member.first;
                else
                    EXPECT_EQ(member.second.number, expected.toDouble()) << member.first;
            }
            EXPECT_EQ(keys, expectedKeys().at(parsed.name));
        }
    }
}

TEST_F(RecordingFixtures, TrackStaysInChinaAtPlausibleSpeeds) {
    for (const QJsonValue& v : files()) {
        double lastLat = 0, lastLon = 0;
        for (const QJsonValue& rv : v.toObject()["records"].toArray()) {
            QJsonObject values = rv.toObject()["values"].toObject();
            double speed = values["speed"].toDouble();
            EXPECT_TRUE(speed > 0 && speed < 130) << speed;
            if (rv.toObject()["name"].toString() != "GPS")
                continue;
            double lat = values["lat"].toDouble(), lon = values["lon"].toDouble();
            EXPECT_TRUE(lat > 18 && lat < 54 && lon > 73 && lon < 135) << lat << "," << lon;
            EXPECT_TRUE(lat > lastLat && lon > lastLon) << "every fix moves";
            lastLat = lat;
            lastLon = lon;
        }
    }
}

TEST_F(RecordingFixtures, HeadersCountWhatTheFilesHold) {
    for (const QJsonValue& v : files()) {
        QJsonObject f = v.toObject();
        SCOPED_TRACE(str(f["name"]));
        std::string bytes = readAll(pathOf(f));
        std::vector<RiffChunk> chunks;
        ASSERT_TRUE(readRiffChunks(bytes, &chunks));
        QJsonArray streams = f["streams"].toArray();
        std::vector<RiffChunk> strh, strf;
        std::map<std::string, int> chunkIds;  // movi chunks per id
        const RiffChunk* avih = nullptr;
        const RiffChunk* idx1 = nullptr;
        const RiffChunk* movi = nullptr;
        for (const RiffChunk& c : chunks) {
            if (c.fourcc == "avih")
                avih = &c;
            if (c.fourcc == "strh")
                strh.push_back(c);
            if (c.fourcc == "strf")
                strf.push_back(c);
            if (c.fourcc == "idx1")
                idx1 = &c;
            if (c.listType == "movi")
                movi = &c;
            if (movi && c.depth == 2 && c.pos > movi->pos) {
                EXPECT_EQ(c.pos % 2, 0) << "chunk at odd position " << c.pos;
                ++chunkIds[c.fourcc];
            }
        }
        ASSERT_TRUE(avih && movi);
        ASSERT_EQ(strh.size(), size_t(streams.size()));
        ASSERT_EQ(strf.size(), size_t(streams.size()));
        EXPECT_EQ(movi->pos + 8, f["movi_list"].toInt());
        bool indexed = str(f["options"].toObject()["index"]) != "none";
        EXPECT_EQ(idx1 != nullptr, indexed);
        EXPECT_EQ((le32At(bytes, avih->pos + 8 + 12) & kHasIndex) != 0, indexed);
        EXPECT_EQ(le32At(bytes, avih->pos + 8 + 16),
                  uint32_t(streams[0].toObject()["packets"].toInt()));
        EXPECT_EQ(le32At(bytes, avih->pos + 8 + 24), uint32_t(streams.size()));
        int64_t largest = 0;
        for (int i = 0; i < streams.size(); ++i) {
            QJsonObject s = streams[i].toObject();
            std::vector<int64_t> sizes = ints(s["sizes"]);
            int64_t biggest = *std::max_element(sizes.begin(), sizes.end());
            largest = std::max(largest, biggest);
            int64_t h = strh[i].pos + 8;
            EXPECT_EQ(bytes.substr(h, 4), str(s["fcc_type"]));
            EXPECT_EQ(chunkIds[str(s["chunk_id"])], s["packets"].toInt()) << str(s["chunk_id"]);
            EXPECT_EQ(le32At(bytes, h + 20), uint32_t(s["scale"].toInt())) << i;
            EXPECT_EQ(le32At(bytes, h + 24), uint32_t(s["rate"].toInt())) << i;
            EXPECT_EQ(le32At(bytes, h + 32), uint32_t(s["packets"].toInt())) << i;
            EXPECT_EQ(le32At(bytes, h + 36), uint32_t(biggest)) << i;
            EXPECT_EQ(le32At(bytes, h + 44), uint32_t(s["sample_size"].toInt())) << i;
        }
        EXPECT_EQ(le32At(bytes, avih->pos + 8 + 28), uint32_t(largest));
        const std::string chunkSuffixes[] = {"dc", "wb", "tx"};  // per stream type, in order
        for (int i = 0; i < streams.size(); ++i) {
            QJsonObject s = streams[i].toObject();
            int type = str(s["type"]) == "video" ? 0 : str(s["type"]) == "audio" ? 1 : 2;
            EXPECT_EQ(str(s["chunk_id"]), "0" + std::to_string(i) + chunkSuffixes[type]);
        }
        EXPECT_EQ(strf.back().size, 0u) << "the data stream's format is empty";
    }
}

TEST_F(RecordingFixtures, IndexEntriesPointAtTheirChunks) {
    for (const QJsonValue& v : files()) {
        QJsonObject f = v.toObject();
        std::string index = str(f["options"].toObject()["index"]);
        if (index == "none")
            continue;
        SCOPED_TRACE(str(f["name"]));
        std::string bytes = readAll(pathOf(f));
        int64_t idx1 = f["idx1_pos"].toInt();
        ASSERT_EQ(bytes.substr(idx1, 4), "idx1");
        int64_t base = index == "absolute" ? 0 : f["movi_list"].toInt();
        std::multiset<int64_t> written;
        size_t entries = le32At(bytes, idx1 + 4) / 16;
        size_t chunks = 0;
        for (const QJsonValue& sv : f["streams"].toArray()) {
            for (int64_t offset : ints(sv.toObject()["offsets"]))
                written.insert(offset);
            chunks += sv.toObject()["packets"].toInt();
        }
        ASSERT_EQ(entries, chunks);
        std::vector<int64_t> videoKeys = ints(f["streams"].toArray()[0].toObject()["key_frames"]);
        int64_t videoEntries = 0;
        for (size_t e = 0; e < entries; ++e) {
            int64_t entry = idx1 + 8 + int64_t(e) * 16;
            int64_t pos = base + le32At(bytes, entry + 8);
            EXPECT_EQ(bytes.substr(pos, 4), bytes.substr(entry, 4)) << "entry " << e;
            EXPECT_EQ(le32At(bytes, pos + 4), le32At(bytes, entry + 12)) << "entry " << e;
            EXPECT_EQ(written.count(pos), 1u) << "entry " << e;
            // ffmpeg takes video key flags from the bitstream, so idx1's are checked here.
            bool key = true;
            if (bytes.substr(entry, 4) == "00dc") {
                key = std::count(videoKeys.begin(), videoKeys.end(), videoEntries) == 1;
                ++videoEntries;
            }
            EXPECT_EQ(le32At(bytes, entry + 4), key ? kKeyFrame : 0u) << "entry " << e;
        }
    }
}

TEST_F(RecordingFixtures, ChannelsOfOneRecordingMayDifferInLength) {
    const int64_t durations[] = {4000, 3000, 2000};
    for (int ch = 1; ch <= 3; ++ch) {
        QJsonObject f = fileOf("h264_3ch_lengths", ch);
        EXPECT_EQ(f["duration_ms"].toInt(), durations[ch - 1]);
        QJsonArray streams = f["streams"].toArray();
        EXPECT_EQ(streams[0].toObject()["packets"].toInt(), durations[ch - 1] * 25 / 1000);
        CommandResult r =
            ffprobe({"-show_entries", "format=duration", "-of", "csv=p=0"}, pathOf(f));
        EXPECT_NEAR(std::stod(r.out) * 1000, double(durations[ch - 1]), 100.0);
    }
}

TEST_F(RecordingFixtures, ChannelsOfOneRecordingShowDifferentPictures) {
    std::set<std::string> firstFrames;
    for (int ch = 1; ch <= 4; ++ch) {
        CommandResult r =
            ffmpeg({"-i", pathOf(fileOf("h264_4ch", ch)), "-frames:v", "1", "-f", "md5", "-"});
        ASSERT_EQ(r.exitCode, 0);
        firstFrames.insert(r.out);
    }
    EXPECT_EQ(firstFrames.size(), 4u);
}

TEST(RecordingWriterCli, IndexVariantsReadTheSamePackets) {
    std::vector<ProbedPacket> reference;
    for (const char* variant : {"--index=relative", "--absolute-idx1", "--no-idx1"}) {
        SCOPED_TRACE(variant);
        TempDir out;
        QJsonObject f = writeSingle(out, {variant, "--audio", "aac"});
        std::vector<ProbedPacket> packets = probePackets(str(f["path"]));
        ASSERT_FALSE(packets.empty());
        if (reference.empty())
            reference = packets;
        EXPECT_TRUE(packets == reference);
    }
}

TEST(RecordingWriterCli, FillerChunksInMoviAreSkippedByReaders) {
    TempDir plainDir;
    std::vector<ProbedPacket> plain = probePackets(str(writeSingle(plainDir, {})["path"]));
    for (auto& p : plain)
        p.pos = 0;
    ASSERT_FALSE(plain.empty());
    for (const char* index : {"--index=relative", "--no-idx1"}) {
        SCOPED_TRACE(index);
        TempDir dir;
        QJsonObject f = writeSingle(dir, {index, "--filler-every", "5"});
        std::string bytes = readAll(str(f["path"]));
        std::vector<RiffChunk> chunks;
        ASSERT_TRUE(readRiffChunks(bytes, &chunks));
        std::set<std::pair<std::string, int64_t>> found;
        for (const RiffChunk& c : chunks) {
            if (c.fourcc == "JUNK" || c.fourcc == "ix00")
                found.insert({c.fourcc, c.pos});
        }
        QJsonArray fillers = f["fillers"].toArray();
        EXPECT_GT(fillers.size(), 40);
        EXPECT_EQ(found.size(), size_t(fillers.size()));
        for (const QJsonValue& v : fillers)
            EXPECT_EQ(found.count({str(v.toObject()["id"]), v.toObject()["pos"].toInt()}), 1u);

        std::vector<ProbedPacket> packets = probePackets(str(f["path"]));
        for (auto& p : packets)
            p.pos = 0;
        EXPECT_TRUE(packets == plain);
    }
}

TEST(RecordingWriterCli, LongerRecordingsLoopTheMediaAtKeyFrames) {
    TempDir dir;
    QJsonObject f = writeSingle(dir, {"--duration-ms", "10000", "--channel", "2"});
    std::string path = str(f["path"]);
    QJsonObject video = f["streams"].toArray()[0].toObject();
    EXPECT_EQ(video["packets"].toInt(), 250);
    std::vector<int64_t> keys = ints(video["key_frames"]);
    ASSERT_EQ(keys.size(), 10u);
    EXPECT_EQ(keys.back(), 225);
    // Every frame decodes: the loop never lands on a frame whose references are gone.
    CommandResult decoded = ffmpeg({"-xerror", "-i", path, "-map", "0:v", "-f", "framecrc", "-"});
    ASSERT_EQ(decoded.exitCode, 0);
    std::istringstream lines(decoded.out);
    int frames = 0;
    for (std::string line; std::getline(lines, line);)
        frames += !line.empty() && line[0] != '#';
    EXPECT_EQ(frames, 250);
    int gps = 0;
    for (const QJsonValue& r : f["records"].toArray())
        gps += r.toObject()["name"].toString() == "GPS";
    EXPECT_EQ(gps, 10);
}

TEST(RecordingWriterCli, TruncatedFileIsReadUpToTheCut) {
    TempDir whole, cut;
    QJsonObject full = writeSingle(whole, {});
    std::vector<int64_t> videoOffsets = ints(full["streams"].toArray()[0].toObject()["offsets"]);
    ASSERT_GT(videoOffsets.size(), 60u);
    int64_t at = videoOffsets[50] + 100;  // inside video chunk 50

    QJsonObject f = writeSingle(cut, {"--truncate", std::to_string(at)});
    std::string path = str(f["path"]);
    EXPECT_EQ(int64_t(readAll(path).size()), at);
    EXPECT_EQ(std::stoll(nameFields(str(f["name"]))[3]), at);
    EXPECT_EQ(f["streams"].toArray()[0].toObject()["complete_packets"].toInt(), 50);

    int exitCode = -1;
    std::vector<ProbedPacket> packets = probePackets(path, &exitCode);
    EXPECT_EQ(exitCode, 0);
    std::vector<ProbedPacket> reference = probePackets(str(full["path"]));
    for (const QJsonValue& sv : f["streams"].toArray()) {
        QJsonObject s = sv.toObject();
        std::vector<ProbedPacket> got = ofStream(packets, s["index"].toInt());
        std::vector<ProbedPacket> want = ofStream(reference, s["index"].toInt());
        size_t complete = s["complete_packets"].toInt();
        ASSERT_GE(got.size(), complete);
        ASSERT_LE(got.size(), complete + 1);  // at most one short packet at the cut
        for (size_t i = 0; i < complete; ++i)
            EXPECT_TRUE(got[i] == want[i]) << "stream " << s["index"].toInt() << " packet " << i;
    }
}

TEST(RecordingWriterCli, DataTimeBaseMayDifferFromTheVideos) {
    TempDir dir;
    QJsonObject f = writeSingle(dir, {"--data-time-base", "3/20", "--video", "hevc"});
    QJsonObject data = f["streams"].toArray()[2].toObject();
    EXPECT_EQ(data["scale"].toInt(), 3);
    EXPECT_EQ(data["rate"].toInt(), 20);
    CommandResult r = ffprobe({"-select_streams", "d", "-show_entries",
                               "stream=time_base:packet=dts_time", "-of", "json"},
                              str(f["path"]));
    QJsonObject probed = parseJson(r.out).object();
    EXPECT_EQ(str(probed["streams"].toArray()[0].toObject()["time_base"]), "3/20");
    QJsonArray packets = probed["packets"].toArray();
    QJsonArray records = f["records"].toArray();
    ASSERT_EQ(packets.size(), records.size());
    ASSERT_EQ(records.size(), 27);  // 4 s at 150 ms per record
    for (int k = 0; k < records.size(); ++k) {
        double seconds = packets[k].toObject()["dts_time"].toString().toDouble();
        EXPECT_EQ(int64_t(seconds * 1000 + 0.5), records[k].toObject()["time_ms"].toInt()) << k;
        std::string kind = str(records[k].toObject()["name"]);
        // The first record of each second is a fix: 0 s, 1.05 s, 2.1 s, 3 s.
        bool fix = k == 0 || k == 7 || k == 14 || k == 20;
        EXPECT_EQ(kind == "GPS", fix) << k << " " << kind;
    }
}

TEST(RecordingWriterCli, WithoutAudioTheDataStreamComesSecond) {
    TempDir dir;
    QJsonObject f = writeSingle(dir, {"--audio", "none"});
    QJsonArray streams = f["streams"].toArray();
    ASSERT_EQ(streams.size(), 2);
    EXPECT_EQ(str(streams[1].toObject()["chunk_id"]), "01tx");
    CommandResult r =
        ffprobe({"-show_entries", "stream=codec_type", "-of", "csv=p=0"}, str(f["path"]));
    EXPECT_EQ(r.out, "video\ndata\n");
}

TEST(RecordingWriterCli, RecordingIsChannelFilesWithOneStartTime) {
    TempDir dir;
    CommandResult r =
        runWriter({"recording", "--media", testDataDir(), "--out", dir.path(), "--channels", "3",
                   "--durations-ms", "1000,2000,400", "--start", "20240101235959", "--type", "GS"});
    ASSERT_EQ(r.exitCode, 0);
    QJsonArray entries = parseJson(r.out).array();
    ASSERT_EQ(entries.size(), 3);
    const int64_t durations[] = {1000, 2000, 400};
    for (int i = 0; i < 3; ++i) {
        QJsonObject f = entries[i].toObject();
        std::vector<std::string> fields = nameFields(str(f["name"]));
        EXPECT_EQ(fields[0], "20240101235959");
        EXPECT_EQ(fields[1], "GS");
        EXPECT_EQ(std::stoll(fields[2]), durations[i]);
        EXPECT_EQ(std::stoi(fields[9]), i + 1);
        EXPECT_FALSE(readAll(dir.file(str(f["name"]))).empty());
    }
}

TEST(RecordingWriterCli, SameArgumentsGiveTheSameBytes) {
    TempDir a, b;
    std::vector<std::string> options{
        "--video",   "hevc", "--audio",          "aac", "--absolute-idx1",
        "--channel", "3",    "--data-time-base", "1/10"};
    QJsonObject first = writeSingle(a, options), second = writeSingle(b, options);
    ASSERT_EQ(str(first["name"]), str(second["name"]));
    EXPECT_TRUE(readAll(str(first["path"])) == readAll(str(second["path"])));

    TempDir set;
    ASSERT_EQ(runWriter({"--media", testDataDir(), "--out", set.file("recordings")}).exitCode, 0);
    EXPECT_TRUE(readAll(set.file("recordings/manifest.json")) ==
                readAll(recordingsDir() + "/manifest.json"));
    for (const QJsonValue& v : loadManifest()["files"].toArray()) {
        std::string name = str(v.toObject()["name"]);
        EXPECT_TRUE(readAll(set.file("recordings/" + name)) ==
                    readAll(recordingsDir() + "/" + name))
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
    for (const auto& options : refused) {
        std::vector<std::string> args{"single", "--media", testDataDir(), "--out",
                                      dir.path() + "/"};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(runWriter(args).exitCode, 2) << options[0] << " " << options[1];
    }
    CommandResult listing = runCommand({"ls", "-A", dir.path()});
    EXPECT_EQ(listing.out, "");
}
