#pragma once

#include <QWidget>

#include <functional>

// The scrolled surface of a TableView: it holds the visible cells and has
// the table paint what lies between them (background, section texts).
class TableContentView : public QWidget {
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter& painter, const QRect& exposed)>;

    explicit TableContentView(Painter painter, QWidget* parent = nullptr);

signals:
    // A press on the surface itself, outside every cell.
    void pressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    Painter painter_;
};
