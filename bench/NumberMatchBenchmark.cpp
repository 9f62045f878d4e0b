// Cost of matching a message address against the address book when an entry
// is far longer than any phone number: it must stay flat in the entry's
// length, since such text never reaches libphonenumber's patterns (which
// took 3 s for 8,000 digits, 25 s for 32,000).
#include "platform/AddressBookContact.h"
#include "platform/PhoneNumberIndex.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

void matchAgainstALongEntry(benchmark::State& state) {
    const std::string entry(static_cast<std::size_t>(state.range(0)), '7');
    auto contact = std::make_shared<AddressBookContact>();
    contact->recordID = 1;
    contact->numbers = {entry, "+1 (415) 555-0123"};
    for (auto _ : state) {
        PhoneNumberIndex index("US");
        index.add(contact);
        benchmark::DoNotOptimize(index.match(entry));
        benchmark::DoNotOptimize(index.match("4155550123"));
    }
}
BENCHMARK(matchAgainstALongEntry)->Arg(15)->Arg(8000)->Arg(32000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
