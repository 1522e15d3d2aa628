// The text tools end to end in the main window on a big program: 2.5 million lines, about
// 100 MB, loaded into the real text control. Each run starts from the program as loaded and
// times the handler: renumbering through its dialog (the button pressed as soon as the
// dialog runs), compress and air, each including the writing back of the lines and the
// recolouring at the end (with colouring off and on). sed doing a compress-like substitution on the same file is timed
// beside them for comparison.
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "editor/EditUnit.h"
#include "windows/nctools/RenumForm.h"
#include "settings/Settings.h"

extern char** environ;

namespace {
constexpr size_t kLines = 2500000;

std::string DataDir() { return std::string(SKARV_BUILD_DIR) + "/bench-data"; }
std::string ProgramFile() { return DataDir() + "/editor-big.nc"; }

const std::string& ProgramText() {
    static std::string text = [] {
        std::filesystem::create_directories(DataDir());
        std::string t = bench::MakeShopProgram(kLines);
        std::ofstream(ProgramFile(), std::ios::binary)
            .write(t.data(), static_cast<std::streamsize>(t.size()));
        std::string ini = DataDir() + "/editor-bench.ini";
        std::ofstream(ini, std::ios::binary)
            << "[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=" << DataDir()
            << "/\r\nProtokoll=ISO\r\nBlokkTegn=N\r\nTab=False\r\n";
        SetIniFileName(ini);
        return t;
    }();
    return text;
}

// One main window for all runs, with the program loaded before each timed run; it goes
// before the application does.
std::unique_ptr<TTextForm> g_form;
TTextForm& Form() {
    if (!g_form) {
        ProgramText();
        g_form = std::make_unique<TTextForm>();
        g_form->Windows().RenForm = new TRenForm(g_form.get());
    }
    return *g_form;
}

void LoadProgram(TTextForm& form) {
    form.Text().SetText(ProgramText());
    form.Text().SetModified(false);
}

// state.range(0): colouring switched on (1) or off (0).
template <class Run>
void TimeHandler(benchmark::State& state, Run run) {
    TTextForm& form = Form();
    form.Actions().TekstFormatering->setChecked(state.range(0) != 0);
    for (auto _ : state) {
        LoadProgram(form);
        auto t0 = std::chrono::steady_clock::now();
        run(form);
        auto t1 = std::chrono::steady_clock::now();
        if (!form.Text().Modified()) state.SkipWithError("the text did not change");
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["lines"] = static_cast<double>(form.Text().LineCount());
    state.counters["MB"] = static_cast<double>(ProgramText().size()) / 1e6;
}
}  // namespace

static void BM_EditorRenumberWholeText(benchmark::State& state) {
    TimeHandler(state, [](TTextForm& form) {
        form.Text().SetSelection(0, 0);
        QTimer::singleShot(0, form.Windows().RenForm,
                           [&form] { form.Windows().RenForm->Renummerer->click(); });
        form.Renummerering1Click();
    });
}
BENCHMARK(BM_EditorRenumberWholeText)->ArgName("colouring")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

static void BM_EditorCompress(benchmark::State& state) {
    TimeHandler(state, [](TTextForm& form) { form.Komprimerprogram1Click(); });
}
BENCHMARK(BM_EditorCompress)->ArgName("colouring")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

static void BM_EditorAir(benchmark::State& state) {
    TimeHandler(state, [](TTextForm& form) { form.Luftprogram1Click(); });
}
BENCHMARK(BM_EditorAir)->ArgName("colouring")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

static void BM_SedCompressLike(benchmark::State& state) {
    ProgramText();
    std::string out = DataDir() + "/editor-out-sed.nc";
    std::vector<std::string> args = {"/usr/bin/sed", "-E", "s/([0-9.]) ([A-Z])/\\1\\2/g",
                                     ProgramFile()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto _ : state) {
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid;
        int status = 0;
        if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("sed failed");
        posix_spawn_file_actions_destroy(&fa);
    }
}
BENCHMARK(BM_SedCompressLike)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_form.reset();
    return 0;
}
