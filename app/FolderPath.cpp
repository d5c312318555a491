#include "app/FolderPath.h"

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

QString askWithFileDialog(QWidget* parent, const QString& caption, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly);
}

}  // namespace FolderPath
