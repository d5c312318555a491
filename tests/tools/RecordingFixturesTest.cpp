// The recorder-style fixtures against ffprobe: every later test trusts the
// manifest, so what it declares must be what the files hold.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <map>
#include <tuple>

#include "Command.h"
#include "TestData.h"

using namespace testsupport;

namespace {

constexpr int kGop = 25;  // the media's key frame spacing

std::string recordingsDir() {
    return testDataDir() + "/recordings";
}

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

}  // namespace

TEST(RecordingFixtures, FfprobeReadsEveryFileAsItsManifestDeclares) {
    QJsonObject manifest = parseJson(readFile(recordingsDir() + "/manifest.json")).object();
    QJsonArray files = manifest["files"].toArray();
    ASSERT_FALSE(files.isEmpty());
    for (const QJsonValue& v : files) {
        QJsonObject f = v.toObject();
        SCOPED_TRACE(str(f["name"]));
        expectReadAsDeclared(f, probe(recordingsDir() + "/" + str(f["name"])));
    }
}
