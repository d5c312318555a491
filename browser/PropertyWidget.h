#pragma once

#include <QTime>
#include <QWidget>
#include <array>

namespace Ui {
class PropertyWidget;
}

class QLabel;

// The "Property" window: what the recording list knows, from file names only,
// about one recording file and the other channel files of its recording.
class PropertyWidget : public QWidget {
    Q_OBJECT

public:
    explicit PropertyWidget(QWidget* parent = nullptr);
    ~PropertyWidget() override;

    void SetText();
    // Empties type, path and duration and zeroes size, bitrate and every channel.
    void Clear();
    // size in bytes, bitrate in bit/s; a null duration shows as empty text.
    void SetFile(const QString& type, qint64 size, const QTime& duration, qint64 bitrate,
                 const QString& path);
    // Channels 1 to 8 have a group; any other number changes nothing.
    void SetChannel(int channel, int width, int height, int bitrate, int frameRate);

    // "1.00 KB" style text of a size in bytes.
    static QString sizeText(qint64 size);
    // "4096.000 kbps" style text of a bitrate in bit/s.
    static QString bitrateText(qint64 bitrate);

private:
    static constexpr int kChannels = 8;

    // The value labels of one channel's group box; owned by the form.
    struct ChannelGroup {
        QLabel* resolution;
        QLabel* bitrate;
        QLabel* frameRate;
    };

    Ui::PropertyWidget* ui;
    std::array<ChannelGroup, kChannels> groups{};
};
