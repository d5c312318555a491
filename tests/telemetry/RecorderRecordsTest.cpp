// Every data record of the recorder-style fixtures, cut out of the AVI files
// at the offsets their manifest gives, parses to the values it was written
// with.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>

#include "TestData.h"
#include "telemetry/GPSParse.h"
#include "telemetry/GSensorParse.h"

using namespace testsupport;

namespace {

constexpr int kChunkHeaderSize = 8;

QJsonObject readManifest() {
    QFile file(QString::fromStdString(testDataDir() + "/recordings/manifest.json"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return QJsonDocument::fromJson(file.readAll()).object();
}

QByteArray readFile(const QString& name) {
    QFile file(QString::fromStdString(testDataDir() + "/recordings/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

void expectNumber(const QJsonObject& values, const char* key, double actual) {
    ASSERT_TRUE(values.contains(key)) << key;
    EXPECT_EQ(actual, values[key].toDouble()) << key;
}

void checkGps(const QByteArray& record, const QJsonObject& values) {
    GPSParse gps;
    ASSERT_EQ(
        gps.ParseRecord(reinterpret_cast<const unsigned char*>(record.constData()), record.size()),
        0);
    expectNumber(values, "mode", gps.mode);
    expectNumber(values, "lat", gps.latitude);
    expectNumber(values, "lon", gps.longitude);
    expectNumber(values, "alt", gps.altitude);
    expectNumber(values, "speed", gps.speed);
    expectNumber(values, "course", gps.course);
    expectNumber(values, "sat_used", static_cast<double>(gps.sat_used));
    expectNumber(values, "sat_visible", static_cast<double>(gps.sat_visible));
    expectNumber(values, "time", static_cast<double>(gps.time));
    EXPECT_EQ(QString::fromUtf8(gps.carInfo), values["carInfo"].toString());
    EXPECT_TRUE(gps.HasValidFix());
}

void checkSensor(const QByteArray& record, const QJsonObject& values) {
    GSensorParse sensor;
    ASSERT_EQ(sensor.ParseRecord(reinterpret_cast<const unsigned char*>(record.constData()),
                                 record.size()),
              0);
    const struct {
        const char* key;
        double actual;
    } fields[] = {{"x", sensor.x},
                  {"y", sensor.y},
                  {"z", sensor.z},
                  {"temperature", sensor.temperature},
                  {"speed", sensor.speed}};
    for (const auto& field : fields) {
        // Keys a record lacks stay at zero in a fresh record object.
        EXPECT_EQ(field.actual, values[field.key].toDouble(0.0)) << field.key;
    }
}

}  // namespace

TEST(RecorderRecords, ParseToTheValuesTheyWereWrittenWith) {
    const QJsonArray files = readManifest()["files"].toArray();
    ASSERT_FALSE(files.isEmpty());
    int checked = 0;
    for (const QJsonValue& fileValue : files) {
        const QJsonObject file = fileValue.toObject();
        const QByteArray bytes = readFile(file["name"].toString());
        const QJsonArray streams = file["streams"].toArray();
        const QJsonObject data = streams.last().toObject();
        ASSERT_EQ(data["fcc_type"].toString(), "dats");
        const QJsonArray offsets = data["offsets"].toArray();
        const QJsonArray sizes = data["sizes"].toArray();
        const QJsonArray records = file["records"].toArray();
        const int complete = data["complete_packets"].toInt();
        ASSERT_LE(complete, records.size());
        for (int i = 0; i < complete; ++i) {
            const QJsonObject record = records[i].toObject();
            const int offset = offsets[i].toInt();
            const QByteArray payload = bytes.mid(offset + kChunkHeaderSize, sizes[i].toInt());
            ASSERT_EQ(bytes.mid(offset, 4), data["chunk_id"].toString().toLatin1());
            ASSERT_EQ(payload.toHex(), record["hex"].toString().toLatin1());

            const QString name = record["name"].toString();
            EXPECT_EQ(Parse::RecordName(reinterpret_cast<const unsigned char*>(payload.constData()),
                                        payload.size()),
                      name.toLatin1());
            const QJsonObject values = record["values"].toObject();
            if (name == "GPS") {
                checkGps(payload, values);
            }
            checkSensor(payload, values);
            ++checked;
        }
    }
    EXPECT_GT(checked, 500);
}
