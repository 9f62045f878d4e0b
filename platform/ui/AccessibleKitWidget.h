#pragma once

#include "platform/ui/AccessiblePart.h"
#include "platform/ui/AccessibleParts.h"

#include <QAccessibleWidget>

#include <functional>
#include <vector>

// A kit widget as assistive technology sees it: a role of its own, its
// child widgets, then the parts it paints itself (see AccessibleParts), each
// an element of its own. A decorative widget reports itself invisible, so
// screen readers pass over it.
class AccessibleKitWidget : public QAccessibleWidget {
public:
    using Parts = std::function<QList<AccessibleParts::Part>()>;

    AccessibleKitWidget(QWidget* widget, QAccessible::Role role, Parts parts = {}, AccessiblePart::Trigger trigger = {},
                        AccessiblePart::SetValue setValue = {});
    ~AccessibleKitWidget() override;

    void setDecorative(bool decorative) { decorative_ = decorative; }
    // Without children: the widget's name says all that its children show.
    void setSingleElement(bool single) { single_ = single; }

    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    int partCount() const;
    QAccessibleInterface* partInterface(int index) const;

    Parts parts_;
    AccessiblePart::Trigger trigger_;
    AccessiblePart::SetValue setValue_;
    bool decorative_ = false;
    bool single_ = false;
    // The parts' interfaces by index, made when first asked for and owned
    // by QAccessible's cache until this interface goes.
    mutable std::vector<QAccessible::Id> partIds_;
};
