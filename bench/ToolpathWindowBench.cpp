// The toolpath view in the real main window (offscreen) on the 100 MB shop program of 2.5
// million blocks, opened as the user opens it: the first picture after F9 (the copy of the
// text, the reading on the worker, the figures and index, the picture), a redraw after a pan
// or a zoom (the picture made anew), caret to highlight (the caret moved in the text to the
// panel painted) and click to caret (a click on the path to the caret on its line); the
// process's memory before F9 and at its peak with the view shown.
#include "BenchSupport.h"
#include <QAction>
#include <QDockWidget>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "ScriptedPrompter.h"
#include "editor/EditUnit.h"
#include "editor/EditUnitPlot.h"
#include "settings/KeyStore.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "windows/plot/ToolpathCanvas.h"
#include "windows/plot/ToolpathView.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr size_t kLines = 2500000;

TTextForm* gForm = nullptr;
long gBeforeF9Kb = 0;

bool WaitUntil(const std::function<bool()>& done, int seconds = 120) {
    auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (Clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

ToolpathCanvas& Canvas() { return gForm->Plot().View()->Canvas(); }

// The panel shown and its first picture painted.
bool ShowPanel() {
    QAction* item = gForm->Actions().Verktoybane;
    if (!item->isChecked()) item->trigger();
    return WaitUntil([] {
        ToolpathLink& link = gForm->Plot();
        return link.View() && link.View()->Model() && !link.Pending() &&
               Canvas().PicturesMade() > 0 && !Canvas().isHidden();
    });
}

void HidePanel() {
    QAction* item = gForm->Actions().Verktoybane;
    if (item->isChecked()) item->trigger();
    QApplication::processEvents();
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
}  // namespace

// F9 to the first picture painted, the model read anew each time (hiding the panel lets it go).
static void BM_FirstPictureAfterF9(benchmark::State& state) {
    long peak = 0;
    Clock::duration toModel{};
    for (auto _ : state) {
        HidePanel();
        const int before = gForm->Plot().View() ? Canvas().PicturesMade() : 0;
        auto t0 = Clock::now();
        Clock::time_point arrived{};
        QMetaObject::Connection c = QObject::connect(&gForm->Plot(), &ToolpathLink::ModelShown,
                                                     [&] { arrived = Clock::now(); });
        QAction* item = gForm->Actions().Verktoybane;
        item->trigger();
        bool ok = WaitUntil([&] {
            ToolpathLink& link = gForm->Plot();
            return link.View() && link.View()->Model() && !link.Pending() &&
                   Canvas().PicturesMade() > before;
        });
        auto t1 = Clock::now();
        QObject::disconnect(c);
        toModel += arrived - t0;
        if (!ok) state.SkipWithError("no picture");
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        peak = bench::PeakKb();
    }
    const PlotModel* m = gForm->Plot().View()->Model();
    state.counters["moves"] = m ? static_cast<double>(m->path.size()) : 0;
    state.counters["modelShownMs"] = Ms(toModel) / static_cast<double>(state.iterations());
    state.counters["rssBeforeF9MB"] = gBeforeF9Kb / 1024.0;
    state.counters["rssShownMB"] = bench::CurrentKb() / 1024.0;
    state.counters["peakSinceLoadMB"] = peak / 1024.0;
}
BENCHMARK(BM_FirstPictureAfterF9)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// A pan (the button let go) or a zoom, and the picture made anew and painted. Argument: the
// view (0 XY fitted, 1 XY zoomed in ten times, 2 3D fitted).
static void BM_RedrawAfterPan(benchmark::State& state) {
    if (!ShowPanel()) state.SkipWithError("no panel");
    ToolpathCanvas& c = Canvas();
    c.SetView(state.range(0) == 2 ? PlotView::Orbit : PlotView::XY);
    if (state.range(0) == 1) {
        Projection p = c.CurrentProjection();
        ZoomAbout(p, 10, c.width() / 2.0, c.height() / 2.0);
        c.SetProjection(p);
    }
    c.repaint();
    int step = 0;
    for (auto _ : state) {
        Projection p = c.CurrentProjection();
        const double d = (step++ % 2) ? -37 : 37;
        Pan(p, d, d / 2);
        c.SetProjection(p);
        c.repaint();
    }
    state.counters["canvasW"] = c.width();
    state.counters["canvasH"] = c.height();
    const PlotModel& m = *c.Model();
    state.counters["movesInView"] =
        static_cast<double>(m.index.MovesInView(c.CurrentProjection(), c.width(), c.height()));
    state.counters["pixels"] =
        DrawnAsPixels(m, c.CurrentProjection(), c.width(), c.height(), c.EndMove());
}
BENCHMARK(BM_RedrawAfterPan)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

static void BM_RedrawAfterZoom(benchmark::State& state) {
    if (!ShowPanel()) state.SkipWithError("no panel");
    ToolpathCanvas& c = Canvas();
    c.SetView(PlotView::XY);
    c.repaint();
    int step = 0;
    const QPointF at(c.width() * 0.4, c.height() * 0.6);
    for (auto _ : state) {
        const int delta = (step++ % 2) ? -120 : 120;
        QWheelEvent wheel(at, c.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&c, &wheel);
        c.repaint();
    }
}
BENCHMARK(BM_RedrawAfterZoom)->Unit(benchmark::kMillisecond);

// The caret put on a random line by the program (as a key or a click does): the link finds
// the block's moves and the panel paints the highlight over the cached picture; the window's
// painting (the text scrolled to the caret as well) is counted in.
static void BM_CaretToHighlight(benchmark::State& state) {
    if (!ShowPanel()) state.SkipWithError("no panel");
    ToolpathCanvas& c = Canvas();
    c.SetView(PlotView::XY);
    c.repaint();
    TextControl& text = gForm->Text();
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> line(0, static_cast<int>(kLines) - 1);
    const int pictures = c.PicturesMade();
    Clock::duration caret{}, paint{};
    const bool jumps = state.range(0) == 1;
    int next = static_cast<int>(kLines / 3);
    text.SetSelStart(text.LineIndex(next));
    QApplication::processEvents();
    for (auto _ : state) {
        // Down a line at a time (stepping through the program), or anywhere (the text
        // scrolled there as well).
        const int to = jumps ? line(rng) : ++next;
        auto t0 = Clock::now();
        text.SetSelStart(text.LineIndex(to));
        auto t1 = Clock::now();
        // What the window paints now: the highlight's area of the panel, and the text
        // scrolled to the caret.
        QApplication::processEvents();
        auto t2 = Clock::now();
        caret += t1 - t0;
        paint += t2 - t1;
    }
    if (c.PicturesMade() != pictures) state.SkipWithError("the picture was made anew");
    const double n = static_cast<double>(state.iterations());
    state.counters["caretMs"] = Ms(caret) / n;
    state.counters["paintMs"] = Ms(paint) / n;
}
BENCHMARK(BM_CaretToHighlight)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A click on a move of the path (its end, on the screen) to the caret on its line.
static void BM_ClickToCaret(benchmark::State& state) {
    if (!ShowPanel()) state.SkipWithError("no panel");
    ToolpathCanvas& c = Canvas();
    c.SetView(PlotView::XY);
    if (state.range(0) > 1) {
        Projection p = c.CurrentProjection();
        ZoomAbout(p, static_cast<double>(state.range(0)), c.width() / 2.0, c.height() / 2.0);
        c.SetProjection(p);
    }
    c.repaint();
    const PlotModel& m = *gForm->Plot().View()->Model();
    TextControl& text = gForm->Text();
    std::mt19937 rng(9);
    std::uniform_int_distribution<size_t> move(0, m.path.size() - 1);
    long long clicks = 0, moved = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QPoint at;
        for (;;) {
            double x, y;
            c.CurrentProjection().Apply(m.path.End(move(rng)), x, y);
            at = QPoint(static_cast<int>(x), static_cast<int>(y));
            if (c.rect().adjusted(2, 2, -2, -2).contains(at)) break;
        }
        text.SetSelStart(0);
        state.ResumeTiming();
        QTest::mouseClick(&c, Qt::LeftButton, {}, at);
        ++clicks;
        moved += text.SelStart() != 0;
    }
    state.counters["caretMoved%"] = clicks ? 100.0 * static_cast<double>(moved) / clicks : 0;
}
BENCHMARK(BM_ClickToCaret)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    namespace fs = std::filesystem;
    fs::path folder = fs::path(SKARV_BUILD_DIR) / "bench-data" / "toolpath-window";
    fs::create_directories(folder);
    const std::string program = (folder / "STOR.NC").string();
    const std::string ini = (folder / "Vako.ini").string();
    {
        std::ofstream(ini, std::ios::binary)
            << "[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nNavn=Fres\r\nKatalog=" << folder.string()
            << "/\r\n";
        std::string text = bench::MakeShopProgram(kLines);
        std::ofstream(program, std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    SetIniFileName(ini);
    MemoryKeyStore store;
    SetKeyStore(&store);
    ScriptedPrompter prompter;
    {
        TTextForm form;
        gForm = &form;
        form.resize(1600, 1000);
        form.show();
        QApplication::processEvents();
        auto t0 = Clock::now();
        std::string name = form.LoadDocument(NativeToDncPath(program));
        form.SetFileName(FileNamePart(name));
        std::printf("program opened: %.0f ms, %d lines, %.1f MB\n", Ms(Clock::now() - t0),
                    form.Text().LineCount(), form.Text().TextLength() / 1e6);
        QApplication::processEvents();
        gBeforeF9Kb = bench::CurrentKb();
        // The peak from here on: what the view adds, not the load before it.
        std::ofstream("/proc/self/clear_refs") << "5";
        benchmark::RunSpecifiedBenchmarks();
        // The panel as the benchmarks left it, for a look.
        if (gForm->Plot().Dock() && gForm->Plot().Dock()->isVisible())
            gForm->Plot().Dock()->grab().save(QString::fromUtf8(SKARV_BUILD_DIR) +
                                              "/bench-results/toolpath-big.png");
        HidePanel();
        gForm = nullptr;
    }
    benchmark::Shutdown();
    SetKeyStore(nullptr);
    return 0;
}
