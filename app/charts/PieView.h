#pragma once

#include <QColor>
#include <QObject>
#include <QPainterPath>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QString>

class FullPieView;
class QPainter;
class QPropertyAnimation;

// One wedge of the pie: a filled circle sector with a white outline, from
// its start to its end angle (degrees, clockwise from 3 o'clock). The
// selected wedge grows a little; the pie view decides which one that is.
// A wedge is no widget: the pie view paints every wedge in one pass (a
// pie may hold thousands, and a widget each made every repaint of the
// window walk them all), in the order they were made, later ones on top.
class PieView : public QObject {
    Q_OBJECT
    Q_PROPERTY(qreal scale READ scale WRITE setScale)

public:
    // The wedge's frame in the pie view's coordinates and its circle in its
    // own.
    static constexpr QRect kFrame{0, 50, 180, 180};
    static constexpr double kCenter = 90.0;
    static constexpr double kRadius = 90.0;
    static constexpr qreal kExpandedScale = 1.05;
    static constexpr int kAnimationMs = 300;
    // Room around the frame for the grown wedge, which would otherwise be
    // cut off at the edge of the area it is painted in.
    static constexpr int kGrowMargin = 5;
    // The area a wedge paints in, in its own coordinates: the frame and the
    // room to grow on every side.
    static constexpr QRect kPaintArea{0, 0, kFrame.width() + 2 * kGrowMargin, kFrame.height() + 2 * kGrowMargin};

    PieView(double startAngle, double endAngle, const QColor& color, QObject* parent = nullptr);

    double startAngle() const { return sAngle_; }
    double endAngle() const { return eAngle_; }
    QColor c() const { return c_; }
    FullPieView* parentView() const { return parentView_; }
    void setParentView(FullPieView* view) { parentView_ = view; }
    QString caption() const { return caption_; }
    void setCaption(const QString& caption) { caption_ = caption; }

    // Whether a point given in the pie view's coordinates lies on this
    // wedge, by its exact angles.
    bool pointInside(QPointF pointInPieView) const;

    // Grows to the selected size and shows this wedge's caption; shrink()
    // goes back and empties the caption.
    void expand();
    void shrink();

    qreal scale() const { return scale_; }
    void setScale(qreal scale);

    // Paints the wedge at its current size with `painter` at the top-left
    // corner of kPaintArea; leaves the painter's state as it found it.
    void paint(QPainter& painter) const;
    // Where the wedge lies in kPaintArea at its resting size.
    QRectF outline() const { return wedge_.boundingRect().translated(kGrowMargin, kGrowMargin); }

private:
    void animateScaleTo(qreal target);
    void repaint();

    double sAngle_;
    double eAngle_;
    QColor c_;
    QString caption_;
    QPointer<FullPieView> parentView_;
    qreal scale_ = 1.0;
    QPropertyAnimation* animation_ = nullptr;
    // The outline around the circle's centre, made once: only the scale
    // changes it afterwards, and that is the painter's.
    QPainterPath wedge_;
};
