#pragma once

#include <QDateTime>
#include <QPixmap>
#include <QSet>
#include <QVector>
#include <QWidget>
#include <functional>

#include "browser/ItemData.h"
#include "engine/Channels.h"

namespace Ui {
class CustomSearchList;
}

class CopyMessageDialog;
class CustomFilter;
class PropertyWidget;
class QAction;
class QMenu;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;
class QTableView;

// The recording list panel: lists the recording files under a folder from
// their names, narrows them by date-time, record type and car number, plays a
// recording on double-click and the next one on request, shows a file's
// properties and backs the listed files up. GUI thread only.
class CustomSearchList : public QWidget {
    Q_OBJECT

public:
    static constexpr int kChannelSlots = kPlayerChannels;  // playback channels 1..12
    enum Column {
        DateColumn,
        TimeColumn,
        DurationColumn,
        ChannelColumn,
        RecTypeColumn,
        PathColumn
    };
    static constexpr int kColumnCount = 6;

    explicit CustomSearchList(QWidget* parent = nullptr);
    ~CustomSearchList() override;

    // Asks for a root folder and lists everything under it.
    void LoadFile();
    // Lists everything under root and remembers it as the root folder.
    void loadFolder(const QString& root);
    // Plays the recording after the one that started at current, in the
    // table's order; 12 empty paths when there is none.
    void NextPlay(const QDateTime& current);
    void SetText();

    // Parses a file name (no folder) into item by RecordingName::Parse; false
    // when the file must not be listed. Does not set item.filePath.
    static bool parseAVIFileName(const QString& fileName, ItemData& item);

    // Fills the property window from the recording of a table index (view
    // order); creates the window on first use and hides it.
    void fillPropertyWidget(const QModelIndex& index);
    // Starts the backup of every listed file into folder; the returned
    // dialog deletes itself when closed.
    CopyMessageDialog* backUpTo(const QString& folder);

    // The listed files in walk order (model row i is item i).
    const QVector<ItemData>& listedItems() const { return items; }
    // None until the first right-button press on a row; owned by the panel.
    PropertyWidget* propertyWindow() const { return propertyWidget; }

signals:
    // files: 12 paths, entry n-1 for channel n or empty; channel from 1.
    void Signal_playAVI(QVector<QString> files, int selectfilechannel);

private:
    using Accept = std::function<bool(const ItemData&)>;

    // The recording last sent to playback, to tell apart two cars that
    // started in the same second when the next one is asked for.
    struct Played {
        QDateTime start;
        QString carNumber;
        QString path;
    };

    void setTableViewStyle();
    void refresh();
    void fillTable();
    void clearItems();
    void recursiveDir(const QString& root);
    void recursiveDir(const QString& root, const QDateTime& begin, const QDateTime& end,
                      uchar typeMask, const QString& carNumber);
    void walk(const QString& root, const Accept& accept);
    void addItem(ItemData&& item);

    void on_actionTriggered();
    void on_search();
    void on_listRButtonPressed(const QModelIndex& index);
    void on_listLDoubleClicked(const QModelIndex& index);
    void on_fileBackUp();

    int itemOfRow(int row) const;
    bool sameRecording(int a, int b) const;
    QString recordingId(int item) const;
    int findCurrentRow(const QDateTime& current) const;
    void playRecording(int anchor);
    void emitNothingToPlay();

    Ui::CustomSearchList* ui;
    QVector<ItemData> items;
    QStandardItemModel* model;  // owned by the proxy
    CustomFilter* proxy;        // owned by the panel
    QPixmap iconSheet;
    PropertyWidget* propertyWidget = nullptr;  // owned; a window of its own
    QMenu* menu;
    QAction* action;
    uchar foundTypes = 0;
    QDateTime latest;
    QDateTime earliest;
    QSet<QString> carNumbers;
    Played played;
};
