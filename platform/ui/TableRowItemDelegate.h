#pragma once

#include <QStyledItemDelegate>

#include <functional>

// The item delegate of a TableRowList: every row is painted by the list
// itself, in the look of a table cell, at the table's row height.
class TableRowItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using RowPainter = std::function<void(QPainter& painter, const QRect& rect, int row, bool selected)>;

    TableRowItemDelegate(RowPainter painter, std::function<int()> rowHeight, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    RowPainter painter_;
    std::function<int()> rowHeight_;
};
