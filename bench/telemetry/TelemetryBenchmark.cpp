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

template <typename Record>
void parseRecord(benchmark::State& state, const AmfBuilder& record) {
    Record parser;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parser.ParseRecord(record.data(), record.size()));
    }
    state.SetBytesProcessed(state.iterations() * record.size());
}

void BM_ParseGpsRecord(benchmark::State& state) {
    parseRecord<GPSParse>(state, AmfBuilder::gpsRecord());
}
BENCHMARK(BM_ParseGpsRecord);

void BM_ParseGSensorRecord(benchmark::State& state) {
    parseRecord<GSensorParse>(state, AmfBuilder::sensorRecord());
}
BENCHMARK(BM_ParseGSensorRecord);

// Worst case for the walker: a strict array of single-byte nulls.
void BM_ParseLongStrictArray(benchmark::State& state) {
    AmfBuilder b;
    b.beginStrict(state.range(0));
    for (int64_t i = 0; i < state.range(0); ++i) {
        b.byte(5);
    }
    parseRecord<GSensorParse>(state, b);
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
