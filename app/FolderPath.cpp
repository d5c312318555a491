#include "app/FolderPath.h"

#include <QDir>
#include <QFileDialog>

namespace FolderPath {

QString normalised(const QString& path) {
    if (path.isEmpty())
        return path;
    int end = path.size();
    while (end > 0 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return path.left(end) + QLatin1Char('/');
}

QString firstOrHome(const QStringList& locations) {
    return normalised(locations.isEmpty() ? QDir::homePath() : locations.first());
}

QString standard(QStandardPaths::StandardLocation kind) {
    return firstOrHome(QStandardPaths::standardLocations(kind));
}

QString askWithFileDialog(QWidget* parent, const QString& caption, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly);
}

}  // namespace FolderPath
