#include "browser/CellDelegate.h"

#include "engine/RecordingName.h"

#include <QApplication>
#include <QPainter>

CellDelegate::CellDelegate(const QPixmap& iconSheet, int column, QObject* parent)
    : QStyledItemDelegate(parent), sheet(iconSheet), iconColumn(column) {}

int CellDelegate::iconOffset(int recType) {
    const bool manual = recType & RecordingName::kManualBit;
    const bool alarm = recType & RecordingName::kAlarmBit;
    if (manual && alarm)
        return 3 * kIconWidth;
    if (manual)
        return 2 * kIconWidth;
    if (alarm)
        return kIconWidth;
    return 0;
}

void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment = Qt::AlignCenter;
}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    if (index.column() != iconColumn)
        return QStyledItemDelegate::paint(painter, option, index);

    // Background and selection as for any cell, without the number.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    const QRect source(iconOffset(index.data().toInt()), 0, kIconWidth, kIconHeight);
    QRect target(QPoint(0, 0), source.size());
    target.moveCenter(option.rect.center());
    painter->drawPixmap(target, sheet, source);
}

QSize CellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.column() != iconColumn)
        return size;
    return size.expandedTo(QSize(kIconWidth, kIconHeight));
}
