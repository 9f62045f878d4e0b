#include "common/PersonTotals.h"

Counted<int> PersonTotals::generate(SmsHelper::Bound from, SmsHelper::Bound to, MessageType messageType,
                                    const std::vector<Person>& excluded, std::vector<Person>& persons,
                                    std::vector<int>& counts, std::vector<Sms>& records) {
    persons.clear();
    counts.clear();
    records.clear();
    const Counted<int> grouped = SmsHelper::countGroupOf(messageType, from, to, persons, counts, &excluded);
    // The chart's total has always listed the sent messages first.
    const Counted<int> total =
        SmsHelper::countMessages(messageType, Direction::Sent, from, to, nullptr, &excluded, &records);
    return grouped ? total : grouped;
}
