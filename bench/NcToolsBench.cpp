// The text tools on a big program: 2.5 million lines, about 100 MB. The core functions on
// the line list, and the skarv commands end to end (read, split, transform, write safely),
// beside sed doing a compress-like substitution on the same file for comparison.
#include "BenchSupport.h"
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "nctools/CompressAir.h"
#include "nctools/LineList.h"
#include "nctools/Renum.h"

namespace {
constexpr size_t kLines = 2500000;

std::string DataDir() { return std::string(SKARV_BUILD_DIR) + "/bench-data"; }
std::string ProgramFile() { return DataDir() + "/big.nc"; }
std::string IniFile() { return DataDir() + "/bench.ini"; }

const std::string& ProgramText() {
    static std::string text = [] {
        std::filesystem::create_directories(DataDir());
        std::string t = bench::MakeShopProgram(kLines);
        std::ofstream(ProgramFile(), std::ios::binary).write(t.data(), static_cast<std::streamsize>(t.size()));
        std::ofstream(IniFile()) << "[Maskin1]\r\nProtokoll=ISO\r\nBlokkTegn=N\r\nTab=False\r\n";
        return t;
    }();
    return text;
}

const std::vector<std::string>& ProgramLines() {
    static std::vector<std::string> lines = SplitLines(ProgramText());
    return lines;
}

using bench::Spawn;

void SetCounters(benchmark::State& state) {
    state.counters["lines"] = static_cast<double>(ProgramLines().size());
    state.counters["MB"] = static_cast<double>(ProgramText().size()) / 1e6;
}
}  // namespace

static void BM_CoreRenumber(benchmark::State& state) {
    BlockModel model;
    model.blockChars.set('N');
    RenumRequest req;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> lines = ProgramLines();
        state.ResumeTiming();
        auto changed = RenumberText(lines, model, req);
        benchmark::DoNotOptimize(changed.data());
    }
    SetCounters(state);
}
BENCHMARK(BM_CoreRenumber)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_CoreCompress(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> lines = ProgramLines();
        state.ResumeTiming();
        auto changed = CompressLines(lines);
        benchmark::DoNotOptimize(changed.data());
    }
    SetCounters(state);
}
BENCHMARK(BM_CoreCompress)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_CoreAir(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> lines = ProgramLines();
        state.ResumeTiming();
        auto changed = AirLines(lines, ' ');
        benchmark::DoNotOptimize(changed.data());
    }
    SetCounters(state);
}
BENCHMARK(BM_CoreAir)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_SplitAndJoin(benchmark::State& state) {
    for (auto _ : state) {
        auto lines = SplitLines(ProgramText());
        std::string out = JoinLinesCrLf(lines);
        benchmark::DoNotOptimize(out.data());
    }
    SetCounters(state);
}
BENCHMARK(BM_SplitAndJoin)->Unit(benchmark::kMillisecond)->Iterations(3);

static void SkarvCommand(benchmark::State& state, const char* command) {
    ProgramText();
    std::string out = DataDir() + "/out-" + command + ".nc";
    std::vector<std::string> args = {std::string(SKARV_BIN_DIR) + "/skarv", "--ini", IniFile(),
                                     command, ProgramFile(), "-o", out};
    double cpu = 0;
    for (auto _ : state) {
        if (Spawn(args, std::string(), &cpu) != 0) state.SkipWithError("skarv failed");
    }
    state.counters["child_cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
    SetCounters(state);
}
static void BM_SkarvRenum(benchmark::State& state) { SkarvCommand(state, "renum"); }
static void BM_SkarvCompress(benchmark::State& state) { SkarvCommand(state, "compress"); }
static void BM_SkarvAir(benchmark::State& state) { SkarvCommand(state, "air"); }
BENCHMARK(BM_SkarvRenum)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SkarvCompress)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SkarvAir)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

static void BM_SedCompressLike(benchmark::State& state) {
    ProgramText();
    std::string out = DataDir() + "/out-sed.nc";
    std::vector<std::string> args = {"/usr/bin/sed", "-E", "s/([0-9.]) ([A-Z])/\\1\\2/g",
                                     ProgramFile()};
    double cpu = 0;
    for (auto _ : state) {
        if (Spawn(args, out, &cpu) != 0) state.SkipWithError("sed failed");
    }
    state.counters["child_cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
    SetCounters(state);
}
BENCHMARK(BM_SedCompressLike)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
