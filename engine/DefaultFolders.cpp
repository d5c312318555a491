#include "engine/DefaultFolders.h"

#include <QDir>
#include <QStandardPaths>

QString DefaultFolders::Snapshots() {
    return FirstOrHome(QStandardPaths::standardLocations(QStandardPaths::PicturesLocation)) +
           QStringLiteral("OrdavexSnap/");
}

QString DefaultFolders::Clips() {
    return FirstOrHome(QStandardPaths::standardLocations(QStandardPaths::MoviesLocation));
}

QString DefaultFolders::FirstOrHome(const QStringList& locations) {
    const QString folder =
        QDir::cleanPath(locations.isEmpty() ? QDir::homePath() : locations.first());
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}
