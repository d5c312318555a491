// The recording list over the recorder-style fixture files, checked against
// the fixture writer's manifest.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTableView>

#include "BrowserFixture.h"
#include "TestData.h"

namespace {

QString recordingsDir() {
    return QString::fromStdString(testsupport::testDataDir()) + "/recordings";
}

QJsonObject manifest() {
    const std::string text =
        testsupport::readFile(testsupport::testDataDir() + "/recordings/manifest.json");
    EXPECT_FALSE(text.empty());
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

int typeBit(const QString& code) {
    if (code == "NM")
        return 8;
    if (code == "TI")
        return 4;
    if (code == "MO")
        return 2;
    return 1;
}

class RecordingsTest : public BrowserFixture {};

TEST_F(RecordingsTest, EveryFixtureIsListedAndPlayedAsItsManifestSays) {
    const QJsonArray files = manifest()["files"].toArray();
    ASSERT_FALSE(files.isEmpty());
    list->loadFolder(recordingsDir());
    ASSERT_EQ(list->listedItems().size(), files.size());
    QHash<QString, ItemData> byName;
    for (const ItemData& item : list->listedItems())
        byName.insert(QFileInfo(item.filePath).fileName(), item);

    for (const QJsonValue& value : files) {
        const QJsonObject file = value.toObject();
        const QString name = file["name"].toString();
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(byName.contains(name));
        const ItemData& item = byName[name];
        const int channel = file["channel"].toInt();
        EXPECT_EQ(item.channel, channel);
        EXPECT_EQ(item.fileSize, QFileInfo(item.filePath).size());
        EXPECT_EQ(item.fileSize, static_cast<qint64>(file["size"].toDouble()));
        EXPECT_EQ(item.duration.msecsSinceStartOfDay(), file["duration_ms"].toInt());
        EXPECT_EQ(item.startTime.toString("yyyyMMddHHmmss"), file["start"].toString());
        EXPECT_EQ(item.recType, typeBit(file["record_type"].toString()));
        QString car = file["car_number"].toString();
        while (car.size() > 1 && car.startsWith('0') && car != QString(car.size(), '0'))
            car.remove(0, 1);
        EXPECT_EQ(item.carNumber, car);
        ASSERT_TRUE(item.hasPropertyEntry());
        EXPECT_EQ(item.width[channel - 1], file["width"].toInt());
        EXPECT_EQ(item.height[channel - 1], file["height"].toInt());
        EXPECT_EQ(item.frameRate[channel - 1], file["frame_rate"].toInt());
        EXPECT_EQ(item.bitrate[channel - 1], file["bitrate"].toInt());
    }

    // A double click sends every channel of the recording.
    QSignalSpy spy(list.get(), &CustomSearchList::Signal_playAVI);
    for (const QJsonValue& value : manifest()["recordings"].toArray()) {
        const QJsonObject recording = value.toObject();
        const QJsonArray names = recording["files"].toArray();
        SCOPED_TRACE(recording["id"].toString().toStdString());
        const int row = column(CustomSearchList::PathColumn)
                            .indexOf(recordingsDir() + "/" + names.first().toString());
        ASSERT_GE(row, 0);
        emit view()->doubleClicked(view()->model()->index(row, 0));
        ASSERT_EQ(spy.count(), 1);
        const QVector<QString> paths = spy.takeFirst().at(0).value<QVector<QString>>();
        int present = 0;
        for (const QString& path : paths)
            present += path.isEmpty() ? 0 : 1;
        EXPECT_EQ(present, names.size());
        for (const QJsonValue& name : names)
            EXPECT_TRUE(paths.contains(recordingsDir() + "/" + name.toString()));
    }
}

}  // namespace
