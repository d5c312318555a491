#pragma once

#include <QString>
#include <QWidget>

#include "app/FolderPath.h"
#include "app/Relauncher.h"
#include "engine/MapType.h"

namespace Ui {
class SettingsWidget;
}
class QAbstractButton;
class QButtonGroup;
class QSettings;

// The settings window: snapshot folder, map offset, map track playback, the
// mirror of channels 1 to 8 and the map service. Keeps the current values,
// stores them under "/SettingsWidget/..." and announces each change. A new map
// service is stored and ends the event loop with kRestartExitCode, which main
// turns into a relaunch (the map page is loaded once per process).
class SettingsWidget : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMirrorChannels = 8;
    static constexpr int kRestartExitCode = Relauncher::kRestartCode;

    // A hidden top-level window holding the construction values (map type 3,
    // so that Initialize announces the stored one, 1 by default).
    explicit SettingsWidget(QWidget* parent = nullptr);
    ~SettingsWidget() override;

    void SetText();
    // Reads the store and announces every value that differs from the
    // current one; writes nothing. Call once, after connecting the signals.
    void Initialize();
    // Shows the current values in the form (before each showing).
    void Refresh();
    // Announces and stores what the form changed; a new map service also
    // requests the restart. Then hides the window.
    void OnOK();
    void OnCancel();
    // Asks for the snapshot folder and shows it with one trailing "/"; the
    // value is taken on OK.
    void setSnapPath();
    // Replaces the file dialog (tests).
    void setFolderChooser(FolderPath::Chooser chooser);

    // Compare the given values with the current ones; where one differs it
    // becomes current and is announced (contrastAndsave also writes it).
    void contrast(QString path, bool offset, bool playback, bool* mirror, MapType type);
    void contrastAndsave(QString path, bool offset, bool playback, bool* mirror, MapType type,
                         QSettings& settings);

signals:
    void Signal_snapshotPathChange(QString path);
    void Signal_offsetChange(bool offset);
    void Signal_playBackChange(bool playback);
    // channel 0..7 (channel 1 to 8)
    void Signal_mirrorChange(int channel, bool bMirror);
    void Signal_mapChange(MapType type);

private:
    // Asks for the restart when the user moves the map service away from button.
    void mapChoiceToggled(QAbstractButton* button, bool checked);
    QAbstractButton* mapButton(MapType type) const;
    MapType chosenMapType() const;
    // Applies what differs; settings may be null (announce only).
    void compare(const QString& path, bool offset, bool playback, const bool* mirror, MapType type,
                 QSettings* settings);

    Ui::SettingsWidget* ui;
    QButtonGroup* mapGroup;  // owned by the window
    FolderPath::Chooser chooseFolder = FolderPath::askWithFileDialog;

    QString snapshotFolder;
    bool mapOffset = true;
    bool trackPlayback = true;
    bool mirror[kMirrorChannels] = {};
    MapType mapType = MapType::OSMap;
};
