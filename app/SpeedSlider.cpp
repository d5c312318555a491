#include "app/SpeedSlider.h"

#include <QFont>

#include "resources/OrdavexResources.h"
#include "ui_SpeedSlider.h"

namespace {

struct SpeedStep {
    const char* label;
    const char* toolTip;
};

// Index = slider value; the engine maps the same index to 1..256 sixteenths.
constexpr SpeedStep kSpeedSteps[SpeedSlider::kSteps] = {
    {"1/16", "1/16X"}, {"1/8", "1/8X"}, {"1/4", "1/4X"}, {"1/2", "1/2X"}, {"x1", "1X"},
    {"x2", "2X"},      {"x4", "4X"},    {"x8", "8X"},    {"x16", "16X"},
};

}  // namespace

SpeedSlider::SpeedSlider(QWidget* parent) : QWidget(parent), ui(new Ui::SpeedSlider) {
    initOrdavexResources();
    ui->setupUi(this);
    setFixedSize(130, 36);

    ui->horizontalSlider->setRange(0, kSteps - 1);
    ui->horizontalSlider->setSingleStep(1);
    ui->horizontalSlider->setPageStep(1);  // also bounds one wheel notch to one step
    ui->horizontalSlider->setValue(kNormalIndex);

    const SpeedStep& normal = kSpeedSteps[kNormalIndex];
    ui->label_text->setText(QLatin1String(normal.label));
    ui->horizontalSlider->setToolTip(QLatin1String(normal.toolTip));
    ui->label_text->setToolTip(QLatin1String(normal.toolTip));
    ui->label_text->setFont(QFont(QStringLiteral("Arial"), 11, QFont::Bold));
    SetText();

    connect(ui->horizontalSlider, &QSlider::valueChanged, this, &SpeedSlider::valueChange);
}

SpeedSlider::~SpeedSlider() {
    delete ui;
}

void SpeedSlider::valueChange(int value) {
    if (value < 0 || value >= kSteps)
        return;
    const SpeedStep& step = kSpeedSteps[value];
    ui->label_text->setText(QLatin1String(step.label));
    ui->horizontalSlider->setToolTip(QLatin1String(step.toolTip));
    ui->label_text->setToolTip(QLatin1String(step.toolTip));
    emit Signal_valueChange(value);
}

void SpeedSlider::SetText() {
    ui->label_icon->setToolTip(tr("play speed"));
}
