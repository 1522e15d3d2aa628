// Typed reads on the demo shop's ini file: the transfer thread reads settings in its loop, so
// a read must stay cheap, and every change of the file must show at the next read. Timed: a
// value the file holds, one it lacks (the default), one in the control-code notation, and the
// read that follows a change of the file (it parses the file again).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/PathResolve.h"
#include "settings/Settings.h"

namespace {
// The demo ini with a section of the benchmark's own after it, in a folder of its own.
struct BenchIni {
    std::string folder, native;
    BenchIni() {
        char tmpl[] = "/tmp/skarvbench-ini-XXXXXX";
        folder = ::mkdtemp(tmpl);
        native = folder + "/Vako.ini";
        std::ifstream demo(std::string(SKARV_BIN_DIR) + "/Vako.ini", std::ios::binary);
        std::ostringstream text;
        text << demo.rdbuf();
        demo_ = text.str();
        Write(2400);
        SetIniFileName(NativeToDncPath(native));
    }
    ~BenchIni() { std::filesystem::remove_all(folder); }
    // The file with "Baud" of section "Benk" set; a new modification time every time.
    void Write(int baud) {
        std::ofstream(native, std::ios::binary | std::ios::trunc)
            << demo_ << "\r\n[Benk]\r\nBaud=" << baud << "\r\nStartKode=%[CR][LF][DC2]\r\n";
        struct timespec t[2] = {{++stamp_, 0}, {stamp_, 0}};
        ::utimensat(AT_FDCWD, native.c_str(), t, 0);
    }

private:
    std::string demo_;
    long stamp_ = 1000000000;
};
}  // namespace

static void BM_ReadIniIntThere(benchmark::State& state) {
    BenchIni ini;
    for (auto _ : state) {
        int32_t v = ReadIniInt("Benk", "Baud", 9600);
        benchmark::DoNotOptimize(v);
        if (v != 2400) state.SkipWithError("the value in the file was not read");
    }
}
BENCHMARK(BM_ReadIniIntThere)->Repetitions(5)->ReportAggregatesOnly(true);

static void BM_ReadIniIntDefault(benchmark::State& state) {
    BenchIni ini;
    for (auto _ : state) {
        int32_t v = ReadIniInt("Benk", "Paritet bit", 9600);
        benchmark::DoNotOptimize(v);
        if (v != 9600) state.SkipWithError("a missing key did not give the default");
    }
}
BENCHMARK(BM_ReadIniIntDefault)->Repetitions(5)->ReportAggregatesOnly(true);

static void BM_ReadIniStringConvert(benchmark::State& state) {
    BenchIni ini;
    for (auto _ : state) {
        std::string v = ReadIniString("Benk", "StartKode", "", true);
        benchmark::DoNotOptimize(v.data());
        if (v != "%\r\n\x12") state.SkipWithError("the notation was not converted");
    }
}
BENCHMARK(BM_ReadIniStringConvert)->Repetitions(5)->ReportAggregatesOnly(true);

// The read right after the configuration program changed the file.
static void BM_ReadIniIntAfterChange(benchmark::State& state) {
    BenchIni ini;
    int baud = 2400;
    for (auto _ : state) {
        state.PauseTiming();
        baud = baud == 2400 ? 4800 : 2400;
        ini.Write(baud);
        state.ResumeTiming();
        int32_t v = ReadIniInt("Benk", "Baud", 9600);
        if (v != baud) state.SkipWithError("the change did not show at the next read");
    }
}
BENCHMARK(BM_ReadIniIntAfterChange)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
