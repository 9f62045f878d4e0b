#pragma once

#include "common/Person.h"
#include "common/Sms.h"
#include "common/CounterStore.h"

#include <string>
#include <vector>

// The received and sent segments of each calendar month (by the local date
// of each message, not by billing cycle) that has messages: the numbers of
// the app's monthly report and of the command-line report. Naming a month is
// left to the caller, which knows the locale.
class MonthTotals {
public:
    struct Month {
        int year = 0;
        int month = 0;  // 1 to 12
        int incoming = 0;
        int outgoing = 0;

        bool operator==(const Month&) const = default;
    };

    // The messages of the period in both directions without the excluded
    // numbers, oldest first (sent before received within one second).
    static std::vector<Sms> records(CounterStore& store, CounterStore::Bound from, CounterStore::Bound to,
                                    const std::vector<Person>& excluded);

    // One entry per month, in the order of `records`, which must be sorted by
    // date; a received message (flags 2) counts as incoming, any other as
    // outgoing. Each message counts the segments of its body.
    static std::vector<Month> months(const std::vector<Sms>& records);

    // The segments of a message body: 160 characters a segment for the 7-bit
    // alphabet, 70 otherwise, an empty body 1. A body that is not valid UTF-8
    // counts as empty.
    static int segmentsOf(const std::string& text);
};
