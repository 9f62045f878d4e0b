#include "app/charts/ChartData.h"

#include "common/PersonTotals.h"

int ChartData::generate(SmsHelper::Bound from, SmsHelper::Bound to, MessageType messageType,
                        const std::vector<Person>& excluded, std::vector<Person>& persons, std::vector<int>& counts,
                        std::vector<Sms>& records) {
    // The counting lives in the counter store, where the command-line report
    // shares it. The chart draws what could be counted (the group count has
    // written why the rest could not).
    return PersonTotals::generate(from, to, messageType, excluded, persons, counts, records).valueOr(0);
}
