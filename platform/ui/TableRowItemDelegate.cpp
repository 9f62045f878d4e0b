#include "platform/ui/TableRowItemDelegate.h"

#include <QPainter>

TableRowItemDelegate::TableRowItemDelegate(RowPainter painter, std::function<int()> rowHeight, QObject* parent)
    : QStyledItemDelegate(parent), painter_(std::move(painter)), rowHeight_(std::move(rowHeight)) {}

void TableRowItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    painter->save();
    painter_(*painter, option.rect, index.row(), option.state & QStyle::State_Selected);
    painter->restore();
}

QSize TableRowItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), rowHeight_());
}
