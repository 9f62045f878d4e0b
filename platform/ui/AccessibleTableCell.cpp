#include "platform/ui/AccessibleTableCell.h"

#include "platform/ui/TableViewCell.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

bool saysSomething(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

}  // namespace

AccessibleTableCell::AccessibleTableCell(TableViewCell* cell) : QAccessibleWidget(cell, QAccessible::Button) {}

TableViewCell* AccessibleTableCell::cell() const { return static_cast<TableViewCell*>(widget()); }

QStringList AccessibleTableCell::shownTexts(const QWidget* cell) {
    struct Shown {
        QPoint at;
        QString text;
    };
    std::vector<Shown> shown;
    for (const QLabel* label : cell->findChildren<QLabel*>()) {
        const QString text = label->text().simplified();
        if (!label->isVisibleTo(cell) || !saysSomething(text)) continue;
        shown.push_back({label->mapTo(cell, QPoint(0, 0)), text});
    }
    // Lines first: labels whose tops lie within a few points share a line.
    std::stable_sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) {
        if (qAbs(a.at.y() - b.at.y()) > 4) return a.at.y() < b.at.y();
        return a.at.x() < b.at.x();
    });
    QStringList texts;
    for (const Shown& s : shown) texts << s.text;
    return texts;
}

bool AccessibleTableCell::respondsToTap() const {
    const TableViewCell* c = cell();
    if (c->editingStyle() == TableViewCell::EditingStyle::Insert) return true;
    return c->isSelectable() && (c->selectionStyle() != TableViewCell::SelectionStyle::None ||
                                 c->accessoryType() != TableViewCell::Accessory::None || !controls().isEmpty());
}

QAccessible::Role AccessibleTableCell::role() const {
    return respondsToTap() ? QAccessible::Button : QAccessible::StaticText;
}

QString AccessibleTableCell::text(QAccessible::Text t) const {
    if (t == QAccessible::Name) {
        if (!widget()->accessibleName().isEmpty()) return widget()->accessibleName();
        QStringList texts = shownTexts(widget());
        if (texts.isEmpty()) return {};
        const QString first = texts.takeFirst();
        return texts.isEmpty() ? first : QStringLiteral("%1: %2").arg(first, texts.join(QStringLiteral(", ")));
    }
    if (t == QAccessible::Value) {
        for (const QLineEdit* field : widget()->findChildren<QLineEdit*>())
            if (field->isVisibleTo(widget())) return field->text();
        return {};
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State AccessibleTableCell::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    const TableViewCell* c = cell();
    state.selectable = c->isSelectable();
    state.selected = c->isSelected();
    if (c->accessoryType() == TableViewCell::Accessory::Checkmark) {
        state.checkable = true;
        state.checked = true;
    }
    return state;
}

QList<QWidget*> AccessibleTableCell::controls() const {
    QList<QWidget*> found;
    for (QWidget* child : widget()->findChildren<QWidget*>())
        if (!qobject_cast<QLabel*>(child) && child->focusPolicy() != Qt::NoFocus && child->isVisibleTo(widget()))
            found << child;
    return found;
}

int AccessibleTableCell::childCount() const { return int(controls().size()); }

QAccessibleInterface* AccessibleTableCell::child(int index) const {
    const QList<QWidget*> found = controls();
    return index >= 0 && index < found.size() ? QAccessible::queryAccessibleInterface(found[index]) : nullptr;
}

int AccessibleTableCell::indexOfChild(const QAccessibleInterface* child) const {
    if (!child) return -1;
    return int(controls().indexOf(qobject_cast<QWidget*>(child->object())));
}

QStringList AccessibleTableCell::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames();
    if (respondsToTap()) names.prepend(pressAction());
    return names;
}

void AccessibleTableCell::doAction(const QString& actionName) {
    if (actionName == pressAction() && respondsToTap()) {
        widget()->setFocus(Qt::OtherFocusReason);
        // A row that adds (the green plus in editing mode) adds.
        if (cell()->editingStyle() == TableViewCell::EditingStyle::Insert)
            emit cell()->editingControlClicked();
        else
            emit cell()->tapped();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}
