// Writes Qt's own qwebchannel.js (a resource of the WebChannel library) to
// the file named on the command line, so the pages carry the script that
// matches the Qt they run with.
#include <QCoreApplication>
#include <QFile>
#include <QWebChannel>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        return 2;
    }
    QWebChannel channel;  // keeps the library, and so its resource, linked in
    QFile in(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        return 1;
    }
    const QByteArray script = in.readAll();
    return out.write(script) == script.size() ? 0 : 1;
}
