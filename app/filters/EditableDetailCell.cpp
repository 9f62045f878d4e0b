#include "app/filters/EditableDetailCell.h"

#include "platform/ui/Theme.h"

#include <QLineEdit>

EditableDetailCell::EditableDetailCell(Style style, const QString& reuseIdentifier, Layout layout, QWidget* parent)
    : TextFieldCell(style, reuseIdentifier, parent), layout_(layout) {
    if (layout == Layout::Value) {
        setTextFieldFrame(QRect(210, 10, 95, 20));
        setBackgroundColor(Theme::cellBackground());
    } else {
        setTextFieldFrame(QRect(100, 10, 205, 20));
    }
    setReturnKeyType(ReturnKeyType::Next);
    setClearButtonWhileEditing(true);
    // Numbers and patterns are typed exactly; nothing may complete or
    // correct them behind the user's back.
    textField()->setCompleter(nullptr);
}
