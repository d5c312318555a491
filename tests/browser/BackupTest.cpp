// The backup worker and window: copies, progress, failures and cancelling.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

#include "Command.h"
#include "Limits.h"
#include "TempDir.h"
#include "TestData.h"
#include "browser/CopyFileS.h"
#include "browser/CopyMessageDialog.h"
#include "engine/FileNameCodec.h"

namespace {

constexpr int kWaitMs = 10000;

class BackupTest : public ::testing::Test {
protected:
    QString src() const { return QString::fromStdString(source.path()); }
    QString dst() const { return QString::fromStdString(target.path()); }

    // A file of size random bytes at src()/relative.
    QString makeFile(const QString& relative, int size) {
        const QString path = src() + "/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        QByteArray bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(QRandomGenerator::global()->bounded(256));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // cmp is the oracle for "byte-identical".
    static bool sameBytes(const QString& a, const QString& b) {
        return testsupport::runCommand({"cmp", "-s", a.toStdString(), b.toStdString()}).exitCode ==
               0;
    }

    QStringList targetNames() const {
        return QDir(dst()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    testsupport::TempDir source;
    testsupport::TempDir target;
};

struct CopyRun {
    QList<QList<QVariant>> copies;
    QList<QList<QVariant>> errors;
    int successes = 0;
};

// A copy of text with a buffer of its own: the signal's string is shared with
// the copy thread, whose reference counting ThreadSanitizer sees only in part.
QString own(const QString& text) {
    return QString(text.constData(), text.size());
}

// Starts the copier and collects its signals, which reach this (GUI) thread
// queued, until it reports its end.
CopyRun runCopier(CopyFileS& copier) {
    CopyRun run;
    bool ended = false;
    QObject receiver;
    QObject::connect(&copier, &CopyFileS::Signal_copy, &receiver,
                     [&](const QString& file, int index, int total) {
                         run.copies.append({own(file), index, total});
                     });
    QObject::connect(&copier, &CopyFileS::Signal_error, &receiver,
                     [&](int code, const QString& message) {
                         run.errors.append({code, own(message)});
                         ended = true;
                     });
    QObject::connect(&copier, &CopyFileS::Signal_successful, &receiver, [&] {
        ++run.successes;
        ended = true;
    });
    copier.Start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }, kWaitMs));
    return run;
}

TEST_F(BackupTest, CopiesInListOrderWithProgress) {
    // The last one spans several copy chunks.
    const QStringList files = {makeFile("b/2.avi", 70000), makeFile("a/1.avi", 1),
                               makeFile("3.avi", 0), makeFile("c/d/4.avi", 3 << 20 | 5)};
    CopyFileS copier(files, dst());
    const CopyRun run = runCopier(copier);
    EXPECT_EQ(run.successes, 1);
    EXPECT_TRUE(run.errors.isEmpty());
    ASSERT_EQ(run.copies.size(), 4);
    const QStringList names = {"2.avi", "1.avi", "3.avi", "4.avi"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(run.copies[i], (QList<QVariant>{names[i], i + 1, 4}));
        EXPECT_TRUE(sameBytes(files[i], dst() + "/" + names[i])) << i;
    }
    EXPECT_EQ(targetNames().size(), 4);  // no temporary files left
}

TEST_F(BackupTest, NameCollisionInTheMiddle) {
    const QStringList files = {makeFile("a/1.avi", 100), makeFile("b/2.avi", 100),
                               makeFile("c/3.avi", 100)};
    QFile existing(dst() + "/2.avi");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly) && existing.write("keep me") == 7);
    existing.close();
    CopyFileS copier(files, dst());
    const CopyRun run = runCopier(copier);
    ASSERT_EQ(run.errors.size(), 1);
    EXPECT_EQ(run.errors[0], (QList<QVariant>{-2, "copy file failed!"}));
    EXPECT_EQ(run.copies.size(), 1);
    EXPECT_EQ(testsupport::readFile(existing.fileName().toStdString()), "keep me");
    EXPECT_TRUE(sameBytes(files[0], dst() + "/1.avi"));
    EXPECT_EQ(targetNames(), (QStringList{"1.avi", "2.avi"}));
}

class DialogTest : public BackupTest {
protected:
    static QString label(QWidget* dialog, const char* name) {
        return dialog->findChild<QLabel*>(name)->text();
    }
    static void waitForLabel(QWidget* dialog, const QString& text) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return label(dialog, "label_2") == text; }, kWaitMs))
            << qPrintable(label(dialog, "label_2"));
    }
};

TEST_F(DialogTest, SucceedsAndClosesOnSecondCancel) {
    QPointer<CopyMessageDialog> dialog = new CopyMessageDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->Init({makeFile("1.avi", 10), makeFile("2.avi", 10)}, dst());
    waitForLabel(dialog, "copy succeed!");
    EXPECT_EQ(label(dialog, "label"), "");
    EXPECT_EQ(label(dialog, "label_3"), "");
    dialog->findChild<QPushButton*>("pushButton")->click();  // reports -4: closes
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }, kWaitMs));
}

// A missing destination is reported by the window itself.
TEST_F(DialogTest, ShowsProgressAndErrors) {
    CopyMessageDialog dialog;
    dialog.copy("3.avi", 1, 5);
    EXPECT_EQ(label(&dialog, "label_2"), "3.avi");
    EXPECT_EQ(label(&dialog, "label_3"), "1/5");
    dialog.Init({makeFile("1.avi", 10)}, dst() + "/removed");
    waitForLabel(&dialog, "save path error!");
    EXPECT_EQ(label(&dialog, "label"), "");
    EXPECT_EQ(label(&dialog, "label_3"), "");
}

// A small file, then a large sparse one: cancelling or closing in the middle
// of the large one returns within a chunk, keeps the small one and leaves
// nothing of the large one (a whole-file copy would leave all 4 GiB there).
TEST_F(DialogTest, CancelAndCloseMidFileLeaveNothingOfIt) {
    const QString big = src() + "/big.avi";
    QFile file(big);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(Q_INT64_C(4) << 30));
    file.close();
    const QStringList files = {makeFile("small.avi", 100), big};
    const auto startCopy = [&] {
        QDir(dst()).removeRecursively();
        QDir().mkpath(dst());
        auto* dialog = new CopyMessageDialog;
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->Init(files, dst());
        QTest::qWait(300);  // well into the large file
        return QPointer<CopyMessageDialog>(dialog);
    };
    QPointer<CopyMessageDialog> dialog = startCopy();
    dialog->findChild<QPushButton*>("pushButton")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }, kWaitMs));
    EXPECT_EQ(targetNames(), QStringList{"small.avi"});

    dialog = startCopy();
    QElapsedTimer timer;
    timer.start();
    delete dialog;
    EXPECT_LT(timer.elapsed(), 5000 * testsupport::kSanitizerFactor);
    EXPECT_EQ(targetNames(), QStringList{"small.avi"});
}

// Faults from outside while the copy runs: either every file whole under its
// name and success, or failure with nothing of the failed file left; the
// sources are never touched.
class BackupFaultTest : public BackupTest {
protected:
    static QString md5(const QString& file) {
        return QString::fromStdString(
            testsupport::runCommand({"md5sum", file.toStdString()}).out.substr(0, 32));
    }
    // A sparse file of size bytes.
    QString makeSparse(const QString& relative, qint64 size) {
        QFile file(src() + "/" + relative);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
        return file.fileName();
    }
    // Starts the copy of {a small file, big}, runs fault on this thread once
    // the small one is copied and afterMs more have passed, and collects the
    // outcome.
    CopyRun copyWithFault(const QString& big, int afterMs, const std::function<void()>& fault) {
        const QStringList files = {makeFile("small.avi", 100), big};
        CopyFileS copier(files, dst());
        QObject receiver;
        QObject::connect(&copier, &CopyFileS::Signal_copy, &receiver, [&](const QString&, int i) {
            if (i == 1) {
                if (afterMs > 0)
                    QTest::qSleep(afterMs);
                fault();
            }
        });
        return runCopier(copier);
    }
    // Whole files under their names, or a failure that left nothing of the
    // file it failed on; no temporary file either way.
    void expectWholeOrNothing(const CopyRun& run, const QStringList& files) {
        EXPECT_EQ(run.successes + run.errors.size(), 1);
        for (const QString& file : files) {
            const QString copy = dst() + "/" + QFileInfo(file).fileName();
            if (QFileInfo::exists(copy))
                EXPECT_TRUE(sameBytes(file, copy)) << copy.toStdString();
            else
                EXPECT_EQ(run.successes, 0) << copy.toStdString();
        }
        for (const QString& name : targetNames())
            EXPECT_FALSE(name.startsWith('.')) << name.toStdString();
    }
};

TEST_F(BackupFaultTest, SourceTruncatedDuringItsCopyFails) {
    const QString big = makeSparse("big.avi", Q_INT64_C(2) << 30);
    // Well into the big file, as a recorder that rewrites it would.
    const CopyRun run = copyWithFault(big, 200, [&] { QFile(big).resize(100 << 20); });
    ASSERT_EQ(run.errors.size(), 1);
    EXPECT_EQ(run.errors[0], (QList<QVariant>{-2, "copy file failed!"}));
    EXPECT_EQ(targetNames(), QStringList{"small.avi"});
}

TEST_F(BackupFaultTest, DestinationRemovedDuringTheCopy) {
    const QString big = makeSparse("big.avi", 256 << 20);
    const QString sum = md5(big);
    const CopyRun run = copyWithFault(big, 0, [&] { QDir(dst()).removeRecursively(); });
    ASSERT_EQ(run.errors.size(), 1);
    EXPECT_EQ(run.errors[0].at(0), -2);
    EXPECT_FALSE(QFileInfo::exists(dst()));
    EXPECT_EQ(md5(big), sum);
}

TEST_F(BackupFaultTest, FullDisk) {
    if (mount("tmpfs", target.path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "this machine does not let the test mount a small tmpfs";
    const QStringList files = {makeFile("a.avi", 300000), makeFile("b.avi", 900000)};
    const QString sum = md5(files[1]);
    CopyFileS copier(files, dst());
    const CopyRun run = runCopier(copier);
    expectWholeOrNothing(run, files);
    EXPECT_EQ(run.errors.value(0).value(0), -2);
    EXPECT_EQ(targetNames(), QStringList{"a.avi"});
    EXPECT_EQ(md5(files[1]), sum);
    umount(target.path().c_str());
}

// Sources and destination in folders named in Latin-1 ("caf\xe9").
TEST_F(BackupFaultTest, LatinOneFolders) {
    FileNameCodec::Install();
    const std::string from = source.path() + "/caf\xe9", to = target.path() + "/d\xe9p\xf4t";
    ASSERT_TRUE(mkdir(from.c_str(), 0755) == 0 && mkdir(to.c_str(), 0755) == 0);
    const QString folder = QFile::decodeName(from.c_str()).mid(src().size() + 1);
    const QStringList files = {
        makeFile(folder + "/1.avi", 5000),
        makeFile(folder + QString::fromUtf8("/\xc3\xa9t\xc3\xa9.avi"), 7000)};
    CopyFileS copier(files, QFile::decodeName(to.c_str()));
    const CopyRun run = runCopier(copier);
    EXPECT_EQ(run.successes, 1);
    for (const std::string name : {"/1.avi", "/\xc3\xa9t\xc3\xa9.avi"})
        EXPECT_EQ(testsupport::runCommand({"cmp", from + name, to + name}).exitCode, 0) << name;
}

// A Stop that comes before the copier runs: nothing is copied, the end is
// reported as a forced shutdown.
TEST_F(BackupTest, StopBeforeTheFirstFileCopiesNothing) {
    const QStringList files = {makeFile("1.avi", 100), makeFile("2.avi", 100)};
    CopyFileS copier(files, dst());
    copier.Stop();
    const CopyRun run = runCopier(copier);
    EXPECT_EQ(run.successes, 0);
    EXPECT_TRUE(run.copies.isEmpty());
    ASSERT_EQ(run.errors.size(), 1);
    EXPECT_EQ(run.errors[0], (QList<QVariant>{-3, "Forced shutdown!"}));
    EXPECT_TRUE(targetNames().isEmpty());
}

}  // namespace
