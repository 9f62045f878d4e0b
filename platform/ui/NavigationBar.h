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

    QString title() const { return m_title; }
    // The shown back button's title; empty when there is none.
    QString backButtonTitle() const;
    NavigationBarButton* backButton() const { return m_back; }
    NavigationBarButton* leftButton() const { return m_left; }
    NavigationBarButton* rightButton() const { return m_right; }

signals:
    void backClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutButtons();
    void startCrossFade(const QPixmap& before);
    QRectF titleRect() const;

    QString m_title;
    NavigationBarButton* m_back;
    NavigationBarButton* m_left;
    NavigationBarButton* m_right;
    QPixmap m_fadingSnapshot;
    qreal m_snapshotOpacity = 0;
    QVariantAnimation* m_fade;
};
