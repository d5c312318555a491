// Cost of one record and of one map conversion: the map workers handle about
// one GPS record per second of playback, the chart up to 25 records a second,
// times the playback speed; the whole-file reader parses a file's records back
// to back.
#include <benchmark/benchmark.h>

#include <vector>

#include "AmfBuilder.h"
#include "engine/MapType.h"
#include "telemetry/GPSParse.h"
#include "telemetry/GPSTransfer.h"
#include "telemetry/GSensorParse.h"

namespace {

AmfBuilder gpsRecord() {
    AmfBuilder b = AmfBuilder::record("GPS", 10);
    b.text("mode").number(3).text("lat").number(22.5431).text("lon").number(113.9345);
    b.text("alt").number(35).text("speed").number(54).text("course").number(45);
    b.text("sat_used").number(8).text("sat_visible").number(14);
    b.text("time").number(1684053000).text("carInfo").string("B12345");
    return b.end();
}

AmfBuilder sensorRecord() {
    AmfBuilder b = AmfBuilder::record("GSensor", 5);
    b.text("x").number(-0.04).text("y").number(0.002).text("z").number(0.9866);
    b.text("temperature").number(36.5).text("speed").number(54);
    return b.end();
}

void BM_ParseGpsRecord(benchmark::State& state) {
    const AmfBuilder record = gpsRecord();
    GPSParse gps;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gps.ParseRecord(record.data(), record.size()));
    }
    state.SetBytesProcessed(state.iterations() * record.size());
}
BENCHMARK(BM_ParseGpsRecord);

void BM_ParseGSensorRecord(benchmark::State& state) {
    const AmfBuilder record = sensorRecord();
    GSensorParse sensor;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sensor.ParseRecord(record.data(), record.size()));
    }
    state.SetBytesProcessed(state.iterations() * record.size());
}
BENCHMARK(BM_ParseGSensorRecord);

// Worst case for the walker: a strict array of single-byte nulls.
void BM_ParseLongStrictArray(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    AmfBuilder b;
    b.beginStrict(count);
    for (int i = 0; i < count; ++i) {
        b.byte(5);
    }
    GSensorParse sensor;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sensor.ParseRecord(b.data(), b.size()));
    }
    state.SetBytesProcessed(state.iterations() * b.size());
}
BENCHMARK(BM_ParseLongStrictArray)->Arg(1 << 10)->Arg(1 << 20);

void BM_MapPosition(benchmark::State& state) {
    const GPSTransfer transfer;
    const MapType mapType = static_cast<MapType>(state.range(0));
    double lat = 22.5431;
    for (auto _ : state) {
        lat += 1e-7;
        benchmark::DoNotOptimize(transfer.toMap(mapType, {lat, 113.9345}, {}));
    }
}
BENCHMARK(BM_MapPosition)
    ->Arg(static_cast<int>(MapType::Google))
    ->Arg(static_cast<int>(MapType::Baidu));

void BM_ExactInverse(benchmark::State& state) {
    const GPSTransfer transfer;
    const LatLon gcj = transfer.WGS84_To_GCJ02(39.9, 116.4);
    for (auto _ : state) {
        benchmark::DoNotOptimize(transfer.GCJ02_To_WGS84_exact(gcj.lat, gcj.lon));
    }
}
BENCHMARK(BM_ExactInverse);

}  // namespace

BENCHMARK_MAIN();
