#pragma once

#include <QString>
#include <functional>

class QWidget;

// Folder names as the windows keep them: with exactly one trailing "/".
namespace FolderPath {

// path with its trailing "/" characters replaced by one; empty stays empty.
QString normalised(const QString& path);

// Asks for an existing folder, starting at start; empty when cancelled.
// Windows hold one so that tests can answer in place of the file dialog.
using Chooser =
    std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;

// The file dialog, folders only.
QString askWithFileDialog(QWidget* parent, const QString& caption, const QString& start);

}  // namespace FolderPath
