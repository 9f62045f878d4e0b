#pragma once

#include <QStringList>
#include <QWidget>

// A row of joined buttons of which one is chosen, drawn in the phone's
// bordered style: white segments, the chosen one blue with white text.
class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedControl(const QStringList& titles, QWidget* parent = nullptr);

    int numberOfSegments() const { return int(titles_.size()); }
    QString titleForSegment(int segment) const { return titles_.value(segment); }
    // -1: none chosen.
    int selectedSegmentIndex() const { return selected_; }
    void setSelectedSegmentIndex(int segment);
    QRect rectForSegment(int segment) const;

    QSize sizeHint() const override;

signals:
    // The user chose another segment.
    void valueChanged(int segment);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QStringList titles_;
    int selected_ = -1;
};
