#pragma once

#include <QSortFilterProxyModel>
#include <QVector>

struct ItemData;

// Sort proxy of the recording table: orders rows by the type of their column
// (dates, times of day, integers, text). Sort keys are computed once per row
// when the table is filled, so a comparison never parses cell text.
class CustomFilter : public QSortFilterProxyModel {
public:
    // Keys of one row; each compares exactly as its column's displayed value.
    struct RowKey {
        qint64 day = 0;    // column 0: Julian day of the start date
        int time = -1;     // column 1: start time of day in seconds; -1 when invalid
        int duration = 0;  // column 2: displayed duration in seconds
        int channel = 0;   // column 3
        int recType = 0;   // column 4
        QString path;      // column 5
    };

    explicit CustomFilter(QObject* parent = nullptr);

    static RowKey keyFor(const ItemData& item);
    // Keys for source rows 0..n-1; set before the source rows they describe are shown.
    void setRowKeys(QVector<RowKey> keys);

protected:
    bool filterAcceptsColumn(int sourceColumn, const QModelIndex& sourceParent) const override;
    // Falls back to the cells' display text for rows that have no key.
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QVector<RowKey> keys;
};
