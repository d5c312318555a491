// The restart on exit code -773, with a small probe program in place of the
// player that records how it was started.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QTest>

#include "TempDir.h"
#include "TestData.h"
#include "app/Relauncher.h"

namespace {

const char* const kArgv[] = {"Ordavex",   "-platform", "offscreen",
                             "--display", ":7",        "--no-sandbox"};

QStringList probeLines(const std::string& file) {
    return QString::fromStdString(testsupport::readFile(file)).split('\n', Qt::SkipEmptyParts);
}

TEST(RelauncherTest, RestartsOnlyOnTheRestartCode) {
    testsupport::TempDir dir;
    const std::string out = dir.file("probe.txt");
    qputenv("ORDAVEX_PROBE_OUT", out.c_str());
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    const struct {
        int code;
        int result;
        int starts;
    } cases[] = {{0, 0, 0}, {1, 1, 0}, {-1, -1, 0}, {-773, 0, 1}, {-773, 0, 1}};
    Relauncher relauncher(6, kArgv);  // the same object throughout: one restart at most
    for (const auto& c : cases) {
        EXPECT_EQ(relauncher.Finish(c.code, ORDAVEX_PROBE), c.result) << c.code;
        QTest::qWait(300);  // a second start would have written by now
        EXPECT_EQ(probeLines(out).size(), c.starts) << c.code;
    }
    // No arguments; what the command line chose comes through the environment.
    const QStringList fields = probeLines(out).value(0).split(' ');
    ASSERT_EQ(fields.size(), 5);
    EXPECT_NE(fields[0].toInt(), int(getpid()));
    EXPECT_EQ(fields.mid(1), QStringList({"1", "offscreen", ":7", "1"}));
}

TEST(RelauncherTest, AFailedStartIsReportedNotRetried) {
    Relauncher relauncher(1, kArgv);
    EXPECT_EQ(relauncher.Environment().value("DISPLAY"), qgetenv("DISPLAY"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(relauncher.Finish(-773, "/nonexistent/Ordavex"), Relauncher::kRelaunchFailed);
    EXPECT_EQ(relauncher.Finish(-773, "/nonexistent/Ordavex"), Relauncher::kRelaunchFailed);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("could not restart /nonexistent/Ordavex"),
              std::string::npos);
}

}  // namespace
