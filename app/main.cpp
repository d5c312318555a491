#include <QApplication>
#include <memory>

#include "app/Relauncher.h"
#include "app/Widget.h"
#include "engine/Controller.h"
#include "engine/FileNameCodec.h"

int main(int argc, char** argv) {
    // Before the application object: they scope the settings store every
    // window opens, and WebEngine shares its GL contexts with the wall's.
    QCoreApplication::setOrganizationName(QStringLiteral("BRAVELO"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("bravelo.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Ordavex"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Relauncher relauncher(argc, argv);

    QApplication app(argc, argv);
    FileNameCodec::Install();  // before any file is named
    auto window = std::make_unique<Widget>();
    window->show();
    const int code = QApplication::exec();
    // The new process starts only once this one's workers are joined, so
    // the two never share the engine's files, the audio output or the store.
    window.reset();
    Controller::GetInstance()->Shutdown();
    return relauncher.Finish(code, QCoreApplication::applicationFilePath());
}
