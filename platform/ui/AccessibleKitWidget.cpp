#include "platform/ui/AccessibleKitWidget.h"

AccessibleKitWidget::AccessibleKitWidget(QWidget* widget, QAccessible::Role role, Parts parts,
                                         AccessiblePart::Trigger trigger, AccessiblePart::SetValue setValue)
    : QAccessibleWidget(widget, role), parts_(std::move(parts)), trigger_(std::move(trigger)),
      setValue_(std::move(setValue)) {}

AccessibleKitWidget::~AccessibleKitWidget() {
    for (QAccessible::Id id : partIds_)
        if (id) QAccessible::deleteAccessibleInterface(id);
}

QAccessible::State AccessibleKitWidget::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    if (decorative_) state.invisible = true;
    return state;
}

int AccessibleKitWidget::partCount() const { return parts_ && !decorative_ ? int(parts_().size()) : 0; }

int AccessibleKitWidget::childCount() const { return single_ ? 0 : QAccessibleWidget::childCount() + partCount(); }

QAccessibleInterface* AccessibleKitWidget::partInterface(int index) const {
    if (size_t(index) >= partIds_.size()) partIds_.resize(size_t(index) + 1, 0);
    QAccessible::Id& id = partIds_[size_t(index)];
    if (!id) {
        // The part reads what it shows from the widget whenever asked, so
        // one interface serves the index for as long as the widget lives.
        const Parts parts = parts_;
        auto* part = new AccessiblePart(
            widget(), const_cast<AccessibleKitWidget*>(this), index,
            [parts](int i) -> std::optional<AccessibleParts::Part> {
                const QList<AccessibleParts::Part> all = parts();
                if (i < 0 || i >= all.size()) return std::nullopt;
                return all[i];
            },
            trigger_, setValue_);
        id = QAccessible::registerAccessibleInterface(part);
    }
    return QAccessible::accessibleInterface(id);
}

QAccessibleInterface* AccessibleKitWidget::child(int index) const {
    if (single_) return nullptr;
    const int widgets = QAccessibleWidget::childCount();
    if (index < widgets) return QAccessibleWidget::child(index);
    if (index - widgets >= partCount()) return nullptr;
    return partInterface(index - widgets);
}

int AccessibleKitWidget::indexOfChild(const QAccessibleInterface* child) const {
    if (single_) return -1;
    const int widgets = QAccessibleWidget::childCount();
    for (size_t i = 0; i < partIds_.size(); ++i)
        if (partIds_[i] && QAccessible::accessibleInterface(partIds_[i]) == child)
            return int(i) < partCount() ? widgets + int(i) : -1;
    return QAccessibleWidget::indexOfChild(child);
}

QAccessibleInterface* AccessibleKitWidget::childAt(int x, int y) const {
    if (single_) return nullptr;
    const int parts = partCount();
    for (int i = 0; i < parts; ++i) {
        QAccessibleInterface* part = partInterface(i);
        if (part->rect().contains(x, y)) return part;
    }
    return QAccessibleWidget::childAt(x, y);
}
