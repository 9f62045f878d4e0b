#include "platform/ui/BarButtonItem.h"

#include <QPainter>
#include <QRadialGradient>

BarButtonItem::BarButtonItem(const QString& title, Style style, QObject* parent)
    : QObject(parent), title_(title), style_(style) {}

BarButtonItem::BarButtonItem(SystemItem item, QObject* parent)
    : QObject(parent), title_(systemTitle(item)),
      style_(item == SystemItem::Done || item == SystemItem::Save ? Style::Done : Style::Bordered), systemItem_(item) {
    if (item == SystemItem::InfoLight) {
        painter_ = infoPainter();
        customSize_ = QSize(30, 30);
    }
}

BarButtonItem::BarButtonItem(const QIcon& icon, QSize size, QObject* parent)
    : BarButtonItem(
          [icon](QPainter& painter, const QRectF& rect, bool highlighted) {
              if (highlighted) {
                  // The glow of a touched custom button.
                  QRadialGradient glow(rect.center(), rect.width() / 2);
                  glow.setColorAt(0, QColor(255, 255, 255, 200));
                  glow.setColorAt(1, QColor(255, 255, 255, 0));
                  painter.setPen(Qt::NoPen);
                  painter.setBrush(glow);
                  painter.drawEllipse(rect);
              }
              icon.paint(&painter, rect.toRect());
          },
          size, parent) {}

BarButtonItem::BarButtonItem(Painter painter, QSize size, QObject* parent)
    : QObject(parent), painter_(std::move(painter)), customSize_(size) {}

void BarButtonItem::setTitle(const QString& title) {
    if (title_ == title) return;
    title_ = title;
    emit changed();
}

void BarButtonItem::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    emit changed();
}

QString BarButtonItem::accessibleName() const {
    if (!accessibleName_.isEmpty()) return accessibleName_;
    if (systemItem_ == SystemItem::Add) return tr("Add");
    if (systemItem_ == SystemItem::InfoLight) return tr("Info");
    return title_;
}

void BarButtonItem::setAccessibleName(const QString& name) {
    if (accessibleName_ == name) return;
    accessibleName_ = name;
    emit changed();
}

void BarButtonItem::trigger() {
    if (enabled_) emit clicked();
}

QString BarButtonItem::systemTitle(SystemItem item) {
    switch (item) {
    case SystemItem::Done: return tr("Done");
    case SystemItem::Cancel: return tr("Cancel");
    case SystemItem::Edit: return tr("Edit");
    case SystemItem::Save: return tr("Save");
    case SystemItem::Add: return QStringLiteral("+");
    case SystemItem::InfoLight: break;
    }
    return {};
}

BarButtonItem::Painter BarButtonItem::infoPainter() {
    // A white ring around a serif-less "i", as light info buttons look on a
    // dark bar; it glows while pressed.
    return [](QPainter& painter, const QRectF& rect, bool highlighted) {
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF c = rect.center();
        const qreal r = 8.5;
        if (highlighted) {
            QRadialGradient glow(c, rect.width() / 2);
            glow.setColorAt(0, QColor(255, 255, 255, 220));
            glow.setColorAt(1, QColor(255, 255, 255, 0));
            painter.setPen(Qt::NoPen);
            painter.setBrush(glow);
            painter.drawEllipse(rect);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 90), 2));
        painter.drawEllipse(c + QPointF(0, 1), r, r);
        painter.setPen(QPen(Qt::white, 2));
        painter.drawEllipse(c, r, r);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(c.x(), c.y() - 4.5), 1.4, 1.4);
        painter.drawRoundedRect(QRectF(c.x() - 1.25, c.y() - 1.5, 2.5, 7.5), 1, 1);
    };
}
