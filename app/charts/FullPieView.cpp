#include "app/charts/FullPieView.h"

#include "app/charts/PieAngle.h"
#include "app/charts/PieView.h"
#include "platform/ui/Label.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

// The area the widget covers, in the pie's coordinates: the caption below
// reaches furthest left, right and down, the title furthest up.
constexpr QRect kWidgetArea{-50, -50, 320, 410};

QString captionFor(const Person* person, int count, double share) {
    const QString name = person ? QString::fromStdString(person->name()) : QString();
    return QStringLiteral("%1 \n%2 (%3)%").arg(name, QString::number(count), QString::number(share * 100.0, 'f', 2));
}

// The whole degrees of an angle, truncated toward zero; kept within the
// integer range should the counts add up to far more than the total.
std::int32_t truncatedAngle(double angle) {
    if (std::isnan(angle)) return 0;
    return static_cast<std::int32_t>(std::clamp(std::trunc(angle), double(INT32_MIN), double(INT32_MAX)));
}

}  // namespace

FullPieView::FullPieView(const std::vector<int>& counts, const std::vector<Person>& persons, const QRect& frame,
                         int max, QWidget* parent)
    : QWidget(parent), frame_(frame) {
    setGeometry(kWidgetArea.translated(frame.topLeft()));
    setAttribute(Qt::WA_TranslucentBackground);
    // Same second, same colours: the seed is the time in whole seconds.
    ::srandom(static_cast<unsigned>(std::time(nullptr)));
    addWedges(counts, persons, max);
    describeForScreenReaders(counts, persons);
    captionLabel_ = addLabel(kCaptionFrame, kCaptionLines);
    titleLabel_ = addLabel(kTitleFrame, kTitleLines);
}

void FullPieView::addWedges(const std::vector<int>& counts, const std::vector<Person>& persons, int max) {
    // Without a total every share would be 0 / 0: no wedge then, an empty
    // pie, rather than wedges of undefined angles.
    if (max <= 0) return;
    double start = 0.0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double share = counts[i] / static_cast<double>(max);
        const double end = start + share * 360.0;
        auto* wedge = new PieView(start, end, randomColor(), this);
        wedge->setParentView(this);
        wedge->setCaption(captionFor(i < persons.size() ? &persons[i] : nullptr, counts[i], share));
        pieViewsAngle_.emplace_back(truncatedAngle(start), truncatedAngle(end));
        pieViews_.push_back(wedge);
        start = end;
    }
}

void FullPieView::describeForScreenReaders(const std::vector<int>& counts, const std::vector<Person>& persons) {
    // A screen reader cannot see the wedges: the chart says in words whom
    // each one stands for and how many messages, and each wedge names its
    // person.
    setAccessibleName(tr("Pie chart"));
    QStringList shares;
    const QPoint area = wedgeArea().topLeft();
    for (std::size_t i = 0; i < pieViews_.size() && i < counts.size(); ++i) {
        const QString name = i < persons.size() ? QString::fromStdString(persons[i].name()) : QString();
        const QString share = tr("%1: %2").arg(name, QString::number(counts[i]));
        Part wedge;
        wedge.role = QAccessible::Graphic;
        wedge.name = share;
        wedge.rect = pieViews_[i]->outline().toAlignedRect().translated(area);
        wedgeParts_.append(wedge);
        shares << share;
    }
    setAccessibleDescription(shares.join(QStringLiteral("; ")));
}

Label* FullPieView::addLabel(const QRect& frame, int lines) {
    auto* label = new Label(this);
    label->setGeometry(frame.translated(-kWidgetArea.topLeft()));
    label->setAlignment(Qt::AlignCenter);
    label->setNumberOfLines(lines);
    return label;
}

void FullPieView::updateLabel(const QString& text) { captionLabel_->setText(text); }

void FullPieView::updateTitle(const QString& text) { titleLabel_->setText(text); }

QRect FullPieView::wedgeArea() const {
    const QPoint origin =
        (PieView::kFrame.topLeft() - kWidgetArea.topLeft()) - QPoint(PieView::kGrowMargin, PieView::kGrowMargin);
    return PieView::kPaintArea.translated(origin);
}

void FullPieView::updateWedges() { update(wedgeArea()); }

void FullPieView::paintEvent(QPaintEvent* event) {
    const QRect area = wedgeArea();
    if (pieViews_.empty() || !event->rect().intersects(area)) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.topLeft());
    // A grown wedge stops at the edge of its area, as it always has.
    painter.setClipRect(PieView::kPaintArea);
    for (const PieView* wedge : pieViews_) wedge->paint(painter);
}

QColor FullPieView::randomColor() {
    constexpr float kRange = 2147483648.0f;  // 2^31: random() stays below it
    const float red = static_cast<float>(::random()) / kRange;
    const float blue = static_cast<float>(::random()) / kRange;
    const float green = static_cast<float>(::random()) / kRange;
    return QColor::fromRgbF(red, green, blue, 1.0f);
}

void FullPieView::touchesBegan(QPointF location) {
    const PieAngle::UnitPoint unit = PieAngle::unitPointOf(location.x(), location.y());
    if (!unit.insideCircle()) return;
    const double a = unit.angle();
    // Every wedge is tried, so on a boundary both neighbours match and the
    // later one wins.
    for (std::size_t i = 0; i < pieViewsAngle_.size(); ++i) {
        const TwoValue& bounds = pieViewsAngle_[i];
        if (!(bounds.startAngle() <= a && a <= bounds.endAngle())) continue;
        PieView* wedge = pieViews_[i];
        if (wedge == selectedView_) return;
        if (selectedView_) selectedView_->shrink();
        selectedView_ = wedge;
        wedge->expand();
    }
}

QPointF FullPieView::widgetPointFor(QPointF piePoint) const { return piePoint - QPointF(kWidgetArea.topLeft()); }

QPointF FullPieView::piePointFor(QPointF widgetPoint) const { return widgetPoint + QPointF(kWidgetArea.topLeft()); }

void FullPieView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    touchesBegan(piePointFor(event->position()));
}

void FullPieView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    touchesMoved(piePointFor(event->position()));
}
