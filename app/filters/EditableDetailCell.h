#pragma once

#include "platform/ui/TextFieldCell.h"

// A table row holding one text field: the entry row of the exclusions
// screen (a wide field right of a short caption) and the quota row of the
// preferences (a narrow field at the right end of a subtitle row). Selecting
// the row opens the field for typing; the row itself never lights up.
class EditableDetailCell : public TextFieldCell {
    Q_OBJECT
public:
    enum class Layout {
        Entry,  // field 100, 10, 205, 20; the table's own cell background
        Value   // field 210, 10, 95, 20; white cell
    };

    EditableDetailCell(Style style, const QString& reuseIdentifier, Layout layout = Layout::Entry,
                       QWidget* parent = nullptr);

    Layout layout() const { return layout_; }

private:
    Layout layout_;
};
