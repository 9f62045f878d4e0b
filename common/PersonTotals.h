#pragma once

#include "common/MessageType.h"
#include "common/Person.h"
#include "common/Sms.h"
#include "common/CounterStore.h"

#include <vector>

// One count per person for a period, a message type and the exclusions, in
// the order the group count finds them, and the period's total over
// everybody; every count in segments. The charts draw these numbers and the
// command-line report lists them, so both come from here.
class PersonTotals {
public:
    // Empties the three arrays, then fills `persons` and `counts` (index for
    // index) with the per-person counts of `messageType` and `records` with the messages behind the total,
    // sent before received for both. Returns the total, or why the counter
    // database could not be read (the arrays then stay empty).
    // Without a bound everything stays empty and the total is 0.
    static Counted<int> generate(CounterStore& store, CounterStore::Bound from, CounterStore::Bound to,
                                 MessageType messageType, const std::vector<Person>& excluded,
                                 std::vector<Person>& persons, std::vector<int>& counts, std::vector<Sms>& records);
};
