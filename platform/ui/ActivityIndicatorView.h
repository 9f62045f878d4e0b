#pragma once

#include <QColor>
#include <QWidget>

class QTimer;

// The spinning activity indicator: twelve rounded spokes whose brightness
// runs round while the event loop turns. White and large on dark overlays,
// grey and small on light screens.
class ActivityIndicatorView : public QWidget {
    Q_OBJECT
public:
    enum class Style { WhiteLarge, White, Gray };

    explicit ActivityIndicatorView(Style style = Style::WhiteLarge, QWidget* parent = nullptr);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const;
    // The spoke drawn brightest; it moves on at every step.
    int currentStep() const { return step_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Style style_;
    int step_ = 0;
    QTimer* timer_;
};
