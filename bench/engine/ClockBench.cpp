// The real clock against the wall: achieved speed, its CPU cost, and what idle
// workers cost. Each pacing case runs ORDAVEX_BENCH_SECONDS (default 60) of
// wall time; figures go to docs/benchmarks/engine.md.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "ProcessCpu.h"
#include "engine/Controller.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/SystemTimeSource.h"
#include "engine/Worker.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const char* variable, double fallback) {
    const char* text = std::getenv(variable);
    return text ? std::atof(text) : fallback;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// What the clock thread saw at one release; read after Shutdown joined it.
struct Sample {
    qint64 dts = 0;
    double cpu = 0;
    Clock::time_point wall;
};

void BM_ClockPacing(benchmark::State& state) {
    const qint64 gap = state.range(0);
    const int speedIndex = int(state.range(1));
    const double seconds = Seconds("ORDAVEX_BENCH_SECONDS", 60);
    for (auto _ : state) {
        g_bSuspend.store(false);
        Controller controller;
        Sample first;
        Sample last;
        int releases = 0;
        QObject::connect(
            &controller.playCtrl, &PlayCtrl::Signal_updateTime, &controller.playCtrl,
            [&](qint64 dts, qint64) {
                if (StreamMarker::IsMarker(dts)) {
                    return;
                }
                last = Sample{dts, ThreadCpuMs(), Clock::now()};
                if (releases++ == 0) {
                    first = last;
                }
            },
            Qt::DirectConnection);
        controller.SpeedChange(speedIndex);
        controller.playStatus.store(PlayStatus::Play);
        controller.Start();
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        qint64 next = 0;
        while (Clock::now() < end) {
            while (controller.playCtrl.SetDTS(next, 0, false)) {
                next += gap;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        controller.Shutdown();
        const double wallS = std::chrono::duration<double>(last.wall - first.wall).count();
        const double mediaS = double(last.dts - first.dts) / 1000.0;
        const double nominal = controller.speed.load() / 16.0;
        state.counters["speed_ratio"] = mediaS / wallS / nominal;
        state.counters["clock_cpu_ms_per_media_s"] = (last.cpu - first.cpu) / mediaS;
        state.counters["releases"] = releases;
    }
    g_bSuspend.store(false);
}

// An engine worker with nothing to take, as the workers were before they
// waited for their causes: it polls every 2 ms.
class PollingWorker : public Worker {
public:
    explicit PollingWorker(TimeSource* time) : Worker(time) {}
    ~PollingWorker() override { Wait(); }

protected:
    void run() override {
        while (!g_bSuspend.load()) {
            delay_ms(2);
        }
        Finish(QStringLiteral("Polling exit"));
    }
};

// The clock with an empty schedule plus `others` idle polling workers: the 27
// long-lived workers of the whole engine when others = 26.
void BM_IdleWorkers(benchmark::State& state) {
    const int others = int(state.range(0));
    const double seconds = Seconds("ORDAVEX_BENCH_IDLE_SECONDS", 10);
    for (auto _ : state) {
        g_bSuspend.store(false);
        Controller controller;
        std::vector<std::unique_ptr<PollingWorker>> workers;
        for (int i = 0; i < others; ++i) {
            workers.push_back(std::make_unique<PollingWorker>(controller.Time()));
        }
        controller.Start();
        for (auto& worker : workers) {
            worker->Start();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double cpu0 = ProcessCpuMs();
        const auto wall0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double cpu = ProcessCpuMs() - cpu0;
        const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
        controller.Shutdown();
        for (auto& worker : workers) {
            worker->Wait();
        }
        state.counters["cpu_percent_of_one_core"] = cpu / (wall * 1e3) * 100.0;
        state.counters["workers"] = others + 1;
    }
    g_bSuspend.store(false);
}

// How late a wait of N ms on the system time source ends, measured in
// microseconds. Tests hold only that a wait is never early; the overshoot
// depends on the machine's load.
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

BENCHMARK(BM_ClockPacing)
    ->ArgNames({"gap_ms", "speed_index"})
    ->Args({40, 4})
    ->Args({40, 6})
    ->Args({40, 8})
    ->Args({20, 4})
    ->Args({20, 6})
    ->Args({20, 8})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

BENCHMARK(BM_IdleWorkers)
    ->ArgName("others")
    ->Arg(0)
    ->Arg(26)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

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
