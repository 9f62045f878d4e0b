#pragma once

#include "common/Person.h"
#include "common/Sms.h"
#include "common/SmsHelper.h"

#include <vector>

// The numbers behind the pie and bar charts: one count per person for the
// period, the message type and the exclusions, in the order the group count
// finds them, and the period's total over everybody. Every count is in
// segments.
class ChartData {
public:
    // Empties the three arrays, then fills `persons` and `counts` (index for
    // index) with the per-person counts of `messageType` and `records` with the messages behind the total,
    // sent before received for both. Returns the total. Without a bound
    // everything stays empty and the total is 0.
    static int generate(SmsHelper::Bound from, SmsHelper::Bound to, MessageType messageType,
                        const std::vector<Person>& excluded, std::vector<Person>& persons, std::vector<int>& counts,
                        std::vector<Sms>& records);
};
