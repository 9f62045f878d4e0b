#include "app/charts/BarColumn.h"

#include "app/charts/BarLine.h"

#include <QPaintEvent>
#include <QPainter>

BarColumn::BarColumn(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BarColumn::setBars(std::vector<const BarLine*> bars) {
    bars_ = std::move(bars);
    parts_.clear();
    for (const BarLine* bar : bars_) {
        Part part;
        part.role = QAccessible::Graphic;
        part.name = bar->accessibleName();
        part.rect = bar->geometry();
        parts_.append(part);
    }
    update();
}

void BarColumn::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A long chart scrolls: only the bars in the exposed band are painted.
    for (const BarLine* bar : bars_)
        if (event->rect().intersects(bar->geometry())) bar->paint(painter);
}
