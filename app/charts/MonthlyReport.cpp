#include "app/charts/MonthlyReport.h"

#include "common/MonthTotals.h"

#include <QDate>

// The counting lives in the counter store, where the command-line report
// shares it; the report only names the months in its locale.

std::vector<Sms> MonthlyReport::records(CounterStore& store, CounterStore::Bound from, CounterStore::Bound to,
                                        const std::vector<Person>& excluded) {
    return MonthTotals::records(store, from, to, excluded);
}

std::vector<MonthlyReport::MonthRow> MonthlyReport::months(const std::vector<Sms>& records, const QLocale& locale) {
    std::vector<MonthRow> rows;
    for (const MonthTotals::Month& month : MonthTotals::months(records)) {
        const QString name = locale.toString(QDate(month.year, month.month, 1), QStringLiteral("MMM yyyy"));
        rows.push_back(MonthRow{name, month.incoming, month.outgoing});
    }
    return rows;
}

int MonthlyReport::segmentsOf(const Sms& record) { return MonthTotals::segmentsOf(record.text()); }
