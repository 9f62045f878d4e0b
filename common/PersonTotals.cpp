#include "common/PersonTotals.h"

Counted<int> PersonTotals::generate(CounterStore& store, CounterStore::Bound from, CounterStore::Bound to,
                                    MessageType messageType, const std::vector<Person>& excluded,
                                    std::vector<Person>& persons, std::vector<int>& counts, std::vector<Sms>& records) {
    persons.clear();
    counts.clear();
    records.clear();
    const Counted<int> grouped = store.countGroupOf(messageType, from, to, persons, counts, &excluded);
    // The chart's total has always listed the sent messages first.
    const Counted<int> total =
        store.countMessages(messageType, Direction::Sent, from, to, nullptr, &excluded, &records);
    return grouped ? total : grouped;
}
