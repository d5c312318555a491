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
#include "app/FolderPath.h"
#include "app/SettingsWidget.h"

namespace {

class SettingsWidgetTest : public AppTest {
protected:
    // Every announcement, in order, as text.
    void record(SettingsWidget& w) {
        QObject::connect(&w, &SettingsWidget::Signal_snapshotPathChange,
                         [this](const QString& p) { log << "path " + p; });
        QObject::connect(&w, &SettingsWidget::Signal_offsetChange,
                         [this](bool on) { log << QString("offset %1").arg(on); });
        QObject::connect(&w, &SettingsWidget::Signal_playBackChange,
                         [this](bool on) { log << QString("playback %1").arg(on); });
        QObject::connect(&w, &SettingsWidget::Signal_mirrorChange, [this](int ch, bool on) {
            log << QString("mirror %1 %2").arg(ch).arg(on);
        });
        QObject::connect(&w, &SettingsWidget::Signal_mapChange,
                         [this](MapType t) { log << QString("map %1").arg(int(t)); });
    }
    template <typename T>
    static T* child(SettingsWidget& w, const QString& name) {
        return w.findChild<T*>(name);
    }
    static QString defaultSnapshots() {
        return QStandardPaths::standardLocations(QStandardPaths::PicturesLocation).value(0) +
               "/OrdavexSnap/";
    }
    QStringList log;
};

TEST_F(SettingsWidgetTest, InitializeAnnouncesOnlyStoredValuesThatDiffer) {
    struct Case {
        QList<QPair<QString, QVariant>> store;
        QStringList announced;
        const char* radio;
    } cases[] = {
        {{}, {"map 1"}, "radioButton_google"},
        {{{"MapType", 7}}, {}, "radioButton_openstreet"},
        {{{"MapType", 2}, {"MapOffset", false}}, {"offset 0", "map 2"}, "radioButton_baidu"},
        {{{"SnapshotPath", "/x/y"}, {"MirrorCh8", true}, {"MapType", 4}},
         {"path /x/y/", "mirror 7 1", "map 4"},
         "radioButton_bing"},
        {{{"SnapshotPath", ""}, {"MapPlayBack", false}, {"MapType", 3}},
         {"playback 0"},
         "radioButton_openstreet"},
    };
    for (const Case& c : cases) {
        SetUp();
        log.clear();
        for (const auto& kv : c.store)
            QSettings().setValue("/SettingsWidget/" + kv.first, kv.second);
        SettingsWidget w;
        record(w);
        w.Initialize();
        EXPECT_EQ(log, c.announced);
        EXPECT_TRUE(child<QRadioButton>(w, c.radio)->isChecked()) << c.radio;
        EXPECT_TRUE(child<QLineEdit>(w, "lineEdit_snapshot")->text().endsWith('/'));
        EXPECT_EQ(storedKeys().size(), c.store.size());  // nothing written
    }
    SettingsWidget w;
    w.Initialize();
    EXPECT_EQ(child<QLineEdit>(w, "lineEdit_snapshot")->text(), defaultSnapshots());
}

TEST_F(SettingsWidgetTest, MirrorBoxReachesItsSignalAndKeyOnly) {
    for (int n = 1; n <= 8; ++n) {
        SetUp();
        log.clear();
        SettingsWidget w;
        w.Initialize();
        record(w);
        child<QCheckBox>(w, QString("checkBox_channel%1").arg(n))->click();
        child<QPushButton>(w, "pushButton_OK")->click();
        EXPECT_EQ(log, QStringList{QString("mirror %1 1").arg(n - 1)});
        EXPECT_EQ(storedKeys(), QStringList{QString("SettingsWidget/MirrorCh%1").arg(n)});
    }
    log.clear();
    SettingsWidget w;
    record(w);
    w.Initialize();
    EXPECT_EQ(log, QStringList({"mirror 7 1", "map 1"}));
}

TEST_F(SettingsWidgetTest, OkWithoutChangesOrWithNoServiceCheckedWritesNothing) {
    SettingsWidget w;
    w.Initialize();
    record(w);
    child<QPushButton>(w, "pushButton_OK")->click();
    auto* group = w.findChild<QButtonGroup*>();  // a state the user cannot reach
    const QSignalBlocker blocker(group);
    group->setExclusive(false);
    group->checkedButton()->setChecked(false);
    w.OnOK();
    EXPECT_EQ(log, QStringList());
    EXPECT_EQ(storedKeys(), QStringList());
}

TEST_F(SettingsWidgetTest, ChosenSnapshotFolderIsNormalisedAndTakenOnOk) {
    const QString answers[][2] = {{"/u/Pictures", "/u/Pictures/"},
                                  {"/u/Pictures/", "/u/Pictures/"},
                                  {"", defaultSnapshots()}};
    for (const auto& a : answers) {
        SetUp();
        log.clear();
        SettingsWidget w;
        w.Initialize();
        record(w);
        QStringList asked;
        w.setFolderChooser([&](QWidget*, const QString& caption, const QString& start) {
            asked << caption << start;
            return a[0];
        });
        child<QToolButton>(w, "toolButton_snapshot")->click();
        EXPECT_EQ(asked, QStringList({"Select snapshot directory of photo", defaultSnapshots()}));
        EXPECT_EQ(child<QLineEdit>(w, "lineEdit_snapshot")->text(), a[1]);
        EXPECT_TRUE(log.isEmpty());
        child<QPushButton>(w, "pushButton_OK")->click();
        EXPECT_EQ(stored("/SettingsWidget/SnapshotPath").toString(), a[0].isEmpty() ? "" : a[1]);
    }
}

TEST_F(SettingsWidgetTest, NewMapServiceAsksOnceAndRestartsOnlyOnYes) {
    for (auto button : {QMessageBox::No, QMessageBox::Yes}) {
        SetUp();
        log.clear();
        SettingsWidget w;
        w.Initialize();
        record(w);
        child<QCheckBox>(w, "checkBox_openOffset")->click();
        MessageBoxAnswer answer(button);
        QTimer fallback;  // ends the loop when no restart was requested
        fallback.setSingleShot(true);
        QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        QTimer::singleShot(0, [&] {
            child<QRadioButton>(w, "radioButton_bing")->click();
            fallback.start(0);
        });
        const int exitCode = QApplication::exec();
        EXPECT_EQ(answer.seen, QStringList{"ReStart|Restart Player to take it effect now?"});
        if (button == QMessageBox::No) {
            EXPECT_EQ(exitCode, 1);
            EXPECT_TRUE(child<QRadioButton>(w, "radioButton_google")->isChecked());
            EXPECT_TRUE(storedKeys().isEmpty());
            EXPECT_TRUE(log.isEmpty());
            continue;
        }
        EXPECT_EQ(exitCode, SettingsWidget::kRestartExitCode);
        EXPECT_EQ(log, QStringList{"offset 0"});
        EXPECT_EQ(stored("/SettingsWidget/MapType").toInt(), 4);
        EXPECT_EQ(stored("/SettingsWidget/MapOffset").toBool(), false);
    }
}

TEST(FolderPathTest, OneTrailingSlashAndHomeWhenNoStandardLocation) {
    const QString cases[][2] = {{"", ""},       {"/", "/"},       {"/a", "/a/"},
                                {"/a/", "/a/"}, {"/a///", "/a/"}, {"rel", "rel/"}};
    for (const auto& c : cases)
        EXPECT_EQ(FolderPath::normalised(c[0]), c[1]);
    EXPECT_EQ(FolderPath::firstOrHome({}), QDir::homePath() + "/");
    EXPECT_EQ(FolderPath::firstOrHome({"/p", "/q"}), "/p/");
}

}  // namespace
