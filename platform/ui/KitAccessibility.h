#pragma once

#include <QAccessible>

class QWidget;

// Makes the kit's widgets known to assistive technology (AT-SPI on the
// desktop): rows of tables as single elements, the parts that alerts,
// action sheets, pickers and charts paint as elements of their own, section
// texts as text. The phone window installs it; installing twice does
// nothing.
class KitAccessibility {
public:
    static void install();

    // The role a plain widget reports (a chart, one of its wedges); set it
    // before the widget is first shown.
    static void setRole(QWidget* widget, QAccessible::Role role);
    // One element for the widget and all it holds, of this role and named
    // by the widget's accessible name: a row of labels a screen reader
    // should meet as one line rather than as loose words.
    static void setSingleElement(QWidget* widget, QAccessible::Role role);
    // A picture that only decorates: screen readers pass over it.
    static void setDecorative(QWidget* widget);

private:
    static QAccessibleInterface* create(const QString& key, QObject* object);
};
