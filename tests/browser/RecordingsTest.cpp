// The recording list over the recorder-style fixture files, checked against
// the fixture writer's manifest.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <set>

#include <sys/stat.h>

#include "BrowserFixture.h"
#include "Command.h"
#include "TestData.h"
#include "engine/DemuxChannel.h"
#include "engine/FileNameCodec.h"

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

// A folder named in Latin-1 ("caf\xe9") and a name with Latin-1 in its
// recorder fields: both listed, shown decoded, and they open as the files
// they are.
TEST_F(RecordingsTest, NamesThatAreNotUtf8AreListedAndPlay) {
    FileNameCodec::Install();
    const QStringList sources =
        QDir(recordingsDir())
            .entryList({"*_NM_*_01_*.avi", "*_NM_*_02_*.avi"}, QDir::Files, QDir::Name);
    ASSERT_GE(sources.size(), 2);
    const std::string folder = dir.path() + "/caf\xe9";
    const std::string second = sources[1].toStdString();
    const std::set<std::string> onDisk = {
        folder + "/" + sources[0].toStdString(),
        folder + "/" + second.substr(0, second.size() - 4) + "_\xe9t\xe9.avi"};
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    auto made = onDisk.begin();
    for (const QString& source : sources.mid(0, 2))
        ASSERT_EQ(
            testsupport::runCommand({"cp", (recordingsDir() + "/" + source).toStdString(), *made++})
                .exitCode,
            0);

    list->loadFolder(root());
    ASSERT_EQ(list->listedItems().size(), 2);
    QSignalSpy spy(list.get(), &CustomSearchList::Signal_playAVI);
    for (int row = 0; row < 2; ++row) {
        const QString shown = column(CustomSearchList::PathColumn)[row];
        EXPECT_TRUE(shown.startsWith(root() + QString::fromUtf8("/caf\xef\xbf\xbd/")))
            << shown.toStdString();
        EXPECT_FALSE(FileNameCodec::HasRawBytes(shown));
        emit view()->doubleClicked(view()->model()->index(row, 0));
    }
    ASSERT_EQ(spy.count(), 2);
    std::set<std::string> opened;
    for (const QList<QVariant>& played : spy) {
        for (const QString& path : played.at(0).value<QVector<QString>>()) {
            if (path.isEmpty())
                continue;
            DemuxChannel channel(0);
            EXPECT_TRUE(channel.Open(path, false)) << QFile::encodeName(path).toStdString();
            EXPECT_GT(channel.Read(false), 0);
            opened.insert(QFile::encodeName(path).toStdString());
        }
    }
    EXPECT_EQ(opened, onDisk);

    // The root is remembered as it is: a search walks it again.
    list->findChild<QPushButton*>("pushButton_Search")->click();
    EXPECT_EQ(list->listedItems().size(), 2);
}

}  // namespace
