#pragma once

#include <QAccessibleWidget>

class TableViewCell;

// A table row as one element, as a screen reader should meet it: a button
// when a tap on it does something, plain text otherwise, named by what the
// row shows in reading order ("Total Messages: 92"), selected when it is,
// checked when it carries a checkmark. The labels inside are part of the
// name, not elements of their own; controls inside (a text field) stay
// elements.
class AccessibleTableCell : public QAccessibleWidget {
public:
    explicit AccessibleTableCell(TableViewCell* cell);

    // The texts of the labels a cell shows, top to bottom and left to
    // right, without the ones that say nothing in words (an arrow ">").
    static QStringList shownTexts(const QWidget* cell);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

private:
    TableViewCell* cell() const;
    bool respondsToTap() const;
    QList<QWidget*> controls() const;
};
