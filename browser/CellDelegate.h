#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>

// Draws the recording table's cells centred, and the record-type column as
// its icon: one 34x17 part of the shared icon sheet in place of the number.
// Doing this here keeps the model to one text per cell, which matters for
// tables of 100,000 rows.
class CellDelegate : public QStyledItemDelegate {
public:
    static constexpr int kIconWidth = 34;
    static constexpr int kIconHeight = 17;

    // iconColumn: the column whose number selects an icon of sheet.
    CellDelegate(const QPixmap& sheet, int iconColumn, QObject* parent);

    // x of a type's icon in the sheet: 102 for bits 8 and 1, 68 for 8, 34 for 1, else 0.
    static int iconOffset(int recType);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QPixmap sheet;
    int iconColumn;
};
