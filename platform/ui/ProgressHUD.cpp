#include "platform/ui/ProgressHUD.h"

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/KitTiming.h"
#include "platform/ui/Theme.h"

#include <QPainter>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kBoxWidth = 180;
constexpr int kPadding = 14;
constexpr int kIndicatorTop = 22;
constexpr int kTextGap = 14;

QFont hudFont() { return Theme::boldSystemFont(16); }

}  // namespace

ProgressHUD::ProgressHUD(QWidget* over)
    : ModalOverlay(over), indicator_(new ActivityIndicatorView(ActivityIndicatorView::Style::WhiteLarge, this)) {
    // The screen stays visible around the box; only the box is dark.
    setDimming(QColor(0, 0, 0, 30));
    text_ = tr("Loading...");
    indicator_->hide();
}

void ProgressHUD::setText(const QString& text) {
    text_ = text;
    layoutOverlay();
    update();
}

void ProgressHUD::show(const QString& text) {
    done_ = false;
    setText(text);
    present();
    indicator_->startAnimating();
}

void ProgressHUD::done() {
    done_ = true;
    indicator_->stopAnimating();
    update();
}

void ProgressHUD::showThenRun(const QString& text, std::function<void()> work, int delayMs) {
    show(text);
    // Drawn now, before the work keeps the event loop from drawing anything.
    repaint();
    QTimer::singleShot(KitTiming::length(delayMs), this, [this, work = std::move(work)] {
        const QPointer<ProgressHUD> self(this);
        work();
        if (self) self->hide();
    });
}

void ProgressHUD::hideEvent(QHideEvent* event) {
    indicator_->stopAnimating();
    ModalOverlay::hideEvent(event);
}

void ProgressHUD::layoutOverlay() {
    const int inner = kBoxWidth - 2 * kPadding;
    const int textHeight = QFontMetrics(hudFont())
                               .boundingRect(QRect(0, 0, inner, 1000), Qt::TextWordWrap | Qt::AlignHCenter, text_)
                               .height();
    const int indicator = indicator_->sizeHint().height();
    const int height = kIndicatorTop + indicator + kTextGap + textHeight + kPadding + 4;
    box_ = QRect((width() - kBoxWidth) / 2, (this->height() - height) / 2, kBoxWidth, height);
    indicator_->resize(indicator_->sizeHint());
    indicator_->move(box_.center().x() - indicator / 2 + 1, box_.top() + kIndicatorTop);
    textRect_ = QRect(box_.left() + kPadding, indicator_->geometry().bottom() + kTextGap, inner, textHeight);
}

void ProgressHUD::paintEvent(QPaintEvent* event) {
    ModalOverlay::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::hudBox());
    painter.drawRoundedRect(box_, 10, 10);
    if (done_) {
        const QPointF c(box_.center().x(), indicator_->geometry().center().y());
        painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[] = {{c.x() - 11, c.y()}, {c.x() - 3, c.y() + 9}, {c.x() + 12, c.y() - 10}};
        painter.drawPolyline(tick, 3);
    }
    painter.setFont(hudFont());
    painter.setPen(QColor(0, 0, 0, 160));
    painter.drawText(textRect_.translated(0, -1), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text_);
    painter.setPen(Qt::white);
    painter.drawText(textRect_, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text_);
}
