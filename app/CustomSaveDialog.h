#pragma once

#include <QDialog>
#include <QVector>
#include <array>

#include "app/FolderPath.h"
#include "engine/ClipPolicy.h"

namespace Ui {
class CustomSaveDialog;
}
class QCheckBox;

// Confirms a clip cut: which channels, into which folder, and whether the
// choice is offered again. The result reaches the cutting engine only through
// the settings store: an accepted OK writes "/CustomSaveDialog/SavePath",
// "/CustomSaveDialog/Policy" (the mask below) and "/CustomSaveDialog/SelectChannel".
class CustomSaveDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kChannels = ClipPolicy::kChannels;
    static constexpr quint32 kSelectedWindowBit = ClipPolicy::kSelectedWindowBit;
    static constexpr quint32 kRememberBit = ClipPolicy::kRememberBit;

    // fileNames: the proposed clip names, index = channel - 1, empty for an
    // absent channel (its box is disabled); selectChannel: the wall's
    // selected cell, 0..11.
    CustomSaveDialog(const QVector<QString>& fileNames, int selectChannel,
                     QWidget* parent = nullptr);
    ~CustomSaveDialog() override;

    // Restores the folder and the remembered channel choice.
    void init();
    void SetText();
    // Validates the folder and the choice (a warning and nothing stored when
    // either fails), writes the three keys and accepts.
    void onOK();
    void onCancel();
    // Asks for the save folder (through the chooser) and shows it with one "/".
    void setSaveDir();
    // Lists the names of the clips the current choice would write.
    void setFileName();
    // Replaces the file dialog (tests).
    void setFolderChooser(FolderPath::Chooser chooser);

signals:
    void signal_selectChannelChanged();

private:
    void selectedWindowChanged(int state);
    void channelChanged(int state);
    bool isPresent(int channelIndex) const;
    // The channel part of the policy mask; 0 when nothing present is chosen.
    quint32 channelMask() const;
    bool warnOnFolder(const QString& folder);

    Ui::CustomSaveDialog* ui;
    const int selectChannel;
    QVector<QString> fileNames;             // display names, index = channel - 1
    QVector<QCheckBox*> checkBoxes;         // 0: "Selected window"; n: channel n
    std::array<bool, kChannels> present{};  // the channel has a clip name
    FolderPath::Chooser chooseFolder = FolderPath::askWithFileDialog;
};
