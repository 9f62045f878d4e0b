#pragma once

#include "platform/ui/ModalOverlay.h"

#include <functional>

class ActivityIndicatorView;

// The progress overlay: a dark rounded box in the middle of the window with
// a spinning indicator and one text, holding off taps while the app works.
// Long work on the main thread goes through showThenRun(), so that the box
// is on the screen before the work blocks the event loop.
class ProgressHUD : public ModalOverlay {
    Q_OBJECT
public:
    // Over the window that holds the widget (the current phone window when
    // none is given).
    explicit ProgressHUD(QWidget* over = nullptr);

    void setText(const QString& text);
    QString text() const { return text_; }
    void show(const QString& text);
    using QWidget::show;
    // The work is over: a check mark replaces the spinner.
    void done();
    bool isDone() const { return done_; }
    // Shows the box with the text, paints it at once, runs the work delayMs
    // later from the event loop, then hides the box (unless the work has
    // destroyed or hidden it already).
    void showThenRun(const QString& text, std::function<void()> work, int delayMs = 100);

    ActivityIndicatorView* activityIndicator() const { return indicator_; }
    QRect boxRect() const { return box_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void layoutOverlay() override;

private:
    QString text_;
    QRect box_;
    QRect textRect_;
    bool done_ = false;
    ActivityIndicatorView* indicator_;
};
