#pragma once

#include <QAction>
#include <QMenu>
#include <QString>
#include <QVector>
#include <QWidget>
#include <array>
#include <memory>

#include "engine/Channels.h"
#include "engine/PlayStatus.h"

namespace Ui {
class Widget;
}
class Controller;
class QTranslator;
class SettingsWidget;
class TelemetryWorkers;

// The player's main window: the video wall beside the recording list or the
// map, the G-sensor chart, the progress and cut-point rows and the tool row.
// It joins the engine to the widgets, starts it, and turns the buttons into
// the Controller's commands; it keeps no playback state of its own and
// learns the outcome from the engine's time and status reports. GUI thread.
class Widget : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLanguages = 4;  // Chinese, English, Japanese, Russian
    static constexpr int kDefaultLanguage = 1;

    // engine: null for the process's Controller. The window starts it and
    // shuts it down when it goes.
    explicit Widget(QWidget* parent = nullptr, Controller* engine = nullptr);
    ~Widget() override;

    // Side panel and play area.
    void openfileButton_clicked();
    void mapButton_clicked();
    void exchangeButton_clicked();
    void rightButton_clicked();
    void leftButton_clicked();
    void fullScreen();

    // Transport.
    void forwardsToggled(bool checked);
    void backwardsToggled(bool checked);
    void secframeClicked();
    void oneframeClicked();
    void playStatusChanged(PlayStatus status);
    void settingsClicked();
    void snapshotClicked();

    // cur: position in ms, or a stream marker; total: the file's duration.
    void progress(qint64 cur, qint64 total);
    void seek(qint64 ms);

    // Cut points and the clip request.
    void setCutPointClicked();
    void saveClicked();
    // Proposed clip names, entry i for channel i + 1; empty where the path
    // is empty or its name has too few fields.
    static QVector<QString> ClipNames(const std::array<QString, kPlayerChannels>& paths,
                                      int beginMs, int endMs);

    // Language.
    void changeToChinese();
    void changeToEnglish();
    void changeToJapanese();
    void changeToRussian();
    void SetText();

    // "hh:mm:ss/hh:mm:ss" of two positions in ms (each wraps at 24 hours).
    static QString TimeText(qint64 cur, qint64 total);

signals:
    void Signal_cut(int beginMsec, int endMesc);

private:
    void connectEngine();
    void connectSettings();
    void connectButtons();
    void setupLanguages();
    void changeLanguage(int index);
    void reverseTo(bool backwards);
    void showMarker(qint64 marker, qint64 total);
    void askNextRecording();

    Ui::Widget* ui;
    int sideState = 0;  // 0 both shown; 1 side panel hidden; -1 play frame hidden
    SettingsWidget* settingsWidget = nullptr;
    QMenu languageMenu;
    std::array<QAction, kLanguages> languageActions;  // index = stored language
    QTranslator* translator;
    Controller* const engine;
    std::unique_ptr<TelemetryWorkers> telemetry;
    // The next recording was asked for at position 0 of this one (backward play).
    bool nextAsked = false;
};
