#include "app/charts/ReportViewController.h"

#include "app/charts/ColumnScrollView.h"
#include "app/shell/DateFormatter.h"
#include "platform/ui/KitAccessibility.h"
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
    const QString month = tr("Month"), incoming = tr("Incoming"), outgoing = tr("Outgoing");
    addScrollItem(month, incoming, outgoing, QStringList{month, incoming, outgoing}.join(QStringLiteral(", ")));

    int totalIncoming = 0, totalOutgoing = 0;
    for (const MonthlyReport::MonthRow& month : months) {
        addScrollItemWithMonth(month);
        totalIncoming += month.incoming;
        totalOutgoing += month.outgoing;
    }
    // Every message falls in some month: no rows, no messages.
    if (!months.empty())
        addScrollItem(tr("Total"), QString::number(totalIncoming), QString::number(totalOutgoing),
                      spokenCounts(tr("Total"), totalIncoming, totalOutgoing));
    scrollView_->setContentSize(QSize(kScreenWidth, yVal_));
}

void ReportViewController::addPeriodRows() {
    const DateFormatter medium;
    const QString captioned = QStringLiteral("%1: %2");
    const QString from = medium.stringFromDate(from_), to = medium.stringFromDate(to_);
    addScrollItem(tr("From"), from, std::nullopt, captioned.arg(tr("From"), from));
    addScrollItem(tr("To"), to, std::nullopt, captioned.arg(tr("To"), to));
    addScrollItem(QString(), QString(), std::nullopt, QString());
}

QString ReportViewController::spokenCounts(const QString& label, int incoming, int outgoing) {
    return tr("%1: Incoming %2, Outgoing %3").arg(label).arg(incoming).arg(outgoing);
}

void ReportViewController::addScrollItemWithMonth(const MonthlyReport::MonthRow& month) {
    addScrollItem(month.month, QString::number(month.incoming), QString::number(month.outgoing),
                  spokenCounts(month.month, month.incoming, month.outgoing));
}

void ReportViewController::addScrollItem(const QString& label, const QString& countStr,
                                         const std::optional<QString>& countStr1, const QString& spoken) {
    // The row's labels sit in a band of their own, which a screen reader
    // meets as one line: a month read with its numbers, not bare numbers.
    auto* band = new QWidget(scrollView_->contentView());
    band->setGeometry(0, yVal_, kScreenWidth, kRowHeight);
    // The kind before the name: naming a widget makes its accessible
    // interface, which takes the kind the widget has then.
    if (spoken.isEmpty()) {
        KitAccessibility::setDecorative(band);
    } else {
        KitAccessibility::setSingleElement(band, QAccessible::StaticText);
        band->setAccessibleName(spoken);
    }
    const QFont font = Theme::boldSystemFont(12);
    new Label(label, kLabelColumn, font, band);
    if (countStr1) new Label(*countStr1, kSecondCountColumn, font, band);
    new Label(countStr, kFirstCountColumn, font, band);
    band->show();
    yVal_ += kRowHeight;
}
