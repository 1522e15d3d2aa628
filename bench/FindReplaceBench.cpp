// Find and replace over a program of 100 MB. Targets: find next from the top to a match near
// the end under 50 ms; replace all of a word with 100,000 matches under 2 s.
#include <benchmark/benchmark.h>

#include <string>

#include "document/FindReplace.h"

namespace {
// About 100 MB of NC blocks; "M08" stands in every 27th block (100,000 times with the
// 100 million bytes) and "T0707" only once, near the end.
const std::string& Program() {
    static const std::string text = [] {
        std::string s;
        s.reserve(101u << 20);
        long n = 0;
        while (s.size() < 100'000'000) {
            n += 10;
            s += "N" + std::to_string(n) + " G01 X" + std::to_string(n % 997) + ".125 Y-" +
                 std::to_string(n % 313) + ".5 F250";
            if (n % 270 == 0) s += " M08";
            s += "\r\n";
        }
        s.insert(s.size() - 200, " T0707");
        return s;
    }();
    return text;
}

void BM_FindNextNearTheEnd(benchmark::State& state) {
    const std::string& text = Program();
    for (auto _ : state) {
        FindState st;
        FindOutcome f = FindDialogFind(text, "t0707", st);
        if (!f.found) state.SkipWithError("not found");
        benchmark::DoNotOptimize(f.position);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_FindNextDigitsNearTheEnd(benchmark::State& state) {
    const std::string& text = Program();
    for (auto _ : state) {
        FindState st;
        benchmark::DoNotOptimize(FindDialogFind(text, " T0707", st).position);
    }
}

void BM_FindNextAccentedNearTheEnd(benchmark::State& state) {
    const std::string& text = Program();
    for (auto _ : state) {
        FindState st;
        // Š has its other case 0x10 away: the byte-table search.
        benchmark::DoNotOptimize(FindDialogFind(text, "\x8a" "0707", st).position);
    }
}

void BM_ReplaceAll100000(benchmark::State& state) {
    const std::string& original = Program();
    int64_t replaced = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string text = original;
        FindState st;
        state.ResumeTiming();
        ReplaceOutcome r = ReplaceDialogReplace(text, "m08", "M09 (KJOLING)", st, true);
        replaced = r.replaced;
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["replaced"] = static_cast<double>(replaced);
}
}  // namespace

BENCHMARK(BM_FindNextNearTheEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNextDigitsNearTheEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNextAccentedNearTheEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAll100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
