#include "common/MonthTotals.h"

#include "common/SegmentCounter.h"

#include <algorithm>
#include <ctime>

namespace {

// The local calendar month a moment falls in, as a half-open span of
// seconds, so that the messages of one month cost one comparison each
// instead of a calendar conversion.
struct MonthSpan {
    int year = 0;
    int month = 0;
    std::time_t begin = 0;
    std::time_t end = 0;

    bool contains(std::time_t moment) const { return begin <= moment && moment < end; }

    static MonthSpan of(std::time_t moment) {
        std::tm local{};
        ::localtime_r(&moment, &local);
        MonthSpan span;
        span.year = local.tm_year + 1900;
        span.month = local.tm_mon + 1;
        span.begin = firstOfMonth(local.tm_year, local.tm_mon);
        span.end = firstOfMonth(local.tm_year, local.tm_mon + 1);  // mktime carries month 12 into the next year
        return span;
    }

    static std::time_t firstOfMonth(int tmYear, int tmMonth) {
        std::tm first{};
        first.tm_year = tmYear;
        first.tm_mon = tmMonth;
        first.tm_mday = 1;
        first.tm_isdst = -1;
        return std::mktime(&first);
    }
};

// The segments of a UTF-8 body, decoded into `buffer`, which is reused from
// one message to the next.
int segmentsOfText(const std::string& text, std::u16string& buffer) {
    if (!SegmentCounter::decodeUtf8(text.data(), text.size(), buffer)) buffer.clear();
    return SegmentCounter::segmentsForText(buffer);
}

}  // namespace

std::vector<Sms> MonthTotals::records(CounterStore& store, CounterStore::Bound from, CounterStore::Bound to,
                                      const std::vector<Person>& excluded) {
    std::vector<Sms> list;
    // Every message, sent ones first; the sort keeps that order within a second.
    // What cannot be read is left out (the app's monthly report draws what
    // it gets).
    static_cast<void>(store.countMessages(MessageType::Both, Direction::Sent, from, to, nullptr, &excluded, &list));
    std::stable_sort(list.begin(), list.end(), [](const Sms& a, const Sms& b) { return a.compare(b) < 0; });
    return list;
}

std::vector<MonthTotals::Month> MonthTotals::months(const std::vector<Sms>& records) {
    std::vector<Month> rows;
    MonthSpan span;
    std::u16string buffer;
    for (const Sms& record : records) {
        if (rows.empty() || !span.contains(record.date())) {
            span = MonthSpan::of(record.date());
            const bool sameMonth = !rows.empty() && rows.back().year == span.year && rows.back().month == span.month;
            if (!sameMonth) rows.push_back(Month{span.year, span.month, 0, 0});
        }
        const int segments = segmentsOfText(record.text(), buffer);
        if (record.flags() == Sms::kReceived)
            rows.back().incoming += segments;
        else
            rows.back().outgoing += segments;
    }
    return rows;
}

int MonthTotals::segmentsOf(const std::string& text) {
    std::u16string buffer;
    return segmentsOfText(text, buffer);
}
