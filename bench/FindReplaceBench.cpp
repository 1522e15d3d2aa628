// Find and replace over a program of 100 MB. Targets: find next from the top to a match near
// the end under 50 ms; replace all of a word with 100,000 matches under 2 s. Every benchmark
// checks that it found, or replaced, what it is named for.
#include <benchmark/benchmark.h>

#include <string>

#include "document/FindReplace.h"

namespace {
constexpr int64_t kM08Count = 100'000;

// About 100 MB of NC blocks; "M08" stands in every 27th block of the first 2.7 million
// (100,000 times), "T0707" and "š0707" (a lower-case letter with its upper case 0x10 away)
// only once, near the end.
const std::string& Program() {
    static const std::string text = [] {
        std::string s;
        s.reserve(101u << 20);
        long n = 0;
        int64_t m08 = 0;
        while (s.size() < 100'000'000) {
            n += 10;
            s += "N" + std::to_string(n) + " G01 X" + std::to_string(n % 997) + ".125 Y-" +
                 std::to_string(n % 313) + ".5 F250";
            if (n % 270 == 0 && m08 < kM08Count) {
                s += " M08";
                ++m08;
            }
            s += "\r\n";
        }
        s.insert(s.size() - 200, " T0707");
        s.insert(s.size() - 100, " (\x9a" "0707)");
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
        FindOutcome f = FindDialogFind(text, " T0707", st);
        if (!f.found) state.SkipWithError("not found");
        benchmark::DoNotOptimize(f.position);
    }
}

void BM_FindNextAccentedNearTheEnd(benchmark::State& state) {
    const std::string& text = Program();
    for (auto _ : state) {
        FindState st;
        // "Š0707" finds "š0707": the other case 0x10 away, the byte-table search.
        FindOutcome f = FindDialogFind(text, "\x8a" "0707", st);
        if (!f.found || text.compare(f.position, 5, "\x9a" "0707") != 0) state.SkipWithError("not found");
        benchmark::DoNotOptimize(f.position);
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
        if (replaced != kM08Count) state.SkipWithError("not every match was replaced");
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
