#include "platform/ui/ScrollView.h"

#include <QScrollBar>

ScrollView::ScrollView(QWidget* parent) : QScrollArea(parent), content_(new QWidget) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(false);
    setWidget(content_);
    // Transparent all through: the scroll area fills its widget by default.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    content_->setAutoFillBackground(false);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Window, Qt::transparent);
    setPalette(transparent);
}

void ScrollView::setContentSize(const QSize& size) { content_->resize(size); }

void ScrollView::setContentOffset(const QPoint& offset) {
    horizontalScrollBar()->setValue(offset.x());
    verticalScrollBar()->setValue(offset.y());
}

QPoint ScrollView::contentOffset() const {
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void ScrollView::removeAllContent() {
    for (QWidget* child : content_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        // Out of the content at once, so the next rows never meet the old.
        child->hide();
        child->setParent(nullptr);
        child->deleteLater();
    }
}
