#include "platform/ui/AccessiblePart.h"

#include <QWindow>

AccessiblePart::AccessiblePart(QWidget* owner, QAccessibleInterface* parent, int index, Describe describe,
                               Trigger trigger, SetValue setValue)
    : owner_(owner), parent_(parent), index_(index), describe_(std::move(describe)), trigger_(std::move(trigger)),
      setValue_(std::move(setValue)) {}

std::optional<AccessibleParts::Part> AccessiblePart::part() const {
    if (!owner_) return std::nullopt;
    return describe_(index_);
}

bool AccessiblePart::isValid() const { return part().has_value(); }

QWindow* AccessiblePart::window() const { return owner_ ? owner_->window()->windowHandle() : nullptr; }

QString AccessiblePart::text(QAccessible::Text t) const {
    const auto described = part();
    if (!described) return {};
    switch (t) {
    case QAccessible::Name: return described->name;
    case QAccessible::Value: return described->value;
    case QAccessible::Description: return described->description;
    default: return {};
    }
}

QRect AccessiblePart::rect() const {
    const auto described = part();
    if (!described) return {};
    return QRect(owner_->mapToGlobal(described->rect.topLeft()), described->rect.size());
}

QAccessible::Role AccessiblePart::role() const {
    const auto described = part();
    return described ? described->role : QAccessible::NoRole;
}

QAccessible::State AccessiblePart::state() const {
    QAccessible::State state;
    const auto described = part();
    if (!described) {
        state.invalid = true;
        return state;
    }
    state.invisible = !owner_->isVisible();
    state.focusable = described->pressable || described->adjustable;
    state.focused = described->focused;
    state.selectable = described->selected;
    state.selected = described->selected;
    return state;
}

void* AccessiblePart::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    if (type == QAccessible::ValueInterface && range()) return static_cast<QAccessibleValueInterface*>(this);
    return nullptr;
}

QStringList AccessiblePart::actionNames() const {
    const auto described = part();
    QStringList names;
    if (described && described->pressable) names << pressAction();
    if (described && described->adjustable) names << increaseAction() << decreaseAction();
    return names;
}

void AccessiblePart::doAction(const QString& actionName) {
    if (actionNames().contains(actionName) && trigger_) trigger_(index_, actionName);
}

std::optional<AccessibleParts::Range> AccessiblePart::range() const {
    const auto described = part();
    return described ? described->range : std::nullopt;
}

QVariant AccessiblePart::currentValue() const {
    const auto r = range();
    return r ? QVariant(r->current) : QVariant();
}

void AccessiblePart::setCurrentValue(const QVariant& value) {
    bool number = false;
    const double wanted = value.toDouble(&number);
    if (number && range() && setValue_) setValue_(index_, wanted);
}

QVariant AccessiblePart::maximumValue() const {
    const auto r = range();
    return r ? QVariant(r->maximum) : QVariant();
}

QVariant AccessiblePart::minimumValue() const {
    const auto r = range();
    return r ? QVariant(r->minimum) : QVariant();
}

QVariant AccessiblePart::minimumStepSize() const {
    const auto r = range();
    return r ? QVariant(r->step) : QVariant();
}
