#pragma once

#include "platform/ui/TableViewCell.h"

class QAction;
class QLabel;
class QLineEdit;

// A table cell holding one text field, placed by a frame in the cell's own
// points (by default 100, 10, 205, 20: right of a short caption in a grouped
// row). Selecting the row opens the field for typing instead of lighting the
// row. The return key type tells handlers of returnPressed() which key the
// field offers.
class TextFieldCell : public TableViewCell {
    Q_OBJECT
public:
    enum class ReturnKeyType { Default, Next, Done };

    explicit TextFieldCell(Style style = Style::Default, const QString& reuseIdentifier = QString(),
                           QWidget* parent = nullptr);

    QLineEdit* textField() const { return textField_; }
    void setTextFieldFrame(const QRect& frame);
    void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    // What a screen reader says of the field: its name (the row's caption)
    // and a description; the name also comes as a label the field is
    // labelled by.
    void setFieldCaption(const QString& name, const QString& description);
    // A round grey clear button inside the field while it is being edited.
    void setClearButtonWhileEditing(bool shown);

    void becomeFirstResponder();
    void resignFirstResponder();
    bool isFirstResponder() const;

    void setSelected(bool selected, bool animated) override;

signals:
    void returnPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateClearButton();

    QLineEdit* textField_;
    QAction* clearAction_;
    QLabel* caption_ = nullptr;
    ReturnKeyType returnKeyType_ = ReturnKeyType::Default;
    bool clearButtonWhileEditing_ = false;
};
