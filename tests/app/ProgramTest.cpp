// The whole player as a user runs it: the real executable with a fresh home,
// driven from outside through X (xdotool for the mouse and keys, a close
// request as a window manager's close button sends it).
#include <gtest/gtest.h>
#include <signal.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTranslator>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "resources/OrdavexResources.h"

namespace {

using testsupport::runCommand;
using Window = unsigned long;

const char* const kLanguageFiles[] = {"zh_CN", "en_US", "ja_JP", "ru_RU"};

QStringList xdotool(std::vector<std::string> words) {
    words.insert(words.begin(), "xdotool");
    return QString::fromStdString(runCommand(words).out).split('\n', Qt::SkipEmptyParts);
}

// The first visible top-level window of pid (titled title when given).
Window waitForWindow(qint64 pid, const QString& title = {}, int timeoutMs = 60000) {
    Window found = 0;
    const bool shown = QTest::qWaitFor(
        [&] {
            for (const QString& id :
                 xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid)}))
                if (title.isEmpty() ||
                    xdotool({"getwindowname", id.toStdString()}).value(0) == title)
                    return (found = id.toULong()) != 0;
            return false;
        },
        timeoutMs);
    return shown ? found : 0;
}

void click(Window window, int x, int y, int count = 1) {
    xdotool({"mousemove", "--window", std::to_string(window), std::to_string(x), std::to_string(y),
             "click", "--repeat", std::to_string(count), "--delay", "80", "1"});
}

QImage grab(Window window, const QRect& area) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(window, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

// WM_DELETE_WINDOW, what a window manager's close button sends.
void requestClose(Window window) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : 0;
        free(r);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window);
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    xcb_send_event(c, 0, xcb_window_t(window), XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    xcb_disconnect(c);
}

QString title(int language) {
    initOrdavexResources();
    QTranslator translator;
    translator.load(QString(":/language/translation_%1.qm").arg(kLanguageFiles[language]));
    const QString text = translator.translate("Widget", "Ordavex Video PlayBack System ");
    return (text.isEmpty() ? "Ordavex Video PlayBack System " : text) + "V3.1.1";
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* dir : {"config", "data", "cache", "runtime"})
            QDir().mkpath(QString::fromStdString(home.file(dir)));
        QFile::setPermissions(QString::fromStdString(home.file("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(home.path()));
        for (const char* dir : {"CONFIG", "DATA", "CACHE", "RUNTIME"})
            env.insert(QString("XDG_%1_HOME").arg(dir).replace("RUNTIME_HOME", "RUNTIME_DIR"),
                       QString::fromStdString(home.file(QString(dir).toLower().toStdString())));
        player.setProcessEnvironment(env);
        // A file, not a pipe: a restarted player still writes after this one ended.
        player.setProcessChannelMode(QProcess::MergedChannels);
        player.setStandardOutputFile(QString::fromStdString(log));
        // The offline OpenStreetMap page; the others want the network.
        store()->setValue("/SettingsWidget/MapType", 3);
    }
    void TearDown() override {
        if (player.state() != QProcess::NotRunning) {
            player.kill();
            player.waitForFinished();
        }
    }
    // The player's settings store in the fresh home.
    std::unique_ptr<QSettings> store() {
        auto settings = std::make_unique<QSettings>(
            QString::fromStdString(home.file("config/BRAVELO/Ordavex.conf")), QSettings::IniFormat);
        settings->setIniCodec("utf-8");
        return settings;
    }
    Window start(const QString& program = ORDAVEX_PROGRAM, const QStringList& args = {},
                 int timeoutMs = 60000) {
        player.start(program, args);
        return player.waitForStarted() ? waitForWindow(player.processId(), {}, timeoutMs) : 0;
    }
    // Closes the window as a user would: the player ends within 1.5 s, with 0
    // and the exit line of every worker.
    void expectPromptExit(Window window) {
        // A request in the first seconds is at times lost before it reaches
        // the window (only while the map view starts up): asked again, as a
        // user would, and timed from the one that closed it.
        const auto gone = [&] {
            return player.state() == QProcess::NotRunning ||
                   !xdotool(
                        {"search", "--onlyvisible", "--pid", std::to_string(player.processId())})
                        .contains(QString::number(window));
        };
        QElapsedTimer timer;
        for (int i = 0; i < 10 && (i == 0 || !gone()); ++i) {
            timer.start();
            requestClose(window);
            (void)QTest::qWaitFor(gone, 1000);
        }
        EXPECT_TRUE(player.waitForFinished(30000));
        EXPECT_LT(timer.elapsed(), 1500);
        EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(player.exitCode(), 0);
        const QString said = QString::fromStdString(testsupport::readFile(log));
        QStringList lines{"Demux exit",        "PlayCtrl exit", "ReadFileGPS exit",
                          "DrawBackLine exit", "DrawGPS exit",  "drawGSensor exit"};
        for (int ch = 0; ch < 12; ++ch)
            lines << QString("Decode exit: %1").arg(ch) << QString("Video exit: %1").arg(ch);
        for (const QString& line : lines)
            EXPECT_TRUE(said.contains("\n" + line + "\n")) << line.toStdString();
    }
    testsupport::TempDir home;
    const std::string log = home.file("output.txt");
    QProcess player;
};

// Every language from the store, as the menu leaves it for the next start.
TEST_F(ProgramTest, StartsInTheStoredLanguageAndEndsPromptly) {
    const QString shots = ORDAVEX_SCREENSHOTS;
    QDir().mkpath(shots);
    for (int language = 0; language < 4; ++language) {
        store()->setValue("/Widget/Language", language);
        const Window window = start();
        ASSERT_NE(window, 0u) << language;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return xdotool({"getwindowname", std::to_string(window)}).value(0) == title(language);
        })) << language;
        QTest::qWait(1000);  // the map page and the first paint
        EXPECT_TRUE(grab(window, {0, 0, -1, -1})
                        .save(shots + QString("/Ordavex_%1.png").arg(kLanguageFiles[language])));
        SCOPED_TRACE(language);
        expectPromptExit(window);
    }
}

TEST_F(ProgramTest, PlaysATwelveChannelRecordingFromTheChosenFolder) {
    const std::string folder = home.file("recordings");
    ASSERT_EQ(
        runCommand({"python3", testsupport::sourceDir() + "/scripts/fixtures/make_recordings.py",
                    "recording", "--media", testsupport::testDataDir(), "--out", folder,
                    "--channels", "12", "--duration-ms", "20000"})
            .exitCode,
        0);
    store()->setValue("/CustomSearchList/rootDir", QString::fromStdString(folder));
    const Window window = start();
    ASSERT_NE(window, 0u);
    QTest::qWait(1000);
    const QRect wall(20, 20, 540, 400);  // the large cell of the 12-cell layout
    const QImage empty = grab(window, wall);

    // "Open File" asks for a folder, starting at the stored one: take it.
    click(window, 782, 29);
    const Window dialog = waitForWindow(player.processId(), "Open Directory", 10000);
    ASSERT_NE(dialog, 0u);
    xdotool({"key", "Return"});
    QTest::qWait(1000);
    click(window, 830, 120, 2);  // a row of the listed recording
    ASSERT_TRUE(QTest::qWaitFor([&] { return grab(window, wall) != empty; }, 10000));
    const QImage playing = grab(window, wall);
    EXPECT_TRUE(QTest::qWaitFor([&] { return grab(window, wall) != playing; }, 2000));
    EXPECT_TRUE(
        grab(window, {0, 0, -1, -1}).save(QString(ORDAVEX_SCREENSHOTS) + "/Ordavex_playing.png"));
    expectPromptExit(window);
}

// A new map service in the settings window restarts the player.
TEST_F(ProgramTest, ANewMapServiceRestartsThePlayer) {
    const Window window = start();
    ASSERT_NE(window, 0u);
    click(window, 1170, 770);  // the settings button, last of the tool row
    const Window settings = waitForWindow(player.processId(), "Seetings", 10000);
    ASSERT_NE(settings, 0u);
    click(settings, 369, 284);  // "Bing Map"
    const Window question = waitForWindow(player.processId(), "ReStart", 10000);
    ASSERT_NE(question, 0u);
    xdotool({"key", "Return"});  // Yes
    ASSERT_TRUE(player.waitForFinished(30000));
    EXPECT_EQ(player.exitCode(), 0);
    const QString said = QString::fromStdString(testsupport::readFile(log));
    const int at = said.indexOf("restarted as process ");
    ASSERT_GE(at, 0) << said.toStdString();
    const qint64 pid = said.mid(at + 21).section('\n', 0, 0).toLongLong();
    ASSERT_GT(pid, 0);
    EXPECT_NE(pid, player.processId());
    const Window again = waitForWindow(pid, title(1));
    EXPECT_NE(again, 0u);
    EXPECT_EQ(store()->value("/SettingsWidget/MapType").toInt(), 4);
    // Ended by its id; not our child, so a zombie counts as ended too.
    const auto ended = [pid] {
        const std::string stat = testsupport::readFile("/proc/" + std::to_string(pid) + "/stat");
        return stat.empty() || stat.find(") Z ") != std::string::npos;
    };
    requestClose(again);
    if (!QTest::qWaitFor(ended, 10000))
        ::kill(pid_t(pid), SIGKILL);
    EXPECT_TRUE(QTest::qWaitFor(ended, 5000));
}

// The README's run command, with the build already there.
TEST_F(ProgramTest, TheRunScriptStartsThePlayer) {
    const Window window = start(
        "bash", {QString::fromStdString(testsupport::sourceDir() + "/scripts/run.sh")}, 800000);
    ASSERT_NE(window, 0u) << testsupport::readFile(log);
    EXPECT_EQ(xdotool({"getwindowname", std::to_string(window)}).value(0), title(1));
    expectPromptExit(window);
}

}  // namespace
