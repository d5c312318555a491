// A PulseAudio server of a test's or benchmark's own, with two null sinks
// "one" and "two", and pactl to ask it what plays where.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTest>

inline QString Pactl(const QStringList& args) {
    QProcess pactl;
    pactl.start("pactl", args);
    pactl.waitForFinished();
    return pactl.readAllStandardOutput();
}

// The sink's index; "" when it is not there.
inline QString Sink(const QString& name) {
    const QRegularExpression line("^(\\d+)\t" + name + "\t", QRegularExpression::MultilineOption);
    return line.match(Pactl({"list", "short", "sinks"})).captured(1);
}

// Starts the server on socket and points this process's clients at it;
// false when its sinks did not appear within 10 s.
inline bool StartPulseServer(QProcess& server, const QString& socket) {
    qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start("pulseaudio", {"--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
                                "--disable-shm", "-L", "module-null-sink sink_name=one", "-L",
                                "module-null-sink sink_name=two", "-L",
                                "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    return QTest::qWaitFor([] { return !Sink("two").isEmpty(); }, 10000);
}
