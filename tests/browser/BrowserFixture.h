#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <QStringList>
#include <QTableView>
#include <memory>

#include "RecordingNames.h"
#include "TempDir.h"
#include "browser/CustomSearchList.h"

// A recording list over a fresh folder; helpers to create named files and
// to read the table as shown.
class BrowserFixture : public ::testing::Test {
protected:
    void SetUp() override {
        qRegisterMetaType<QVector<QString>>();
        QSettings().remove("/CustomSearchList/rootDir");
        list = std::make_unique<CustomSearchList>();
    }

    QString root() const { return QString::fromStdString(dir.path()); }

    // Creates root/folder/name and returns its path.
    QString add(const QString& folder, const QString& name) {
        const QString path =
            folder.isEmpty() ? root() + "/" + name : root() + "/" + folder + "/" + name;
        EXPECT_TRUE(touchFile(path)) << qPrintable(path);
        return path;
    }

    QString add(const QString& folder, const RecordingName& name) {
        return add(folder, name.name());
    }

    QTableView* view() const { return list->findChild<QTableView*>("tableView"); }

    // Column text of every row, in view order.
    QStringList column(int c) const {
        QStringList texts;
        const QAbstractItemModel* m = view()->model();
        for (int row = 0; row < m->rowCount(); ++row)
            texts << m->index(row, c).data().toString();
        return texts;
    }

    QStringList listedPaths() const {
        QStringList paths;
        for (const ItemData& item : list->listedItems())
            paths << item.filePath;
        return paths;
    }

    void sortBy(int columnIndex, Qt::SortOrder order) { view()->sortByColumn(columnIndex, order); }

    testsupport::TempDir dir;
    std::unique_ptr<CustomSearchList> list;
};

// A name for one channel of a recording.
inline RecordingName channelFile(const QString& start, int channel, const QString& car = "0001",
                                 const QString& type = "NM") {
    RecordingName name;
    name.start = start;
    name.channel = QString("%1").arg(channel, 2, 10, QChar('0'));
    name.car = car;
    name.type = type;
    return name;
}
