// The clip dialog driven as a user would: boxes, folder button, OK and Cancel;
// its only output is the three settings keys the cutting engine reads.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "AppTest.h"
#include "TempDir.h"
#include "app/CustomSaveDialog.h"

namespace {

QString clipName(int channel) {
    return QString(
               "20190221173817_NM_0035719_0001085396_1920_1080_25_04194304_0006666666666666_"
               "%1_1711280006_00_642_0000000_V02_000_E08_0.avi")
        .arg(channel, 2, 10, QChar('0'));
}

// As shown: the size field unknown until the clip is written.
QString shown(int channel) {
    return '"' + clipName(channel).replace("_0001085396_", "_??????????_") + '"';
}

// Channels 1..12 except those in absent; channel 9 has a name too short to be a recording.
QVector<QString> names(QList<int> absent = {}) {
    QVector<QString> list;
    for (int n = 1; n <= 12; ++n)
        list << (absent.contains(n) ? QString() : n == 9 ? QString("a_b_c") : clipName(n));
    return list;
}

class SaveDialogTest : public AppTest {
protected:
    QCheckBox* box(CustomSaveDialog& d, int n) {  // 0: "Selected window"
        if (n == 0)
            return d.findChild<QCheckBox*>("checkBox_selectedChannel");
        return d.findChild<QFrame*>("frame_2")->findChildren<QCheckBox*>().at(n - 1);
    }
    QList<int> checkedChannels(CustomSaveDialog& d) {
        QList<int> on;
        for (int n = 1; n <= 12; ++n)
            if (box(d, n)->isChecked())
                on << n;
        return on;
    }
    QString field(CustomSaveDialog& d, const char* name) {
        return d.findChild<QLineEdit*>(name)->text();
    }
    void chooseFolder(CustomSaveDialog& d, const QString& answer) {
        d.setFolderChooser([answer](QWidget*, const QString&, const QString&) { return answer; });
        d.findChild<QPushButton*>("pushButton")->click();
    }
    void clickOk(CustomSaveDialog& d) {
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }
    testsupport::TempDir dir;
    QString folder = QString::fromStdString(dir.path());
};

TEST_F(SaveDialogTest, FirstUseOffersTheSelectedWindowInTheMoviesFolder) {
    CustomSaveDialog dialog(names(), 2);
    EXPECT_EQ(field(dialog, "lineEdit_dir"),
              QStandardPaths::standardLocations(QStandardPaths::MoviesLocation).value(0) + "/");
    EXPECT_TRUE(dialog.findChild<QCheckBox*>("checkBox_policy")->isChecked());
    EXPECT_TRUE(box(dialog, 0)->isChecked());
    EXPECT_EQ(field(dialog, "lineEdit_fileNames"), shown(3));
    EXPECT_EQ(box(dialog, 3)->text(), "Channel 3");
    EXPECT_FALSE(box(dialog, 9)->isEnabled());
}

TEST_F(SaveDialogTest, StoredPolicyRestoresOnlyChannelsThisRecordingHas) {
    struct Case {
        QVariant policy;
        QList<int> absent;
        int selected;
        bool remember, selectedWindow;
        QList<int> channels;
        QString names;
    } cases[] = {
        {0x00000006u, {}, 0, false, true, {}, shown(1)},
        {0x80001002u, {}, 5, true, false, {1, 12}, shown(1) + shown(12)},
        {0x80000028u, {3}, 0, true, false, {5}, shown(5)},
        {0x80000008u, {3}, 0, true, true, {}, shown(1)},  // nothing left: selected window
        {0x80000200u, {}, 0, true, true, {}, shown(1)},   // channel 9's name is unusable
        {"junk", {}, 4, true, true, {}, shown(5)},
        {0xFFFFFFFFu, {2}, 1, true, true, {}, ""},  // the selected window has no file
    };
    for (const Case& c : cases) {
        QSettings().setValue("/CustomSaveDialog/Policy", c.policy);
        CustomSaveDialog dialog(names(c.absent), c.selected);
        SCOPED_TRACE(c.policy.toString().toStdString());
        EXPECT_EQ(dialog.findChild<QCheckBox*>("checkBox_policy")->isChecked(), c.remember);
        EXPECT_EQ(box(dialog, 0)->isChecked(), c.selectedWindow);
        EXPECT_EQ(checkedChannels(dialog), c.channels);
        EXPECT_EQ(field(dialog, "lineEdit_fileNames"), c.names);
    }
}

TEST_F(SaveDialogTest, SelectedWindowAndChannelBoxesExcludeEachOther) {
    CustomSaveDialog dialog(names({7}), 0);
    QSignalSpy changed(&dialog, &CustomSaveDialog::signal_selectChannelChanged);
    box(dialog, 3)->click();
    box(dialog, 5)->click();
    box(dialog, 7)->click();  // absent: disabled
    EXPECT_FALSE(box(dialog, 0)->isChecked());
    EXPECT_EQ(checkedChannels(dialog), QList<int>({3, 5}));
    EXPECT_EQ(field(dialog, "lineEdit_fileNames"), shown(3) + shown(5));
    box(dialog, 0)->click();
    EXPECT_EQ(checkedChannels(dialog), QList<int>());
    EXPECT_EQ(field(dialog, "lineEdit_fileNames"), shown(1));
    EXPECT_EQ(changed.size(), 6);  // one per state change of a box
}

TEST_F(SaveDialogTest, OkStoresTheChoiceOrWarnsAndStoresNothing) {
    struct Case {
        QString folder;  // "<dir>" is a fresh folder, "<file>" a file in it
        QList<int> clicks;
        bool forget;
        int selected;
        QString warning;  // empty: accepted
        quint32 policy;
    } cases[] = {
        {"<dir>", {}, false, 3, "", 0x80000001u},
        {"<dir>", {2, 5}, true, 0, "", 0x24u},
        {"<dir>/", {12}, false, 11, "", 0x80001000u},
        {"<dir>/missing",
         {0},
         false,
         0,
         "Path error|The current file directory does not exist!",
         0},
        {"<dir>", {0}, false, 0, "Option error|No channel is selected!", 0},
        {"<file>", {}, false, 0, "Path error|The current file directory does not exist!", 0},
        {"<dir>", {}, false, 7, "Option error|No channel is selected!", 0},  // channel 8 absent
    };
    QFile file(folder + "/file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const Case& c : cases) {
        SetUp();
        CustomSaveDialog dialog(names({8}), c.selected);
        QString path = c.folder;
        chooseFolder(dialog, path.replace("<dir>", folder).replace("<file>", folder + "/file"));
        for (int n : c.clicks)
            box(dialog, n)->click();
        if (c.forget)
            dialog.findChild<QCheckBox*>("checkBox_policy")->click();
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        MessageBoxAnswer answer(QMessageBox::Ok);
        clickOk(dialog);
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(answer.seen, c.warning.isEmpty() ? QStringList() : QStringList{c.warning});
        if (!c.warning.isEmpty()) {
            EXPECT_TRUE(storedKeys().isEmpty());
            EXPECT_EQ(accepted.size(), 0);
            continue;
        }
        EXPECT_EQ(accepted.size(), 1);
        EXPECT_EQ(stored("/CustomSaveDialog/SavePath").toString(), folder + "/");
        EXPECT_EQ(stored("/CustomSaveDialog/Policy").toUInt(), c.policy);
        EXPECT_EQ(stored("/CustomSaveDialog/SelectChannel").toInt(), c.selected);
    }
}

TEST_F(SaveDialogTest, RememberedChoiceComesBackInAFreshDialog) {
    {
        CustomSaveDialog dialog(names(), 0);
        chooseFolder(dialog, folder);
        box(dialog, 2)->click();
        box(dialog, 5)->click();
        clickOk(dialog);
    }
    CustomSaveDialog again(names(), 0);
    EXPECT_EQ(field(again, "lineEdit_dir"), folder + "/");
    EXPECT_EQ(checkedChannels(again), QList<int>({2, 5}));
}

TEST_F(SaveDialogTest, CancelEscapeAndCloseLeaveTheStoreAsItWas) {
    for (int way = 0; way < 3; ++way) {
        QSettings().setValue("/CustomSaveDialog/SavePath", "/kept/");
        CustomSaveDialog dialog(names(), 0);
        chooseFolder(dialog, folder);
        box(dialog, 4)->click();
        QSignalSpy changed(&dialog, &CustomSaveDialog::signal_selectChannelChanged);
        QTimer::singleShot(0, &dialog, [&] {
            if (way == 0)
                dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
            else if (way == 1)
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
        });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected) << way;
        EXPECT_EQ(storedKeys(), QStringList{"CustomSaveDialog/SavePath"});
        EXPECT_EQ(stored("/CustomSaveDialog/SavePath").toString(), "/kept/");
        EXPECT_EQ(changed.size(), 0);
    }
}

TEST_F(SaveDialogTest, ChosenFolderIsShownWithOneTrailingSlash) {
    const QString answers[][2] = {{"/a/Movies", "/a/Movies/"},
                                  {"/a/Movies/", "/a/Movies/"},
                                  {"/a/Movies//", "/a/Movies/"},
                                  {"/", "/"},
                                  {"", "/start/"}};
    for (const auto& a : answers) {
        QSettings().setValue("/CustomSaveDialog/SavePath", "/start/");
        CustomSaveDialog dialog(names(), 0);
        QStringList asked;
        dialog.setFolderChooser([&](QWidget*, const QString& caption, const QString& start) {
            asked << caption << start;
            return a[0];
        });
        dialog.findChild<QPushButton*>("pushButton")->click();
        EXPECT_EQ(asked, QStringList({"Select save path", "/start/"}));
        EXPECT_EQ(field(dialog, "lineEdit_dir"), a[1]);
    }
}

TEST_F(SaveDialogTest, ReadOnlyFolderIsRefused) {
    const QString readOnly = "/proc/sys";
    if (QFileInfo(readOnly).isWritable())
        GTEST_SKIP() << "no read-only folder here";
    CustomSaveDialog dialog(names(), 0);
    chooseFolder(dialog, readOnly);
    MessageBoxAnswer answer(QMessageBox::Ok);
    clickOk(dialog);
    EXPECT_EQ(answer.seen, QStringList{"Path error|The current file directory is not writable!"});
    EXPECT_TRUE(storedKeys().isEmpty());
}

}  // namespace
