#pragma once

#include <QColor>
#include <QWidget>

class QVariantAnimation;

// A layer over the whole phone window that dims it and takes every tap and
// key while it is up, so the screens below wait for the answer without the
// program waiting: nothing here runs a nested event loop.
class ModalOverlay : public QWidget {
    Q_OBJECT
public:
    // Lies over the window that holds the widget (or the current phone
    // window).
    explicit ModalOverlay(QWidget* over);

    void setDimming(const QColor& color);
    // Shows the layer on top, the dimming fading in.
    void present();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // 0 to 1 while the dimming fades in.
    qreal appearance() const { return appearance_; }
    // Called when the window is resized; the default does nothing more than
    // follow it.
    virtual void layoutOverlay();

private:
    QColor dimming_;
    qreal appearance_ = 1.0;
    QVariantAnimation* fadeIn_;
};
