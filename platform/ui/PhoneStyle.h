#pragma once

#include <QProxyStyle>

// The application style of the phone look on top of Fusion: rounded-rect
// push buttons (a flat push button draws nothing, for invisible tap areas
// laid over labels), frameless text fields, thin overlay scroll indicators,
// no focus rectangles, and the palette and font of the theme.
class PhoneStyle : public QProxyStyle {
    Q_OBJECT
public:
    PhoneStyle();

    // Makes it the application's style, with the theme's font and palette,
    // unless it already is.
    static void install();

    void polish(QPalette& palette) override;
    using QProxyStyle::polish;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget) const override;
    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option, const QPoint& position,
                                     const QWidget* widget) const override;

private:
    void drawPushButton(const QStyleOption* option, QPainter* painter, bool flat) const;
    void drawPushButtonLabel(const QStyleOption* option, QPainter* painter, bool flat) const;
    void drawScrollIndicator(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
};
