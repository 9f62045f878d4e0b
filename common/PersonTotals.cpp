#include "common/PersonTotals.h"

int PersonTotals::generate(SmsHelper::Bound from, SmsHelper::Bound to, MessageType messageType,
                           const std::vector<Person>& excluded, std::vector<Person>& persons, std::vector<int>& counts,
                           std::vector<Sms>& records) {
    persons.clear();
    counts.clear();
    records.clear();
    SmsHelper::countGroupOf(messageType, from, to, persons, counts, &excluded);
    // The chart's total has always listed the sent messages first.
    return SmsHelper::countMessages(messageType, Direction::Sent, from, to, nullptr, &excluded, &records);
}
