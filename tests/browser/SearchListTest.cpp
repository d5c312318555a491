// The recording list on generated folder trees: walk, filters, controls,
// playback requests and the next recording.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>

#include "BrowserFixture.h"
#include "TimeZone.h"
#include "browser/CopyMessageDialog.h"

namespace {

using Paths = QVector<QString>;

class SearchListTest : public BrowserFixture {
protected:
    void search() { list->findChild<QPushButton*>("pushButton_Search")->click(); }
    QCheckBox* manual() { return list->findChild<QCheckBox*>("checkBox_Manual"); }
    QCheckBox* alarm() { return list->findChild<QCheckBox*>("checkBox_Alarm"); }
    QComboBox* cars() { return list->findChild<QComboBox*>("comboBox_carNum"); }
    QDateEdit* dateEdit(const char* end) {
        return list->findChild<QDateEdit*>(QString("dateEdit_") + end);
    }
    QTimeEdit* timeEdit(const char* end) {
        return list->findChild<QTimeEdit*>(QString("timeEdit_") + end);
    }
    // The range edits as "yyyyMMddHHmmss-yyyyMMddHHmmss".
    QString range() {
        return dateEdit("start")->date().toString("yyyyMMdd") +
               timeEdit("start")->time().toString("HHmmss") + "-" +
               dateEdit("end")->date().toString("yyyyMMdd") +
               timeEdit("end")->time().toString("HHmmss");
    }
    void setRange(const char* begin, const char* end) {
        dateEdit("start")->setDate(at(begin).date());
        timeEdit("start")->setTime(at(begin).time());
        dateEdit("end")->setDate(at(end).date());
        timeEdit("end")->setTime(at(end).time());
    }
    QStringList comboItems() {
        QStringList texts;
        for (int i = 0; i < cars()->count(); ++i)
            texts << cars()->itemText(i);
        return texts;
    }
    QStringList sortedListed() {
        QStringList paths = listedPaths();
        paths.sort();
        return paths;
    }
    // The one Signal_playAVI that action emits: 12 paths and the channel.
    template <typename Action>
    std::pair<Paths, int> played(Action action) {
        QSignalSpy spy(list.get(), &CustomSearchList::Signal_playAVI);
        action();
        EXPECT_EQ(spy.count(), 1);
        if (spy.isEmpty())
            return {};
        return {spy[0].at(0).value<Paths>(), spy[0].at(1).toInt()};
    }
    std::pair<Paths, int> doubleClick(const QString& path) {
        const int row = column(CustomSearchList::PathColumn).indexOf(path);
        EXPECT_GE(row, 0) << qPrintable(path);
        return played([&] { emit view()->doubleClicked(view()->model()->index(row, 0)); });
    }
    std::pair<Paths, int> nextPlay(const QDateTime& current) {
        return played([&] { list->NextPlay(current); });
    }
    QStringList selectedPaths() {
        QStringList paths;
        for (const QModelIndex& index :
             view()->selectionModel()->selectedRows(CustomSearchList::PathColumn))
            paths << index.data().toString();
        paths.sort();
        return paths;
    }
    static std::pair<Paths, int> channels(std::initializer_list<QString> byChannel, int channel) {
        Paths paths(12);
        std::copy(byChannel.begin(), byChannel.end(), paths.begin());
        return {paths, channel};
    }
    // A name's start time, as the engine reports it.
    static QDateTime at(const char* text) {
        return QDateTime(QDate::fromString(QString(text).left(8), "yyyyMMdd"),
                         QTime::fromString(QString(text).mid(8), "HHmmss"), Qt::UTC);
    }
};

TEST_F(SearchListTest, WalkIsBreadthFirstByNameIgnoringCase) {
    RecordingName lower = channelFile("20190101000001", 1);
    lower.tail.replace("_0.avi", "_a.avi");
    RecordingName upper = lower;
    upper.tail.replace("_a.avi", "_B.avi");
    const QString b = add("", upper);
    const QString a = add("", lower);
    const QString deep = add("Sub/deeper", channelFile("20190101000003", 1));
    const QString sub = add("Sub", channelFile("20190101000004", 1));
    const QString other = add("other", channelFile("20190101000005", 1));
    // Not listed: hidden, wrong extensions, short, small, symbolic links.
    add("", "." + channelFile("20190101000007", 1).name());
    add(".hidden", channelFile("20190101000008", 1));
    add("", channelFile("20190101000009", 1).name().replace(".avi", ".AVI"));
    add("", channelFile("20190101000010", 1).name() + ".bak");
    add("", channelFile("20190101000011", 1).name() + ".");
    add("", channelFile("20190101000012", 1).nameOfLength(107));
    RecordingName small = channelFile("20190101000013", 1);
    small.size = "0000015359";
    add("", small);
    ASSERT_TRUE(QFile::link(b, root() + "/" + channelFile("20190101000014", 1).name()));
    ASSERT_TRUE(QFile::link(root() + "/Sub", root() + "/link"));
    list->loadFolder(root());
    EXPECT_EQ(listedPaths(), (QStringList{a, b, other, sub, deep}));
}

TEST_F(SearchListTest, LoadAndSearchSetTheControls) {
    const QString first = add("", channelFile("20190221080000", 1, "0012", "NM"));
    const QString alarmFile = add("x", channelFile("20190221090000", 1, "0000", "GS"));
    const QString otherCar = add("y", channelFile("20190221100000", 1, "0034", "NM"));
    add("y", channelFile("20190221093000", 1, "0012", "TI"));  // loaded, never found
    add("y", channelFile("20191321100000", 3, "0099", "NM"));  // no valid start
    list->loadFolder(root() + "/x");
    list->loadFolder(root());  // replaces the first listing
    EXPECT_EQ(listedPaths().size(), 5);
    EXPECT_EQ(range(), "20190221080000-20190221100000");
    EXPECT_EQ(comboItems(), (QStringList{"All", "0000", "12", "34", "99"}));
    EXPECT_TRUE(manual()->isChecked() && alarm()->isChecked());
    EXPECT_EQ(QSettings().value("/CustomSearchList/rootDir").toString(), root());

    // Unchanged controls find every manual and alarm file with a start time.
    search();
    EXPECT_EQ(sortedListed(), (QStringList{first, alarmFile, otherCar}));
    // Both ends of the range are included.
    setRange("20190221080000", "20190221090000");
    search();
    EXPECT_EQ(listedPaths(), (QStringList{first, alarmFile}));
    EXPECT_EQ(range(), "20190221080000-20190221090000");
    setRange("20190221000000", "20190222000000");
    manual()->setChecked(false);
    search();
    EXPECT_EQ(listedPaths(), QStringList{alarmFile});
    EXPECT_FALSE(manual()->isChecked());
    setRange("20190221000000", "20190222000000");
    manual()->setChecked(true);
    cars()->setEditText("34");
    search();
    EXPECT_EQ(listedPaths(), QStringList{otherCar});
    EXPECT_EQ(comboItems(), (QStringList{"All", "34"}));
    EXPECT_EQ(cars()->currentText(), "All");
    // Nothing found: empty table, both boxes cleared, the range as it was.
    setRange("20200101000000", "20200102000000");
    search();
    EXPECT_EQ(view()->model()->rowCount(), 0);
    EXPECT_FALSE(manual()->isChecked() || alarm()->isChecked());
    EXPECT_EQ(range(), "20200101000000-20200102000000");
}

TEST_F(SearchListTest, SearchBeforeAnyFolderListsNothing) {
    // The working folder holds a recording, which must not be found.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root()));
    add("", channelFile("20001212121224", 1));
    setRange("20000101000000", "20301231000000");
    search();
    QDir::setCurrent(cwd);
    EXPECT_TRUE(listedPaths().isEmpty());
}

TEST_F(SearchListTest, DoubleClickSendsTheRecordingsChannels) {
    const QString ch1 = add("ch1", channelFile("20190221173817", 1));
    const QString ch2 = add("ch2", channelFile("20190221173817", 2));
    const QString ch4 = add("", channelFile("20190221173817", 4));
    const QString ch12 = add("", channelFile("20190221173817", 12));
    add("", channelFile("20190221173817", 13));  // listed, no playback slot
    const QString otherCar = add("", channelFile("20190221173817", 3, "0002"));
    const QString noStart = add("", channelFile("20191321173817", 5));
    add("", channelFile("20191321173817", 6));
    list->loadFolder(root());

    sortBy(CustomSearchList::ChannelColumn, Qt::AscendingOrder);
    // The channel is that of the last of its rows in the table's order.
    EXPECT_EQ(doubleClick(ch2),
              channels({ch1, ch2, "", ch4, "", "", "", "", "", "", "", ch12}, 12));
    EXPECT_EQ(selectedPaths().size(), 5);
    sortBy(CustomSearchList::ChannelColumn, Qt::DescendingOrder);
    EXPECT_EQ(doubleClick(ch4).second, 1);
    EXPECT_EQ(doubleClick(otherCar), channels({"", "", otherCar}, 3));
    EXPECT_EQ(selectedPaths(), QStringList{otherCar});
    EXPECT_EQ(doubleClick(noStart), channels({"", "", "", "", noStart}, 5));
}

TEST_F(SearchListTest, NextPlayFollowsTheTableOrderAndEnds) {
    EXPECT_EQ(nextPlay(at("20190221080000")), channels({}, 1));  // empty table: stop
    const QString a1 = add("", channelFile("20190221080000", 1));
    const QString a2 = add("", channelFile("20190221080000", 2));
    const QString b1 = add("", channelFile("20190221090000", 1));
    const QString c1 = add("", channelFile("20190220100000", 1));
    const QString c2 = add("", channelFile("20190220100000", 2));
    const QString d1 = add("", channelFile("20190220100000", 1, "0002"));  // another car
    list->loadFolder(root());
    // The default order, newest date first, keeps a recording's rows together.
    ASSERT_EQ(column(CustomSearchList::PathColumn), (QStringList{a1, a2, b1, c1, c2, d1}));
    EXPECT_EQ(nextPlay(at("20190221080000")), channels({b1}, 1));
    EXPECT_EQ(nextPlay(at("20190221090000")), channels({c1, c2}, 2));
    EXPECT_EQ(selectedPaths(), (QStringList{c1, c2}));
    EXPECT_EQ(nextPlay(at("20190220100000")), channels({d1}, 1));
    EXPECT_EQ(nextPlay(at("20190220100000")), channels({}, 1));

    // By channel, recordings' rows are apart: C1 D1 A1 B1 C2 A2.
    sortBy(CustomSearchList::ChannelColumn, Qt::AscendingOrder);
    EXPECT_EQ(nextPlay(at("20190221080000")), channels({b1}, 1));
    // A start time that no row has plays the first row's recording, whole.
    EXPECT_EQ(nextPlay(at("20200101000000")), channels({c1, c2}, 2));
    EXPECT_EQ(selectedPaths(), (QStringList{c1, c2}));
}

TEST_F(SearchListTest, NextPlayAfterAFileWithoutStartTime) {
    const QString bad = add("", channelFile("20191321173817", 1));
    const QString good = add("", channelFile("20190221080000", 1));
    list->loadFolder(root());
    sortBy(CustomSearchList::PathColumn, Qt::DescendingOrder);
    ASSERT_EQ(column(CustomSearchList::PathColumn), (QStringList{bad, good}));
    doubleClick(bad);
    EXPECT_EQ(nextPlay(QDateTime()), channels({good}, 1));
}

// Starts in an hour that the local clock skips keep the name's value.
TEST_F(SearchListTest, SkippedHourInEveryZone) {
    const QString berlin1 = add("", channelFile("20190331023000", 1));
    const QString berlin2 = add("", channelFile("20190331023000", 2));
    const QString york1 = add("", channelFile("20190310023000", 1));
    const QString york2 = add("", channelFile("20190310023000", 2));
    add("", channelFile("20190310013000", 1));
    add("", channelFile("20190310013000", 2));
    for (const char* zone : kTestZones) {
        SCOPED_TRACE(zone);
        ScopedTimeZone tz(zone);
        if (QByteArray(zone) == "Europe/Berlin") {  // the zone really is in effect
            ASSERT_FALSE(QDateTime(QDate(2019, 3, 31), QTime(2, 30)).isValid());
        }
        list->loadFolder(root());
        sortBy(CustomSearchList::PathColumn, Qt::AscendingOrder);
        EXPECT_EQ(column(CustomSearchList::DateColumn),
                  (QStringList{"2019-03-10", "2019-03-10", "2019-03-10", "2019-03-10", "2019-03-31",
                               "2019-03-31"}));
        EXPECT_EQ(
            column(CustomSearchList::TimeColumn),
            (QStringList{"01:30:00", "01:30:00", "02:30:00", "02:30:00", "02:30:00", "02:30:00"}));
        EXPECT_EQ(doubleClick(berlin2), channels({berlin1, berlin2}, 2));
        EXPECT_EQ(doubleClick(york1), channels({york1, york2}, 2));
        EXPECT_EQ(nextPlay(at("20190310013000")), channels({york1, york2}, 2));
        search();
        EXPECT_EQ(listedPaths().size(), 6);
        EXPECT_EQ(range(), "20190310013000-20190331023000");
        setRange("20190310023000", "20190310023000");
        search();
        EXPECT_EQ(sortedListed(), (QStringList{york1, york2}));
    }
}

TEST_F(SearchListTest, BackupCopiesEveryListedFileWhateverTheOrder) {
    const QString first = add("a", channelFile("20190221080000", 1));
    const QString second = add("b", channelFile("20190221090000", 2));
    list->loadFolder(root());
    view()->selectRow(0);
    testsupport::TempDir backup;
    const QString target = QString::fromStdString(backup.path());
    QPointer<CopyMessageDialog> dialog = list->backUpTo(target);
    ASSERT_FALSE(dialog.isNull());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dialog->findChild<QLabel*>("label_2")->text() == "copy succeed!"; }, 10000));
    EXPECT_EQ(QDir(target).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QFileInfo(first).fileName(), QFileInfo(second).fileName()}));
    dialog->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }, 10000));
}

TEST_F(SearchListTest, PressWithoutTheRightButtonChangesNothing) {
    add("", channelFile("20190221080000", 1));
    list->loadFolder(root());
    emit view()->pressed(view()->model()->index(0, 0));
    EXPECT_EQ(list->propertyWindow(), nullptr);
}

}  // namespace
