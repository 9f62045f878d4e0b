#include "app/charts/ReportViewController.h"

#include "app/charts/ColumnScrollView.h"
#include "app/shell/DateFormatter.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Theme.h"

#include <QResizeEvent>

namespace {

constexpr int kScreenWidth = ColumnScrollView::kWidth;
const QRect kLabelColumn(10, 0, 90, 30);
const QRect kFirstCountColumn(100, 0, 100, 30);
const QRect kSecondCountColumn(210, 0, 100, 30);

}  // namespace

ReportViewController::ReportViewController(QWidget* parent) : ViewController(parent) {}

void ReportViewController::viewDidLoad() {
    scrollView_ = new ColumnScrollView(this);
    setTitle(tr("Report"));
}

void ReportViewController::resizeEvent(QResizeEvent* event) {
    ViewController::resizeEvent(event);
    if (scrollView_) scrollView_->resize(kScreenWidth, event->size().height());
}

void ReportViewController::removeAllSubviews() {
    if (scrollView_) scrollView_->removeAllContent();
    yVal_ = kFirstRowTop;
}

void ReportViewController::initWithMonths(const std::vector<MonthlyReport::MonthRow>& months, MessageType messageType) {
    loadViewIfNeeded();
    messageType_ = messageType;
    yVal_ = kFirstRowTop;
    addPeriodRows();
    addScrollItem(tr("Month"), tr("Incoming"), tr("Outgoing"));

    int totalIncoming = 0, totalOutgoing = 0;
    for (const MonthlyReport::MonthRow& month : months) {
        addScrollItemWithMonth(month);
        totalIncoming += month.incoming;
        totalOutgoing += month.outgoing;
    }
    // Every message falls in some month: no rows, no messages.
    if (!months.empty()) addScrollItem(tr("Total"), QString::number(totalIncoming), QString::number(totalOutgoing));
    scrollView_->setContentSize(QSize(kScreenWidth, yVal_));
}

void ReportViewController::addPeriodRows() {
    const DateFormatter medium;
    addScrollItem(tr("From"), medium.stringFromDate(from_), std::nullopt);
    addScrollItem(tr("To"), medium.stringFromDate(to_), std::nullopt);
    addScrollItem(QString(), QString(), std::nullopt);
}

void ReportViewController::addScrollItemWithMonth(const MonthlyReport::MonthRow& month) {
    addScrollItem(month.month, QString::number(month.incoming), QString::number(month.outgoing));
}

void ReportViewController::addScrollItem(const QString& label, const QString& countStr,
                                         const std::optional<QString>& countStr1) {
    QWidget* content = scrollView_->contentView();
    const QFont font = Theme::boldSystemFont(12);
    QList<Label*> row{new Label(label, kLabelColumn.translated(0, yVal_), font, content)};
    if (countStr1) row << new Label(*countStr1, kSecondCountColumn.translated(0, yVal_), font, content);
    row << new Label(countStr, kFirstCountColumn.translated(0, yVal_), font, content);
    for (Label* cell : row) cell->show();
    yVal_ += kRowHeight;
}
