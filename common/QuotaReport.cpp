#include "common/QuotaReport.h"

#include "common/BillingPeriod.h"
#include "common/PersonTotals.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <cctype>

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The segments of one direction, collecting the messages behind them.
Counted<int> directCount(CounterStore& store, Direction direction, const QuotaReport::Options& options,
                         std::vector<Sms>& records) {
    const Person* person = options.person ? &*options.person : nullptr;
    const CounterStore::Bound from = options.period.from;
    const CounterStore::Bound to = options.period.to;
    return direction == Direction::Received ? store.countIncomingFrom(from, to, person, &options.excluded, &records)
                                            : store.countOutgoingFrom(from, to, person, &options.excluded, &records);
}

// The chart's per-person counts; with a person filter only that person's
// entry is left, since the chart itself always shows everybody.
Counted<std::vector<QuotaReport::PersonRow>> personRows(CounterStore& store, const QuotaReport::Options& options) {
    std::vector<Person> persons;
    std::vector<int> counts;
    std::vector<Sms> records;
    const Counted<int> total = PersonTotals::generate(store, options.period.from, options.period.to,
                                                      options.messageType, options.excluded, persons, counts, records);
    if (!total) return total.failureAs<std::vector<QuotaReport::PersonRow>>();
    std::vector<QuotaReport::PersonRow> rows;
    for (std::size_t i = 0; i < persons.size(); ++i) {
        if (options.person && !options.person->isEqual(persons[i]) && !persons[i].isEqual(*options.person)) continue;
        rows.push_back({persons[i], counts[i]});
    }
    return rows;
}

}  // namespace

Counted<QuotaReport::Result> QuotaReport::build(const Options& options) {
    Result result;
    result.period = options.period;
    result.quota = options.quota;

    CounterStore store = CounterStore::forCurrentPhone();
    // As the main screen counts its total: received first, then sent.
    std::vector<Sms> records;
    for (const Direction direction : {Direction::Received, Direction::Sent}) {
        if (options.messageType == (direction == Direction::Received ? MessageType::Sent : MessageType::Received))
            continue;
        const Counted<int> count = directCount(store, direction, options, records);
        if (!count) return count.failureAs<Result>();
        (direction == Direction::Received ? result.received : result.sent) = count.value();
    }
    result.segments = result.received + result.sent;
    result.messages = static_cast<int>(records.size());
    if (options.quota > 0) result.quotaLeft = std::max(0, options.quota - result.segments);

    Counted<std::vector<PersonRow>> persons = personRows(store, options);
    if (!persons) return persons.failureAs<Result>();
    result.persons = std::move(persons.value());
    // Most messages first; the chart's own order is the database's.
    std::stable_sort(result.persons.begin(), result.persons.end(),
                     [](const PersonRow& a, const PersonRow& b) { return a.segments > b.segments; });
    std::stable_sort(records.begin(), records.end(), [](const Sms& a, const Sms& b) { return a.compare(b) < 0; });
    result.months = MonthTotals::months(records);
    return result;
}

QuotaReport::Period QuotaReport::currentPeriod(const PropertyList* settings, std::time_t now) {
    Period period;
    if (const auto fixedStart = SettingsStore::lastFromDate(settings))
        period.from = BillingPeriod::wholeSeconds(*fixedStart);
    else
        period.from =
            BillingPeriod::periodStart(SettingsStore::cycleMode(settings) ? SettingsStore::cycleDay(settings) : 1, now);
    period.to = BillingPeriod::periodEnd(now);
    return period;
}

std::optional<QuotaReport::Period> QuotaReport::previousPeriod(const PropertyList* settings, std::time_t now) {
    if (SettingsStore::lastFromDate(settings)) return std::nullopt;
    const Period current = currentPeriod(settings, now);
    const int day = SettingsStore::cycleMode(settings) ? SettingsStore::cycleDay(settings) : 1;
    // The last second before the current period belongs to the one before.
    const std::time_t lastMoment = current.from - 1;
    return Period{BillingPeriod::periodStart(day, lastMoment), lastMoment};
}

Counted<std::optional<Person>> QuotaReport::findPerson(const std::string& nameOrNumber) {
    const Counted<std::vector<Person>> everyone = CounterStore::forCurrentPhone().getUniquePerson();
    if (!everyone) return everyone.failureAs<std::optional<Person>>();
    const std::vector<Person>& persons = everyone.value();
    for (const Person& person : persons)
        if (sameIgnoringCase(person.name(), nameOrNumber)) return std::optional<Person>(person);
    for (const Person& person : persons)
        if (person.containsNumber(nameOrNumber)) return std::optional<Person>(person);
    // A contact's number typed another way than its messages spell it.
    const Person::Resolution contact = Person::resolveAddress(nameOrNumber);
    if (!contact.contactFound) return std::optional<Person>();
    for (const Person& person : persons)
        if (person.recordID() == contact.person.recordID()) return std::optional<Person>(person);
    return std::optional<Person>();
}
