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

TableView* tableOf(QWidget* content) {
    for (QWidget* w = content->parentWidget(); w; w = w->parentWidget())
        if (auto* table = qobject_cast<TableView*>(w)) return table;
    return nullptr;
}

// The section texts a table paints between its rows, as text elements.
QList<AccessibleParts::Part> sectionTexts(const QPointer<QWidget>& content) {
    QList<AccessibleParts::Part> parts;
    TableView* table = content ? tableOf(content) : nullptr;
    if (!table) return parts;
    for (int section = 0; section < table->numberOfSections(); ++section) {
        const QString header = table->titleForHeaderInSection(section);
        const QString footer = table->titleForFooterInSection(section);
        if (!header.isEmpty())
            parts.append({QAccessible::StaticText,
                          header.simplified(),
                          {},
                          {},
                          table->rectForHeaderInSection(section),
                          false,
                          false,
                          false,
                          false});
        if (!footer.isEmpty())
            parts.append({QAccessible::StaticText,
                          footer.simplified(),
                          {},
                          {},
                          table->rectForFooterInSection(section),
                          false,
                          false,
                          false,
                          false});
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
    if (role.isValid()) return new AccessibleKitWidget(widget, QAccessible::Role(role.toInt()));
    return nullptr;
}
