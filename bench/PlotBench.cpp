// The toolpath of the 100 MB shop program (2.5 million blocks): reading it into moves and the
// size of the move store beside the file, the index, the pictures the view asks for (a whole
// view, zoomed in, the 3D view, the caret's block), finding a line's moves and picking a
// move under the mouse, and `skarv plot --stats` end to end.
#include "BenchSupport.h"
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "plot/MoveIndex.h"
#include "plot/Plot.h"
#include "plot/PlotFigures.h"
#include "plot/PlotView.h"

namespace {
constexpr size_t kLines = 2500000;
constexpr double kWidth = 1600, kHeight = 1000;

std::string DataDir() { return std::string(SKARV_BUILD_DIR) + "/bench-data"; }
std::string ProgramFile() { return DataDir() + "/plot-big.nc"; }
std::string IniFile() { return DataDir() + "/plot.ini"; }

const std::string& Program() {
    static std::string text = [] {
        std::filesystem::create_directories(DataDir());
        std::string t = bench::MakeShopProgram(kLines);
        std::ofstream(ProgramFile(), std::ios::binary)
            .write(t.data(), static_cast<std::streamsize>(t.size()));
        std::ofstream(IniFile()) << "[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nNavn=Fres\r\n";
        return t;
    }();
    return text;
}

const Toolpath& Path() {
    static Toolpath path = InterpretProgram(Program(), PlotSettings());
    return path;
}

const MoveIndex& Index() {
    static MoveIndex index(Path());
    return index;
}

Projection Fitted(PlotView view) {
    Projection p = ViewProjection(view, false);
    FitProjection(p, ComputeFigures(Path()).allBox, kWidth, kHeight, 10);
    return p;
}
}  // namespace

static void BM_Interpret(benchmark::State& state) {
    const std::string& text = Program();
    size_t moves = 0, bytes = 0;
    for (auto _ : state) {
        Toolpath path = InterpretProgram(text, PlotSettings());
        moves = path.size();
        bytes = path.MemoryBytes();
        benchmark::DoNotOptimize(path);
    }
    state.counters["moves"] = static_cast<double>(moves);
    state.counters["fileMB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["modelMB"] = static_cast<double>(bytes) / 1e6;
    state.counters["model/file"] = static_cast<double>(bytes) / static_cast<double>(text.size());
}
BENCHMARK(BM_Interpret)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_BuildIndex(benchmark::State& state) {
    const Toolpath& path = Path();
    size_t bytes = 0;
    for (auto _ : state) {
        MoveIndex index(path);
        bytes = index.MemoryBytes();
        benchmark::DoNotOptimize(index);
    }
    state.counters["indexMB"] = static_cast<double>(bytes) / 1e6;
    state.counters["model+indexMB"] = static_cast<double>(bytes + path.MemoryBytes()) / 1e6;
}
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond)->Iterations(5);

// The figures under the picture: one pass over the moves.
static void BM_Figures(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ComputeFigures(Path()));
}
BENCHMARK(BM_Figures)->Unit(benchmark::kMillisecond);

// A redraw after pan or zoom: the picture of the whole program built anew.
static void BM_DetailWholeView(benchmark::State& state) {
    PlotView view = static_cast<PlotView>(state.range(0));
    Projection p = Fitted(view);
    DetailOptions o;
    o.width = kWidth;
    o.height = kHeight;
    PathDetail d;
    for (auto _ : state) BuildDetail(Path(), p, o, d);
    size_t points = 0, runs = 0;
    for (int s = 0; s < kPathStyles; ++s) points += d.PointCount(s), runs += d.RunCount(s);
    state.counters["points"] = static_cast<double>(points);
    state.counters["polylines"] = static_cast<double>(runs);
}
BENCHMARK(BM_DetailWholeView)->Arg(static_cast<int>(PlotView::XY))
    ->Arg(static_cast<int>(PlotView::Orbit))->Unit(benchmark::kMillisecond);

// Zoomed in about the middle; with the index (second argument 1) what lies outside the view
// is passed over a leaf at a time.
static void BM_DetailZoomed(benchmark::State& state) {
    Projection p = Fitted(PlotView::XY);
    ZoomAbout(p, static_cast<double>(state.range(0)), kWidth / 2, kHeight / 2);
    DetailOptions o;
    o.width = kWidth;
    o.height = kHeight;
    PathDetail d;
    const MoveIndex* index = state.range(1) ? &Index() : nullptr;
    for (auto _ : state) BuildDetail(Path(), p, o, d, index);
    size_t points = 0;
    for (int s = 0; s < kPathStyles; ++s) points += d.PointCount(s);
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_DetailZoomed)->Args({10, 0})->Args({1000, 0})->Args({10, 1})->Args({1000, 1})
    ->Unit(benchmark::kMillisecond);

// The whole view as pixels: what the window shows when the polylines are too many.
static void BM_RasterWholeView(benchmark::State& state) {
    PlotView view = static_cast<PlotView>(state.range(0));
    Projection p = Fitted(view);
    DetailOptions o;
    o.width = kWidth;
    o.height = kHeight;
    PathRaster r;
    for (auto _ : state) BuildRaster(Path(), p, o, r, &Index());
}
BENCHMARK(BM_RasterWholeView)->Arg(static_cast<int>(PlotView::XY))
    ->Arg(static_cast<int>(PlotView::Orbit))->Unit(benchmark::kMillisecond);

// "Vis til linje" half way: the moves up to the line, then their picture.
static void BM_DetailUpToLine(benchmark::State& state) {
    Projection p = Fitted(PlotView::XY);
    DetailOptions o;
    o.width = kWidth;
    o.height = kHeight;
    PathDetail d;
    for (auto _ : state) {
        o.endMove = Index().MovesUpToLine(static_cast<uint32_t>(kLines / 2));
        BuildDetail(Path(), p, o, d);
    }
}
BENCHMARK(BM_DetailUpToLine)->Unit(benchmark::kMillisecond);

// Caret to highlight: the moves of the caret's line and their picture.
static void BM_CaretToHighlight(benchmark::State& state) {
    Projection p = Fitted(PlotView::XY);
    std::mt19937 rng(7);
    std::uniform_int_distribution<uint32_t> line(1, static_cast<uint32_t>(kLines));
    PathDetail d;
    for (auto _ : state) {
        auto moves = Index().MovesOfLine(line(rng));
        BuildMovesDetail(Path(), p, moves, d);
        benchmark::DoNotOptimize(d);
    }
}
BENCHMARK(BM_CaretToHighlight)->Unit(benchmark::kMicrosecond);

// Click to caret: the move under the mouse, on the whole view and zoomed in.
static void BM_ClickToCaret(benchmark::State& state) {
    Projection p = Fitted(PlotView::XY);
    ZoomAbout(p, static_cast<double>(state.range(0)), kWidth / 2, kHeight / 2);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> x(0, kWidth), y(0, kHeight);
    long long found = 0, tries = 0;
    for (auto _ : state) {
        long long m = Index().Pick(p, x(rng), y(rng), 4);
        found += m >= 0;
        ++tries;
    }
    state.counters["hit%"] = tries ? 100.0 * static_cast<double>(found) / static_cast<double>(tries) : 0;
}
BENCHMARK(BM_ClickToCaret)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);

// The whole command: read the file as the editor does, interpret, count, print.
static void BM_SkarvPlotStats(benchmark::State& state) {
    Program();
    std::string skarv = std::string(SKARV_BIN_DIR) + "/skarv";
    std::string out = DataDir() + "/plot-stats.txt";
    double cpu = 0;
    long peak = 0;
    for (auto _ : state) {
        int rc = bench::Spawn({skarv, "--ini", IniFile(), "plot", ProgramFile(), "--stats"}, out,
                              &cpu, &peak);
        if (rc != 0) state.SkipWithError("skarv plot failed");
    }
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
    state.counters["peakMB"] = static_cast<double>(peak) / 1e3;
}
BENCHMARK(BM_SkarvPlotStats)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
