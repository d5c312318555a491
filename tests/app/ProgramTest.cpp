// The whole player as a user runs it: the real executable with a fresh home,
// driven from outside through X.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QTest>
#include <QTranslator>

#include "Command.h"
#include "Limits.h"
#include "PlayerDriver.h"
#include "TestData.h"
#include "resources/OrdavexResources.h"

namespace {

using Window = PlayerDriver::Window;
const char* const kLanguageFiles[] = {"zh_CN", "en_US", "ja_JP", "ru_RU"};

// The window title in language, read back through the translation itself.
QString titleIn(int language) {
    initOrdavexResources();
    QTranslator translator;
    translator.load(QString(":/language/translation_%1.qm").arg(kLanguageFiles[language]));
    const QString text = translator.translate("Widget", "Ordavex Video PlayBack System ");
    return (text.isEmpty() ? "Ordavex Video PlayBack System " : text) + "V3.1.1";
}

class ProgramTest : public ::testing::Test {
protected:
    // The player ends within 1.5 s of a close, with 0 and every worker's exit line.
    void expectPromptExit(Window window) {
        const qint64 ms = driver.close(window);
        EXPECT_GE(ms, 0) << "did not end; it said:\n" << driver.output().toStdString();
        EXPECT_LT(ms, testsupport::kExitLimitMs);
        EXPECT_EQ(driver.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(driver.process().exitCode(), 0);
        QStringList lines{"Demux exit",        "PlayCtrl exit", "ReadFileGPS exit",
                          "DrawBackLine exit", "DrawGPS exit",  "drawGSensor exit"};
        for (int ch = 0; ch < 12; ++ch)
            lines << QString("Decode exit: %1").arg(ch) << QString("Video exit: %1").arg(ch);
        const QString said = driver.output();
        for (const QString& line : lines)
            EXPECT_TRUE(said.contains("\n" + line + "\n")) << line.toStdString();
    }
    PlayerDriver driver;
};

// Every language from the store, as the menu leaves it for the next start.
TEST_F(ProgramTest, StartsInTheStoredLanguageAndEndsPromptly) {
    const QString shots = ORDAVEX_SCREENSHOTS;
    QDir().mkpath(shots);
    for (int language = 0; language < 4; ++language) {
        SCOPED_TRACE(language);
        driver.store()->setValue("/Widget/Language", language);
        const Window window = driver.start(ORDAVEX_PROGRAM);
        ASSERT_NE(window, 0u);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return driver.title(window) == titleIn(language); }, 20000));
        QTest::qWait(1000);  // the map page and the first paint
        EXPECT_TRUE(driver.grab(window).save(
            shots + QString("/Ordavex_%1.png").arg(kLanguageFiles[language])));
        expectPromptExit(window);
    }
}

// The recording lies in a subfolder named in Latin-1: the program's own file
// name codec keeps the name, so the list walks into it and the file opens.
TEST_F(ProgramTest, PlaysATwelveChannelRecordingFromTheChosenFolder) {
    testsupport::TempDir folder;
    ASSERT_EQ(testsupport::runCommand(
                  {"python3", testsupport::sourceDir() + "/scripts/fixtures/make_recordings.py",
                   "recording", "--media", testsupport::testDataDir(), "--out",
                   folder.file("caf\xe9"), "--channels", "12", "--duration-ms", "20000"})
                  .exitCode,
              0);
    driver.store()->setValue("/CustomSearchList/rootDir", QString::fromStdString(folder.path()));
    const Window window = driver.start(ORDAVEX_PROGRAM);
    ASSERT_NE(window, 0u);
    QTest::qWait(1000);
    const QRect wall(20, 20, 540, 400);  // the large cell of the 12-cell layout
    const QImage empty = driver.grab(window, wall);

    // Places on the 1200 x 800 window in English. "Open File" asks for a
    // folder, starting at the stored one: take it.
    driver.click(window, 782, 29);
    ASSERT_NE(driver.waitForWindow(driver.process().processId(), "Open Directory", 10000), 0u);
    driver.key("Return");
    QTest::qWait(1000);
    driver.click(window, 830, 120, 2);  // a row of the listed recording
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.grab(window, wall) != empty; }, 10000));
    const QImage playing = driver.grab(window, wall);
    EXPECT_TRUE(QTest::qWaitFor([&] { return driver.grab(window, wall) != playing; }, 10000));
    EXPECT_TRUE(driver.grab(window).save(QString(ORDAVEX_SCREENSHOTS) + "/Ordavex_playing.png"));
    expectPromptExit(window);
}

// A new map service in the settings window restarts the player.
TEST_F(ProgramTest, ANewMapServiceRestartsThePlayer) {
    const Window window = driver.start(ORDAVEX_PROGRAM);
    ASSERT_NE(window, 0u);
    const qint64 first = driver.process().processId();
    driver.click(window, 1170, 770);  // the settings button, last of the tool row
    const Window settings = driver.waitForWindow(first, "Seetings", 10000);
    ASSERT_NE(settings, 0u);
    driver.click(settings, 369, 284);  // "Bing Map"
    ASSERT_NE(driver.waitForWindow(first, "ReStart", 10000), 0u);
    driver.key("Return");  // Yes
    ASSERT_TRUE(driver.process().waitForFinished(30000));
    EXPECT_EQ(driver.process().exitCode(), 0);
    const QString said = driver.output();
    const int at = said.indexOf("restarted as process ");
    ASSERT_GE(at, 0) << said.toStdString();
    const qint64 pid = said.mid(at + 21).section('\n', 0, 0).toLongLong();
    ASSERT_GT(pid, 0);
    EXPECT_NE(pid, first);
    const Window again = driver.waitForWindow(pid, titleIn(1));
    EXPECT_NE(again, 0u);
    EXPECT_EQ(driver.store()->value("/SettingsWidget/MapType").toInt(), 4);
    // Ended by its id; not our child, so a zombie counts as ended too.
    const auto ended = [pid, again] {
        PlayerDriver::requestClose(again);
        const std::string stat = testsupport::readFile("/proc/" + std::to_string(pid) + "/stat");
        return stat.empty() || stat.find(") Z ") != std::string::npos;
    };
    if (!QTest::qWaitFor(ended, 15000))
        ::kill(pid_t(pid), SIGKILL);
    EXPECT_TRUE(QTest::qWaitFor(ended, 5000));
}

// The README's run command, with the build already there.
TEST_F(ProgramTest, TheRunScriptStartsThePlayer) {
    const Window window = driver.start(
        "bash", {QString::fromStdString(testsupport::sourceDir() + "/scripts/run.sh")}, 800000);
    ASSERT_NE(window, 0u) << driver.output().toStdString();
    EXPECT_EQ(driver.title(window), titleIn(1));
    expectPromptExit(window);
}

}  // namespace
