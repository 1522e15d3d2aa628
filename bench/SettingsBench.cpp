// A typed read on the demo ini: the transfer thread reads settings in its loop, so a read
// must stay cheap while every change of the file still shows at the next read.
#include <benchmark/benchmark.h>

#include "settings/PathResolve.h"
#include "settings/Settings.h"

static void BM_ReadIniInt(benchmark::State& state) {
    SetIniFileName(NativeToDncPath(std::string(SKARV_BIN_DIR) + "/Vako.ini"));
    for (auto _ : state) benchmark::DoNotOptimize(ReadIniInt("Maskin3", "Baud", 9600));
}
BENCHMARK(BM_ReadIniInt)->Repetitions(5)->ReportAggregatesOnly(true);

static void BM_ReadIniStringConvert(benchmark::State& state) {
    SetIniFileName(NativeToDncPath(std::string(SKARV_BIN_DIR) + "/Vako.ini"));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadIniString("Maskin1", "StartKode", "%[CR][LF]", true));
}
BENCHMARK(BM_ReadIniStringConvert)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
