#pragma once

#include "common/MessageType.h"
#include "common/Person.h"
#include "platform/ui/ViewController.h"

#include <vector>

class BarButtonItem;
class FullPieView;

// The pie chart screen: the pie of the period's shares per person, its
// title block, and the "Bar Chart" button that opens the same data as bars.
// The main screen keeps one and puts a new pie into it for every chart.
class ChartViewController : public ViewController {
    Q_OBJECT

public:
    // The pie's frame in the screen's coordinates.
    static constexpr QRect kPieFrame{50, 50, 180, 180};

    explicit ChartViewController(QWidget* parent = nullptr);

    // The title block: the heading of the message type, the period and the
    // number of persons, four lines.
    static QString infoText(MessageType messageType, const QString& from, const QString& to, int persons);

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
};
