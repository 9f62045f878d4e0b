#include "platform/ui/PhoneStyle.h"

#include "platform/ui/Theme.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

constexpr int kIndicatorThickness = 7;
constexpr int kIndicatorInset = 2;
constexpr int kShortestIndicator = 36;
constexpr qreal kButtonRadius = 9;

bool isFlat(const QWidget* widget) {
    const auto* button = qobject_cast<const QPushButton*>(widget);
    return button && button->isFlat();
}

}  // namespace

PhoneStyle::PhoneStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void PhoneStyle::install() {
    if (qobject_cast<PhoneStyle*>(QApplication::style())) return;
    // The application takes ownership of its style.
    QApplication::setStyle(new PhoneStyle);
    QApplication::setFont(Theme::systemFont(17));
}

void PhoneStyle::polish(QPalette& palette) {
    palette.setColor(QPalette::Window, Theme::cellBackground());
    palette.setColor(QPalette::WindowText, Theme::textColor());
    palette.setColor(QPalette::Base, Theme::cellBackground());
    palette.setColor(QPalette::Text, Theme::textColor());
    palette.setColor(QPalette::PlaceholderText, Theme::placeholderColor());
    palette.setColor(QPalette::Button, Theme::cellBackground());
    palette.setColor(QPalette::ButtonText, Theme::buttonText());
    palette.setColor(QPalette::Highlight, Theme::selectionBottom());
    palette.setColor(QPalette::HighlightedText, Theme::highlightedTextColor());
}

int PhoneStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    switch (hint) {
    case SH_ScrollBar_Transient:
        // Scroll indicators lie over the content, which keeps its full width.
        return 1;
    case SH_ScrollView_FrameOnlyAroundContents: return 0;
    default: return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

int PhoneStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
    case PM_ScrollBarExtent: return kIndicatorThickness + kIndicatorInset;
    case PM_ScrollBarSliderMin: return kShortestIndicator;
    case PM_DefaultFrameWidth: return 0;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void PhoneStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    switch (element) {
    case PE_FrameFocusRect:
        // The ring of whatever holds the keyboard focus, as the kit's own
        // rows and buttons draw it.
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(Theme::focusRingColor(), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(1, 1, -1, -1), 5, 5);
        painter->restore();
        return;
    case PE_FrameLineEdit: return;
    case PE_PanelLineEdit: painter->fillRect(option->rect, option->palette.base()); return;
    default: QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void PhoneStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    switch (element) {
    case CE_PushButtonBevel: drawPushButton(option, painter, isFlat(widget)); return;
    case CE_PushButtonLabel: drawPushButtonLabel(option, painter, isFlat(widget)); return;
    default: QProxyStyle::drawControl(element, option, painter, widget);
    }
}

void PhoneStyle::drawPushButton(const QStyleOption* option, QPainter* painter, bool flat) const {
    if (flat) return;
    const bool pressed = option->state & (State_Sunken | State_On);
    const QRectF outline = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -1.5);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // A faint white edge below, as if the button were set into the page.
    painter->setPen(QPen(QColor(255, 255, 255, 160), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(outline.translated(0, 1), kButtonRadius, kButtonRadius);
    QLinearGradient fill(outline.topLeft(), outline.bottomLeft());
    fill.setColorAt(0, pressed ? Theme::selectionTop() : Theme::cellBackground());
    fill.setColorAt(1, pressed ? Theme::selectionBottom() : QColor(246, 246, 246));
    painter->setPen(QPen(Theme::buttonBorder(), 1));
    painter->setBrush(fill);
    painter->drawRoundedRect(outline, kButtonRadius, kButtonRadius);
    painter->restore();
}

void PhoneStyle::drawPushButtonLabel(const QStyleOption* option, QPainter* painter, bool flat) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!button) return;
    const bool pressed = option->state & (State_Sunken | State_On);
    painter->save();
    painter->setFont(Theme::boldSystemFont(15));
    QColor color = pressed && !flat ? Theme::highlightedTextColor() : Theme::buttonText();
    if (!(option->state & State_Enabled)) color.setAlpha(110);
    painter->setPen(color);
    painter->drawText(option->rect.adjusted(4, 0, -4, -1), Qt::AlignCenter | Qt::TextSingleLine, button->text);
    painter->restore();
}

void PhoneStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                    const QWidget* widget) const {
    if (control == CC_ScrollBar) {
        drawScrollIndicator(option, painter, widget);
        return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void PhoneStyle::drawScrollIndicator(const QStyleOptionComplex* option, QPainter* painter,
                                     const QWidget* widget) const {
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!slider || slider->maximum <= slider->minimum) return;
    QRectF bar = subControlRect(CC_ScrollBar, option, SC_ScrollBarSlider, widget);
    bar = slider->orientation == Qt::Vertical ? bar.adjusted(0, 0, -kIndicatorInset, 0)
                                              : bar.adjusted(0, 0, 0, -kIndicatorInset);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(255, 255, 255, 90), 1));
    painter->setBrush(QColor(0, 0, 0, 120));
    const qreal radius = kIndicatorThickness / 2.0;
    painter->drawRoundedRect(bar.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter->restore();
}

QRect PhoneStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                                 const QWidget* widget) const {
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !slider) return QProxyStyle::subControlRect(control, option, subControl, widget);
    // No arrow buttons: the groove is the whole bar, the slider a share of it.
    const QRect groove = option->rect;
    const bool vertical = slider->orientation == Qt::Vertical;
    const int length = vertical ? groove.height() : groove.width();
    const int range = slider->maximum - slider->minimum;
    const int sliderLength =
        range <= 0
            ? length
            : qBound(kShortestIndicator, int(qint64(length) * slider->pageStep / (range + slider->pageStep)), length);
    const int start = sliderPositionFromValue(slider->minimum, slider->maximum, slider->sliderPosition,
                                              length - sliderLength, slider->upsideDown);
    const QRect sliderRect = vertical ? QRect(groove.left(), groove.top() + start, groove.width(), sliderLength)
                                      : QRect(groove.left() + start, groove.top(), sliderLength, groove.height());
    switch (subControl) {
    case SC_ScrollBarSlider: return sliderRect;
    case SC_ScrollBarGroove: return groove;
    case SC_ScrollBarAddPage:
        return vertical
                   ? QRect(groove.left(), sliderRect.bottom() + 1, groove.width(),
                           groove.bottom() - sliderRect.bottom())
                   : QRect(sliderRect.right() + 1, groove.top(), groove.right() - sliderRect.right(), groove.height());
    case SC_ScrollBarSubPage:
        return vertical ? QRect(groove.left(), groove.top(), groove.width(), start)
                        : QRect(groove.left(), groove.top(), start, groove.height());
    default: return QRect();
    }
}

QStyle::SubControl PhoneStyle::hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                                     const QPoint& position, const QWidget* widget) const {
    if (control != CC_ScrollBar) return QProxyStyle::hitTestComplexControl(control, option, position, widget);
    for (SubControl part : {SC_ScrollBarSlider, SC_ScrollBarSubPage, SC_ScrollBarAddPage})
        if (subControlRect(control, option, part, widget).contains(position)) return part;
    return SC_None;
}
