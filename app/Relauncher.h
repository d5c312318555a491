#pragma once

#include <QProcessEnvironment>
#include <QString>

// Starts the program again after its event loop asked for a restart (a new
// map service needs a fresh process). The new process gets no arguments, so
// what this one took from its command line (platform, display, the WebEngine
// sandbox switch) travels in its environment instead. GUI thread.
class Relauncher {
public:
    static constexpr int kRestartCode = -773;
    static constexpr int kRelaunchFailed = 1;

    // argv as main received it, before the application object takes its
    // own options out of it.
    Relauncher(int argc, const char* const* argv);

    // Environment of the new process: this one's, plus the command-line
    // choices above.
    const QProcessEnvironment& Environment() const { return environment; }

    // code: the event loop's result, taken after the main window is gone and
    // the workers are joined. kRestartCode starts program and gives 0, or
    // kRelaunchFailed with a line on stderr when it could not be started;
    // later calls start nothing and give the same. Any other code is
    // returned unchanged.
    int Finish(int code, const QString& program);

private:
    QProcessEnvironment environment;
    bool relaunched = false;
    int result = 0;  // of the one relaunch, once tried
};
