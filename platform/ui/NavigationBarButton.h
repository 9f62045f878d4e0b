#pragma once

#include "platform/ui/BarButtonItem.h"

#include <QAbstractButton>
#include <QPointer>

// The widget of one button in the navigation bar: the back button with its
// pointed left side, a bordered or blue Done button with a title, or the
// custom face of an item. It sizes itself to its title.
class NavigationBarButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Kind { Back, Bordered, Done, Custom };

    explicit NavigationBarButton(QWidget* parent = nullptr);

    // Shows the item (none hides the button); a tap triggers the item.
    void setItem(BarButtonItem* item);
    BarButtonItem* item() const { return item_; }
    // Makes this the back button with the given title.
    void setBackTitle(const QString& title);
    Kind kind() const { return kind_; }

    QSize sizeHint() const override;

signals:
    // Shown, hidden or resized: the bar lays its buttons out again.
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Return and Enter press the button, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();
    void onClicked();
    void paintBordered(QPainter& painter, const QRectF& rect);
    void paintTitle(QPainter& painter, const QRectF& rect);
    void paintFocusRing(QPainter& painter, const QRectF& rect);

    QPointer<BarButtonItem> item_;
    Kind kind_ = Kind::Bordered;
};
