#include "app/Widget.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QTranslator>

#include "app/CustomSaveDialog.h"
#include "app/SettingsStore.h"
#include "app/SettingsWidget.h"
#include "app/TelemetryWorkers.h"
#include "engine/Controller.h"
#include "engine/RecordingName.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "resources/OrdavexResources.h"
#include "ui_Widget.h"

namespace {

const char* const kLanguageKey = "/Widget/Language";
const char* const kVersion = "V3.1.1";
const char* const kResetTime = "00:00:00/00:00:00";

// Index = the stored language number.
const char* const kTranslationFiles[Widget::kLanguages] = {
    ":/language/translation_zh_CN.qm", ":/language/translation_en_US.qm",
    ":/language/translation_ja_JP.qm", ":/language/translation_ru_RU.qm"};

QString ToolSheet(const char* image) {
    return QStringLiteral("QToolButton{border-image: url(:/image/%1);}").arg(image);
}

}  // namespace

Widget::Widget(QWidget* parent, Controller* engine)
    : QWidget(parent),
      ui(new Ui::Widget),
      translator(new QTranslator(this)),
      engine(engine ? engine : Controller::GetInstance()),
      telemetry(new TelemetryWorkers(this->engine)) {
    initOrdavexResources();
    ui->setupUi(this);
    ui->dockWidget->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    ui->label_progress->setText(kResetTime);
    SetText();
    ui->toolButton_exchange->hide();
    ui->stackedWidget->setCurrentIndex(0);
    settingsWidget = new SettingsWidget();
    connect(ui->pushButton_openfile, &QPushButton::clicked, this, &Widget::openfileButton_clicked);
    connect(ui->pushButton_map, &QPushButton::clicked, this, &Widget::mapButton_clicked);
    connectEngine();
    connectSettings();
    connectButtons();
    setupLanguages();
}

Widget::~Widget() {
    g_bSuspend.store(true);
    engine->Shutdown();
    telemetry.reset();
    // Frames still queued for the wall are freed by it, not lost with it.
    QCoreApplication::sendPostedEvents(ui->PlayArea, QEvent::MetaCall);
    delete settingsWidget;
    delete ui;
}

void Widget::connectEngine() {
    engine->ConnectToScreenCtrl(ui->PlayArea);
    telemetry->ConnectToWebView(ui->page_map);
    telemetry->ConnectToGSensorPlot(ui->WaveArea);
    engine->ConnectToWidget(this);
    engine->ConnectToAudioCtrl(ui->volumeControl);
    connect(ui->page_filelist, &CustomSearchList::Signal_playAVI, engine, &Controller::On_PlayAVI);
    engine->Start();
    telemetry->Start();
}

void Widget::connectSettings() {
    Controller* const c = engine;
    connect(settingsWidget, &SettingsWidget::Signal_snapshotPathChange, this,
            [c](const QString& path) { c->snapshotFolder = path; });
    connect(settingsWidget, &SettingsWidget::Signal_offsetChange, this,
            [c](bool on) { c->mapOffset.store(on); });
    connect(settingsWidget, &SettingsWidget::Signal_playBackChange, c, &Controller::SetPlayBack);
    connect(settingsWidget, &SettingsWidget::Signal_mirrorChange, ui->PlayArea,
            &ScreenCtrl::SetMirror);
    connect(settingsWidget, &SettingsWidget::Signal_mapChange, this,
            [c](MapType type) { c->mapType.store(type); });
    settingsWidget->Initialize();
    ui->page_map->LoadMap(c->mapType.load());
}

void Widget::connectButtons() {
    ScreenCtrl* const wall = ui->PlayArea;
    connect(ui->toolButton_settings, &QToolButton::clicked, this, &Widget::settingsClicked);
    connect(ui->toolButton_snapshot, &QToolButton::clicked, this, &Widget::snapshotClicked);
    const std::pair<QToolButton*, int> layouts[] = {
        {ui->toolButton_single, 1}, {ui->toolButton_four, 2},   {ui->toolButton_eight, 3},
        {ui->toolButton_nine, 4},   {ui->toolButton_twelve, 5},
    };
    for (const auto& [button, code] : layouts) {
        connect(button, &QToolButton::clicked, wall,
                [wall, code = code] { wall->SetLayout(code); });
    }
    connect(ui->toolButton_last, &QToolButton::clicked, wall, &ScreenCtrl::Last);
    connect(ui->toolButton_next, &QToolButton::clicked, wall, &ScreenCtrl::Next);

    connect(&engine->playCtrl, &PlayCtrl::Signal_updateTime, this, &Widget::progress);
    connect(ui->slider_progress, &CustomSlider::Signal_seek, this, &Widget::seek);
    connect(&telemetry->drawBackLine, &DrawBackLine::Signal_seek, this, &Widget::seek);

    sideState = 0;
    connect(ui->toolButton_right, &QToolButton::clicked, this, &Widget::rightButton_clicked);
    connect(ui->toolButton_left, &QToolButton::clicked, this, &Widget::leftButton_clicked);
    connect(ui->toolButton_exchange, &QToolButton::clicked, this, &Widget::exchangeButton_clicked);
    connect(ui->toolButton_fullScreen, &QToolButton::clicked, this, &Widget::fullScreen);

    connect(ui->toolButton_stop, &QToolButton::clicked, engine, &Controller::On_Stop);
    connect(ui->toolButton_forwards, &QToolButton::toggled, this, &Widget::forwardsToggled);
    connect(ui->toolButton_backwards, &QToolButton::toggled, this, &Widget::backwardsToggled);
    connect(ui->toolButton_secframe, &QToolButton::clicked, this, &Widget::secframeClicked);
    connect(ui->toolButton_oneframe, &QToolButton::clicked, this, &Widget::oneframeClicked);
    connect(ui->speedControl, &SpeedSlider::Signal_valueChange, engine, &Controller::SpeedChange);
    connect(engine, &Controller::Signal_playStatusChange, this, &Widget::playStatusChanged);
    connect(ui->pushButton_setCutPoint, &QPushButton::clicked, this, &Widget::setCutPointClicked);
    connect(ui->pushButton_deleteCutPoint, &QPushButton::clicked, ui->slider_save,
            &CustomSaveSlider::DeleteCutPoint);
    connect(ui->pushButton_save, &QPushButton::clicked, this, &Widget::saveClicked);
}

void Widget::setupLanguages() {
    void (Widget::*const handlers[kLanguages])() = {
        &Widget::changeToChinese, &Widget::changeToEnglish, &Widget::changeToJapanese,
        &Widget::changeToRussian};
    for (int i = 0; i < kLanguages; ++i) {
        connect(&languageActions[size_t(i)], &QAction::triggered, this, handlers[i]);
        languageMenu.addAction(&languageActions[size_t(i)]);
    }
    ui->pushButton_language->setMenu(&languageMenu);
    const int stored = SettingsStore().value(kLanguageKey, kDefaultLanguage).toInt();
    if (stored >= 0 && stored < kLanguages) {
        languageActions[size_t(stored)].activate(QAction::Trigger);
    }
}

// --- Side panel ---

void Widget::openfileButton_clicked() {
    if (ui->stackedWidget->currentIndex() == 0) {
        ui->page_filelist->LoadFile();
        return;
    }
    ui->toolButton_exchange->hide();
    ui->stackedWidget->setCurrentIndex(0);
}

void Widget::mapButton_clicked() {
    if (ui->stackedWidget->currentIndex() == 1) {
        return;
    }
    ui->stackedWidget->setCurrentIndex(1);
    ui->toolButton_exchange->show();
}

void Widget::exchangeButton_clicked() {
    const bool mapOnPage = ui->stackedWidget->widget(1) == ui->page_map;
    QWidget* const toPage = mapOnPage ? static_cast<QWidget*>(ui->PlayArea) : ui->page_map;
    QWidget* const toPlay = mapOnPage ? ui->page_map : static_cast<QWidget*>(ui->PlayArea);
    ui->stackedWidget->removeWidget(toPlay);
    ui->horizontalLayout_4->removeWidget(toPage);
    ui->stackedWidget->insertWidget(1, toPage);
    ui->horizontalLayout_4->insertWidget(0, toPlay);
    ui->stackedWidget->setCurrentIndex(1);
    toPlay->show();
    toPage->show();
}

void Widget::rightButton_clicked() {
    if (sideState == -1) {
        sideState = 0;
        ui->widget_2->show();
        ui->toolButton_left->setStyleSheet(ToolSheet("e3.jpg"));
    } else if (sideState == 0) {
        sideState = 1;
        ui->FileToolArea->hide();
        ui->toolButton_right->setStyleSheet(ToolSheet("e2.jpg"));
    }
}

void Widget::leftButton_clicked() {
    if (sideState == 1) {
        sideState = 0;
        ui->FileToolArea->show();
        ui->toolButton_right->setStyleSheet(ToolSheet("e1.jpg"));
    } else if (sideState == 0) {
        sideState = -1;
        ui->widget_2->hide();
        ui->toolButton_left->setStyleSheet(ToolSheet("e4.JPG"));
    }
}

void Widget::fullScreen() {
    ui->PlayArea->ShowFull();
}

// --- Transport ---

// A change of direction re-seeks to the position on screen; the target
// travels negated, the demux seeks to its absolute value.
void Widget::reverseTo(bool backwards) {
    // The flag goes first: the demux latches the direction when it honours
    // the seek, which may be at once.
    if (engine->reverse.exchange(backwards) != backwards) {
        engine->aviFileRead.Seek(-qint64(ui->slider_progress->value()));
    }
    engine->unpaced.store(false);
    engine->singleStep.exchange(false);
}

void Widget::forwardsToggled(bool checked) {
    reverseTo(false);
    checked ? engine->On_Play() : engine->On_Pause();
}

void Widget::backwardsToggled(bool checked) {
    reverseTo(true);
    checked ? engine->On_Play() : engine->On_Pause();
}

void Widget::secframeClicked() {
    engine->unpaced.store(true);
    engine->singleStep.exchange(false);
    engine->InterruptWaits();
}

void Widget::oneframeClicked() {
    if (engine->playStatus.load() == PlayStatus::Play) {
        engine->On_Pause();
    }
    engine->unpaced.store(false);
    engine->singleStep.exchange(true);
    engine->InterruptWaits();
}

void Widget::playStatusChanged(PlayStatus status) {
    const bool backwards = engine->reverse.load();
    QToolButton* const active = backwards ? ui->toolButton_backwards : ui->toolButton_forwards;
    QToolButton* const other = backwards ? ui->toolButton_forwards : ui->toolButton_backwards;
    if (status == PlayStatus::Stop || status == PlayStatus::Pause) {
        const QSignalBlocker block(active);
        active->setChecked(false);
    } else if (status == PlayStatus::Play) {
        {
            const QSignalBlocker block(other);
            other->setChecked(false);
        }
        const QSignalBlocker block(active);
        active->setChecked(true);
    }
}

void Widget::settingsClicked() {
    settingsWidget->hide();
    settingsWidget->Refresh();
    settingsWidget->show();
}

void Widget::snapshotClicked() {
    ui->PlayArea->Save(engine->snapshotFolder);
}

// --- Progress ---

QString Widget::TimeText(qint64 cur, qint64 total) {
    const auto hms = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("hh:mm:ss"));
    };
    return hms(cur) + QLatin1Char('/') + hms(total);
}

// Markers always count, also while the handle is held: a drag must not keep
// the ranges of a recording that is gone.
void Widget::progress(qint64 cur, qint64 total) {
    if (cur < 0) {
        showMarker(cur, total);
        return;
    }
    if (ui->slider_progress->isSliderDown()) {
        return;
    }
    if (cur == 0 && engine->reverse.load()) {
        askNextRecording();
    }
    ui->label_progress->setText(TimeText(cur, total));
    ui->slider_progress->setValue(int(cur));
}

void Widget::showMarker(qint64 marker, qint64 total) {
    ui->slider_progress->setRange(0, 0);
    ui->slider_save->SetRange(0, 0);
    ui->label_progress->setText(kResetTime);
    if (marker == StreamMarker::Open) {
        nextAsked = false;
        ui->slider_progress->setRange(0, int(total));
        ui->slider_save->SetRange(0, int(total));
    } else if (marker == StreamMarker::End) {
        askNextRecording();
    }
}

// Once per recording, whichever comes first: position 0 backwards or End.
void Widget::askNextRecording() {
    if (nextAsked) {
        return;
    }
    nextAsked = true;
    ui->page_filelist->NextPlay(engine->GetStartTime());
}

void Widget::seek(qint64 ms) {
    engine->aviFileRead.Seek(qint64(int(ms)));
}

// --- Cut points ---

void Widget::setCutPointClicked() {
    ui->slider_save->SetCutPoint(ui->slider_progress->value());
}

QVector<QString> Widget::ClipNames(const std::array<QString, kPlayerChannels>& paths, int beginMs,
                                   int endMs) {
    QVector<QString> names;
    for (const QString& path : paths) {
        // The proposal keeps the source's size field; the cut writes the real one.
        const qint64 size =
            RecordingName::FileNameOf(path).section(QLatin1Char('_'), 3, 3).toLongLong();
        names << RecordingName::ClipName(path, beginMs, qint64(endMs) - beginMs, size);
    }
    return names;
}

void Widget::saveClicked() {
    int begin = 0;
    int end = 0;
    if (!ui->slider_save->GetSaveRange(begin, end)) {
        QMessageBox::warning(this, tr("Save Video"), tr("Need more cut point"));
        return;
    }
    const std::array<QString, Controller::kChannels> paths = engine->FilePaths();
    int selected = ui->PlayArea->GetSelectedChannel();
    if (paths[size_t(selected)].isEmpty()) {
        for (int ch = 0; ch < Controller::kChannels; ++ch) {
            if (!paths[size_t(ch)].isEmpty()) {
                selected = ch;
                break;
            }
        }
    }
    auto* dialog = new CustomSaveDialog(ClipNames(paths, begin, end), selected, this);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (dialog->exec() == QDialog::Accepted) {
        emit Signal_cut(begin, end);
    }
}

// --- Language ---

void Widget::changeToChinese() {
    changeLanguage(0);
}

void Widget::changeToEnglish() {
    changeLanguage(1);
}

void Widget::changeToJapanese() {
    changeLanguage(2);
}

void Widget::changeToRussian() {
    changeLanguage(3);
}

void Widget::changeLanguage(int index) {
    // A load empties its translator first: the one in force stays installed
    // until a new one has loaded, so a failed switch keeps the language.
    auto* loaded = new QTranslator(this);
    if (!loaded->load(QString::fromLatin1(kTranslationFiles[index]))) {
        delete loaded;
        return;
    }
    QCoreApplication::removeTranslator(translator);
    delete translator;
    translator = loaded;
    QCoreApplication::installTranslator(translator);
    SetText();
    SettingsStore().setValue(kLanguageKey, index);
}

void Widget::SetText() {
    setWindowTitle(tr("Ordavex Video PlayBack System ") + QLatin1String(kVersion));
    ui->pushButton_openfile->setText(tr("Open File"));
    ui->pushButton_map->setText(tr("Map"));
    ui->pushButton_language->setText(tr("Language"));
    ui->toolButton_stop->setToolTip(tr("stop"));
    ui->toolButton_forwards->setToolTip(tr("forwards/pause"));
    ui->toolButton_backwards->setToolTip(tr("backwards/pause"));
    ui->toolButton_oneframe->setToolTip(tr("step"));
    ui->toolButton_secframe->setToolTip(tr("second play"));
    ui->toolButton_last->setToolTip(tr("previous page"));
    ui->toolButton_next->setToolTip(tr("next page"));
    ui->toolButton_single->setToolTip(tr("single window"));
    ui->toolButton_four->setToolTip(tr("four windows"));
    ui->toolButton_eight->setToolTip(tr("eight windows"));
    ui->toolButton_nine->setToolTip(tr("nine windows"));
    ui->toolButton_twelve->setToolTip(tr("twelve windows"));
    ui->toolButton_fullScreen->setToolTip(tr("full screen"));
    ui->toolButton_snapshot->setToolTip(tr("snapshot"));
    ui->toolButton_settings->setToolTip(tr("settings"));
    static const char* const names[kLanguages] = {QT_TR_NOOP("Chinese"), QT_TR_NOOP("English"),
                                                  QT_TR_NOOP("Japanese"), QT_TR_NOOP("Russian")};
    for (int i = 0; i < kLanguages; ++i) {
        languageActions[size_t(i)].setText(tr(names[i]));
    }
    ui->speedControl->SetText();
    ui->page_filelist->SetText();
    if (settingsWidget) {
        settingsWidget->SetText();
    }
    ui->pushButton_setCutPoint->setText(tr("SetCutPoint"));
    ui->pushButton_deleteCutPoint->setText(tr("DelCutPoint"));
    ui->pushButton_save->setText(tr("SaveVideo"));
}
