#include "app/charts/ChartData.h"

int ChartData::generate(SmsHelper::Bound from, SmsHelper::Bound to, int messageType,
                        const std::vector<Person>& excluded, std::vector<Person>& persons,
                        std::vector<double>& counts, std::vector<Sms>& records) {
    persons.clear();
    counts.clear();
    records.clear();
    switch (messageType) {
    case 1:
        SmsHelper::countIncomingGroupFrom(from, to, persons, counts, &excluded);
        return SmsHelper::countIncomingFrom(from, to, nullptr, &excluded, &records);
    case 2:
        SmsHelper::countOutgoingGroupFrom(from, to, persons, counts, &excluded);
        return SmsHelper::countOutgoingFrom(from, to, nullptr, &excluded, &records);
    default: {
        SmsHelper::countGroupFrom(from, to, persons, counts, &excluded);
        const int sent = SmsHelper::countOutgoingFrom(from, to, nullptr, &excluded, &records);
        return sent + SmsHelper::countIncomingFrom(from, to, nullptr, &excluded, &records);
    }
    }
}
