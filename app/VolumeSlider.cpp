#include "app/VolumeSlider.h"

#include "resources/OrdavexResources.h"
#include "ui_VolumeSlider.h"

namespace {

constexpr int kMaxVolume = 100;

const char kSliderStyle[] =
    "QSlider::groove:horizontal{border: 0px solid;}"
    "QSlider::handle::horizontal {border-image:url(:/image/mp_thumb.bmp);width:24px;"
    "margin-top:3px;margin-bottom:3px;border-radius:4px;} "
    "QSlider::handle:horizontal:pressed{border-image:url(:/image/mp_thumb_active.bmp); }"
    "QSlider::sub-page:horizontal{background: rgb(120,227,121);margin-top:6px;"
    "margin-bottom:7px;}"
    "QSlider::add-page:horizontal{background: rgb(255,255,255);margin-top:6px;"
    "margin-bottom:6px;}";

}  // namespace

VolumeSlider::VolumeSlider(QWidget* parent) : QWidget(parent), ui(new Ui::VolumeSlider) {
    initOrdavexResources();
    ui->setupUi(this);
    setFixedSize(130, 22);

    ui->horizontalSlider->setRange(0, kMaxVolume);
    ui->horizontalSlider->setSingleStep(1);
    ui->horizontalSlider->setPageStep(1);
    ui->horizontalSlider->setValue(kMaxVolume);
    SetText();
    ui->horizontalSlider->setToolTip(QStringLiteral("%1%").arg(kMaxVolume));
    ui->horizontalSlider->setStyleSheet(QLatin1String(kSliderStyle));

    connect(ui->horizontalSlider, &QSlider::valueChanged, this, &VolumeSlider::valueChange);
    connect(ui->horizontalSlider, &QSlider::sliderReleased, this, &VolumeSlider::valueChange2);
    connect(ui->pushButton_icon, &QPushButton::clicked, this, &VolumeSlider::Signal_Mute);
}

VolumeSlider::~VolumeSlider() {
    delete ui;
}

void VolumeSlider::valueChange(int value) {
    ui->horizontalSlider->setToolTip(QStringLiteral("%1%").arg(value));
    emit Signal_valueChange(value);
}

void VolumeSlider::valueChange2() {
    valueChange(ui->horizontalSlider->value());
}

int VolumeSlider::volume() const {
    return ui->horizontalSlider->value();
}

void VolumeSlider::SetText() {
    ui->pushButton_icon->setToolTip(tr("Volume Control"));
}
