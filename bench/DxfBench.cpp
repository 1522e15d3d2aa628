// A drawing of one million entities (lines head to tail, arcs, circles) converted with each
// writer. Target: at most 2 s each.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "convert/DXF.h"
#include "settings/PathResolve.h"

namespace {
struct Drawing {
    std::string dir;
    std::string dxf;
    std::string nc;
    Drawing() {
        std::string templ = "/tmp/dxfbench.XXXXXX";
        if (!mkdtemp(templ.data())) std::abort();
        dir = templ;
        dxf = dir + "/BIG.DXF";
        nc = dir + "/BIG.NC";
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
        std::ofstream(dxf, std::ios::binary).write(s.data(), static_cast<std::streamsize>(s.size()));
    }
    ~Drawing() {
        std::remove(dxf.c_str());
        std::remove(nc.c_str());
        rmdir(dir.c_str());
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
}  // namespace

BENCHMARK(BM_MillionEntitiesStandard)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MillionEntitiesEssi)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
