#pragma once

#include <QAccessible>
#include <QList>
#include <QRect>
#include <QString>

#include <optional>

// Implemented by a widget that paints controls of its own (the buttons of an
// alert, the wheels of a picker, the wedges of a chart) so that assistive
// technology sees each of them as an element with a role, a name and, where
// it can be used, actions. The kit's accessibility factory exposes every
// widget that implements it.
class AccessibleParts {
public:
    // The number a part stands for (a wheel's row), which a screen reader
    // reads and sets as the element's value.
    struct Range {
        double current = 0;
        double minimum = 0;
        double maximum = 0;
        double step = 1;
    };

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
        // Offers the value interface.
        std::optional<Range> range;
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
    // Sets a part that has a range to the value, as a screen reader does.
    virtual void setAccessiblePartValue(int index, double value) {
        Q_UNUSED(index);
        Q_UNUSED(value);
    }
};
