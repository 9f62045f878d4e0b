#include "platform/ui/ListTableItemDelegate.h"

#include <QPainter>

ListTableItemDelegate::ListTableItemDelegate(RowPainter painter, std::function<int()> rowHeight, QObject* parent)
    : QStyledItemDelegate(parent), m_painter(std::move(painter)), m_rowHeight(std::move(rowHeight)) {}

void ListTableItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    painter->save();
    m_painter(*painter, option.rect, index.row(), option.state & QStyle::State_Selected);
    painter->restore();
}

QSize ListTableItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), m_rowHeight());
}
