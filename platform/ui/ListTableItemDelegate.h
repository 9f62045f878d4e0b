#pragma once

#include <QStyledItemDelegate>

#include <functional>

// The item delegate of a ListTableView: every row is painted by the list
// itself, in the look of a table cell, at the list's row height.
class ListTableItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using RowPainter = std::function<void(QPainter& painter, const QRect& rect, int row, bool selected)>;

    ListTableItemDelegate(RowPainter painter, std::function<int()> rowHeight, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    RowPainter painter_;
    std::function<int()> rowHeight_;
};
