#include "app/charts/MonthlyReport.h"

#include "common/SegmentCounter.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <string>

namespace {

// The local calendar month a moment falls in, as a half-open span of
// seconds, so that the messages of one month cost one comparison each
// instead of a date conversion.
struct MonthSpan {
    QDate first;
    std::time_t begin = 0;
    std::time_t end = 0;

    bool contains(std::time_t moment) const { return begin <= moment && moment < end; }

    static MonthSpan of(std::time_t moment) {
        const QDate date = QDateTime::fromSecsSinceEpoch(moment).date();
        MonthSpan span;
        span.first = QDate(date.year(), date.month(), 1);
        span.begin = span.first.startOfDay().toSecsSinceEpoch();
        span.end = span.first.addMonths(1).startOfDay().toSecsSinceEpoch();
        return span;
    }
};

// The segments of a UTF-8 body, decoded into `buffer`, which is reused from
// one message to the next.
int segmentsOfText(const std::string& text, std::u16string& buffer) {
    if (!SegmentCounter::decodeUtf8(text.data(), text.size(), buffer)) buffer.clear();
    return SegmentCounter::segmentsForText(buffer);
}

}  // namespace

std::vector<Sms> MonthlyReport::records(SmsHelper::Bound from, SmsHelper::Bound to,
                                        const std::vector<Person>& excluded) {
    std::vector<Sms> list;
    SmsHelper::countOutgoingFrom(from, to, nullptr, &excluded, &list);
    SmsHelper::countIncomingFrom(from, to, nullptr, &excluded, &list);
    std::stable_sort(list.begin(), list.end(), [](const Sms& a, const Sms& b) { return a.compare(b) < 0; });
    return list;
}

std::vector<MonthlyReport::MonthRow> MonthlyReport::months(const std::vector<Sms>& records, const QLocale& locale) {
    std::vector<MonthRow> rows;
    MonthSpan span;
    std::u16string buffer;
    for (const Sms& record : records) {
        if (rows.empty() || !span.contains(record.date())) {
            span = MonthSpan::of(record.date());
            const QString name = locale.toString(span.first, QStringLiteral("MMM yyyy"));
            // A new row where the month's name changes from the last one.
            if (rows.empty() || rows.back().month != name) rows.push_back(MonthRow{name, 0, 0});
        }
        const int segments = segmentsOfText(record.text(), buffer);
        if (record.flags() == Sms::kReceived)
            rows.back().incoming += segments;
        else
            rows.back().outgoing += segments;
    }
    return rows;
}

int MonthlyReport::segmentsOf(const Sms& record) {
    std::u16string buffer;
    return segmentsOfText(record.text(), buffer);
}
