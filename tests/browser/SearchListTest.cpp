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
#include "browser/CopyMessageDialog.h"

namespace {

using Paths = QVector<QString>;

class SearchListTest : public BrowserFixture {
protected:
    void search() { list->findChild<QPushButton*>("pushButton_Search")->click(); }
    QCheckBox* manual() { return list->findChild<QCheckBox*>("checkBox_Manual"); }
    QCheckBox* alarm() { return list->findChild<QCheckBox*>("checkBox_Alarm"); }
    QComboBox* cars() { return list->findChild<QComboBox*>("comboBox_carNum"); }
    QDateTime editStart() {
        return QDateTime(list->findChild<QDateEdit*>("dateEdit_start")->date(),
                         list->findChild<QTimeEdit*>("timeEdit_start")->time());
    }
    QDateTime editEnd() {
        return QDateTime(list->findChild<QDateEdit*>("dateEdit_end")->date(),
                         list->findChild<QTimeEdit*>("timeEdit_end")->time());
    }
    void setRange(const QDateTime& begin, const QDateTime& end) {
        list->findChild<QDateEdit*>("dateEdit_start")->setDate(begin.date());
        list->findChild<QTimeEdit*>("timeEdit_start")->setTime(begin.time());
        list->findChild<QDateEdit*>("dateEdit_end")->setDate(end.date());
        list->findChild<QTimeEdit*>("timeEdit_end")->setTime(end.time());
    }
    QStringList comboItems() {
        QStringList texts;
        for (int i = 0; i < cars()->count(); ++i)
            texts << cars()->itemText(i);
        return texts;
    }
    // Double-clicks the row whose path is path; returns the emitted signal.
    QList<QVariant> doubleClick(const QString& path) {
        QSignalSpy spy(list.get(), &CustomSearchList::Signal_playAVI);
        const int row = column(CustomSearchList::PathColumn).indexOf(path);
        EXPECT_GE(row, 0) << qPrintable(path);
        emit view()->doubleClicked(view()->model()->index(row, 0));
        EXPECT_EQ(spy.count(), 1);
        return spy.isEmpty() ? QList<QVariant>() : spy.takeFirst();
    }
    QList<QVariant> nextPlay(const QDateTime& current) {
        QSignalSpy spy(list.get(), &CustomSearchList::Signal_playAVI);
        list->NextPlay(current);
        EXPECT_EQ(spy.count(), 1);
        return spy.isEmpty() ? QList<QVariant>() : spy.takeFirst();
    }
    QStringList selectedPaths() {
        QStringList paths;
        for (const QModelIndex& index :
             view()->selectionModel()->selectedRows(CustomSearchList::PathColumn))
            paths << index.data().toString();
        paths.sort();
        return paths;
    }
    static Paths channelSlots(std::initializer_list<std::pair<int, QString>> entries) {
        Paths paths(12);
        for (const auto& entry : entries)
            paths[entry.first - 1] = entry.second;
        return paths;
    }
    static QDateTime at(const char* text) { return QDateTime::fromString(text, "yyyyMMddHHmmss"); }
};

TEST_F(SearchListTest, InitialState) {
    EXPECT_EQ(view()->model()->rowCount(), 0);
    EXPECT_TRUE(manual()->isChecked());
    EXPECT_TRUE(alarm()->isChecked());
    EXPECT_EQ(editStart(), QDateTime(QDate(2000, 12, 12), QTime(12, 12, 24)));
    EXPECT_EQ(editEnd(), QDateTime(QDate(2000, 12, 12), QTime(12, 12, 24)));
    EXPECT_EQ(list->findChild<QDateEdit*>("dateEdit_start")->text(), "2000/12/12");
    EXPECT_EQ(list->findChild<QTimeEdit*>("timeEdit_start")->text(), "12:12:24");
}

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
    // Entries sort by name ignoring case, files and folders mixed; the
    // files of a folder come before those of its subfolders.
    const QStringList expected = {a, b, other, sub, deep};
    EXPECT_EQ(listedPaths(), expected);
}

TEST_F(SearchListTest, ControlsAfterLoad) {
    add("", channelFile("20190221080000", 1, "0012", "NM"));
    add("x", channelFile("20190220090000", 2, "0000", "TI"));
    add("y", channelFile("20190222100000", 3, "0012", "NM"));
    add("y", channelFile("20191321100000", 3, "0099", "NM"));  // no valid start
    list->loadFolder(root());
    EXPECT_EQ(view()->model()->rowCount(), 4);
    EXPECT_EQ(editStart(), at("20190220090000"));
    EXPECT_EQ(editEnd(), at("20190222100000"));
    EXPECT_EQ(comboItems(), (QStringList{"All", "0000", "12", "99"}));
    EXPECT_EQ(cars()->currentText(), "All");
    EXPECT_TRUE(manual()->isChecked());
    EXPECT_FALSE(alarm()->isChecked());
    EXPECT_EQ(QSettings().value("/CustomSearchList/rootDir").toString(), root());
}

TEST_F(SearchListTest, SecondLoadReplacesTheFirst) {
    add("one", channelFile("20190221080000", 1, "0007"));
    add("two", channelFile("20190301080000", 1, "0008", "GS"));
    list->loadFolder(root() + "/one");
    list->loadFolder(root() + "/two");
    EXPECT_EQ(listedPaths().size(), 1);
    EXPECT_EQ(comboItems(), (QStringList{"All", "8"}));
    EXPECT_FALSE(manual()->isChecked());
    EXPECT_TRUE(alarm()->isChecked());
}

TEST_F(SearchListTest, SearchFiltersByRangeTypeAndCar) {
    const QString first = add("", channelFile("20190221080000", 1, "0012", "NM"));
    const QString alarmFile = add("", channelFile("20190221090000", 1, "0012", "GS"));
    const QString lastOther = add("", channelFile("20190221100000", 1, "0034", "NM"));
    add("", channelFile("20190221093000", 1, "0012", "TI"));
    add("", channelFile("20190231100000", 1, "0012", "NM"));  // no valid start
    list->loadFolder(root());
    ASSERT_EQ(listedPaths().size(), 5);

    // Unchanged controls find every manual and alarm file with a start time.
    search();
    QStringList found = listedPaths();
    found.sort();
    QStringList expected = {first, alarmFile, lastOther};
    expected.sort();
    EXPECT_EQ(found, expected);

    // Both ends of the range are included.
    setRange(at("20190221080000"), at("20190221090000"));
    search();
    EXPECT_EQ(listedPaths(), (QStringList{first, alarmFile}));
    EXPECT_EQ(editStart(), at("20190221080000"));
    EXPECT_EQ(editEnd(), at("20190221090000"));

    setRange(at("20190221000000"), at("20190222000000"));
    manual()->setChecked(false);
    search();
    EXPECT_EQ(listedPaths(), QStringList{alarmFile});
    EXPECT_FALSE(manual()->isChecked());
    EXPECT_TRUE(alarm()->isChecked());

    setRange(at("20190221000000"), at("20190222000000"));
    manual()->setChecked(true);
    alarm()->setChecked(true);
    cars()->setEditText("34");
    search();
    EXPECT_EQ(listedPaths(), QStringList{lastOther});
    EXPECT_EQ(comboItems(), (QStringList{"All", "34"}));
    EXPECT_EQ(cars()->currentText(), "All");
}

TEST_F(SearchListTest, TimeLapseFilesAreLoadedButNeverFound) {
    add("", channelFile("20190221080000", 1, "0012", "TI"));
    add("", channelFile("20190221090000", 1, "0012", "MO"));
    list->loadFolder(root());
    EXPECT_EQ(listedPaths().size(), 2);
    EXPECT_FALSE(manual()->isChecked());
    EXPECT_FALSE(alarm()->isChecked());
    const QDateTime start = editStart();
    search();
    EXPECT_TRUE(listedPaths().isEmpty());
    EXPECT_EQ(view()->model()->rowCount(), 0);
    EXPECT_EQ(comboItems(), QStringList{"All"});
    EXPECT_EQ(editStart(), start);
}

TEST_F(SearchListTest, SearchBeforeAnyFolderListsNothing) {
    // The working folder holds a recording, which must not be found.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root()));
    add("", channelFile("20001212121224", 1));
    setRange(at("20000101000000"), at("20301231000000"));
    search();
    QDir::setCurrent(cwd);
    EXPECT_TRUE(listedPaths().isEmpty());
}

TEST_F(SearchListTest, DoubleClickSendsTheRecordingsChannels) {
    const QString ch1 = add("ch1", channelFile("20190221173817", 1));
    const QString ch2 = add("ch2", channelFile("20190221173817", 2));
    const QString ch4 = add("", channelFile("20190221173817", 4));
    const QString other = add("", channelFile("20190221173818", 3));
    list->loadFolder(root());

    sortBy(CustomSearchList::ChannelColumn, Qt::AscendingOrder);
    QList<QVariant> args = doubleClick(ch2);
    EXPECT_EQ(args.at(0).value<Paths>(), channelSlots({{1, ch1}, {2, ch2}, {4, ch4}}));
    EXPECT_EQ(args.at(1).toInt(), 4);  // the last of its rows in the table's order
    QStringList recording = {ch1, ch2, ch4};
    recording.sort();
    EXPECT_EQ(selectedPaths(), recording);

    sortBy(CustomSearchList::ChannelColumn, Qt::DescendingOrder);
    args = doubleClick(ch4);
    EXPECT_EQ(args.at(1).toInt(), 1);

    args = doubleClick(other);
    EXPECT_EQ(args.at(0).value<Paths>(), channelSlots({{3, other}}));
    EXPECT_EQ(args.at(1).toInt(), 3);
    EXPECT_EQ(selectedPaths(), QStringList{other});
}

TEST_F(SearchListTest, TwoCarsInTheSameSecondAreTwoRecordings) {
    const QString a1 = add("a", channelFile("20190221173817", 1, "0001"));
    const QString a2 = add("a", channelFile("20190221173817", 2, "0001"));
    const QString b1 = add("b", channelFile("20190221173817", 1, "0002"));
    list->loadFolder(root());
    EXPECT_EQ(doubleClick(a1).at(0).value<Paths>(), channelSlots({{1, a1}, {2, a2}}));
    EXPECT_EQ(doubleClick(b1).at(0).value<Paths>(), channelSlots({{1, b1}}));
}

TEST_F(SearchListTest, ChannelsBeyondEightPlayAndOutOfRangeOnesDoNot) {
    const QString c0 = add("", channelFile("20190221173817", 0));
    const QString c9 = add("", channelFile("20190221173817", 9));
    const QString c12 = add("", channelFile("20190221173817", 12));
    add("", channelFile("20190221173817", 13));
    list->loadFolder(root());
    EXPECT_EQ(listedPaths().size(), 4);
    sortBy(CustomSearchList::ChannelColumn, Qt::AscendingOrder);
    const QList<QVariant> args = doubleClick(c0);
    EXPECT_EQ(args.at(0).value<Paths>(), channelSlots({{9, c9}, {12, c12}}));
    EXPECT_EQ(args.at(1).toInt(), 12);
    EXPECT_EQ(selectedPaths().size(), 4);
}

TEST_F(SearchListTest, FileWithoutStartTimePlaysAlone) {
    const QString bad1 = add("", channelFile("20191321173817", 1));
    add("", channelFile("20191321173817", 2));
    list->loadFolder(root());
    const QList<QVariant> args = doubleClick(bad1);
    EXPECT_EQ(args.at(0).value<Paths>(), channelSlots({{1, bad1}}));
    EXPECT_EQ(selectedPaths(), QStringList{bad1});
}

TEST_F(SearchListTest, NextPlayFollowsTheTableOrderAndEnds) {
    QList<QVariant> args = nextPlay(at("20190221080000"));  // empty table: stop
    EXPECT_EQ(args.at(0).value<Paths>(), Paths(12));
    EXPECT_EQ(args.at(1).toInt(), 1);

    const QString a1 = add("", channelFile("20190221080000", 1));
    const QString a2 = add("", channelFile("20190221080000", 2));
    const QString b1 = add("", channelFile("20190221090000", 1));
    const QString c1 = add("", channelFile("20190221100000", 1));
    list->loadFolder(root());
    // By channel, recording A's rows are apart: A1 B1 C1 A2.
    sortBy(CustomSearchList::ChannelColumn, Qt::AscendingOrder);
    ASSERT_EQ(column(CustomSearchList::PathColumn), (QStringList{a1, b1, c1, a2}));

    args = nextPlay(at("20190221080000"));
    EXPECT_EQ(args.at(0).value<Paths>(), channelSlots({{1, b1}}));
    args = nextPlay(at("20190221090000"));
    EXPECT_EQ(args.at(0).value<Paths>(), channelSlots({{1, c1}}));
    // Recording A appeared before C, so C is the last: playback stops.
    args = nextPlay(at("20190221100000"));
    EXPECT_EQ(args.at(0).value<Paths>(), Paths(12));
    EXPECT_EQ(args.at(1).toInt(), 1);

    // A start time that no row has plays the first row's recording, whole.
    args = nextPlay(at("20200101000000"));
    EXPECT_EQ(args.at(0).value<Paths>(), channelSlots({{1, a1}, {2, a2}}));
    EXPECT_EQ(args.at(1).toInt(), 2);
    EXPECT_EQ(selectedPaths(), (QStringList{a1, a2}));
}

TEST_F(SearchListTest, NextPlayTellsCarsApart) {
    const QString a = add("", channelFile("20190221080000", 1, "0001"));
    const QString b = add("", channelFile("20190221080000", 2, "0002"));
    list->loadFolder(root());
    sortBy(CustomSearchList::ChannelColumn, Qt::AscendingOrder);
    doubleClick(a);
    EXPECT_EQ(nextPlay(at("20190221080000")).at(0).value<Paths>(), channelSlots({{2, b}}));
    EXPECT_EQ(nextPlay(at("20190221080000")).at(0).value<Paths>(), Paths(12));
}

TEST_F(SearchListTest, NextPlayAfterAFileWithoutStartTime) {
    const QString bad = add("", channelFile("20191321173817", 1));
    const QString good = add("", channelFile("20190221080000", 1));
    list->loadFolder(root());
    sortBy(CustomSearchList::PathColumn, Qt::DescendingOrder);
    ASSERT_EQ(column(CustomSearchList::PathColumn), (QStringList{bad, good}));
    doubleClick(bad);
    EXPECT_EQ(nextPlay(QDateTime()).at(0).value<Paths>(), channelSlots({{1, good}}));
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
    EXPECT_TRUE(QFileInfo::exists(target + "/" + QFileInfo(first).fileName()));
    EXPECT_TRUE(QFileInfo::exists(target + "/" + QFileInfo(second).fileName()));
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
