#include "PlayerDriver.h"

#include <xcb/xcb.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <cstring>

#include "Command.h"
#include "TestData.h"

PlayerDriver::PlayerDriver() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home.path()));
    const char* const dirs[][2] = {{"XDG_CONFIG_HOME", "config"},
                                   {"XDG_DATA_HOME", "data"},
                                   {"XDG_CACHE_HOME", "cache"},
                                   {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto& [name, dir] : dirs) {
        const QString path = QString::fromStdString(home.file(dir));
        QDir().mkpath(path);
        env.insert(name, path);
    }
    QFile::setPermissions(QString::fromStdString(home.file("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    player.setProcessEnvironment(env);
    // A file, not a pipe: a restarted player still writes after this one ended.
    player.setProcessChannelMode(QProcess::MergedChannels);
    player.setStandardOutputFile(QString::fromStdString(log));
    // The offline OpenStreetMap page; the others want the network.
    store()->setValue("/SettingsWidget/MapType", 3);
}

PlayerDriver::~PlayerDriver() {
    if (player.state() != QProcess::NotRunning) {
        player.kill();
        player.waitForFinished();
    }
}

std::unique_ptr<QSettings> PlayerDriver::store() const {
    auto settings = std::make_unique<QSettings>(
        QString::fromStdString(home.file("config/BRAVELO/Ordavex.conf")), QSettings::IniFormat);
    settings->setIniCodec("utf-8");
    return settings;
}

PlayerDriver::Window PlayerDriver::start(const QString& program, const QStringList& args,
                                         int timeoutMs) {
    player.start(program, args);
    return player.waitForStarted() ? waitForWindow(player.processId(), {}, timeoutMs) : 0;
}

qint64 PlayerDriver::close(Window window) {
    // Asked again while the window stays, as a user would, and timed from
    // the one that closed it. Whether the window is still there is asked of
    // the X server for this window alone: a search of the whole tree fails
    // when some other window goes meanwhile.
    const auto gone = [&] { return player.state() == QProcess::NotRunning || !shown(window); };
    QElapsedTimer timer;
    for (int i = 0; i < 10 && (i == 0 || !gone()); ++i) {
        timer.start();
        requestClose(window);
        (void)QTest::qWaitFor(gone, 1000);
    }
    return player.waitForFinished(30000) ? timer.elapsed() : -1;
}

QString PlayerDriver::output() const {
    return QString::fromStdString(testsupport::readFile(log));
}

PlayerDriver::Window PlayerDriver::waitForWindow(qint64 pid, const QString& name, int timeoutMs) {
    Window found = 0;
    const bool shown = QTest::qWaitFor(
        [&] {
            for (const QString& id :
                 xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid)}))
                if (name.isEmpty() || title(id.toULong()) == name)
                    return (found = id.toULong()) != 0;
            return false;
        },
        timeoutMs);
    return shown ? found : 0;
}

QString PlayerDriver::title(Window window) {
    return xdotool({"getwindowname", std::to_string(window)}).value(0);
}

void PlayerDriver::click(Window window, int x, int y, int count) {
    xdotool({"mousemove", "--window", std::to_string(window), std::to_string(x), std::to_string(y),
             "click", "--repeat", std::to_string(count), "--delay", "80", "1"});
}

void PlayerDriver::key(const char* name) {
    xdotool({"key", name});
}

QImage PlayerDriver::grab(Window window, const QRect& area) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(window, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

bool PlayerDriver::shown(Window window) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_get_window_attributes_reply_t* a = xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, xcb_window_t(window)), nullptr);
    const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(a);
    xcb_disconnect(c);
    return viewable;
}

// WM_DELETE_WINDOW, what a window manager's close button sends.
void PlayerDriver::requestClose(Window window) {
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
    // A round trip before hanging up: a server that sees the hang-up before
    // it has read the request drops the request, which a busy one does.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

QStringList PlayerDriver::xdotool(std::vector<std::string> words) {
    words.insert(words.begin(), "xdotool");
    return QString::fromStdString(testsupport::runCommand(words).out)
        .split('\n', Qt::SkipEmptyParts);
}
