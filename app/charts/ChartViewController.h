#pragma once

#include "common/MessageType.h"
#include "common/Person.h"
#include "common/Sms.h"
#include "platform/ui/ViewController.h"

#include <vector>

class BarButtonItem;
class FullPieView;

// The pie chart screen: the pie of the period's shares per person, its
// title block, and the "Bar Chart" button that opens the same data as bars.
// The main screen keeps one and hands it the data of every new chart; the
// screen keeps that data (persons and counts, index for index, and the
// messages behind the total) for its bars.
class ChartViewController : public ViewController {
    Q_OBJECT

public:
    // The pie's frame in the screen's coordinates.
    static constexpr QRect kPieFrame{50, 50, 180, 180};

    explicit ChartViewController(QWidget* parent = nullptr);

    // The title block: the heading of the message type, the period and the
    // number of persons, four lines.
    static QString infoText(MessageType messageType, const QString& from, const QString& to, int persons);

    // Keeps the chart's data and shows it as a new pie in place of the last.
    FullPieView* showChart(std::vector<Person> persons, std::vector<int> counts, std::vector<Sms> records, int total,
                           const QString& title);
    const std::vector<Person>& persons() const { return persons_; }
    const std::vector<int>& counts() const { return counts_; }
    const std::vector<Sms>& records() const { return records_; }
    // The "Bar Chart" button: the same data as bars, on a screen of its own.
    void showBarChart();

    // Takes away the previous pie with its labels.
    void removeAllSubviews();
    // A new pie of `counts` out of `total`, titled `title`.
    FullPieView* showPie(const std::vector<int>& counts, const std::vector<Person>& persons, int total,
                         const QString& title);

    FullPieView* pieView() const;
    BarButtonItem* barChartButton() const { return barChartButton_; }

signals:
    void barChartRequested();

protected:
    void viewDidLoad() override;

private:
    BarButtonItem* barChartButton_;
    std::vector<Person> persons_;
    std::vector<int> counts_;
    std::vector<Sms> records_;
};
