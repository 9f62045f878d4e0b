#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class QPainter;

// One bar of the bar chart: a blue band along the top of its frame, as long
// as the frame is wide. The band is the upper half of a 15-point line drawn
// along the frame's top edge. A bar is no widget: the chart's column
// (BarColumn) paints every bar in one pass, as a chart of thousands of
// persons would otherwise make the window walk thousands of widgets on
// every repaint.
class BarLine : public QObject {
    Q_OBJECT

public:
    static constexpr double kLineWidth = 15.0;
    static constexpr int kHeight = 10;

    // `length` in points, as the chart computed it; the frame is that long,
    // rounded up to whole points.
    BarLine(double length, QObject* parent = nullptr);

    double length() const { return length_; }
    // The frame in the column's coordinates.
    QRect geometry() const { return frame_; }
    int x() const { return frame_.x(); }
    int y() const { return frame_.y(); }
    int width() const { return frame_.width(); }
    int height() const { return frame_.height(); }
    void move(int x, int y) { frame_.moveTo(x, y); }

    // What a screen reader calls the bar: its person and count.
    QString accessibleName() const { return name_; }
    void setAccessibleName(const QString& name) { name_ = name; }

    // Paints the bar with `painter` at the column's origin; leaves the
    // painter's state as it found it.
    void paint(QPainter& painter) const;

private:
    double length_;
    QRect frame_;
    QString name_;
};
