#include "browser/CopyMessageDialog.h"

#include "browser/CopyFileS.h"
#include "ui_CopyMessageDialog.h"

CopyMessageDialog::CopyMessageDialog(QWidget* parent)
    : QWidget(parent), ui(new Ui::CopyMessageDialog) {
    ui->setupUi(this);
    // A title but no close button: Cancel is the way out.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetText();
    connect(ui->pushButton, &QPushButton::clicked, this, &CopyMessageDialog::cancel);
}

CopyMessageDialog::~CopyMessageDialog() {
    delete copier;
    delete ui;
}

void CopyMessageDialog::SetText() {
    ui->pushButton->setText(tr("Cancel"));
    setWindowTitle(tr("Back up File"));
}

void CopyMessageDialog::Init(const QStringList& files, const QString& dest) {
    delete copier;
    copier = new CopyFileS(files, dest);
    connect(copier, &CopyFileS::Signal_copy, this, &CopyMessageDialog::copy);
    connect(copier, &CopyFileS::Signal_error, this, &CopyMessageDialog::error);
    connect(copier, &CopyFileS::Signal_successful, this, &CopyMessageDialog::succeed);
    copier->Start();
}

void CopyMessageDialog::copy(const QString& file, int index, int total) {
    ui->label_2->setText(file);
    ui->label_3->setText(QStringLiteral("%1/%2").arg(index).arg(total));
}

void CopyMessageDialog::error(int errorCode, const QString& errorMsg) {
    switch (errorCode) {
        case CopyFileS::ForcedShutdown:
        case CopyFileS::ThreadExited:
            close();
            return;
        case CopyFileS::CopyFailed:
        case CopyFileS::SavePathError:
            ui->label->clear();
            ui->label_2->setText(errorMsg);
            ui->label_3->clear();
            return;
        default:
            return;
    }
}

void CopyMessageDialog::succeed() {
    ui->label->clear();
    ui->label_2->setText(tr("copy succeed!"));
    ui->label_3->clear();
}

void CopyMessageDialog::cancel() {
    // Without a copier there is nothing to stop, and Cancel is the only way out.
    if (!copier) {
        close();
        return;
    }
    copier->Stop();
}
