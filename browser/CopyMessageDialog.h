#pragma once

#include <QWidget>

namespace Ui {
class CopyMessageDialog;
}

class CopyFileS;

// Backup window: starts the copy worker, shows the last copied file, the
// progress and the outcome, and lets the user cancel.
class CopyMessageDialog : public QWidget {
    Q_OBJECT

public:
    explicit CopyMessageDialog(QWidget* parent = nullptr);
    // Stops the copier and waits for its thread (promptly: the copy stops
    // within one chunk and drops the file in progress).
    ~CopyMessageDialog() override;

    void SetText();
    // Creates the copier for files and dest and starts it at once.
    void Init(const QStringList& files, const QString& dest);

    void copy(const QString& file, int index, int total);
    void error(int errorCode, const QString& errorMsg);
    void succeed();
    void cancel();

private:
    Ui::CopyMessageDialog* ui;
    CopyFileS* copier = nullptr;  // owned
};
