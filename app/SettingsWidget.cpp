#include "app/SettingsWidget.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QMessageBox>
#include <QSignalBlocker>
#include <array>

#include "app/SettingsStore.h"
#include "engine/DefaultFolders.h"
#include "resources/OrdavexResources.h"
#include "ui_SettingsWidget.h"

namespace {

const char kSnapshotPathKey[] = "/SettingsWidget/SnapshotPath";
const char kMapOffsetKey[] = "/SettingsWidget/MapOffset";
const char kMapPlayBackKey[] = "/SettingsWidget/MapPlayBack";
const char kMirrorKey[] = "/SettingsWidget/MirrorCh%1";
const char kMapTypeKey[] = "/SettingsWidget/MapType";

constexpr int kStoredMapTypeDefault = static_cast<int>(MapType::Google);

// The map page treats every unknown service as OpenStreetMap; so does the window.
MapType knownMapType(int value) {
    if (value < static_cast<int>(MapType::Google) || value > static_cast<int>(MapType::Bing))
        return MapType::OSMap;
    return static_cast<MapType>(value);
}

std::array<QCheckBox*, SettingsWidget::kMirrorChannels> mirrorBoxes(Ui::SettingsWidget* ui) {
    return {ui->checkBox_channel1, ui->checkBox_channel2, ui->checkBox_channel3,
            ui->checkBox_channel4, ui->checkBox_channel5, ui->checkBox_channel6,
            ui->checkBox_channel7, ui->checkBox_channel8};
}

}  // namespace

SettingsWidget::SettingsWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::SettingsWidget), mapGroup(new QButtonGroup(this)) {
    initOrdavexResources();
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    SetText();
    snapshotFolder = DefaultFolders::Snapshots();

    mapGroup->setExclusive(true);
    mapGroup->addButton(ui->radioButton_google, static_cast<int>(MapType::Google));
    mapGroup->addButton(ui->radioButton_baidu, static_cast<int>(MapType::Baidu));
    mapGroup->addButton(ui->radioButton_openstreet, static_cast<int>(MapType::OSMap));
    mapGroup->addButton(ui->radioButton_bing, static_cast<int>(MapType::Bing));
    ui->radioButton_google->setChecked(true);

    connect(ui->pushButton_OK, &QPushButton::clicked, this, &SettingsWidget::OnOK);
    connect(ui->pushButton_Cancel, &QPushButton::clicked, this, &SettingsWidget::OnCancel);
    connect(ui->toolButton_snapshot, &QToolButton::clicked, this, &SettingsWidget::setSnapPath);
    connect(mapGroup, qOverload<QAbstractButton*, bool>(&QButtonGroup::buttonToggled), this,
            &SettingsWidget::mapChoiceToggled);
}

SettingsWidget::~SettingsWidget() {
    delete ui;
}

void SettingsWidget::SetText() {
    setWindowTitle(tr("Seetings"));
    ui->label_snapshot->setText(tr("Snapshot Path"));
    ui->checkBox_openOffset->setText(tr("Open map offset"));
    ui->checkBox_showBackLine->setText(tr("Enable map track playback"));
    const std::array<QLabel*, kMirrorChannels> labels = {
        ui->label_channel1, ui->label_channel2, ui->label_channel3, ui->label_channel4,
        ui->label_channel5, ui->label_channel6, ui->label_channel7, ui->label_channel8};
    static const char* const channelTexts[kMirrorChannels] = {
        QT_TR_NOOP("channel1"), QT_TR_NOOP("channel2"), QT_TR_NOOP("channel3"),
        QT_TR_NOOP("channel4"), QT_TR_NOOP("channel5"), QT_TR_NOOP("channel6"),
        QT_TR_NOOP("channel7"), QT_TR_NOOP("channel8")};
    for (int i = 0; i < kMirrorChannels; ++i) {
        labels[i]->setText(tr(channelTexts[i]));
        mirrorBoxes(ui)[i]->setText(tr("Mirror"));
    }
    ui->radioButton_google->setText(tr("Google Map"));
    ui->radioButton_baidu->setText(tr("Badidu Map"));
    ui->radioButton_openstreet->setText(tr("OS Map"));
    ui->radioButton_bing->setText(tr("Bing Map"));
    ui->pushButton_OK->setText(tr("OK"));
    ui->pushButton_Cancel->setText(tr("Cancel"));
}

void SettingsWidget::Initialize() {
    SettingsStore settings;
    QString path = FolderPath::normalised(settings.value(kSnapshotPathKey).toString());
    if (path.isEmpty())
        path = DefaultFolders::Snapshots();
    const bool offset = settings.value(kMapOffsetKey, true).toBool();
    const bool playback = settings.value(kMapPlayBackKey, true).toBool();
    bool stored[kMirrorChannels];
    for (int i = 0; i < kMirrorChannels; ++i)
        stored[i] = settings.value(QString::fromLatin1(kMirrorKey).arg(i + 1), false).toBool();
    const MapType type = knownMapType(settings.value(kMapTypeKey, kStoredMapTypeDefault).toInt());
    contrast(path, offset, playback, stored, type);
    Refresh();
}

void SettingsWidget::Refresh() {
    ui->lineEdit_snapshot->setText(snapshotFolder);
    ui->checkBox_openOffset->setChecked(mapOffset);
    ui->checkBox_showBackLine->setChecked(trackPlayback);
    for (int i = 0; i < kMirrorChannels; ++i)
        mirrorBoxes(ui)[i]->setChecked(mirror[i]);
    // Showing the current service is not a choice of the user: no question.
    const QSignalBlocker blocker(mapGroup);
    mapButton(mapType)->setChecked(true);
}

void SettingsWidget::OnOK() {
    QString path = FolderPath::normalised(ui->lineEdit_snapshot->text());
    if (path.isEmpty())
        path = snapshotFolder;
    bool chosen[kMirrorChannels];
    for (int i = 0; i < kMirrorChannels; ++i)
        chosen[i] = mirrorBoxes(ui)[i]->isChecked();
    {
        SettingsStore settings;
        contrastAndsave(path, ui->checkBox_openOffset->isChecked(),
                        ui->checkBox_showBackLine->isChecked(), chosen, chosenMapType(), settings);
    }
    hide();
}

void SettingsWidget::OnCancel() {
    hide();
}

void SettingsWidget::setSnapPath() {
    const QString folder =
        chooseFolder(this, tr("Select snapshot directory of photo"), snapshotFolder);
    if (folder.isEmpty())
        return;
    ui->lineEdit_snapshot->setText(FolderPath::normalised(folder));
}

void SettingsWidget::setFolderChooser(FolderPath::Chooser chooser) {
    chooseFolder = std::move(chooser);
}

void SettingsWidget::contrast(QString path, bool offset, bool playback, bool* mirrors,
                              MapType type) {
    compare(path, offset, playback, mirrors, type, nullptr);
}

void SettingsWidget::contrastAndsave(QString path, bool offset, bool playback, bool* mirrors,
                                     MapType type, QSettings& settings) {
    compare(path, offset, playback, mirrors, type, &settings);
}

void SettingsWidget::compare(const QString& path, bool offset, bool playback, const bool* mirrors,
                             MapType requested, QSettings* settings) {
    const MapType type = knownMapType(static_cast<int>(requested));
    if (path != snapshotFolder) {
        snapshotFolder = path;
        emit Signal_snapshotPathChange(path);
        if (settings)
            settings->setValue(kSnapshotPathKey, path);
    }
    if (offset != mapOffset) {
        mapOffset = offset;
        emit Signal_offsetChange(offset);
        if (settings)
            settings->setValue(kMapOffsetKey, offset);
    }
    if (playback != trackPlayback) {
        trackPlayback = playback;
        emit Signal_playBackChange(playback);
        if (settings)
            settings->setValue(kMapPlayBackKey, playback);
    }
    for (int i = 0; i < kMirrorChannels; ++i) {
        if (mirrors[i] == mirror[i])
            continue;
        mirror[i] = mirrors[i];
        emit Signal_mirrorChange(i, mirrors[i]);
        if (settings)
            settings->setValue(QString::fromLatin1(kMirrorKey).arg(i + 1), mirrors[i]);
    }
    if (type == mapType)
        return;
    mapType = type;
    if (!settings) {
        emit Signal_mapChange(type);
        return;
    }
    // The new page is loaded by a fresh process: store, then end the event loop.
    settings->setValue(kMapTypeKey, static_cast<int>(type));
    settings->sync();
    QCoreApplication::exit(kRestartExitCode);
}

void SettingsWidget::mapChoiceToggled(QAbstractButton* button, bool checked) {
    if (checked)
        return;
    const auto answer =
        QMessageBox::question(this, tr("ReStart"), tr("Restart Player to take it effect now?"),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        OnOK();
        return;
    }
    const QSignalBlocker blocker(mapGroup);
    button->click();
}

QAbstractButton* SettingsWidget::mapButton(MapType type) const {
    return mapGroup->button(static_cast<int>(type));
}

MapType SettingsWidget::chosenMapType() const {
    const int id = mapGroup->checkedId();
    // No service checked is no choice: keep the current one.
    return id < 0 ? mapType : knownMapType(id);
}
