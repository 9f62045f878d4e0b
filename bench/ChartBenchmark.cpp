// brindlex-chart-bench [--data DIR] [--runs R]
//
// The data behind the chart and the monthly report on a counter database of
// 200,000 messages from 2,000 addresses, with an address book of 1,500
// contacts whose numbers are written differently from the messages'
// addresses (built as brindlex-count-bench builds its data, in a folder of
// its own), against floors run in the same process on the same rows:
//   chart data (both directions)  / one GROUP BY address statement over the period
//   report data                   / one GROUP BY month statement over the period
// The chart data is what the main screen computes before it draws: the
// per-person counts and the period's total with its records. The report data
// is the period's records of both directions sorted by date and summed month
// by month. Every figure is the median of R runs after one warm-up run.
#include "app/charts/MonthlyReport.h"
#include "bench/BenchDevice.h"
#include "bench/BenchReport.h"
#include "common/CounterStore.h"
#include "common/Person.h"
#include "common/PersonTotals.h"
#include "platform/SystemVersion.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace BenchDevice;
using BenchReport::secondsOf;

namespace {

constexpr int kWhatWidth = 34;

void measure(const std::string& version, int runs) {
    const std::string sms = SystemVersion::isSixOrLater(version) ? "type = 'SMS' AND " : "";
    const std::vector<Person> noExclusions;
    const CounterStore::Bound from = kFrom, to = kTo;

    const double groupByAddress = secondsOf(
        [&] {
            plainScan("select address, sum(smscount) from message where " + sms +
                          "(flags = 2 OR flags = 3) and date >= ? and date <= ? group by address",
                      2);
        },
        runs);
    std::size_t persons = 0;
    const double chart = secondsOf(
        [&] {
            std::vector<Person> people;
            std::vector<int> counts;
            std::vector<Sms> records;
            CounterStore store = CounterStore::forCurrentPhone();
            PersonTotals::generate(store, from, to, MessageType::Both, noExclusions, people, counts, records);
            persons = people.size();
        },
        runs);
    BenchReport::printRatio({"chart data, both directions", chart, groupByAddress, 2}, kWhatWidth);

    const double groupByMonth = secondsOf(
        [&] {
            plainScan(
                "select strftime('%Y-%m', date, 'unixepoch', 'localtime') as month, "
                "sum(case when flags = 2 then smscount else 0 end), "
                "sum(case when flags = 3 then smscount else 0 end) from message where " +
                    sms + "(flags = 2 OR flags = 3) and date >= ? and date <= ? group by month",
                2);
        },
        runs);
    std::size_t months = 0;
    const double reportData = secondsOf(
        [&] {
            CounterStore store = CounterStore::forCurrentPhone();
            months = MonthlyReport::months(MonthlyReport::records(store, from, to, noExclusions)).size();
        },
        runs);
    BenchReport::printRatio({"report data", reportData, groupByMonth, 5}, kWhatWidth);
    std::printf("  (%zu persons in the chart, %zu months in the report)\n", persons, months);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchDevice::runOnEachSchema(argc, argv, "brindlex-chart-bench", "/charts", measure);
}
