#include "platform/ui/ListTableModel.h"

ListTableModel::ListTableModel(QObject* parent) : QAbstractListModel(parent) {}

int ListTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

QVariant ListTableModel::data(const QModelIndex& index, int role) const {
    // The rows are painted, not displayed as text; only assistive
    // technology asks for words.
    if (role == Qt::AccessibleTextRole && spokenText_ && index.isValid() && index.row() < rows_)
        return spokenText_(index.row());
    return {};
}

void ListTableModel::resetRows(int count) {
    beginResetModel();
    rows_ = qMax(0, count);
    endResetModel();
}

void ListTableModel::rowRemoved(int row) {
    if (row < 0 || row >= rows_) return;
    beginRemoveRows(QModelIndex(), row, row);
    --rows_;
    endRemoveRows();
}
