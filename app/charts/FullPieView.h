#pragma once

#include "app/charts/TwoValue.h"
#include "common/Person.h"
#include "platform/ui/AccessibleParts.h"

#include <QColor>
#include <QPointF>
#include <QRect>
#include <QWidget>

#include <vector>

class Label;
class PieView;

// The whole pie: one wedge per person sized by its share of the period's
// total, the title block above and the caption of the touched wedge below.
// Touching or dragging over a wedge selects it; the selected wedge grows and
// names its person, count and share in the caption.
//
// Positions are given in the pie's own coordinates, whose origin is the
// top-left corner of its 180 x 180 frame. The wedges, the title and the
// caption reach beyond that frame (above, below and to both sides), so the
// widget itself is the frame grown by kOverhang on every side it needs.
//
// The wedges are painted here, all in one pass, under the title and the
// caption; to assistive technology each is an element of its own, named by
// its person and count.
class FullPieView : public QWidget, public AccessibleParts {
    Q_OBJECT

public:
    static constexpr QRect kCaptionFrame{-50, 210, 320, 150};
    static constexpr QRect kTitleFrame{0, -50, 200, 100};
    static constexpr int kCaptionLines = 7;
    static constexpr int kTitleLines = 5;

    // `counts` and `persons` run in parallel; `max` is the period's total.
    // Wedge i sweeps counts[i] / max of the circle, starting where wedge
    // i - 1 ended, at 0 degrees for the first. The arrays are read here only.
    // A total of 0 or less gives no wedge at all.
    FullPieView(const std::vector<int>& counts, const std::vector<Person>& persons, const QRect& frame, int max,
                QWidget* parent = nullptr);

    void updateLabel(const QString& text);
    void updateTitle(const QString& text);
    // A wedge changed its colour or size: the area they are painted in is
    // painted again.
    void updateWedges();

    // A touch at `location` in the pie's coordinates; moving repeats it.
    void touchesBegan(QPointF location);
    void touchesMoved(QPointF location) { touchesBegan(location); }

    // A new opaque colour of random red, blue and green, drawn in that order
    // from the C library's random().
    static QColor randomColor();

    QRect pieFrame() const { return frame_; }
    // Where a point of the pie's coordinates lies in the widget.
    QPointF widgetPointFor(QPointF piePoint) const;
    const std::vector<PieView*>& pieViews() const { return pieViews_; }
    const std::vector<TwoValue>& pieViewsAngle() const { return pieViewsAngle_; }
    PieView* selectedView() const { return selectedView_; }
    Label* captionLabel() const { return captionLabel_; }
    Label* titleLabel() const { return titleLabel_; }

    // AccessibleParts: the chart, and a picture per wedge.
    QAccessible::Role accessibleRole() const override { return QAccessible::Chart; }
    QList<Part> accessibleParts() const override { return wedgeParts_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void addWedges(const std::vector<int>& counts, const std::vector<Person>& persons, int max);
    void describeForScreenReaders(const std::vector<int>& counts, const std::vector<Person>& persons);
    Label* addLabel(const QRect& frame, int lines);
    QPointF piePointFor(QPointF widgetPoint) const;
    QRect wedgeArea() const;

    QRect frame_;
    std::vector<PieView*> pieViews_;
    std::vector<TwoValue> pieViewsAngle_;
    PieView* selectedView_ = nullptr;
    Label* captionLabel_ = nullptr;
    Label* titleLabel_ = nullptr;
    // Made once: the names never change, and a screen reader asks often.
    QList<Part> wedgeParts_;
};
