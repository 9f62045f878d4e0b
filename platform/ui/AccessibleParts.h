#pragma once

#include <QAccessible>
#include <QList>
#include <QRect>
#include <QString>

// Implemented by a widget that paints controls of its own (the buttons of an
// alert, the wheels of a picker, the wedges of a chart) so that assistive
// technology sees each of them as an element with a role, a name and, where
// it can be used, actions. The kit's accessibility factory exposes every
// widget that implements it.
class AccessibleParts {
public:
    struct Part {
        QAccessible::Role role = QAccessible::StaticText;
        QString name;
        QString value;
        QString description;
        // In the widget's coordinates.
        QRect rect;
        // Offers the press action.
        bool pressable = false;
        // Offers the increase and decrease actions (a wheel).
        bool adjustable = false;
        bool focused = false;
        bool selected = false;
    };

    virtual ~AccessibleParts() = default;

    // The role of the widget itself.
    virtual QAccessible::Role accessibleRole() const = 0;
    virtual QList<Part> accessibleParts() const = 0;
    // Carries out one of QAccessibleActionInterface's actions on a part.
    virtual void triggerAccessiblePart(int index, const QString& action) {
        Q_UNUSED(index);
        Q_UNUSED(action);
    }
};
