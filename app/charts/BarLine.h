#pragma once

#include <QWidget>

// One bar of the bar chart: a blue band along the top of its frame, as long
// as the frame is wide. The band is the upper half of a 15-point line drawn
// along the frame's top edge.
class BarLine : public QWidget {
    Q_OBJECT

public:
    static constexpr double kLineWidth = 15.0;

    // `length` in points, as the chart computed it; the frame is that long,
    // rounded up to whole points.
    BarLine(double length, QWidget* parent = nullptr);

    double length() const { return length_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double length_;
};
