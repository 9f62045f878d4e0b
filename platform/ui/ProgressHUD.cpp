#include "platform/ui/ProgressHUD.h"

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/KitTiming.h"
#include "platform/ui/Theme.h"

#include <QPainter>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int boxWidth = 180;
constexpr int padding = 14;
constexpr int indicatorTop = 22;
constexpr int textGap = 14;

QFont hudFont() {
    return Theme::boldSystemFont(16);
}

} // namespace

ProgressHUD::ProgressHUD(QWidget* over)
    : ModalOverlay(over), m_indicator(new ActivityIndicatorView(ActivityIndicatorView::Style::WhiteLarge, this)) {
    // The screen stays visible around the box; only the box is dark.
    setDimming(QColor(0, 0, 0, 30));
    m_text = tr("Loading...");
    m_indicator->hide();
}

void ProgressHUD::setText(const QString& text) {
    m_text = text;
    layoutOverlay();
    update();
}

void ProgressHUD::show(const QString& text) {
    m_done = false;
    setText(text);
    present();
    m_indicator->startAnimating();
}

void ProgressHUD::done() {
    m_done = true;
    m_indicator->stopAnimating();
    update();
}

void ProgressHUD::showThenRun(const QString& text, std::function<void()> work, int delayMs) {
    show(text);
    // Drawn now, before the work keeps the event loop from drawing anything.
    repaint();
    QTimer::singleShot(KitTiming::length(delayMs), this, [this, work = std::move(work)] {
        const QPointer<ProgressHUD> self(this);
        work();
        if (self)
            self->hide();
    });
}

void ProgressHUD::hideEvent(QHideEvent* event) {
    m_indicator->stopAnimating();
    ModalOverlay::hideEvent(event);
}

void ProgressHUD::layoutOverlay() {
    const int inner = boxWidth - 2 * padding;
    const int textHeight = QFontMetrics(hudFont())
                               .boundingRect(QRect(0, 0, inner, 1000), Qt::TextWordWrap | Qt::AlignHCenter, m_text)
                               .height();
    const int indicator = m_indicator->sizeHint().height();
    const int height = indicatorTop + indicator + textGap + textHeight + padding + 4;
    m_box = QRect((width() - boxWidth) / 2, (this->height() - height) / 2, boxWidth, height);
    m_indicator->resize(m_indicator->sizeHint());
    m_indicator->move(m_box.center().x() - indicator / 2 + 1, m_box.top() + indicatorTop);
    m_textRect = QRect(m_box.left() + padding, m_indicator->geometry().bottom() + textGap, inner, textHeight);
}

void ProgressHUD::paintEvent(QPaintEvent* event) {
    ModalOverlay::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::hudBox());
    painter.drawRoundedRect(m_box, 10, 10);
    if (m_done) {
        const QPointF c(m_box.center().x(), m_indicator->geometry().center().y());
        painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[] = {{c.x() - 11, c.y()}, {c.x() - 3, c.y() + 9}, {c.x() + 12, c.y() - 10}};
        painter.drawPolyline(tick, 3);
    }
    painter.setFont(hudFont());
    painter.setPen(QColor(0, 0, 0, 160));
    painter.drawText(m_textRect.translated(0, -1), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_text);
    painter.setPen(Qt::white);
    painter.drawText(m_textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_text);
}
