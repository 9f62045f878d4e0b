#pragma once

#include <QColor>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class FullPieView;
class QPropertyAnimation;

// One wedge of the pie: a filled circle sector with a white outline, from
// its start to its end angle (degrees, clockwise from 3 o'clock). The
// selected wedge grows a little; the pie view decides which one that is.
class PieView : public QWidget {
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
    // cut off at the widget's edge.
    static constexpr int kGrowMargin = 5;

    PieView(double startAngle, double endAngle, const QColor& color, QWidget* parent = nullptr);

    double startAngle() const { return sAngle_; }
    double endAngle() const { return eAngle_; }
    QColor c() const { return c_; }
    void setC(const QColor& color);
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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void animateScaleTo(qreal target);

    double sAngle_;
    double eAngle_;
    QColor c_;
    QString caption_;
    QPointer<FullPieView> parentView_;
    qreal scale_ = 1.0;
    QPropertyAnimation* animation_;
};
