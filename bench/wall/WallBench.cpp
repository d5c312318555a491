// GUI-thread cost of showing one frame set on the wall: the release worker's
// malloc'ed frames handed to SetYUV, then one synchronous repaint of the
// window (every visible cell uploads and draws, Qt composes and swaps).
// Wall time is what the GUI thread waits; CPU time is its own work (Mesa's
// llvmpipe rasterises on threads of its own).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QVBoxLayout>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/I420Layout.h"
#include "wall/ScreenCtrl.h"

namespace {

int layoutFor(int cells) {
    return cells == 1 ? 1 : cells == 4 ? 2 : 5;
}

void BM_FrameSet(benchmark::State& state) {
    const int cells = int(state.range(0)), height = int(state.range(1));
    const int width = height * 16 / 9;
    const I420Layout layout = I420Layout::ForSize(width, height);
    std::vector<unsigned char> frame(size_t(layout.size));
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i * 7 / 5);

    QWidget window;
    auto* wall = new ScreenCtrl;
    (new QVBoxLayout(&window))->addWidget(wall);
    window.resize(1920, 1080);
    wall->SetLayout(layoutFor(cells));
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        for (int c = 0; c < cells; ++c) {
            auto* block = static_cast<unsigned char*>(std::malloc(frame.size()));
            std::memcpy(block, frame.data(), frame.size());
            wall->SetYUV(c, block, width, height);
        }
        window.repaint();
    }
    state.counters["sets/s"] = benchmark::Counter(double(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameSet)
    ->ArgsProduct({{1, 4, 12}, {720, 1080}})
    ->ArgNames({"cells", "height"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
