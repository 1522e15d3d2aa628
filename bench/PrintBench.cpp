// Printing speed: the page layout of a large program in one and three columns, the raw
// stream to a file, and the printer driver's stream into a PDF file.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPageSize>
#include <QPrinter>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "windows/print/PrinterStream.h"
#include "print/Utskrift.h"

namespace {
const FixedClock kClock(LocalTime{2026, 12, 8, 14, 5, 0});

std::vector<std::string> Program(int count) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i)
        lines.push_back("N" + std::to_string(i * 10) + " G01 X" + std::to_string(i % 500) +
                        ".125 Y-" + std::to_string(i % 300) + ".5 Z5. F300");
    return lines;
}

class CountingStream : public PrintStream {
public:
    size_t bytes = 0;
    bool Open() override { return true; }
    bool Write(std::string_view b) override {
        bytes += b.size();
        return true;
    }
    bool Close() override { return true; }
};

PrintSettings Settings(int columns) {
    PrintSettings s;
    s.kolonner = columns;
    return s;
}

void BM_LayoutColumns(benchmark::State& state) {
    std::vector<std::string> lines = Program(static_cast<int>(state.range(0)));
    PrintSettings settings = Settings(static_cast<int>(state.range(1)));
    for (auto _ : state) {
        CountingStream stream;
        bool ok = false;
        PrintDocument(0, 0, static_cast<int>(lines.size()) - 1, ok, lines, "BENCH.NC", settings,
                      stream, kClock);
        benchmark::DoNotOptimize(stream.bytes);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LayoutColumns)->Args({100000, 1})->Args({100000, 3})->Unit(benchmark::kMillisecond);

void BM_RawToFile(benchmark::State& state) {
    std::vector<std::string> lines = Program(100000);
    std::string path = (std::filesystem::temp_directory_path() / "skarv-bench-raw.prn").string();
    PrintSettings settings = Settings(1);
    settings.rawMode = true;
    for (auto _ : state) {
        RawPrintStream stream(path);
        bool ok = false;
        PrintDocument(0, 0, static_cast<int>(lines.size()) - 1, ok, lines, "BENCH.NC", settings,
                      stream, kClock);
        if (!ok) state.SkipWithError("raw print failed");
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_RawToFile)->Unit(benchmark::kMillisecond);

void BM_DriverToPdf(benchmark::State& state) {
    std::vector<std::string> lines = Program(static_cast<int>(state.range(0)));
    std::string path = (std::filesystem::temp_directory_path() / "skarv-bench.pdf").string();
    PrintSettings settings = Settings(1);
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(QString::fromStdString(path));
        PrinterStream stream(printer, settings.fontSizePrn);
        bool ok = false;
        PrintDocument(0, 0, static_cast<int>(lines.size()) - 1, ok, lines, "BENCH.NC", settings,
                      stream, kClock);
        if (!ok) state.SkipWithError("pdf print failed");
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DriverToPdf)->Arg(5000)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
