#include "app/Relauncher.h"

#include <QDir>
#include <QProcess>
#include <cstdio>
#include <cstring>

namespace {

// Qt's options taken as "-name value" or "--name value".
bool IsOption(const char* arg, const char* name) {
    if (arg[0] != '-') {
        return false;
    }
    const char* const bare = arg[1] == '-' ? arg + 2 : arg + 1;
    return std::strcmp(bare, name) == 0;
}

}  // namespace

Relauncher::Relauncher(int argc, const char* const* argv)
    : environment(QProcessEnvironment::systemEnvironment()) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (IsOption(argv[i], "platform") && hasValue) {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                               QString::fromLocal8Bit(argv[++i]));
        } else if (IsOption(argv[i], "display") && hasValue) {
            environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(argv[++i]));
        } else if (IsOption(argv[i], "no-sandbox")) {
            environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        }
    }
}

int Relauncher::Finish(int code, const QString& program) {
    if (code != kRestartCode) {
        return code;
    }
    // One restart per request: a second call must not start a second copy,
    // nor retry one that failed.
    if (relaunched) {
        return result;
    }
    relaunched = true;
    result = kRelaunchFailed;
    QProcess process;
    process.setProgram(program);
    process.setArguments({});
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::currentPath());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        std::fprintf(stderr, "Ordavex: could not restart %s: %s\n", qPrintable(program),
                     qPrintable(process.errorString()));
        return result;
    }
    std::fprintf(stderr, "Ordavex: restarted as process %lld\n", static_cast<long long>(pid));
    result = 0;
    return result;
}
