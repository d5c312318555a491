// How late the system time source's waits end: a wait of N ms on the
// monotonic clock, measured in microseconds. Tests only hold that a wait is
// never early; how far it overshoots depends on the machine's load and is
// recorded here (docs/benchmarks/engine.md).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <vector>

#include "engine/SystemTimeSource.h"

namespace {

void BM_WaitOvershoot(benchmark::State& state) {
    const qint64 ms = state.range(0);
    SystemTimeSource* time = SystemTimeSource::Instance();
    std::vector<double> lateUs;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        time->WaitFor(ms);
        const auto took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        lateUs.push_back(std::chrono::duration<double, std::micro>(took).count() - ms * 1000.0);
    }
    std::sort(lateUs.begin(), lateUs.end());
    double sum = 0;
    for (double us : lateUs) {
        sum += us;
    }
    state.counters["late_mean_us"] = sum / double(lateUs.size());
    state.counters["late_p99_us"] = lateUs[lateUs.size() * 99 / 100];
    state.counters["late_max_us"] = lateUs.back();
    state.counters["early"] = double(lateUs.front() < 0);
}

}  // namespace

BENCHMARK(BM_WaitOvershoot)
    ->ArgName("ms")
    ->Arg(1)
    ->Arg(2)
    ->Arg(7)
    ->Arg(20)
    ->Iterations(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
