#pragma once

#include "common/Person.h"
#include "platform/ui/ViewController.h"

#include <vector>

class BarColumn;
class ScrollView;

// The bar chart screen: every person with a count above 0, largest count
// first, as a row of name, bar and count in a scrolling column under a
// header line with the number of persons. Made for one look at the chart
// data: it goes away when the user goes back.
class BarChartController : public ViewController {
    Q_OBJECT

public:
    static constexpr int kNameWidth = 110;
    static constexpr double kMaxBarLength = 320.0 - kNameWidth;
    static constexpr int kRowHeight = 30;
    static constexpr int kFirstRowTop = 40;
    static constexpr int kHeaderTop = 10;

    explicit BarChartController(QWidget* parent = nullptr);

    // Sorts `counts` ascending with `persons` paired to them, in place (the
    // caller's arrays are left sorted), then builds the rows from reversed
    // copies.
    void init(std::vector<int>& counts, std::vector<Person>& persons);

    // The bar of a count: 10 points plus one per 5, at most kMaxBarLength.
    static double barLength(double count);
    // The left edge of the count label behind a bar of `length`.
    static int countLabelX(double length);

    int uniqueNumbers() const { return uniqueNumbers_; }
    ScrollView* scrollView() const { return scrollView_; }

protected:
    void viewDidLoad() override;
    void viewDidDisappear(bool animated) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void addRow(int y, const Person& person, int count);
    void describeForScreenReaders();

    ScrollView* scrollView_ = nullptr;
    BarColumn* barColumn_ = nullptr;
    int uniqueNumbers_ = 0;
};
