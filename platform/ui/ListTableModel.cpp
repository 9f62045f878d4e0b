#include "platform/ui/ListTableModel.h"

ListTableModel::ListTableModel(QObject* parent) : QAbstractListModel(parent) {}

int ListTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

QVariant ListTableModel::data(const QModelIndex& index, int role) const {
    // The rows are painted, not displayed as text; only assistive
    // technology asks for words.
    if (role == Qt::AccessibleTextRole && m_spokenText && index.isValid() && index.row() < m_rows)
        return m_spokenText(index.row());
    return {};
}

void ListTableModel::resetRows(int count) {
    beginResetModel();
    m_rows = qMax(0, count);
    endResetModel();
}

void ListTableModel::rowRemoved(int row) {
    if (row < 0 || row >= m_rows)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    --m_rows;
    endRemoveRows();
}
