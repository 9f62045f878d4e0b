#include "common/PersonTotals.h"

Counted<int> PersonTotals::generate(CounterStore& store, CounterStore::Bound from, CounterStore::Bound to,
                                    MessageType messageType, const std::vector<Person>& excluded,
                                    std::vector<Person>& persons, std::vector<int>& counts, std::vector<Sms>& records) {
    persons.clear();
    counts.clear();
    records.clear();
    // The chart's total has always listed the sent messages first.
    return store.countGroupAndMessages(messageType, Direction::Sent, from, to, persons, counts, &excluded, records);
}
