#include "app/charts/ChartData.h"

#include "common/PersonTotals.h"

int ChartData::generate(SmsHelper::Bound from, SmsHelper::Bound to, MessageType messageType,
                        const std::vector<Person>& excluded, std::vector<Person>& persons, std::vector<int>& counts,
                        std::vector<Sms>& records) {
    // The counting lives in the counter store, where the command-line report
    // shares it.
    return PersonTotals::generate(from, to, messageType, excluded, persons, counts, records);
}
