#include "platform/ui/ListTableItemDelegate.h"

#include <QPainter>

ListTableItemDelegate::ListTableItemDelegate(RowPainter painter, std::function<int()> rowHeight, QObject* parent)
    : QStyledItemDelegate(parent), painter_(std::move(painter)), rowHeight_(std::move(rowHeight)) {}

void ListTableItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    painter->save();
    painter_(*painter, option.rect, index.row(), option.state & QStyle::State_Selected);
    painter->restore();
}

QSize ListTableItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), rowHeight_());
}
