#include "platform/ui/AccessiblePart.h"

#include <QWindow>

AccessiblePart::AccessiblePart(QWidget* owner, QAccessibleInterface* parent, int index, Describe describe,
                               Trigger trigger)
    : m_owner(owner), m_parent(parent), m_index(index), m_describe(std::move(describe)),
      m_trigger(std::move(trigger)) {}

std::optional<AccessibleParts::Part> AccessiblePart::part() const {
    if (!m_owner)
        return std::nullopt;
    return m_describe(m_index);
}

bool AccessiblePart::isValid() const {
    return part().has_value();
}

QWindow* AccessiblePart::window() const {
    return m_owner ? m_owner->window()->windowHandle() : nullptr;
}

QString AccessiblePart::text(QAccessible::Text t) const {
    const auto described = part();
    if (!described)
        return {};
    switch (t) {
    case QAccessible::Name:
        return described->name;
    case QAccessible::Value:
        return described->value;
    case QAccessible::Description:
        return described->description;
    default:
        return {};
    }
}

QRect AccessiblePart::rect() const {
    const auto described = part();
    if (!described)
        return {};
    return QRect(m_owner->mapToGlobal(described->rect.topLeft()), described->rect.size());
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
    state.invisible = !m_owner->isVisible();
    state.focusable = described->pressable || described->adjustable;
    state.focused = described->focused;
    state.selectable = described->selected;
    state.selected = described->selected;
    return state;
}

void* AccessiblePart::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

QStringList AccessiblePart::actionNames() const {
    const auto described = part();
    QStringList names;
    if (described && described->pressable)
        names << pressAction();
    if (described && described->adjustable)
        names << increaseAction() << decreaseAction();
    return names;
}

void AccessiblePart::doAction(const QString& actionName) {
    if (actionNames().contains(actionName) && m_trigger)
        m_trigger(m_index, actionName);
}
