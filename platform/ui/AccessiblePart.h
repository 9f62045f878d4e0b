#pragma once

#include "platform/ui/AccessibleParts.h"

#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QAccessibleValueInterface>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

// One painted element of a widget as assistive technology sees it: it has
// no object of its own, so it asks its owner for what the part shows now
// each time it is asked, and stays valid while the part exists. A part with
// a range is a value element too (a wheel: current, minimum, maximum, step).
class AccessiblePart : public QAccessibleInterface,
                       public QAccessibleActionInterface,
                       public QAccessibleValueInterface {
public:
    using Describe = std::function<std::optional<AccessibleParts::Part>(int index)>;
    using Trigger = std::function<void(int index, const QString& action)>;
    using SetValue = std::function<void(int index, double value)>;

    AccessiblePart(QWidget* owner, QAccessibleInterface* parent, int index, Describe describe, Trigger trigger,
                   SetValue setValue = {});

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override { return parent_; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    std::optional<AccessibleParts::Part> part() const;
    std::optional<AccessibleParts::Range> range() const;

    QPointer<QWidget> owner_;
    QAccessibleInterface* parent_;
    int index_;
    Describe describe_;
    Trigger trigger_;
    SetValue setValue_;
};
