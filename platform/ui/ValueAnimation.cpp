#include "platform/ui/ValueAnimation.h"

#include "platform/ui/KitTiming.h"

#include <utility>

ValueAnimation::ValueAnimation(QObject* owner, int designedMs, std::function<void(qreal)> onValue)
    : QVariantAnimation(owner) {
    setDuration(KitTiming::length(designedMs));
    report(std::move(onValue), owner);
}

ValueAnimation::ValueAnimation(QObject* owner, int designedMs, qreal from, qreal to, std::function<void(qreal)> onValue)
    : QVariantAnimation(owner) {
    setDuration(KitTiming::length(designedMs));
    setStartValue(from);
    setEndValue(to);
    report(std::move(onValue), owner);
}

void ValueAnimation::report(std::function<void(qreal)> onValue, QObject* owner) {
    // In the owner's context: the connection ends with the owner, and a
    // disconnect of the owner from the animation reaches it too.
    connect(this, &QVariantAnimation::valueChanged, owner,
            [onValue = std::move(onValue)](const QVariant& value) { onValue(value.toReal()); });
}
