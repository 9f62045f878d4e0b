#pragma once

#include <QAbstractButton>

// The period area of the main screen: a white rounded box, like one row of
// a grouped table, that turns blue while pressed. The labels above it are
// transparent to the mouse, so a tap anywhere on the box reaches it.
class PeriodButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit PeriodButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void nameAfterShownPeriod();
};
