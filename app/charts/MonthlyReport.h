#pragma once

#include "common/Person.h"
#include "common/Sms.h"
#include "common/CounterStore.h"

#include <QLocale>
#include <QString>

#include <vector>

// The numbers of the monthly report: the received and sent segments of each
// calendar month (by the local date of each message, not by billing cycle)
// that has messages in the period, whatever message type the main screen
// shows, without the excluded numbers.
class MonthlyReport {
public:
    struct MonthRow {
        QString month;  // "MMM yyyy" in the locale
        int incoming = 0;
        int outgoing = 0;
    };

    // The messages of the period in both directions without the excluded
    // numbers, oldest first (sent before received within one second).
    static std::vector<Sms> records(CounterStore& store, CounterStore::Bound from, CounterStore::Bound to,
                                    const std::vector<Person>& excluded);

    // One row per month, in the order of `records`, which must be sorted by
    // date; a received message (flags 2) counts as incoming, any other as
    // outgoing.
    static std::vector<MonthRow> months(const std::vector<Sms>& records, const QLocale& locale = QLocale());

    // The segments of a message body: 160 characters a segment for the 7-bit
    // alphabet, 70 otherwise, an empty body 1. A body that is not valid UTF-8
    // counts as empty.
    static int segmentsOf(const Sms& record);
};
