// Comparing two programs of 100 MB (2.5 million lines) with 1,000 scattered differences:
// plainly, and with all three options (block numbers, blanks, numbers by value); the word
// marks of a changed pair; and, for information, a move and a turn of the whole program.
#include "BenchSupport.h"
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "compare/Compare.h"
#include "compare/Transform.h"

namespace {
constexpr size_t kLines = 2500000;
constexpr int kDifferences = 1000;

const std::string& Left() {
    static std::string text = bench::MakeShopProgram(kLines);
    return text;
}

// The same program with 1,000 differences spread over it: changed words, lines added and
// lines taken away, a third of each.
const std::string& Right() {
    static std::string text = [] {
        const std::string& left = Left();
        std::vector<std::string_view> lines = LineViews(left);
        std::mt19937 rng(1000);
        std::vector<size_t> at(kDifferences);
        for (int k = 0; k < kDifferences; ++k)
            at[k] = (lines.size() / kDifferences) * k + rng() % (lines.size() / kDifferences - 2) + 1;
        std::string out;
        out.reserve(left.size() + 100000);
        size_t next = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (next < at.size() && at[next] == i) {
                switch (next++ % 3) {
                    case 0: out.append(lines[i]).append(" M08\r\n"); continue;
                    case 1: continue;  // taken away
                    case 2: out.append("M01 (STOPP)\r\n"); break;
                }
            }
            out.append(lines[i]).append("\r\n");
        }
        return out;
    }();
    return text;
}

BlockModel Model() {
    BlockModel m;
    m.blockChars.set('N');
    return m;
}

void Report(benchmark::State& state, const CompareResult& r) {
    state.counters["differences"] = static_cast<double>(r.hunks.size());
    state.counters["MB_each"] = static_cast<double>(Left().size()) / 1e6;
    state.counters["peak_MB"] = static_cast<double>(bench::PeakKb()) / 1024;
}
}  // namespace

static void BM_Compare100MB(benchmark::State& state) {
    const std::string& a = Left();
    const std::string& b = Right();
    CompareResult r;
    for (auto _ : state) {
        r = ComparePrograms(a, b, Model(), CompareOptions());
        benchmark::DoNotOptimize(r.hunks.data());
    }
    Report(state, r);
}
BENCHMARK(BM_Compare100MB)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_Compare100MBAllOptions(benchmark::State& state) {
    const std::string& a = Left();
    const std::string& b = Right();
    CompareOptions options;
    options.ignoreNumbers = options.ignoreBlanks = options.byValue = true;
    CompareResult r;
    for (auto _ : state) {
        r = ComparePrograms(a, b, Model(), options);
        benchmark::DoNotOptimize(r.hunks.data());
    }
    Report(state, r);
}
BENCHMARK(BM_Compare100MBAllOptions)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_ChangedWords(benchmark::State& state) {
    CompareOptions options;
    options.byValue = true;
    for (auto _ : state) {
        WordMarks m = ChangedWords("N120 G01 X12.5000 Y-3.2500 Z-1.5000 F250.0 (KONTUR)",
                                   "N120 G01 X12.500 Y-3.2500 Z-1.2500 F200.0 (KONTUR)", Model(), options);
        benchmark::DoNotOptimize(m.left.data());
    }
}
BENCHMARK(BM_ChangedWords);

static void BM_Transform100MB(benchmark::State& state) {
    const std::string& a = Left();
    TransformRequest r;
    if (state.range(0) == 0) {
        r.move[0] = 10;
        r.move[2] = -0.5;
    } else {
        r.mode = TransformMode::Rotate;
        r.angle = 30;
    }
    size_t changed = 0;
    for (auto _ : state) {
        TransformResult res = TransformProgram(a, PlotSettings(), r);
        if (!res.ok) state.SkipWithError(res.message.c_str());
        changed = res.changed.size();
        std::string out = ApplyTransform(a, res);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["changed_lines"] = static_cast<double>(changed);
    state.counters["peak_MB"] = static_cast<double>(bench::PeakKb()) / 1024;
}
BENCHMARK(BM_Transform100MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
