#include "app/CustomSaveDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/SettingsStore.h"
#include "engine/DefaultFolders.h"
#include "ui_CustomSaveDialog.h"

namespace {

const char* const kSavePathKey = ClipPolicy::kSavePathKey;
const char* const kPolicyKey = ClipPolicy::kPolicyKey;
const char* const kSelectChannelKey = ClipPolicy::kSelectChannelKey;

// Nothing stored: every bit set, so "Selected window" is remembered.
constexpr quint32 kDefaultPolicy = 0xFFFFFFFFu;

// Index of the size field in a recording name; the clip's size is unknown
// until the clip is closed.
constexpr int kSizeField = 3;
const char kUnknownSize[] = "??????????";

}  // namespace

CustomSaveDialog::CustomSaveDialog(const QVector<QString>& names, int selected, QWidget* parent)
    : QDialog(parent), ui(new Ui::CustomSaveDialog), selectChannel(selected), fileNames(names) {
    ui->setupUi(this);
    fileNames.resize(kChannels);
    checkBoxes.append(ui->checkBox_selectedChannel);

    auto* channelLayout = new QVBoxLayout(ui->frame_2);
    for (int n = 1; n <= kChannels; ++n) {
        auto* box = new QCheckBox(ui->frame_2);
        channelLayout->addWidget(box);
        checkBoxes.append(box);
    }

    for (int i = 0; i < kChannels; ++i) {
        QStringList parts = fileNames[i].split(QLatin1Char('_'), Qt::KeepEmptyParts);
        present[i] = parts.size() > kSizeField;
        if (!present[i]) {
            checkBoxes[i + 1]->setEnabled(false);
            continue;
        }
        parts[kSizeField] = QLatin1String(kUnknownSize);
        fileNames[i] = parts.join(QLatin1Char('_'));
    }

    ui->comboBox_fileType->addItem(QStringLiteral("Video Files(*.avi)"));
    // Only onOK accepts: the button box's own accept handling is not wired.
    connect(ui->buttonBox->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
            &CustomSaveDialog::onOK);
    connect(ui->buttonBox->button(QDialogButtonBox::Cancel), &QPushButton::clicked, this,
            &CustomSaveDialog::onCancel);
    ui->lineEdit_dir->setReadOnly(true);
    ui->lineEdit_fileNames->setReadOnly(true);

    connect(ui->pushButton, &QPushButton::clicked, this, &CustomSaveDialog::setSaveDir);
    connect(this, &CustomSaveDialog::signal_selectChannelChanged, this,
            &CustomSaveDialog::setFileName);
    connect(ui->checkBox_selectedChannel, &QCheckBox::stateChanged, this,
            &CustomSaveDialog::selectedWindowChanged);
    for (int n = 1; n <= kChannels; ++n)
        connect(checkBoxes[n], &QCheckBox::stateChanged, this, &CustomSaveDialog::channelChanged);

    // The handlers are connected, so the boxes init() checks fill the names.
    init();
    SetText();
}

CustomSaveDialog::~CustomSaveDialog() {
    delete ui;
}

void CustomSaveDialog::init() {
    SettingsStore settings;
    const QString folder = FolderPath::normalised(settings.value(kSavePathKey).toString());
    ui->lineEdit_dir->setText(folder.isEmpty() ? DefaultFolders::Clips() : folder);

    bool ok = false;
    quint32 policy = settings.value(kPolicyKey, kDefaultPolicy).toUInt(&ok);
    if (!ok)
        policy = kDefaultPolicy;
    if (!(policy & kRememberBit) || (policy & kSelectedWindowBit)) {
        ui->checkBox_policy->setChecked((policy & kRememberBit) != 0);
        ui->checkBox_selectedChannel->setChecked(true);
        return;
    }
    ui->checkBox_policy->setChecked(true);
    // A remembered channel this recording lacks stays unchecked; when none is
    // left the selected window is offered instead.
    for (int n = 1; n <= kChannels; ++n)
        if ((policy & ClipPolicy::ChannelBit(n)) && isPresent(n - 1))
            checkBoxes[n]->setChecked(true);
    if (channelMask() == 0)
        ui->checkBox_selectedChannel->setChecked(true);
}

void CustomSaveDialog::SetText() {
    ui->checkBox_selectedChannel->setText(tr("Selected window"));
    for (int n = 1; n <= kChannels; ++n)
        checkBoxes[n]->setText(tr("Channel ") + QString::number(n));
    ui->checkBox_policy->setText(tr("Remember my choice"));
    ui->label_select->setText(tr("Selected save channels:"));
    ui->label_dir->setText(tr("Stored in:"));
    ui->label_fileNameS->setText(tr("File name:"));
    ui->label_fileType->setText(tr("File of types:"));
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Save"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
}

bool CustomSaveDialog::warnOnFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) {
        QMessageBox::warning(this, tr("Path error"),
                             tr("The current file directory does not exist!"));
        return true;
    }
    if (!info.isWritable()) {
        QMessageBox::warning(this, tr("Path error"),
                             tr("The current file directory is not writable!"));
        return true;
    }
    return false;
}

void CustomSaveDialog::onOK() {
    const QString folder = ui->lineEdit_dir->text();
    // A fresh account has no Movies folder yet: the default one is made when
    // it is used. A folder the user chose is never created behind their back.
    if (FolderPath::normalised(folder) == DefaultFolders::Clips())
        QDir().mkpath(folder);
    if (warnOnFolder(folder))
        return;
    const quint32 channels = channelMask();
    if (channels == 0) {
        QMessageBox::warning(this, tr("Option error"), tr("No channel is selected!"));
        return;
    }
    {
        SettingsStore settings;
        const quint32 remember = ui->checkBox_policy->isChecked() ? kRememberBit : 0u;
        settings.setValue(kSavePathKey, FolderPath::normalised(folder));
        settings.setValue(kPolicyKey, remember | channels);
        settings.setValue(kSelectChannelKey, selectChannel);
    }
    done(QDialog::Accepted);
}

void CustomSaveDialog::onCancel() {
    done(QDialog::Rejected);
}

void CustomSaveDialog::setSaveDir() {
    const QString folder = chooseFolder(this, tr("Select save path"), ui->lineEdit_dir->text());
    if (folder.isEmpty())
        return;
    ui->lineEdit_dir->setText(FolderPath::normalised(folder));
}

void CustomSaveDialog::setFileName() {
    QStringList names;
    if (ui->checkBox_selectedChannel->isChecked()) {
        if (isPresent(selectChannel))
            names << fileNames[selectChannel];
    } else {
        for (int n = 1; n <= kChannels; ++n)
            if (checkBoxes[n]->isChecked() && isPresent(n - 1))
                names << fileNames[n - 1];
    }
    QString text;
    for (const QString& name : names)
        text += QLatin1Char('"') + name + QLatin1Char('"');
    ui->lineEdit_fileNames->setText(text);
}

void CustomSaveDialog::setFolderChooser(FolderPath::Chooser chooser) {
    chooseFolder = std::move(chooser);
}

void CustomSaveDialog::selectedWindowChanged(int state) {
    if (state == Qt::Checked)
        for (int n = 1; n <= kChannels; ++n)
            checkBoxes[n]->setChecked(false);
    emit signal_selectChannelChanged();
}

void CustomSaveDialog::channelChanged(int state) {
    if (state == Qt::Checked)
        ui->checkBox_selectedChannel->setChecked(false);
    emit signal_selectChannelChanged();
}

bool CustomSaveDialog::isPresent(int channelIndex) const {
    return channelIndex >= 0 && channelIndex < kChannels && present[channelIndex];
}

quint32 CustomSaveDialog::channelMask() const {
    if (ui->checkBox_selectedChannel->isChecked())
        return isPresent(selectChannel) ? kSelectedWindowBit : 0u;
    quint32 mask = 0;
    for (int n = 1; n <= kChannels; ++n)
        if (checkBoxes[n]->isChecked() && isPresent(n - 1))
            mask |= ClipPolicy::ChannelBit(n);
    return mask;
}
