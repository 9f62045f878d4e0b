#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class BarButtonItem;
class NavigationBarButton;
class QVariantAnimation;

// The 44-point bar at the top of the window: a blue-grey gradient, the top
// screen's title in the middle, the back button or a left item, and a right
// item. A change of screen cross-fades the old bar into the new one.
class NavigationBar : public QWidget {
    Q_OBJECT
public:
    explicit NavigationBar(QWidget* parent = nullptr);

    // Shows one screen's bar. An empty backTitle means no back button; a left
    // item takes the back button's place.
    void showItems(const QString& title, const QString& backTitle, BarButtonItem* left, BarButtonItem* right,
                   bool animated);

    QString title() const { return title_; }
    // The shown back button's title; empty when there is none.
    QString backButtonTitle() const;
    NavigationBarButton* backButton() const { return back_; }
    NavigationBarButton* leftButton() const { return left_; }
    NavigationBarButton* rightButton() const { return right_; }

signals:
    void backClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutButtons();
    void startCrossFade(const QPixmap& before);
    QRectF titleRect() const;

    QString title_;
    NavigationBarButton* back_;
    NavigationBarButton* left_;
    NavigationBarButton* right_;
    QPixmap fadingSnapshot_;
    qreal snapshotOpacity_ = 0;
    QVariantAnimation* fade_;
};
