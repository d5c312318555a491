#pragma once

// Recorder fixtures' records from their manifest; recordings written at test time.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

#include "Command.h"
#include "TestData.h"

struct FixtureRecord {
    qint64 timeMs;
    QString name;
    QByteArray bytes;
    QJsonObject values;
};

struct FixtureFile {
    QString path;  // of a written recording
    QVector<FixtureRecord> records;
};

inline FixtureFile FixtureFileOf(const QJsonObject& entry) {
    FixtureFile file{entry["path"].toString(), {}};
    for (const QJsonValue& value : entry["records"].toArray()) {
        const QJsonObject r = value.toObject();
        file.records.append({qint64(r["time_ms"].toDouble()), r["name"].toString(),
                             QByteArray::fromHex(r["hex"].toString().toLatin1()),
                             r["values"].toObject()});
    }
    return file;
}

// The records of every file of the default set.
inline QVector<FixtureFile> FixtureFiles() {
    QFile manifest(
        QString::fromStdString(testsupport::testDataDir() + "/recordings/manifest.json"));
    manifest.open(QIODevice::ReadOnly);
    QVector<FixtureFile> files;
    for (const QJsonValue& entry : QJsonDocument::fromJson(manifest.readAll())["files"].toArray()) {
        files.append(FixtureFileOf(entry.toObject()));
    }
    return files;
}

// One channel file written into folder (ending in "/") with the writer's options.
inline FixtureFile WriteRecording(const std::string& folder, std::vector<std::string> options) {
    std::vector<std::string> argv = {
        "python3",
        testsupport::sourceDir() + "/scripts/fixtures/make_recordings.py",
        "single",
        "--manifest",
        "--media",
        testsupport::testDataDir(),
        "--out",
        folder};
    argv.insert(argv.end(), options.begin(), options.end());
    const std::string out = testsupport::runCommand(argv).out;
    return FixtureFileOf(QJsonDocument::fromJson(QByteArray::fromStdString(out)).object());
}

inline const unsigned char* Bytes(const QByteArray& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}
