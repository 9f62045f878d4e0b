#include "platform/ui/NavigationBar.h"

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/KitAccessibility.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ValueAnimation.h"

#include <QPainter>
#include <QVariantAnimation>

namespace {

constexpr int kSideMargin = 5;
constexpr int kTitleGap = 8;
constexpr int kFadeMs = 250;

}  // namespace

NavigationBar::NavigationBar(QWidget* parent)
    : QWidget(parent), back_(new NavigationBarButton(this)), left_(new NavigationBarButton(this)),
      right_(new NavigationBarButton(this)), fade_(new ValueAnimation(this, kFadeMs, 1.0, 0.0, [this](qreal value) {
          snapshotOpacity_ = value;
          update();
      })) {
    setFixedHeight(Theme::navigationBarHeight);
    // Named after the screen on top, like a window's title.
    KitAccessibility::setRole(this, QAccessible::ToolBar);
    back_->setObjectName(QStringLiteral("backButton"));
    left_->setObjectName(QStringLiteral("leftBarButton"));
    right_->setObjectName(QStringLiteral("rightBarButton"));
    connect(back_, &QAbstractButton::clicked, this, &NavigationBar::backClicked);
    for (NavigationBarButton* button : {back_, left_, right_})
        connect(button, &NavigationBarButton::changed, this, &NavigationBar::layoutButtons);
    connect(fade_, &QVariantAnimation::finished, this, [this] {
        fadingSnapshot_ = QPixmap();
        update();
    });
}

void NavigationBar::showItems(const QString& title, const QString& backTitle, BarButtonItem* left, BarButtonItem* right,
                              bool animated) {
    const QPixmap before = animated && isVisible() ? grab() : QPixmap();
    title_ = title;
    setAccessibleName(title);
    left_->setItem(left);
    right_->setItem(right);
    if (!left && !backTitle.isEmpty())
        back_->setBackTitle(backTitle);
    else
        back_->hide();
    layoutButtons();
    update();
    if (!before.isNull()) startCrossFade(before);
}

QString NavigationBar::backButtonTitle() const { return back_->isVisibleTo(this) ? back_->text() : QString(); }

void NavigationBar::resizeEvent(QResizeEvent*) { layoutButtons(); }

void NavigationBar::layoutButtons() {
    const int middle = height() / 2;
    auto place = [middle](NavigationBarButton* button, int x) {
        button->resize(button->sizeHint());
        button->move(x, middle - button->height() / 2);
    };
    place(back_, kSideMargin);
    place(left_, kSideMargin);
    place(right_, width() - kSideMargin - right_->sizeHint().width());
    update();
}

QRectF NavigationBar::titleRect() const {
    // Centred on the bar when it fits between the buttons, otherwise centred
    // in the room they leave.
    int leftEdge = 0;
    for (NavigationBarButton* button : {back_, left_})
        if (button->isVisibleTo(this)) leftEdge = qMax(leftEdge, button->geometry().right() + kTitleGap);
    const int rightEdge = right_->isVisibleTo(this) ? right_->geometry().left() - kTitleGap : width();
    const int half = qMin(width() / 2 - leftEdge, rightEdge - width() / 2);
    const int titleWidth = QFontMetrics(Theme::boldSystemFont(20)).horizontalAdvance(title_);
    if (titleWidth <= 2 * half) return QRectF(width() / 2 - half, 0, 2 * half, height());
    return QRectF(leftEdge, 0, qMax(0, rightEdge - leftEdge), height());
}

void NavigationBar::startCrossFade(const QPixmap& before) {
    fade_->stop();
    fadingSnapshot_ = before;
    snapshotOpacity_ = 1.0;
    fade_->start();
}

void NavigationBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = rect();
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, Theme::navigationBarTop());
    gradient.setColorAt(0.5, Theme::navigationBarTop().darker(112));
    gradient.setColorAt(0.5001, Theme::navigationBarBottom().lighter(112));
    gradient.setColorAt(1, Theme::navigationBarBottom());
    painter.fillRect(area, gradient);
    painter.fillRect(QRectF(0, 0, width(), 1), Theme::navigationBarHighlight());
    painter.fillRect(QRectF(0, height() - 1, width(), 1), Theme::navigationBarBottomLine());

    const QFont font = Theme::boldSystemFont(20);
    const QRectF titleArea = titleRect();
    const QString shown = QFontMetrics(font).elidedText(title_, Qt::ElideRight, int(titleArea.width()));
    painter.setFont(font);
    painter.setPen(Theme::navigationTitleShadow());
    painter.drawText(titleArea.translated(0, -1), Qt::AlignCenter, shown);
    painter.setPen(Qt::white);
    painter.drawText(titleArea, Qt::AlignCenter, shown);

    if (!fadingSnapshot_.isNull()) {
        painter.setOpacity(snapshotOpacity_);
        painter.drawPixmap(0, 0, fadingSnapshot_);
    }
}
