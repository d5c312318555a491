#include "browser/PropertyWidget.h"

#include "ui_PropertyWidget.h"

PropertyWidget::PropertyWidget(QWidget* parent) : QWidget(parent), ui(new Ui::PropertyWidget) {
    ui->setupUi(this);
    groups = {
        {{ui->label_resolution_channel1, ui->label_bitrate_channel1, ui->label_frameRate_channel1},
         {ui->label_resolution_channel2, ui->label_bitrate_channel2, ui->label_frameRate_channel2},
         {ui->label_resolution_channel3, ui->label_bitrate_channel3, ui->label_frameRate_channel3},
         {ui->label_resolution_channel4, ui->label_bitrate_channel4, ui->label_frameRate_channel4},
         {ui->label_resolution_channel5, ui->label_bitrate_channel5, ui->label_frameRate_channel5},
         {ui->label_resolution_channel6, ui->label_bitrate_channel6, ui->label_frameRate_channel6},
         {ui->label_resolution_channel7, ui->label_bitrate_channel7, ui->label_frameRate_channel7},
         {ui->label_resolution_channel8, ui->label_bitrate_channel8,
          ui->label_frameRate_channel8}}};
    SetText();
}

PropertyWidget::~PropertyWidget() {
    delete ui;
}

void PropertyWidget::SetText() {
    setWindowTitle(tr("Property"));
    ui->label->setText(tr("File Type:"));
    ui->label_2->setText(tr("Duration:"));
    ui->label_3->setText(tr("File Path:"));
    ui->label_4->setText(tr("File Size:"));
    ui->label_5->setText(tr("Bitrate:    "));
    // Each group's captions, in the order resolution, bitrate, frame rate.
    const QList<QLabel*> captions = {
        ui->label_6,  ui->label_7,  ui->label_8,  ui->label_9,  ui->label_10, ui->label_11,
        ui->label_12, ui->label_13, ui->label_14, ui->label_15, ui->label_16, ui->label_17,
        ui->label_18, ui->label_19, ui->label_20, ui->label_21, ui->label_22, ui->label_23,
        ui->label_24, ui->label_25, ui->label_26, ui->label_27, ui->label_28, ui->label_29};
    for (int i = 0; i < captions.size(); i += 3) {
        captions[i]->setText(tr("Resolution:"));
        captions[i + 1]->setText(tr("Bitrate:"));
        captions[i + 2]->setText(tr("Frame rate:"));
    }
}

void PropertyWidget::Clear() {
    SetFile(QString(), 0, QTime(), 0, QString());
    for (int channel = 0; channel <= kChannels; ++channel)
        SetChannel(channel, 0, 0, 0, 0);
}

QString PropertyWidget::sizeText(qint64 size) {
    const double value = static_cast<double>(size);
    const qint64 magnitude = size < 0 ? -size : size;
    if (magnitude >= 1048576)
        return QStringLiteral("%1 MB").arg(value / 1024 / 1024, 0, 'f', 2);
    if (magnitude >= 1024)
        return QStringLiteral("%1 KB").arg(value / 1024, 0, 'f', 2);
    return QStringLiteral("%1 B").arg(value, 0, 'f', 2);
}

QString PropertyWidget::bitrateText(qint64 bitrate) {
    return QStringLiteral("%1 kbps").arg(static_cast<double>(bitrate) / 1024, 0, 'f', 3);
}

void PropertyWidget::SetFile(const QString& type, qint64 size, const QTime& duration,
                             qint64 bitrate, const QString& path) {
    ui->label_fileType->setText(type);
    ui->label_filePath->setText(path);
    ui->label_duration->setText(duration.isNull() ? QString()
                                                  : duration.toString(QStringLiteral("hh:mm:ss")));
    ui->label_fileSize->setText(sizeText(size));
    ui->label_bitrate->setText(bitrateText(bitrate));
}

void PropertyWidget::SetChannel(int channel, int width, int height, int bitrate, int frameRate) {
    if (channel < 1 || channel > kChannels) {
        return;
    }
    const ChannelGroup& group = groups[size_t(channel - 1)];
    group.resolution->setText(QStringLiteral("%1 X %2").arg(width).arg(height));
    group.bitrate->setText(bitrateText(bitrate));
    group.frameRate->setText(QStringLiteral("%1 fps").arg(frameRate));
}
