// brindlex-count-bench [--data DIR] [--runs R]
//
// The counting queries on a counter database of 200,000 messages from 2,000
// addresses, with an address book of 1,500 contacts whose numbers are
// written differently from the messages' addresses, against floors run in
// the same process on the same rows:
//   direct counts with records                / a plain prepared-statement scan of the rows
//   the same with 20 exclusions               / the same scan
//   countGroupFrom                            / one GROUP BY address statement
//   countBadgeFrom with exclusions            / the plain SQL sum
// Every figure is the median of R runs after one warm-up run.
#include "bench/BenchDevice.h"
#include "bench/BenchReport.h"
#include "common/CounterStore.h"
#include "common/Person.h"
#include "platform/SystemVersion.h"

#include <string>
#include <vector>

using namespace BenchDevice;
using BenchReport::secondsOf;

namespace {

constexpr int kWhatWidth = 38;

std::vector<Person> twentyExclusions() {
    std::vector<Person> excluded;
    for (int recordID : {1, 2, 3, 50, 100, 400, 900, 1400})
        if (auto person = Person::excludedContact(recordID)) excluded.push_back(*person);
    for (std::size_t i = 1900; i < 1908; ++i) excluded.push_back(Person::bareNumber(messageAddress(i), -1));
    for (const char* pattern : {"*0123", "*9999", "+1415201*", "415209*"})
        excluded.push_back(Person::bareNumber(pattern, -1));
    return excluded;
}

void report(const char* what, double ours, double floor, double target) {
    BenchReport::printRatio({what, ours, floor, target}, kWhatWidth);
}

void measure(const std::string& version, int runs) {
    const std::string sms = SystemVersion::isSixOrLater(version) ? "type = 'SMS' AND " : "";
    const std::vector<Person> excluded = twentyExclusions();
    const CounterStore::Bound from = kFrom, to = kTo;

    auto direct = [&](const std::vector<Person>* exclusions) {
        std::vector<Sms> records;
        CounterStore store = CounterStore::forCurrentPhone();
        store.countIncomingFrom(from, to, nullptr, exclusions, &records);
        store.countOutgoingFrom(from, to, nullptr, exclusions, &records);
    };
    const double scan = secondsOf(
        [&] {
            plainScan("select smscount, address, date, text, rowid from message where " + sms +
                          "flags = 2 and date >= ? and date <= ?",
                      2);
            plainScan("select smscount, address, date, text, rowid from message where " + sms +
                          "flags = 3 and date >= ? and date <= ?",
                      2);
        },
        runs);
    report("direct counts with records", secondsOf([&] { direct(nullptr); }, runs), scan, 3);
    report("direct counts, 20 exclusions", secondsOf([&] { direct(&excluded); }, runs), scan, 4);

    const double groupBy = secondsOf(
        [&] {
            plainScan(
                "select address, sum(smscount) from message where " + sms + "date >= ? and date <= ? group by address",
                2);
        },
        runs);
    const double group = secondsOf(
        [&] {
            std::vector<Person> people;
            std::vector<int> counts;
            CounterStore::forCurrentPhone().countGroupFrom(from, to, people, counts, nullptr);
        },
        runs);
    report("countGroupFrom", group, groupBy, 2);

    const double sum = secondsOf(
        [&] {
            plainScan("select sum(smscount) from message where " + sms + "(flags = 2 OR flags = 3) and date >= ?", 1);
        },
        runs);
    report(
        "countBadgeFrom, 20 exclusions",
        secondsOf([&] { CounterStore::forCurrentPhone().countBadgeFrom(from, &excluded, BadgeType::Both, 0); }, runs),
        sum, 4);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchDevice::runOnEachSchema(argc, argv, "brindlex-count-bench", "/counts", measure);
}
