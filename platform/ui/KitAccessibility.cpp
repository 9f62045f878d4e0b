#include "platform/ui/KitAccessibility.h"

#include "platform/ui/AccessibleKitWidget.h"
#include "platform/ui/AccessibleTableCell.h"
#include "platform/ui/TableContentView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"

#include <QLabel>
#include <QPointer>

namespace {

constexpr const char* kRoleProperty = "brindlexAccessibleRole";
constexpr const char* kDecorativeProperty = "brindlexDecorative";
constexpr const char* kSingleElementProperty = "brindlexSingleElement";

TableView* tableOf(QWidget* content) {
    for (QWidget* w = content->parentWidget(); w; w = w->parentWidget())
        if (auto* table = qobject_cast<TableView*>(w)) return table;
    return nullptr;
}

AccessibleParts::Part sectionText(const QString& text, const QRect& rect) {
    AccessibleParts::Part part;
    part.role = QAccessible::StaticText;
    part.name = text.simplified();
    part.rect = rect;
    return part;
}

// The section texts a table paints between its rows, as text elements.
QList<AccessibleParts::Part> sectionTexts(const QPointer<QWidget>& content) {
    QList<AccessibleParts::Part> parts;
    TableView* table = content ? tableOf(content) : nullptr;
    if (!table) return parts;
    for (int section = 0; section < table->numberOfSections(); ++section) {
        const QString header = table->titleForHeaderInSection(section);
        const QString footer = table->titleForFooterInSection(section);
        if (!header.isEmpty()) parts.append(sectionText(header, table->rectForHeaderInSection(section)));
        if (!footer.isEmpty()) parts.append(sectionText(footer, table->rectForFooterInSection(section)));
    }
    return parts;
}

bool isPictureOnly(const QWidget* widget) {
    const auto* label = qobject_cast<const QLabel*>(widget);
    return label && label->text().isEmpty() && !label->pixmap().isNull();
}

}  // namespace

void KitAccessibility::install() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(&KitAccessibility::create);
}

void KitAccessibility::setRole(QWidget* widget, QAccessible::Role role) {
    widget->setProperty(kRoleProperty, int(role));
}

void KitAccessibility::setSingleElement(QWidget* widget, QAccessible::Role role) {
    setRole(widget, role);
    widget->setProperty(kSingleElementProperty, true);
}

void KitAccessibility::setDecorative(QWidget* widget) { widget->setProperty(kDecorativeProperty, true); }

QAccessibleInterface* KitAccessibility::create(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    if (auto* cell = qobject_cast<TableViewCell*>(widget)) return new AccessibleTableCell(cell);
    if (auto* parts = dynamic_cast<AccessibleParts*>(widget)) {
        QPointer<QWidget> guard(widget);
        return new AccessibleKitWidget(
            widget, parts->accessibleRole(),
            [guard, parts] { return guard ? parts->accessibleParts() : QList<AccessibleParts::Part>(); },
            [guard, parts](int index, const QString& action) {
                if (guard) parts->triggerAccessiblePart(index, action);
            },
            [guard, parts](int index, double value) {
                if (guard) parts->setAccessiblePartValue(index, value);
            });
    }
    if (qobject_cast<TableContentView*>(widget)) {
        QPointer<QWidget> guard(widget);
        return new AccessibleKitWidget(widget, QAccessible::Pane, [guard] { return sectionTexts(guard); });
    }
    if (widget->property(kDecorativeProperty).toBool() || isPictureOnly(widget)) {
        auto* decorative = new AccessibleKitWidget(widget, QAccessible::Graphic);
        decorative->setDecorative(true);
        return decorative;
    }
    const QVariant role = widget->property(kRoleProperty);
    if (role.isValid()) {
        auto* element = new AccessibleKitWidget(widget, QAccessible::Role(role.toInt()));
        element->setSingleElement(widget->property(kSingleElementProperty).toBool());
        return element;
    }
    return nullptr;
}
