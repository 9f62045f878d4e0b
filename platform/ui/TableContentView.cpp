#include "platform/ui/TableContentView.h"

#include <QPaintEvent>
#include <QPainter>

TableContentView::TableContentView(Painter painter, QWidget* parent)
    : QWidget(parent), m_painter(std::move(painter)) {}

void TableContentView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    m_painter(painter, event->rect());
}

void TableContentView::mousePressEvent(QMouseEvent*) {
    emit pressed();
}
