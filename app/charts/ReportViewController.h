#pragma once

#include "common/MessageType.h"
#include "app/charts/MonthlyReport.h"
#include "common/Sms.h"
#include "platform/ui/ViewController.h"

#include <ctime>
#include <optional>
#include <vector>

class ScrollView;

// The monthly report: the period, then one row per calendar month with
// messages (received and sent segments) and a total row, in a scrolling
// table of three columns. The main screen keeps one and refills it for
// every report.
class ReportViewController : public ViewController {
    Q_OBJECT

public:
    static constexpr int kFirstRowTop = 10;
    static constexpr int kRowHeight = 30;

    explicit ReportViewController(QWidget* parent = nullptr);

    std::time_t from() const { return from_; }
    void setFrom(std::time_t from) { from_ = from; }
    std::time_t to() const { return to_; }
    void setTo(std::time_t to) { to_ = to; }

    // Builds every row from the month rows MonthlyReport::months made of
    // the period's messages (off the UI thread, for a long period). The
    // report type is always 0: both directions.
    void initWithMonths(const std::vector<MonthlyReport::MonthRow>& months, MessageType messageType);
    // One row: the label, the first count and, when given, the second. A
    // screen reader meets the row as one text named `spoken`; an empty one
    // passes over it.
    void addScrollItem(const QString& label, const QString& countStr, const std::optional<QString>& countStr1,
                       const QString& spoken);
    // What a screen reader says of a month's (or the total's) row:
    // "Dec 2026: Incoming 45, Outgoing 58".
    static QString spokenCounts(const QString& label, int incoming, int outgoing);
    void addScrollItemWithMonth(const MonthlyReport::MonthRow& month);
    // Takes away the previous report's rows.
    void removeAllSubviews();

    MessageType messageType() const { return messageType_; }
    int yVal() const { return yVal_; }
    ScrollView* scrollView() const { return scrollView_; }

protected:
    void viewDidLoad() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void addPeriodRows();

    ScrollView* scrollView_ = nullptr;
    MessageType messageType_ = MessageType::Both;
    int yVal_ = kFirstRowTop;
    std::time_t from_ = 0;
    std::time_t to_ = 0;
};
