// The settings window: what Initialize announces, what OK stores and
// announces, the snapshot folder chooser and the map-service restart.
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QToolButton>

#include "AppTest.h"
#include "app/SettingsWidget.h"
#include "engine/Controller.h"
#include "engine/DefaultFolders.h"
#include "engine/FileNameCodec.h"

namespace {

class SettingsWidgetTest : public AppTest {
protected:
    // A window after Initialize (whose announcements go to initLog), then
    // every later announcement in log, as text.
    struct Window : SettingsWidget {
        explicit Window(QStringList* initLog = nullptr) {
            QStringList ignored;
            sink = initLog ? initLog : &ignored;
            connect(this, &SettingsWidget::Signal_snapshotPathChange,
                    [this](const QString& p) { *sink << "path " + p; });
            connect(this, &SettingsWidget::Signal_offsetChange,
                    [this](bool on) { *sink << QString("offset %1").arg(on); });
            connect(this, &SettingsWidget::Signal_playBackChange,
                    [this](bool on) { *sink << QString("playback %1").arg(on); });
            connect(this, &SettingsWidget::Signal_mirrorChange,
                    [this](int ch, bool on) { *sink << QString("mirror %1 %2").arg(ch).arg(on); });
            connect(this, &SettingsWidget::Signal_mapChange,
                    [this](MapType t) { *sink << QString("map %1").arg(int(t)); });
            Initialize();
            sink = &log;
        }
        void click(const QString& name) { findChild<QAbstractButton*>(name)->click(); }
        bool checked(const QString& name) { return findChild<QAbstractButton*>(name)->isChecked(); }
        QString folder() { return child<QLineEdit>(*this, "lineEdit_snapshot")->text(); }
        QStringList log;
        QStringList* sink;
    };
    static QString defaultFolder() {
        return QStandardPaths::standardLocations(QStandardPaths::PicturesLocation)[0] +
               "/OrdavexSnap/";
    }
};

TEST_F(SettingsWidgetTest, InitializeAnnouncesStoredValuesThatDifferAndWritesNothing) {
    struct Case {
        QVariantMap store;
        QStringList announced;
        const char* radio;
        QString folder = {};  // empty: the default
    } cases[] = {
        // clang-format off
        {{}, {"map 1"}, "radioButton_google"},
        {{{"MapType", 7}}, {}, "radioButton_openstreet"},
        {{{"MapType", 2}, {"MapOffset", false}}, {"offset 0", "map 2"}, "radioButton_baidu"},
        {{{"SnapshotPath", "/x/y"}, {"MirrorCh8", true}, {"MapType", 4}},
         {"path /x/y/", "mirror 7 1", "map 4"}, "radioButton_bing", "/x/y/"},
        {{{"SnapshotPath", ""}, {"MapPlayBack", false}, {"MapType", 3}}, {"playback 0"},
         "radioButton_openstreet"},
    };  // clang-format on
    for (const Case& c : cases) {
        SetUp();
        for (auto it = c.store.begin(); it != c.store.end(); ++it)
            QSettings().setValue("/SettingsWidget/" + it.key(), it.value());
        QStringList announced;
        Window w(&announced);
        EXPECT_EQ(announced, c.announced);
        EXPECT_TRUE(w.checked(c.radio)) << c.radio;
        EXPECT_EQ(w.folder(), c.folder.isEmpty() ? defaultFolder() : c.folder);
        EXPECT_EQ(storedKeys().size(), c.store.size());
    }
}

TEST_F(SettingsWidgetTest, MirrorBoxReachesItsSignalAndKeyAndAFreshWindow) {
    for (int n = 1; n <= 8; ++n) {
        SetUp();
        Window w;
        w.click(QString("checkBox_channel%1").arg(n));
        w.click("pushButton_OK");
        EXPECT_EQ(w.log, QStringList{QString("mirror %1 1").arg(n - 1)});
        EXPECT_EQ(storedKeys(), QStringList{QString("SettingsWidget/MirrorCh%1").arg(n)});
        QStringList announced;
        Window fresh(&announced);
        EXPECT_EQ(announced, QStringList({QString("mirror %1 1").arg(n - 1), "map 1"}));
    }
}

TEST_F(SettingsWidgetTest, OkWithNoServiceCheckedKeepsTheService) {
    Window w;
    auto* group = w.findChild<QButtonGroup*>();  // a state the user cannot reach
    const QSignalBlocker blocker(group);
    group->setExclusive(false);
    group->checkedButton()->setChecked(false);
    w.OnOK();
    EXPECT_EQ(w.log, QStringList());
    EXPECT_EQ(storedKeys(), QStringList());
}

// The cancelled chooser also shows that OK without changes writes nothing.
TEST_F(SettingsWidgetTest, ChosenSnapshotFolderIsNormalisedAndTakenOnOk) {
    const QString answers[][2] = {
        {"/u/Pictures", "/u/Pictures/"}, {"/u/Pictures//", "/u/Pictures/"}, {"", ""}};
    for (const auto& a : answers) {
        SetUp();
        Window w;
        QStringList asked;
        w.setFolderChooser([&](QWidget*, const QString& caption, const QString& start) {
            asked << caption << start;
            return a[0];
        });
        w.click("toolButton_snapshot");
        EXPECT_EQ(asked, QStringList({"Select snapshot directory of photo", defaultFolder()}));
        EXPECT_EQ(w.folder(), a[1].isEmpty() ? defaultFolder() : a[1]);
        w.click("pushButton_OK");
        EXPECT_EQ(w.log, a[1].isEmpty() ? QStringList() : QStringList{"path " + a[1]});
        EXPECT_EQ(stored("/SettingsWidget/SnapshotPath").toString(), a[1]);
    }
}

TEST_F(SettingsWidgetTest, NewMapServiceAsksOnceAndRestartsOnlyOnYes) {
    for (auto button : {QMessageBox::No, QMessageBox::Yes}) {
        SetUp();
        Window w;
        w.click("checkBox_openOffset");
        MessageBoxAnswer answer(button);
        QTimer fallback;  // ends the loop when no restart was requested
        QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        QTimer::singleShot(0, [&] {
            w.click("radioButton_bing");
            fallback.start(0);
        });
        const int exitCode = QApplication::exec();
        EXPECT_EQ(answer.seen, QStringList{"ReStart|Restart Player to take it effect now?"});
        const bool yes = button == QMessageBox::Yes;
        EXPECT_EQ(exitCode, yes ? SettingsWidget::kRestartExitCode : 1);
        EXPECT_EQ(w.checked("radioButton_google"), !yes);
        EXPECT_EQ(w.log, yes ? QStringList{"offset 0"} : QStringList());
        EXPECT_EQ(storedKeys(),
                  yes ? QStringList({"SettingsWidget/MapOffset", "SettingsWidget/MapType"})
                      : QStringList());
        EXPECT_EQ(stored("/SettingsWidget/MapType").toInt(), yes ? 4 : 0);
    }
}

TEST(DefaultFoldersTest, HomeFolderWhenThePlatformListsNoStandardLocation) {
    EXPECT_EQ(DefaultFolders::FirstOrHome({}), QDir::homePath() + "/");
    EXPECT_EQ(DefaultFolders::FirstOrHome({"/u/Movies//", "/v"}), "/u/Movies/");
    EXPECT_EQ(DefaultFolders::FirstOrHome({"/"}), "/");
}

// A folder named in Latin-1 ("caf\xe9") is stored and read back as it is.
TEST_F(SettingsWidgetTest, LatinOneSnapshotFolderComesBackAsItIs) {
    FileNameCodec::Install();
    const QString latin = QFile::decodeName("/caf\xe9/");
    {
        Window w;
        w.setFolderChooser([&](QWidget*, const QString&, const QString&) { return latin; });
        w.click("toolButton_snapshot");
        w.click("pushButton_OK");
    }
    Window again;
    EXPECT_EQ(QFile::encodeName(again.folder()), QByteArray("/caf\xe9/"));
}

// With nothing stored, the engine saves snapshots where the window says.
TEST_F(SettingsWidgetTest, EngineAndWindowStartWithTheSameSnapshotFolder) {
    Window window;
    EXPECT_EQ(window.folder(), defaultFolder());
    EXPECT_EQ(Controller::GetInstance()->snapshotFolder, window.folder());
}

}  // namespace
