// A million addresses queued in one site and taken again, as a page of a million links
// would make them: the memory each queued address costs, and the time to queue and take.

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

#include "model/site.h"
#include "support/site_fixture.h"
#include "web/url.h"

namespace {

// Resident memory now, in bytes (Linux; 0 elsewhere).
std::int64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

void BM_QueueAndTakeAddresses(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    SitesDirScope dir;
    for (auto _ : state) {
        CSite site("Queue");
        site.CompilePatterns();
        const std::int64_t before = ResidentBytes();
        for (int i = 0; i < count; ++i) {
            auto address = std::make_unique<CUrl>(
                nullptr,
                "http://www.example.com/documentation/section-" + std::to_string(i % 977) +
                    "/page-" + std::to_string(i) + ".html",
                kLinkFollowed);
            site.AddPending(address);
        }
        const std::int64_t queued = ResidentBytes() - before;
        state.counters["bytes/address"] = static_cast<double>(queued) / count;
        state.counters["queued"] = static_cast<double>(site.PendingCount());
        while (const auto address = site.NextPending())
            site.MarkDone(*address, true);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_QueueAndTakeAddresses)->Arg(1'000'000)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
