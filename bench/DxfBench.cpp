// DXF conversion. A drawing of one million entities (lines head to tail, arcs, circles)
// converted with each writer: at most 2 s each. One million light-weight polyline vertices
// with bulges: at most 2 s. A drawing of 10,000 lines out of order, cut in the shortest order
// ("KORTEST"): at most 1 s.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "convert/DXF.h"
#include "settings/PathResolve.h"

namespace {
struct TempDrawing {
    std::string dir;
    std::string dxf;
    std::string nc;
    TempDrawing() {
        std::string templ = "/tmp/dxfbench.XXXXXX";
        if (!mkdtemp(templ.data())) std::abort();
        dir = templ;
        dxf = dir + "/BIG.DXF";
        nc = dir + "/BIG.NC";
    }
    void Write(const std::string& s) {
        std::ofstream(dxf, std::ios::binary).write(s.data(), static_cast<std::streamsize>(s.size()));
    }
    ~TempDrawing() {
        std::remove(dxf.c_str());
        std::remove(nc.c_str());
        rmdir(dir.c_str());
    }
};

struct Drawing : TempDrawing {
    Drawing() {
        std::string s = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
        char buf[512];
        double x = 0;
        for (int i = 0; i < 1000000; ++i) {
            int n;
            if (i % 10 == 9) {
                n = std::snprintf(buf, sizeof buf,
                                  "  0\r\nCIRCLE\r\n  8\r\n0\r\n 10\r\n%.4f\r\n 20\r\n12.5\r\n 30\r\n0.0\r\n 40\r\n2.5\r\n", x);
            } else if (i % 10 == 5) {
                n = std::snprintf(buf, sizeof buf,
                                  "  0\r\nARC\r\n  8\r\n0\r\n 10\r\n%.4f\r\n 20\r\n0.0\r\n 30\r\n0.0\r\n 40\r\n1.5\r\n"
                                  " 50\r\n180.0\r\n 51\r\n0.0\r\n", x + 1.5);
                x += 3;
            } else {
                n = std::snprintf(buf, sizeof buf,
                                  "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n%.4f\r\n 20\r\n0.0\r\n 30\r\n0.0\r\n"
                                  " 11\r\n%.4f\r\n 21\r\n0.0\r\n 31\r\n0.0\r\n", x, x + 1.25);
                x += 1.25;
            }
            s.append(buf, static_cast<size_t>(n));
        }
        s += "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
        Write(s);
    }
};

// 1,000 closed polylines of 1,000 vertices, every other segment an arc.
struct PolylineDrawing : TempDrawing {
    PolylineDrawing() {
        std::string s = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
        char buf[256];
        for (int p = 0; p < 1000; ++p) {
            s += "  0\r\nLWPOLYLINE\r\n  5\r\n2F\r\n100\r\nAcDbEntity\r\n  8\r\n0\r\n100\r\nAcDbPolyline\r\n"
                 " 90\r\n1000\r\n 70\r\n1\r\n";
            for (int v = 0; v < 1000; ++v) {
                double x = v < 500 ? v * 2.0 : (999 - v) * 2.0;
                double y = p * 10.0 + (v < 500 ? 0 : 5);
                int n = v % 2 == 0 ? std::snprintf(buf, sizeof buf, " 10\r\n%.4f\r\n 20\r\n%.4f\r\n 42\r\n%.6f\r\n", x, y,
                                                   v < 500 ? 0.25 : -0.25)
                                   : std::snprintf(buf, sizeof buf, " 10\r\n%.4f\r\n 20\r\n%.4f\r\n", x, y);
                s.append(buf, static_cast<size_t>(n));
            }
        }
        s += "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
        Write(s);
    }
};

// 2,500 squares in a 50 x 50 grid, their 10,000 sides shuffled and every third one reversed.
struct ScatteredDrawing : TempDrawing {
    ScatteredDrawing() {
        struct L { double x1, y1, x2, y2; };
        std::vector<L> lines;
        for (int i = 0; i < 50; ++i)
            for (int j = 0; j < 50; ++j) {
                double x = i * 10.0, y = j * 10.0;
                lines.push_back({x, y, x + 8, y});
                lines.push_back({x + 8, y, x + 8, y + 8});
                lines.push_back({x + 8, y + 8, x, y + 8});
                lines.push_back({x, y + 8, x, y});
            }
        std::mt19937 rng(16);
        std::shuffle(lines.begin(), lines.end(), rng);
        std::string s = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
        char buf[256];
        for (size_t k = 0; k < lines.size(); ++k) {
            L l = lines[k];
            if (k % 3 == 0) l = {l.x2, l.y2, l.x1, l.y1};
            int n = std::snprintf(buf, sizeof buf,
                                  "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n%.4f\r\n 20\r\n%.4f\r\n 30\r\n0.0\r\n"
                                  " 11\r\n%.4f\r\n 21\r\n%.4f\r\n 31\r\n0.0\r\n", l.x1, l.y1, l.x2, l.y2);
            s.append(buf, static_cast<size_t>(n));
        }
        s += "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
        Write(s);
    }
};

Drawing& TheDrawing() {
    static Drawing d;
    return d;
}

void Convert(benchmark::State& state, OutputFormat format) {
    Drawing& d = TheDrawing();
    for (auto _ : state) {
        bool ok = false;
        ConvertDxfToNcAs(format, NativeToDncPath(d.dxf), NativeToDncPath(d.nc), ok);
        if (!ok) state.SkipWithError("conversion failed");
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}

void BM_MillionEntitiesStandard(benchmark::State& state) { Convert(state, OutputFormat::Standard); }
void BM_MillionEntitiesEssi(benchmark::State& state) { Convert(state, OutputFormat::Essi); }

void ConvertWith(benchmark::State& state, const TempDrawing& d, const DxfOptions& options, long long items) {
    for (auto _ : state) {
        bool ok = false;
        ConvertDrawing(options, NativeToDncPath(d.dxf), NativeToDncPath(d.nc), ok);
        if (!ok) state.SkipWithError("conversion failed");
    }
    state.SetItemsProcessed(state.iterations() * items);
}

void BM_MillionBulgeVertices(benchmark::State& state) {
    static PolylineDrawing d;
    DxfOptions options;
    options.format = state.range(0) ? OutputFormat::Essi : OutputFormat::Standard;
    ConvertWith(state, d, options, 1000000);
}

void BM_TenThousandLinesShortest(benchmark::State& state) {
    static ScatteredDrawing d;
    DxfOptions options;
    options.order = state.range(0) ? DxfOrder::Shortest : DxfOrder::File;
    ConvertWith(state, d, options, 10000);
}
}  // namespace

BENCHMARK(BM_MillionEntitiesStandard)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MillionEntitiesEssi)->Unit(benchmark::kMillisecond)->Iterations(3);
// Argument: 0 the word-address writer, 1 ESSI.
BENCHMARK(BM_MillionBulgeVertices)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
// Argument: 0 the file's order, 1 the shortest.
BENCHMARK(BM_TenThousandLinesShortest)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
