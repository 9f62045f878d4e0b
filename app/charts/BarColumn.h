#pragma once

#include "platform/ui/AccessibleParts.h"

#include <QList>
#include <QWidget>

#include <vector>

class BarLine;

// The layer of the bar chart's column that the bars are painted on, all in
// one pass, under the rows' labels. To assistive technology every bar is an
// element of its own, a picture named by its person and count.
class BarColumn : public QWidget, public AccessibleParts {
    Q_OBJECT

public:
    explicit BarColumn(QWidget* parent = nullptr);

    // The bars to paint, top to bottom; they belong to the caller and must
    // outlive this column or be replaced first.
    void setBars(std::vector<const BarLine*> bars);

    QAccessible::Role accessibleRole() const override { return QAccessible::Grouping; }
    QList<Part> accessibleParts() const override { return parts_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<const BarLine*> bars_;
    // Made once: the names never change, and a screen reader asks often.
    QList<Part> parts_;
};
