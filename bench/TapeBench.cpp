// The timing of one character to the machine's reader on the simulated card: the hold
// before the data byte, the settling time before the strobe and the strobe itself, each
// against its configured pause (2 ms by default). Counters give the mean of each phase in
// ms and its largest deviation from the setting in per cent; in_10pct is 1 when every
// character kept every phase within 10 %. The machine is shared: a busy wait cannot keep
// the scheduler from taking the processor away, so the medians and the share of characters
// within 10 % (in_10pct_share) tell the pacing, the worst case tells the load.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/SimulatedCard.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "transfer/Punch.h"

namespace {
double Ms(SimulatedCard::Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void SetUpIni(const std::string& keys) {
    static std::string path = "/tmp/skarv-tapebench-" + std::to_string(::getpid()) + ".ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "[VakoEdit]\r\n" << keys;
    SetIniFileName(NativeToDncPath(path));
    LoadPunchSection();
}
}  // namespace

static void BM_SendCharTiming(benchmark::State& state) {
    const double pause = double(state.range(0)) / 1000.0;  // microseconds to ms
    char keys[128];
    std::snprintf(keys, sizeof keys, "Kode=ASCII\r\nDelay=%.3f\r\n", pause);
    SetUpIni(keys);
    auto card = std::make_shared<SimulatedCard>();
    card->recordWrites = true;
    IoDriverFactory previous = SetIoDriverFactory([card] { return card; });
    TPunch punch;
    if (!PunchOpen(punch)) {
        state.SkipWithError("the card did not open");
        SetIoDriverFactory(previous);
        return;
    }
    double sum[3] = {0, 0, 0}, worst[3] = {0, 0, 0};
    std::vector<double> phases[3];
    long n = 0, within = 0;
    for (auto _ : state) {
        card->writes.clear();
        auto start = SimulatedCard::Clock::now();
        SendChar(punch, 'N');
        auto& w = card->writes;  // data byte, strobe on, strobe off
        if (w.size() != 3) {
            state.SkipWithError("unexpected register writes");
            break;
        }
        double phase[3] = {Ms(w[0].at - start), Ms(w[1].at - w[0].at), Ms(w[2].at - w[1].at)};
        bool ok = true;
        for (int i = 0; i < 3; ++i) {
            sum[i] += phase[i];
            phases[i].push_back(phase[i]);
            double dev = std::fabs(phase[i] - pause) / pause * 100.0;
            worst[i] = std::max(worst[i], dev);
            ok = ok && dev <= 10.0;
        }
        within += ok ? 1 : 0;
        ++n;
    }
    PunchClose(punch);
    SetIoDriverFactory(previous);
    if (n == 0) return;
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    state.counters["hold_ms"] = sum[0] / double(n);
    state.counters["stable_ms"] = sum[1] / double(n);
    state.counters["strobe_ms"] = sum[2] / double(n);
    state.counters["hold_median_ms"] = median(phases[0]);
    state.counters["stable_median_ms"] = median(phases[1]);
    state.counters["strobe_median_ms"] = median(phases[2]);
    // A pause may be stretched by the scheduler but never cut short.
    state.counters["hold_min_ms"] = *std::min_element(phases[0].begin(), phases[0].end());
    state.counters["stable_min_ms"] = *std::min_element(phases[1].begin(), phases[1].end());
    state.counters["strobe_min_ms"] = *std::min_element(phases[2].begin(), phases[2].end());
    state.counters["in_10pct_share"] = double(within) / double(n);
    state.counters["hold_worst_pct"] = worst[0];
    state.counters["stable_worst_pct"] = worst[1];
    state.counters["strobe_worst_pct"] = worst[2];
    state.counters["in_10pct"] = (worst[0] <= 10 && worst[1] <= 10 && worst[2] <= 10) ? 1 : 0;
}
// 2 ms (the default) and 0.5 ms, in microseconds.
BENCHMARK(BM_SendCharTiming)->Arg(2000)->Arg(500)->Iterations(200)->Unit(benchmark::kMillisecond);

// A pause of 0 ms costs nothing.
static void BM_ZeroPause(benchmark::State& state) {
    for (auto _ : state) PauseMs(0);
}
BENCHMARK(BM_ZeroPause);

BENCHMARK_MAIN();
