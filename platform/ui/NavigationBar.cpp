#include "platform/ui/NavigationBar.h"

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/KitAccessibility.h"
#include "platform/ui/KitTiming.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/Theme.h"

#include <QPainter>
#include <QVariantAnimation>

namespace {

constexpr int sideMargin = 5;
constexpr int titleGap = 8;
constexpr int fadeMs = 250;

} // namespace

NavigationBar::NavigationBar(QWidget* parent)
    : QWidget(parent),
      m_back(new NavigationBarButton(this)),
      m_left(new NavigationBarButton(this)),
      m_right(new NavigationBarButton(this)),
      m_fade(new QVariantAnimation(this)) {
    setFixedHeight(Theme::navigationBarHeight);
    // Named after the screen on top, like a window's title.
    KitAccessibility::setRole(this, QAccessible::ToolBar);
    m_back->setObjectName(QStringLiteral("backButton"));
    m_left->setObjectName(QStringLiteral("leftBarButton"));
    m_right->setObjectName(QStringLiteral("rightBarButton"));
    connect(m_back, &QAbstractButton::clicked, this, &NavigationBar::backClicked);
    for (NavigationBarButton* button : {m_back, m_left, m_right})
        connect(button, &NavigationBarButton::changed, this, &NavigationBar::layoutButtons);
    m_fade->setDuration(KitTiming::length(fadeMs));
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_snapshotOpacity = value.toReal();
        update();
    });
    connect(m_fade, &QVariantAnimation::finished, this, [this] {
        m_fadingSnapshot = QPixmap();
        update();
    });
}

void NavigationBar::showItems(const QString& title, const QString& backTitle, BarButtonItem* left,
                              BarButtonItem* right, bool animated) {
    const QPixmap before = animated && isVisible() ? grab() : QPixmap();
    m_title = title;
    setAccessibleName(title);
    m_left->setItem(left);
    m_right->setItem(right);
    if (!left && !backTitle.isEmpty())
        m_back->setBackTitle(backTitle);
    else
        m_back->hide();
    layoutButtons();
    update();
    if (!before.isNull())
        startCrossFade(before);
}

QString NavigationBar::backButtonTitle() const {
    return m_back->isVisibleTo(this) ? m_back->text() : QString();
}

void NavigationBar::resizeEvent(QResizeEvent*) {
    layoutButtons();
}

void NavigationBar::layoutButtons() {
    const int middle = height() / 2;
    auto place = [middle](NavigationBarButton* button, int x) {
        button->resize(button->sizeHint());
        button->move(x, middle - button->height() / 2);
    };
    place(m_back, sideMargin);
    place(m_left, sideMargin);
    place(m_right, width() - sideMargin - m_right->sizeHint().width());
    update();
}

QRectF NavigationBar::titleRect() const {
    // Centred on the bar when it fits between the buttons, otherwise centred
    // in the room they leave.
    int leftEdge = 0;
    for (NavigationBarButton* button : {m_back, m_left})
        if (button->isVisibleTo(this))
            leftEdge = qMax(leftEdge, button->geometry().right() + titleGap);
    const int rightEdge = m_right->isVisibleTo(this) ? m_right->geometry().left() - titleGap : width();
    const int half = qMin(width() / 2 - leftEdge, rightEdge - width() / 2);
    const int titleWidth = QFontMetrics(Theme::boldSystemFont(20)).horizontalAdvance(m_title);
    if (titleWidth <= 2 * half)
        return QRectF(width() / 2 - half, 0, 2 * half, height());
    return QRectF(leftEdge, 0, qMax(0, rightEdge - leftEdge), height());
}

void NavigationBar::startCrossFade(const QPixmap& before) {
    m_fade->stop();
    m_fadingSnapshot = before;
    m_snapshotOpacity = 1.0;
    m_fade->start();
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
    const QString shown = QFontMetrics(font).elidedText(m_title, Qt::ElideRight, int(titleArea.width()));
    painter.setFont(font);
    painter.setPen(Theme::navigationTitleShadow());
    painter.drawText(titleArea.translated(0, -1), Qt::AlignCenter, shown);
    painter.setPen(Qt::white);
    painter.drawText(titleArea, Qt::AlignCenter, shown);

    if (!m_fadingSnapshot.isNull()) {
        painter.setOpacity(m_snapshotOpacity);
        painter.drawPixmap(0, 0, m_fadingSnapshot);
    }
}
