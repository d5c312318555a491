#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QSettings>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"

// Runs the real player as a user would, with a fresh home (its settings store
// empty but for the offline map page), and drives it from outside through X:
// xdotool for the mouse and keys, the close request a window manager's close
// button sends. Needs a Qt GUI application on the same display (for grabs).
class PlayerDriver {
public:
    using Window = unsigned long;

    PlayerDriver();
    ~PlayerDriver();

    // The player's settings store in the fresh home.
    std::unique_ptr<QSettings> store() const;
    // Starts program; its first visible window, 0 when none came in time.
    Window start(const QString& program, const QStringList& args = {}, int timeoutMs = 60000);
    // Asks the window to close (again while a request is lost) and waits
    // for the process: ms from the request that closed the window to the
    // end, -1 when it did not end.
    qint64 close(Window window);
    // Everything the player wrote so far (standard output and error).
    QString output() const;
    QProcess& process() { return player; }

    // The first visible top-level window of pid (with this title when given).
    static Window waitForWindow(qint64 pid, const QString& title = {}, int timeoutMs = 60000);
    static QString title(Window window);
    static void click(Window window, int x, int y, int count = 1);
    static void key(const char* name);  // to the window with the focus
    static QImage grab(Window window, const QRect& area = {0, 0, -1, -1});
    static void requestClose(Window window);
    // Whether the window exists and is mapped.
    static bool shown(Window window);
    static QStringList xdotool(std::vector<std::string> words);

private:
    testsupport::TempDir home;
    const std::string log = home.file("output.txt");
    QProcess player;
};
