#include "app/charts/ChartViewController.h"

#include "app/charts/BarChartController.h"
#include "app/charts/FullPieView.h"
#include "app/shell/MessageTypeText.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Theme.h"

ChartViewController::ChartViewController(QWidget* parent)
    : ViewController(parent), barChartButton_(new BarButtonItem(tr("Bar Chart"), BarButtonItem::Style::Plain, this)) {
    connect(barChartButton_, &BarButtonItem::clicked, this, &ChartViewController::barChartRequested);
    navigationItem().setRightBarButtonItem(barChartButton_);
    connect(this, &ChartViewController::barChartRequested, this, &ChartViewController::showBarChart);
}

void ChartViewController::viewDidLoad() { setTitle(tr("Pie Chart")); }

QString ChartViewController::infoText(MessageType messageType, const QString& from, const QString& to, int persons) {
    return QStringLiteral("%1\n%2 : %3\n%4 : %5\n%6 : %7")
        .arg(MessageTypeText::chartHeading(messageType), tr("From"), from, tr("To"), to, tr("Num"),
             QString::number(persons));
}

void ChartViewController::removeAllSubviews() {
    for (FullPieView* pie : findChildren<FullPieView*>(Qt::FindDirectChildrenOnly)) delete pie;
}

FullPieView* ChartViewController::showChart(std::vector<Person> persons, std::vector<int> counts,
                                            std::vector<Sms> records, int total, const QString& title) {
    persons_ = std::move(persons);
    counts_ = std::move(counts);
    records_ = std::move(records);
    removeAllSubviews();
    return showPie(counts_, persons_, total, title);
}

void ChartViewController::showBarChart() {
    // A new screen each time; it sorts this screen's arrays in place (as
    // the next opening would anyway) and goes away when the user goes back.
    auto* barChart = new BarChartController(this);
    barChart->setBackgroundBrush(Theme::groupTableBackground());
    barChart->init(counts_, persons_);
    if (navigationController())
        navigationController()->pushViewController(barChart, true);
    else
        barChart->deleteLater();
}

FullPieView* ChartViewController::showPie(const std::vector<int>& counts, const std::vector<Person>& persons, int total,
                                          const QString& title) {
    loadViewIfNeeded();
    auto* pie = new FullPieView(counts, persons, kPieFrame, total, this);
    pie->updateTitle(title);
    pie->show();
    return pie;
}

FullPieView* ChartViewController::pieView() const {
    return findChild<FullPieView*>(QString(), Qt::FindDirectChildrenOnly);
}
