#include "browser/CustomFilter.h"

#include "browser/ItemData.h"

#include <limits>

namespace {

constexpr int kColumnCount = 6;

template <typename T>
int compare(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareKeys(const CustomFilter::RowKey& a, const CustomFilter::RowKey& b, int column) {
    switch (column) {
        case 0:
            return compare(a.day, b.day);
        case 1:
            return compare(a.time, b.time);
        case 2:
            return compare(a.duration, b.duration);
        case 3:
            return compare(a.channel, b.channel);
        case 4:
            return compare(a.recType, b.recType);
        default:
            return compare(a.path, b.path);
    }
}

}  // namespace

CustomFilter::CustomFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

CustomFilter::RowKey CustomFilter::keyFor(const ItemData& item) {
    RowKey key;
    const bool valid = item.startTime.isValid();
    // An invalid start shows empty Date and Time cells, which sort first.
    key.day = valid ? item.startTime.date().toJulianDay() : std::numeric_limits<qint64>::min();
    key.time = valid ? item.startTime.time().msecsSinceStartOfDay() / 1000 : -1;
    key.duration = item.duration.msecsSinceStartOfDay() / 1000;
    key.channel = item.channel;
    key.recType = item.recType;
    key.path = item.filePath;
    return key;
}

void CustomFilter::setRowKeys(QVector<RowKey> rowKeys) {
    keys = std::move(rowKeys);
}

bool CustomFilter::filterAcceptsColumn(int sourceColumn, const QModelIndex&) const {
    return sourceColumn >= 0 && sourceColumn < kColumnCount;
}

bool CustomFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    if (left.row() >= keys.size() || right.row() >= keys.size())
        return QSortFilterProxyModel::lessThan(left, right);
    const int order = compareKeys(keys[left.row()], keys[right.row()], left.column());
    if (order != 0)
        return order < 0;
    // Equal keys keep the model (walk) order in either direction, whatever
    // order the rows had before; descending sorts ask with the rows swapped.
    return sortOrder() == Qt::AscendingOrder ? left.row() < right.row() : left.row() > right.row();
}
