// Cost of the segment count per message body, over the realistic mix of
// bodies the traffic generator makes.
#include "common/SegmentCounter.h"
#include "tools/fixtures/TrafficGenerator.h"

#include <benchmark/benchmark.h>

namespace {

std::vector<std::string> sampleBodies() {
    TrafficOptions options;
    options.fromDate = 1356998400;
    options.toDate = options.fromDate + 365 * 86400;
    std::vector<std::string> bodies;
    for (const auto& message : TrafficGenerator(options).generate(10000))
        if (message.text) bodies.push_back(*message.text);
    return bodies;
}

void segmentsForUtf8(benchmark::State& state) {
    const auto bodies = sampleBodies();
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const auto& body : bodies) {
            benchmark::DoNotOptimize(SegmentCounter::segmentsForUtf8(body.data(), body.size()));
            bytes += body.size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(bodies.size()));
}
BENCHMARK(segmentsForUtf8);

}  // namespace

BENCHMARK_MAIN();
