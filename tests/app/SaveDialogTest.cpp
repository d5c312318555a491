// The clip dialog driven as a user would; its only output is the three
// settings keys the cutting engine reads.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

#include "AppTest.h"
#include "TempDir.h"
#include "app/CustomSaveDialog.h"
#include "engine/ClipCutter.h"
#include "engine/FileNameCodec.h"

namespace {

QString clipName(int channel) {
    const char* const name =
        "20190221173817_NM_0035719_0001085396_1920_1080_25_04194304_"
        "0006666666666666_%1_1711280006_00_642_0000000_V02_000_E08_0.avi";
    return QString(name).arg(channel, 2, 10, QChar('0'));
}

QString shown(int channel) {  // the size is unknown until the clip is written
    return '"' + clipName(channel).replace("_0001085396_", "_??????????_") + '"';
}

// Channel 9 has a name too short for a recording, absent ones none.
QVector<QString> names(QList<int> absent = {}) {
    QVector<QString> list;
    for (int n = 1; n <= 12; ++n)
        list << (absent.contains(n) ? QString() : n == 9 ? "a_b_c" : clipName(n));
    return list;
}

class SaveDialogTest : public AppTest {
protected:
    struct Dialog : CustomSaveDialog {
        using CustomSaveDialog::CustomSaveDialog;
        QCheckBox* box(int n) {  // 0: "Selected window"
            return n ? child<QFrame>(*this, "frame_2")->findChildren<QCheckBox*>().at(n - 1)
                     : child<QCheckBox>(*this, "checkBox_selectedChannel");
        }
        QList<int> checked() {
            QList<int> on;
            for (int n = 0; n <= 12; ++n)
                if (box(n)->isChecked())
                    on << n;
            return on;
        }
        QString text(const char* name) { return child<QLineEdit>(*this, name)->text(); }
        bool remember() { return child<QCheckBox>(*this, "checkBox_policy")->isChecked(); }
        void choose(const QString& answer) {
            setFolderChooser([=](QWidget*, const QString& caption, const QString& start) {
                asked = QStringList{caption, start};
                return answer;
            });
            child<QPushButton>(*this, "pushButton")->click();
        }
        void click(QDialogButtonBox::StandardButton b) {
            findChild<QDialogButtonBox*>()->button(b)->click();
        }
        QStringList asked;
    };
    testsupport::TempDir dir;
    const QString folder = QString::fromStdString(dir.path());
};

TEST_F(SaveDialogTest, StoredPolicyRestoresOnlyChannelsThisRecordingHas) {
    // clang-format off
    struct Case { QVariant policy; QList<int> absent; int selected; bool remember;
                  QList<int> checked; QString names; } cases[] = {  // policy: stored or none
        {{}, {}, 2, true, {0}, shown(3)},
        {0x00000006u, {}, 0, false, {0}, shown(1)},
        {0x80001002u, {}, 5, true, {1, 12}, shown(1) + shown(12)},
        {0x80000028u, {3}, 0, true, {5}, shown(5)},
        {0x80000208u, {3}, 0, true, {0}, shown(1)},  // nothing usable left
        {"junk", {}, 4, true, {0}, shown(5)},
        {0xFFFFFFFFu, {2}, 1, true, {0}, ""},  // the selected window has no file
    };  // checked 0: "Selected window"
    // clang-format on
    for (const Case& c : cases) {
        SetUp();
        if (c.policy.isValid())
            QSettings().setValue("/CustomSaveDialog/Policy", c.policy);
        Dialog d(names(c.absent), c.selected);
        SCOPED_TRACE(c.policy.toString().toStdString());
        EXPECT_EQ(d.remember(), c.remember);
        EXPECT_EQ(d.checked(), c.checked);
        EXPECT_EQ(d.text("lineEdit_fileNames"), c.names);
        EXPECT_EQ(d.text("lineEdit_dir"),
                  QStandardPaths::standardLocations(QStandardPaths::MoviesLocation)[0] + "/");
        EXPECT_FALSE(d.box(9)->isEnabled());
    }
}

TEST_F(SaveDialogTest, SelectedWindowAndChannelBoxesExcludeEachOther) {
    Dialog d(names({7}), 0);
    QSignalSpy changed(&d, &CustomSaveDialog::signal_selectChannelChanged);
    for (int n : {3, 5, 7})  // 7 is absent, its box disabled
        d.box(n)->click();
    EXPECT_EQ(d.checked(), QList<int>({3, 5}));
    EXPECT_EQ(d.text("lineEdit_fileNames"), shown(3) + shown(5));
    d.box(0)->click();
    EXPECT_EQ(d.checked(), QList<int>{0});
    EXPECT_EQ(changed.size(), 6);  // one per state change of a box
}

TEST_F(SaveDialogTest, OkStoresTheChoiceOrWarnsAndStoresNothing) {
    const QString missing = "Path error|The current file directory does not exist!";
    const QString none = "Option error|No channel is selected!";
    const QString readOnly = "Path error|The current file directory is not writable!";
    // clang-format off
    struct Case { QString folder; QList<int> clicks; int selected; QString warning;
                  quint32 policy; } cases[] = {  // folder %1: the test folder, with "file" in it
        {"%1", {}, 3, "", 0x80000001u},      {"%1/", {2, 5, -1}, 0, "", 0x24u},
        {"%1//", {12}, 11, "", 0x80001000u}, {"%1/missing", {0}, 0, missing, 0},
        {"%1", {0}, 0, none, 0},             {"%1/file", {}, 0, missing, 0},
        {"%1", {}, 7, none, 0},  // channel 8 is absent
        {"/proc/sys", {}, 0, readOnly, 0},
    };  // clang-format on
    QFile(folder + "/file").open(QIODevice::WriteOnly);
    for (const Case& c : cases) {
        SetUp();
        const QString path = QString(c.folder).replace("%1", folder);
        if (c.warning == readOnly && QFileInfo(path).isWritable())
            continue;  // no read-only folder on this machine
        Dialog d(names({8}), c.selected);
        d.choose(path);
        for (int n : c.clicks)
            n < 0 ? child<QCheckBox>(d, "checkBox_policy")->click() : d.box(n)->click();
        QSignalSpy accepted(&d, &QDialog::accepted);
        MessageBoxAnswer answer(QMessageBox::Ok);
        d.click(QDialogButtonBox::Ok);
        SCOPED_TRACE(c.folder.toStdString());
        EXPECT_EQ(answer.seen, c.warning.isEmpty() ? QStringList() : QStringList{c.warning});
        EXPECT_EQ(accepted.size(), c.warning.isEmpty() ? 1 : 0);
        EXPECT_EQ(storedKeys().isEmpty(), !c.warning.isEmpty());
        if (!c.warning.isEmpty())
            continue;
        EXPECT_EQ(stored("/CustomSaveDialog/SavePath").toString(), folder + "/");
        EXPECT_EQ(stored("/CustomSaveDialog/Policy").toUInt(), c.policy);
        EXPECT_EQ(stored("/CustomSaveDialog/SelectChannel").toInt(), c.selected);
        Dialog again(names(), 0);  // a fresh dialog reads the choice back
        EXPECT_EQ(again.text("lineEdit_dir"), folder + "/");
        EXPECT_EQ(again.remember(), (c.policy >> 31) == 1);
    }
}

// A fresh account: the Movies folder does not exist until the first clip
// goes there; a missing folder the user chose is never made.
TEST_F(SaveDialogTest, DefaultFolderIsMadeWhenUsedAChosenOneNever) {
    const QString movies = QStandardPaths::standardLocations(QStandardPaths::MoviesLocation)[0];
    QDir(movies).removeRecursively();
    {
        Dialog d(names(), 0);
        QSignalSpy accepted(&d, &QDialog::accepted);
        MessageBoxAnswer answer(QMessageBox::Ok);
        d.click(QDialogButtonBox::Ok);
        EXPECT_EQ(answer.seen, QStringList());
        EXPECT_EQ(accepted.size(), 1);
        EXPECT_TRUE(QFileInfo(movies).isDir());
        EXPECT_EQ(stored("/CustomSaveDialog/SavePath").toString(), movies + "/");
    }
    QDir(movies).removeRecursively();
    SetUp();
    QSettings().setValue("/CustomSaveDialog/SavePath", folder + "/chosen/");
    Dialog d(names(), 0);
    MessageBoxAnswer answer(QMessageBox::Ok);
    d.click(QDialogButtonBox::Ok);
    EXPECT_EQ(answer.seen, QStringList{"Path error|The current file directory does not exist!"});
    EXPECT_FALSE(QFileInfo::exists(folder + "/chosen"));
    EXPECT_FALSE(QFileInfo::exists(movies));
}

// A folder named in Latin-1 ("caf\xe9") reaches the cutter as it is.
TEST_F(SaveDialogTest, LatinOneFolderReachesTheCutterAsItIs) {
    FileNameCodec::Install();
    const std::string bytes = dir.path() + "/caf\xe9";
    ASSERT_EQ(mkdir(bytes.c_str(), 0755), 0);
    Dialog d(names(), 0);
    d.choose(QFile::decodeName(bytes.c_str()));
    MessageBoxAnswer answer(QMessageBox::Ok);
    d.click(QDialogButtonBox::Ok);
    EXPECT_EQ(answer.seen, QStringList());
    EXPECT_EQ(QFile::encodeName(ClipCutter::FromSettings(0, 1).savePath).toStdString(),
              bytes + "/");
}

TEST_F(SaveDialogTest, CancelEscapeAndCloseStoreAndEmitNothing) {
    for (int way = 0; way < 3; ++way) {
        QSettings().setValue("/CustomSaveDialog/SavePath", "/kept/");
        Dialog d(names(), 0);
        d.choose("");  // the chooser cancelled
        EXPECT_EQ(d.asked, QStringList({"Select save path", "/kept/"}));
        EXPECT_EQ(d.text("lineEdit_dir"), "/kept/");
        d.choose(folder);
        d.box(4)->click();
        QSignalSpy changed(&d, &CustomSaveDialog::signal_selectChannelChanged);
        QTimer::singleShot(0, &d, [&] {
            way == 0   ? d.click(QDialogButtonBox::Cancel)
            : way == 1 ? QTest::keyClick(&d, Qt::Key_Escape)
                       : (void)d.close();
        });
        EXPECT_EQ(d.exec(), QDialog::Rejected) << way;
        EXPECT_EQ(storedKeys(), QStringList{"CustomSaveDialog/SavePath"});
        EXPECT_EQ(stored("/CustomSaveDialog/SavePath").toString(), "/kept/");
        EXPECT_EQ(changed.size(), 0);
    }
}

}  // namespace
