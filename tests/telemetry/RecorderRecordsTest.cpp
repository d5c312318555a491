// Every data record of the recorder-style fixtures, cut out of the AVI files
// at the offsets their manifest gives, parses to the values it was written
// with.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "TestData.h"
#include "telemetry/GPSParse.h"
#include "telemetry/GSensorParse.h"

namespace {

constexpr int kChunkHeaderSize = 8;

QByteArray recordingFile(const QString& name) {
    return QByteArray::fromStdString(
        testsupport::readFile(testsupport::testDataDir() + "/recordings/" + name.toStdString()));
}

int parse(Parse& record, const QByteArray& bytes) {
    return record.ParseRecord(reinterpret_cast<const unsigned char*>(bytes.constData()),
                              bytes.size());
}

void checkRecord(const QString& name, const QByteArray& record, const QJsonObject& values) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(record.constData());
    EXPECT_EQ(Parse::RecordName(bytes, record.size()), name.toLatin1());
    GSensorParse sensor;
    ASSERT_EQ(parse(sensor, record), 0);
    // Keys a record lacks stay at zero in a fresh record object.
    const std::pair<const char*, double> sensorFields[] = {{"x", sensor.x},
                                                           {"y", sensor.y},
                                                           {"z", sensor.z},
                                                           {"temperature", sensor.temperature},
                                                           {"speed", sensor.speed}};
    for (const auto& [key, value] : sensorFields)
        EXPECT_EQ(value, values[key].toDouble(0.0)) << key;
    if (name != "GPS")
        return;
    GPSParse gps;
    ASSERT_EQ(parse(gps, record), 0);
    const std::pair<const char*, double> gpsFields[] = {{"mode", gps.mode},
                                                        {"lat", gps.latitude},
                                                        {"lon", gps.longitude},
                                                        {"alt", gps.altitude},
                                                        {"speed", gps.speed},
                                                        {"course", gps.course},
                                                        {"sat_used", double(gps.sat_used)},
                                                        {"sat_visible", double(gps.sat_visible)},
                                                        {"time", double(gps.time)}};
    for (const auto& [key, value] : gpsFields) {
        ASSERT_TRUE(values.contains(key)) << key;
        EXPECT_EQ(value, values[key].toDouble()) << key;
    }
    EXPECT_EQ(QString::fromUtf8(gps.carInfo), values["carInfo"].toString());
    EXPECT_TRUE(gps.HasValidFix());
}

}  // namespace

TEST(RecorderRecords, ParseToTheValuesTheyWereWrittenWith) {
    const QJsonArray files =
        QJsonDocument::fromJson(recordingFile("manifest.json")).object()["files"].toArray();
    ASSERT_FALSE(files.isEmpty());
    int checked = 0;
    for (const QJsonValue& fileValue : files) {
        const QJsonObject file = fileValue.toObject();
        const QByteArray bytes = recordingFile(file["name"].toString());
        const QJsonObject data = file["streams"].toArray().last().toObject();
        ASSERT_EQ(data["fcc_type"].toString(), "dats");
        const QJsonArray offsets = data["offsets"].toArray();
        const QJsonArray sizes = data["sizes"].toArray();
        const QJsonArray records = file["records"].toArray();
        const int complete = data["complete_packets"].toInt();
        ASSERT_LE(complete, records.size());
        for (int i = 0; i < complete; ++i, ++checked) {
            const QJsonObject record = records[i].toObject();
            const int offset = offsets[i].toInt();
            const QByteArray payload = bytes.mid(offset + kChunkHeaderSize, sizes[i].toInt());
            ASSERT_EQ(bytes.mid(offset, 4), data["chunk_id"].toString().toLatin1());
            ASSERT_EQ(payload.toHex(), record["hex"].toString().toLatin1());
            checkRecord(record["name"].toString(), payload, record["values"].toObject());
        }
    }
    EXPECT_GT(checked, 500);
}
