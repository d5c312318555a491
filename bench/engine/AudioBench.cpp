// The audio path without a device (the silent sink pulls at the format's
// pace): how soon PCM follows a packet after a seek, and what playing at 1X
// costs. Needs ORDAVEX_TESTDATA; figures go to docs/benchmarks/engine.md.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <vector>

#include "AviFile.h"
#include "ProcessCpu.h"
#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/Suspend.h"

namespace {

struct Packet {
    int id;
    qint64 dts;
    std::vector<unsigned char> data;
};

std::vector<Packet> AudioPackets(const char* name) {
    containertest::AviFile avi;
    std::vector<Packet> out;
    if (avi.open(std::string(std::getenv("ORDAVEX_TESTDATA")) + "/" + name) != 0)
        return out;
    for (containertest::ProbePacket p; avi.readOne(&p) >= 0;) {
        const container::AVStream* st = avi.ctx()->streams[p.stream];
        if (st->codec->codec_type == container::CODEC_TYPE_AUDIO)
            out.push_back({st->codec->codec_id,
                           st->time_base.num * p.dts * 1000 / st->time_base.den,
                           {avi.packet()->data, avi.packet()->data + avi.packet()->size}});
    }
    return out;
}

struct Path {
    Path() {
        qputenv("PULSE_SERVER", "unix:/nonexistent");
        c.audioDecoderCtrl.Start();
        c.audioReopen.Open(8000);
    }
    ~Path() {
        c.Shutdown();
        c.audioDecoderCtrl.Wait();
        g_bSuspend.store(false);
    }
    bool Offer(const Packet& p) {
        return c.InputAudioData(p.id, p.dts, p.data.data(), int(p.data.size())) ==
               QueueInput::Accepted;
    }
    qint64 Buffered() {
        QueueLock<SoundBuffer> lock(c.soundBuffer);
        return c.soundBuffer.GetBufDataLen();
    }
    Controller c{SystemTimeSource::Instance()};
};

// A seek (queue reset) then the first packet: time until its PCM is in the ring.
void BM_FirstPcmAfterSeek(benchmark::State& state, const char* file) {
    const std::vector<Packet> packets = AudioPackets(file);
    Path path;
    for (auto _ : state) {
        path.c.soundBuffer.TakeReset();
        {
            QueueLock<PacketQueue> lock(path.c.audioQueue);
            path.c.audioQueue.Clear();
        }
        path.c.InterruptWaits();  // as the controller's Clear does
        while (!path.c.soundBuffer.TakeReset())
            QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        path.Offer(packets[10]);
        while (path.Buffered() == 0)
            QCoreApplication::processEvents();
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
    }
}

// Packets offered at their own pace for the file's length while the silent
// sink pulls: CPU of the whole process per second of sound.
void BM_CpuAt1X(benchmark::State& state, const char* file) {
    const std::vector<Packet> packets = AudioPackets(file);
    Path path;
    for (auto _ : state) {
        const double cpu = ProcessCpuMs();
        QElapsedTimer t;
        t.start();
        for (const Packet& p : packets) {
            for (; t.elapsed() < p.dts || !path.Offer(p); QThread::msleep(1))
                QCoreApplication::processEvents();
        }
        state.counters["cpu_ms_per_audio_s"] = (ProcessCpuMs() - cpu) / (t.elapsed() / 1e3);
    }
}

// Nothing to play for 10 s, the output running or paused: CPU of the whole
// process (the worker waiting for a packet, the sink waiting for sound).
void BM_IdleCost(benchmark::State& state) {
    Path path;
    if (state.range(0)) {
        path.c.audioCtrl.Suspend();
    }
    for (auto _ : state) {
        const double cpu = ProcessCpuMs();
        QElapsedTimer t;
        t.start();
        QEventLoop idle;
        QTimer::singleShot(10000, &idle, &QEventLoop::quit);
        idle.exec();
        state.counters["cpu_percent_of_core"] = (ProcessCpuMs() - cpu) / double(t.elapsed()) * 100;
    }
}

BENCHMARK(BM_IdleCost)
    ->ArgName("paused")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_FirstPcmAfterSeek, adpcm, "h264_adpcm_ms.avi")
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirstPcmAfterSeek, aac, "h264_aac.avi")
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CpuAt1X, adpcm, "h264_adpcm_ms.avi")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CpuAt1X, aac, "h264_aac.avi")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
