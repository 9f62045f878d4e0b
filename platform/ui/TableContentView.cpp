#include "platform/ui/TableContentView.h"

#include <QPaintEvent>
#include <QPainter>

TableContentView::TableContentView(Painter painter, QWidget* parent) : QWidget(parent), painter_(std::move(painter)) {}

void TableContentView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter_(painter, event->rect());
}

void TableContentView::mousePressEvent(QMouseEvent*) { emit pressed(); }
