#include "browser/CustomSearchList.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QQueue>
#include <QSettings>
#include <QStandardItemModel>
#include <algorithm>
#include <array>
#include <numeric>

#include "browser/CellDelegate.h"
#include "browser/CopyMessageDialog.h"
#include "browser/CustomFilter.h"
#include "browser/PropertyWidget.h"
#include "engine/FileNameCodec.h"
#include "engine/RecordingName.h"
#include "resources/OrdavexResources.h"
#include "ui_CustomSearchList.h"

namespace {

const char* const kRootDirKey = "/CustomSearchList/rootDir";
const char* const kIconSheet = ":/image/RecType1.bmp";
const QString kAllCars = QStringLiteral("All");

QStandardItem* cell(const QString& text) {
    return new QStandardItem(text);
}

QList<QStandardItem*> rowFor(const ItemData& item) {
    const bool valid = item.startTime.isValid();
    // The path is shown decoded; the item keeps its own bytes for playback.
    return {cell(valid ? item.startTime.date().toString(Qt::ISODate) : QString()),
            cell(valid ? item.startTime.time().toString(Qt::ISODate) : QString()),
            cell(item.duration.toString(Qt::ISODate)),
            cell(QString::number(item.channel)),
            cell(QString::number(item.recType)),
            cell(FileNameCodec::Displayed(item.filePath))};
}

// The store keeps a name that is not UTF-8 as it is (escaped).
QString storedRoot() {
    QSettings settings;
    settings.setIniCodec("utf-8");
    return settings.value(kRootDirKey).toString();
}

void storeRoot(const QString& root) {
    QSettings settings;
    settings.setIniCodec("utf-8");
    settings.setValue(kRootDirKey, root);
}

}  // namespace

CustomSearchList::CustomSearchList(QWidget* parent)
    : QWidget(parent), ui(new Ui::CustomSearchList) {
    initOrdavexResources();
    ui->setupUi(this);
    proxy = new CustomFilter(this);
    model = new QStandardItemModel(proxy);
    ui->tableView->setModel(proxy);
    proxy->setSourceModel(model);
    for (int column = 0; column < kColumnCount; ++column)
        model->setHorizontalHeaderItem(column, new QStandardItem);
    menu = new QMenu(this);
    action = new QAction(this);
    menu->addAction(action);
    connect(action, &QAction::triggered, this, &CustomSearchList::on_actionTriggered);
    iconSheet = QPixmap(kIconSheet);
    setTableViewStyle();
    SetText();
    connect(ui->pushButton_Search, &QPushButton::clicked, this, &CustomSearchList::on_search);
    connect(ui->tableView, &QTableView::pressed, this, &CustomSearchList::on_listRButtonPressed);
    connect(ui->tableView, &QTableView::doubleClicked, this,
            &CustomSearchList::on_listLDoubleClicked);
    connect(ui->pushButton_Backup, &QPushButton::clicked, this, &CustomSearchList::on_fileBackUp);
}

CustomSearchList::~CustomSearchList() {
    delete propertyWidget;
    delete ui;
}

void CustomSearchList::setTableViewStyle() {
    QTableView* view = ui->tableView;
    view->setItemDelegate(new CellDelegate(iconSheet, RecTypeColumn, view));
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->horizontalHeader()->setHighlightSections(false);
    view->verticalHeader()->hide();
    view->setStyleSheet(
        QStringLiteral("QHeaderView::section{font-size:15px;"
                       "background:qlineargradient(x1:0,y1:0,x2:0,y2:1,"
                       "stop:0 rgba(175,215,237,255),stop:1 rgba(30,30,30,255));}"
                       "QHeaderView{qproperty-defaultAlignment:AlignCenter;}"));
    // Installing the header items shifted the indicator; the table starts
    // with the newest date first.
    view->horizontalHeader()->setSortIndicator(DateColumn, Qt::DescendingOrder);
    view->setSortingEnabled(true);
}

void CustomSearchList::SetText() {
    const QStringList headers = {tr("Date"),    tr("Time"),    tr("Duration"),
                                 tr("Channel"), tr("RecType"), tr("Path")};
    for (int column = 0; column < kColumnCount; ++column)
        model->horizontalHeaderItem(column)->setText(headers[column]);
    action->setText(tr("property"));
    ui->label->setText(tr("RecType"));
    ui->checkBox_Manual->setText(tr("Manual"));
    ui->checkBox_Alarm->setText(tr("Alarm"));
    ui->label_2->setText(tr("StartTime"));
    ui->label_3->setText(tr("EndTime"));
    ui->label_4->setText(tr("CarNum"));
    ui->pushButton_Search->setText(tr("Search"));
    ui->pushButton_Backup->setText(tr("Backup"));
    if (propertyWidget)
        propertyWidget->SetText();
}

bool CustomSearchList::parseAVIFileName(const QString& fileName, ItemData& item) {
    RecordingName::Fields fields;
    if (!RecordingName::Parse(fileName, &fields))
        return false;
    item.fileSize = fields.fileSize;
    item.startTime = fields.start;
    item.recType = fields.typeBit;
    item.duration = QTime(0, 0).addMSecs(fields.durationMs);
    item.channel = fields.channel;
    if (item.hasPropertyEntry()) {
        const int entry = item.channel - 1;
        item.width[entry] = fields.width;
        item.height[entry] = fields.height;
        item.frameRate[entry] = fields.frameRate;
        item.bitrate[entry] = fields.bitrate;
    }
    item.carNumber = fields.carNumber;
    return true;
}

void CustomSearchList::LoadFile() {
    const QString root = QFileDialog::getExistingDirectory(this, tr("Open Directory"), storedRoot(),
                                                           QFileDialog::ShowDirsOnly);
    if (root.isEmpty())
        return;
    loadFolder(root);
}

void CustomSearchList::loadFolder(const QString& root) {
    clearItems();
    refresh();
    storeRoot(root);
    recursiveDir(root);
    refresh();
}

void CustomSearchList::on_search() {
    // Wall-clock values, compared as the start times of the names are.
    const QDateTime begin(ui->dateEdit_start->date(), ui->timeEdit_start->time(), Qt::UTC);
    const QDateTime end(ui->dateEdit_end->date(), ui->timeEdit_end->time(), Qt::UTC);
    uchar mask = 0;
    if (ui->checkBox_Manual->isChecked())
        mask |= RecordingName::kManualBit;
    if (ui->checkBox_Alarm->isChecked())
        mask |= RecordingName::kAlarmBit;
    const QString car = ui->comboBox_carNum->currentText();

    clearItems();
    refresh();
    // Without a chosen folder there is nothing to search (never the working folder).
    const QString root = storedRoot();
    if (!root.isEmpty())
        recursiveDir(root, begin, end, mask, car);
    refresh();
}

void CustomSearchList::clearItems() {
    items.clear();
    latest = QDateTime();
    earliest = QDateTime();
    carNumbers.clear();
    foundTypes = 0;
}

void CustomSearchList::recursiveDir(const QString& root) {
    walk(root, [](const ItemData&) { return true; });
}

void CustomSearchList::recursiveDir(const QString& root, const QDateTime& begin,
                                    const QDateTime& end, uchar typeMask,
                                    const QString& carNumber) {
    walk(root, [&](const ItemData& item) {
        // A file without a valid start time cannot fall into a time range.
        return item.startTime.isValid() && begin <= item.startTime && item.startTime <= end &&
               (item.recType & typeMask) != 0 &&
               (carNumber == kAllCars || carNumber == item.carNumber);
    });
}

void CustomSearchList::walk(const QString& root, const Accept& accept) {
    // Breadth-first: a folder's files come before those of its subfolders.
    // Names that are not UTF-8 keep their bytes through the locale codec
    // (FileNameCodec), so every file found here is listed and opens again.
    QQueue<QString> folders;
    folders.enqueue(root);
    const QDir::Filters filter =
        QDir::Files | QDir::AllDirs | QDir::NoSymLinks | QDir::NoDotAndDotDot;
    while (!folders.isEmpty()) {
        const QDir folder(folders.dequeue());
        const QFileInfoList entries = folder.entryInfoList(filter, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo& entry : entries) {
            if (entry.isDir()) {
                folders.enqueue(entry.filePath());
                continue;
            }
            const QString name = entry.fileName();
            ItemData item;
            if (!RecordingName::HasRecordingExtension(name) || !parseAVIFileName(name, item) ||
                !accept(item))
                continue;
            item.filePath = entry.filePath();
            addItem(std::move(item));
        }
    }
}

void CustomSearchList::addItem(ItemData&& item) {
    if (item.startTime.isValid()) {
        if (!earliest.isValid() || item.startTime < earliest)
            earliest = item.startTime;
        if (!latest.isValid() || latest < item.startTime)
            latest = item.startTime;
    }
    carNumbers.insert(item.carNumber);
    foundTypes |= item.recType;
    items.append(std::move(item));
}

void CustomSearchList::refresh() {
    fillTable();
    if (earliest.isValid() && latest.isValid()) {
        ui->dateEdit_start->setDate(earliest.date());
        ui->timeEdit_start->setTime(earliest.time());
        ui->dateEdit_end->setDate(latest.date());
        ui->timeEdit_end->setTime(latest.time());
    }
    QStringList cars = carNumbers.values();
    std::sort(cars.begin(), cars.end());
    ui->comboBox_carNum->clear();
    ui->comboBox_carNum->addItem(kAllCars);
    ui->comboBox_carNum->addItems(cars);
    ui->comboBox_carNum->setCurrentIndex(0);
    ui->checkBox_Manual->setChecked(foundTypes & RecordingName::kManualBit);
    ui->checkBox_Alarm->setChecked(foundTypes & RecordingName::kAlarmBit);
}

void CustomSearchList::fillTable() {
    // The proxy is detached while the model fills, so it sorts once at the
    // end rather than on every inserted row.
    proxy->setSourceModel(nullptr);
    model->removeRows(0, model->rowCount());
    QVector<CustomFilter::RowKey> keys;
    keys.reserve(items.size());
    for (const ItemData& item : qAsConst(items)) {
        model->appendRow(rowFor(item));
        keys.append(CustomFilter::keyFor(item));
    }
    proxy->setRowKeys(std::move(keys));
    proxy->setSourceModel(model);
    const QHeaderView* header = ui->tableView->horizontalHeader();
    proxy->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
}

int CustomSearchList::itemOfRow(int row) const {
    return proxy->mapToSource(proxy->index(row, 0)).row();
}

bool CustomSearchList::sameRecording(int a, int b) const {
    if (a == b)
        return true;
    const ItemData& x = items[a];
    const ItemData& y = items[b];
    // A file without a valid start time is a recording of its own.
    return x.startTime.isValid() && y.startTime.isValid() && x.startTime == y.startTime &&
           x.carNumber == y.carNumber;
}

QString CustomSearchList::recordingId(int item) const {
    const ItemData& data = items[item];
    if (!data.startTime.isValid())
        return QStringLiteral("#%1").arg(item);
    return QString::number(data.startTime.toSecsSinceEpoch()) + QLatin1Char('/') + data.carNumber;
}

void CustomSearchList::on_listLDoubleClicked(const QModelIndex& index) {
    if (!index.isValid())
        return;
    playRecording(proxy->mapToSource(index).row());
}

void CustomSearchList::playRecording(int anchor) {
    QVector<QString> paths(kChannelSlots);
    int channel = 1;
    QItemSelection selection;
    const int rows = proxy->rowCount();
    for (int row = 0; row < rows; ++row) {
        const int item = itemOfRow(row);
        if (!sameRecording(item, anchor))
            continue;
        selection.select(proxy->index(row, 0), proxy->index(row, kColumnCount - 1));
        const ItemData& data = items[item];
        // Channels outside 1..12 are listed but have no playback slot.
        if (data.channel < 1 || data.channel > kChannelSlots)
            continue;
        paths[data.channel - 1] = data.filePath;
        channel = data.channel;
    }
    ui->tableView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    const ItemData& data = items[anchor];
    played = {data.startTime, data.carNumber, data.filePath};
    emit Signal_playAVI(paths, channel);
}

void CustomSearchList::emitNothingToPlay() {
    emit Signal_playAVI(QVector<QString>(kChannelSlots), 1);
}

int CustomSearchList::findCurrentRow(const QDateTime& current) const {
    const int rows = proxy->rowCount();
    int sameSecond = -1;
    for (int row = 0; row < rows; ++row) {
        const ItemData& data = items[itemOfRow(row)];
        if (!current.isValid()) {
            // Only the file played last can be meant by an invalid start time.
            if (!data.startTime.isValid() && !played.start.isValid() &&
                data.filePath == played.path)
                return row;
            continue;
        }
        if (data.startTime != current)
            continue;
        if (played.start != current || data.carNumber == played.carNumber)
            return row;
        if (sameSecond < 0)
            sameSecond = row;
    }
    return sameSecond;
}

void CustomSearchList::NextPlay(const QDateTime& current) {
    const int rows = proxy->rowCount();
    if (rows == 0)
        return emitNothingToPlay();
    const int currentRow = findCurrentRow(current);
    if (currentRow < 0)
        return playRecording(itemOfRow(0));
    // Recordings follow each other by the first row each appears in; every
    // recording seen up to the current one's first row is behind us, so
    // playback moves strictly forward and ends.
    QSet<QString> behind;
    for (int row = 0; row <= currentRow; ++row)
        behind.insert(recordingId(itemOfRow(row)));
    for (int row = currentRow + 1; row < rows; ++row) {
        const int item = itemOfRow(row);
        if (!behind.contains(recordingId(item)))
            return playRecording(item);
    }
    emitNothingToPlay();
}

void CustomSearchList::on_listRButtonPressed(const QModelIndex& index) {
    if (QGuiApplication::mouseButtons() != Qt::RightButton || !index.isValid())
        return;
    fillPropertyWidget(index);
    menu->exec(QCursor::pos());
}

void CustomSearchList::fillPropertyWidget(const QModelIndex& index) {
    if (!index.isValid())
        return;
    if (!propertyWidget)
        propertyWidget = new PropertyWidget(nullptr);
    if (propertyWidget->isVisible())
        propertyWidget->hide();
    propertyWidget->Clear();

    const int anchor = proxy->mapToSource(index).row();
    const ItemData& pressed = items[anchor];
    qint64 size = 0;
    std::array<qint64, ItemData::kPropertyChannels> bitrates = {};
    for (int i = 0; i < items.size(); ++i) {
        if (!sameRecording(i, anchor))
            continue;
        const ItemData& data = items[i];
        if (data.channel == pressed.channel)
            size = data.fileSize;
        if (!data.hasPropertyEntry())
            continue;
        const int entry = data.channel - 1;
        propertyWidget->SetChannel(data.channel, data.width[entry], data.height[entry],
                                   data.bitrate[entry], data.frameRate[entry]);
        bitrates[entry] = data.bitrate[entry];
    }
    const qint64 total = std::accumulate(bitrates.begin(), bitrates.end(), qint64(0));
    const QString type = pressed.filePath.mid(pressed.filePath.lastIndexOf(QLatin1Char('.')) + 1);
    propertyWidget->SetFile(type, size, pressed.duration, total,
                            FileNameCodec::Displayed(pressed.filePath));
}

void CustomSearchList::on_actionTriggered() {
    if (propertyWidget)
        propertyWidget->show();
}

void CustomSearchList::on_fileBackUp() {
    const QString folder = QFileDialog::getExistingDirectory(this, tr("select back up path"),
                                                             QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    backUpTo(folder);
}

CopyMessageDialog* CustomSearchList::backUpTo(const QString& folder) {
    auto* dialog = new CopyMessageDialog(nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QStringList paths;
    paths.reserve(items.size());
    for (const ItemData& item : qAsConst(items))
        paths.append(item.filePath);
    dialog->show();
    dialog->Init(paths, folder);
    return dialog;
}
