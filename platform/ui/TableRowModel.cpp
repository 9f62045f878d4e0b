#include "platform/ui/TableRowModel.h"

TableRowModel::TableRowModel(QObject* parent) : QAbstractListModel(parent) {}

int TableRowModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

QVariant TableRowModel::data(const QModelIndex& index, int role) const {
    // The rows are painted, not displayed as text; only assistive
    // technology asks for words.
    if (role == Qt::AccessibleTextRole && spokenText_ && index.isValid() && index.row() < rows_)
        return spokenText_(index.row());
    return {};
}

void TableRowModel::resetRows(int count) {
    beginResetModel();
    rows_ = qMax(0, count);
    endResetModel();
}

void TableRowModel::rowRemoved(int row) {
    if (row < 0 || row >= rows_) return;
    beginRemoveRows(QModelIndex(), row, row);
    --rows_;
    endRemoveRows();
}
