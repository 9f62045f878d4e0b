#include "app/charts/BarChartController.h"

#include "app/charts/BarColumn.h"
#include "app/charts/BarLine.h"
#include "app/charts/ColumnScrollView.h"
#include "app/charts/MultipleSort.h"
#include "platform/ProgramLog.h"
#include "platform/ui/KitAccessibility.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Theme.h"

#include <QResizeEvent>

#include <algorithm>

namespace {

constexpr int kScreenWidth = ColumnScrollView::kWidth;
constexpr double kCountLabelGap = 20.0;
constexpr double kLastCountLabelX = 280.0;

Label* rowLabel(const QString& text, const QRect& frame, QWidget* parent) {
    auto* label = new Label(text, frame, Theme::boldSystemFont(12), parent);
    label->show();
    return label;
}

}  // namespace

BarChartController::BarChartController(QWidget* parent) : ViewController(parent) {}

void BarChartController::viewDidLoad() {
    scrollView_ = new ColumnScrollView(this);
    // Made before the rows, so their labels lie above the bars.
    barColumn_ = new BarColumn(scrollView_->contentView());
    setTitle(tr("Bar Chart"));
}

void BarChartController::resizeEvent(QResizeEvent* event) {
    ViewController::resizeEvent(event);
    // The column grows and shrinks with the screen.
    if (scrollView_) scrollView_->resize(kScreenWidth, event->size().height());
}

void BarChartController::viewDidDisappear(bool animated) {
    ViewController::viewDidDisappear(animated);
    // Off the stack (not merely covered by another screen): discarded.
    if (!navigationController()) deleteLater();
}

double BarChartController::barLength(double count) { return std::min(10.0 + count / 5.0, kMaxBarLength); }

int BarChartController::countLabelX(double length) {
    const double x = kNameWidth + length + kCountLabelGap;
    return static_cast<int>(x < kLastCountLabelX ? x : kLastCountLabelX);
}

void BarChartController::init(std::vector<int>& counts, std::vector<Person>& persons) {
    loadViewIfNeeded();
    // Counts always compare and come with a person each; a failure would
    // leave them unsorted but still paired.
    if (const auto failure =
            MultipleSort::sortArrayUsingSelector(counts, &MultipleSort::compareNumbers, &persons, nullptr))
        ProgramLog::failure("sorting the bar chart", *failure);
    const std::vector<int> largestFirst(counts.rbegin(), counts.rend());
    const std::vector<Person> personsLargestFirst(persons.rbegin(), persons.rend());

    int y = kFirstRowTop;
    uniqueNumbers_ = 0;
    for (std::size_t i = 0; i < largestFirst.size(); ++i) {
        if (largestFirst[i] <= 0) continue;
        ++uniqueNumbers_;
        addRow(y, personsLargestFirst[i], largestFirst[i]);
        y += kRowHeight;
    }
    if (uniqueNumbers_ > 0)
        rowLabel(QStringLiteral("%1 : %2").arg(tr("Num"), QString::number(uniqueNumbers_)),
                 QRect(10, kHeaderTop, 310, kRowHeight), scrollView_->contentView());
    scrollView_->setContentSize(QSize(kScreenWidth, y));
    barColumn_->setGeometry(0, 0, kScreenWidth, y);
    std::vector<const BarLine*> bars;
    for (BarLine* bar : scrollView_->contentView()->findChildren<BarLine*>(QString(), Qt::FindDirectChildrenOnly))
        bars.push_back(bar);
    barColumn_->setBars(std::move(bars));
    barColumn_->show();
    describeForScreenReaders();
}

void BarChartController::describeForScreenReaders() {
    // The bars in words: each bar names its person and count, the chart
    // lists them all, largest first.
    QWidget* content = scrollView_->contentView();
    KitAccessibility::setRole(content, QAccessible::Chart);
    content->setAccessibleName(tr("Bar chart"));
    QStringList shares;
    for (BarLine* bar : content->findChildren<BarLine*>(QString(), Qt::FindDirectChildrenOnly))
        shares << bar->accessibleName();
    content->setAccessibleDescription(shares.join(QStringLiteral("; ")));
}

void BarChartController::addRow(int y, const Person& person, int count) {
    QWidget* content = scrollView_->contentView();
    rowLabel(QString::fromStdString(person.name()), QRect(10, y, 100, kRowHeight), content);
    const double length = barLength(count);
    // Painted by the column; a child of the content like the row's labels.
    auto* bar = new BarLine(length, content);
    bar->setAccessibleName(tr("%1: %2").arg(QString::fromStdString(person.name()), QString::number(count)));
    bar->move(kNameWidth, y + 12);
    rowLabel(QString::number(count), QRect(countLabelX(length), y, 110, kRowHeight), content);
}
