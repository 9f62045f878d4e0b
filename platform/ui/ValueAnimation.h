#pragma once

#include <QVariantAnimation>

#include <functional>

// A number running between two values over one of the kit's lengths, handed
// to its owner at every step: the fades, slides and settling wheels of the
// kit. The owner keeps the number and repaints; the animation is its child.
class ValueAnimation : public QVariantAnimation {
    Q_OBJECT
public:
    // For runs whose ends are set before each start.
    ValueAnimation(QObject* owner, int designedMs, std::function<void(qreal)> onValue);
    // For a run that is always the same. The ends are set before the owner
    // listens, so setting them reports no value.
    ValueAnimation(QObject* owner, int designedMs, qreal from, qreal to, std::function<void(qreal)> onValue);

private:
    void report(std::function<void(qreal)> onValue, QObject* owner);
};
