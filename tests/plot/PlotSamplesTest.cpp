// Every program of the demo shop read for its own machine, and the real programs of the
// shared samples, through the whole chain: reading, figures, index, picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "PlotTestSupport.h"
#include "TestSupport.h"
#include "document/Loaders.h"
#include "plot/MoveIndex.h"
#include "plot/PlotFigures.h"
#include "plot/PlotView.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

using Lines = std::vector<std::string>;

namespace {
// The program as the editor loads it for the machine.
std::string LoadAsTheEditor(const std::string& native, int machine) {
    LoadOptions o;
    o.currentMachine = machine;
    LoadedDocument doc = ReadDocument(NativeToDncPath(native), o);
    EXPECT_TRUE(doc.replaced) << native;
    return doc.text.text;
}

// The whole chain on a path; every number it holds is finite.
void ExpectDrawable(const Toolpath& path, const std::string& name) {
    for (size_t i = 0; i < path.size(); ++i) {
        PlotPoint e = path.End(i);
        ASSERT_TRUE(std::isfinite(e.x) && std::isfinite(e.y) && std::isfinite(e.z)) << name << " " << i;
    }
    PlotFigures f = ComputeFigures(path);
    MoveIndex index(path);
    Projection p = ViewProjection(PlotView::Orbit, path.lathe);
    FitProjection(p, f.allBox, 640, 480, 10);
    DetailOptions o;
    o.width = 640;
    o.height = 480;
    PathDetail d;
    BuildDetail(path, p, o, d, &index);
    for (int s = 0; s < kPathStyles; ++s)
        for (float v : d.points[s]) ASSERT_TRUE(std::isfinite(v)) << name;
    EXPECT_TRUE(std::isfinite(path.totals.Seconds())) << name;
}
}  // namespace

TEST(PlotSamples, TheDemoShopDrawsEachProgramForItsMachine) {
    ScopedIni ini(ReadFileBytes(BinDir() + "/Vako.ini"));
    const std::string shop = std::string(SKARV_SOURCE_DIR) + "/examples/shop";
    struct Case {
        const char* file;
        int machine;
        PlotDialect dialect;
        bool lathe;
        Lines notes;
    };
    const Case cases[] = {
        {"Dreiebenk/AKSEL.NC", 1, PlotDialect::Iso, true, {}},
        {"Dreiebenk/BOLT.NC", 1, PlotDialect::Iso, true,
         {"Linje 9: ukjent ord G76 er hoppet over", "Linje 10: ukjent ord G76 er hoppet over"}},
        {"Fres/FLENS.NC", 2, PlotDialect::Iso, false, {}},  // the ISO programs of the Heidenhain mill
        {"Fres/LOMME.NC", 2, PlotDialect::Iso, false, {"Linje 20: variabler og uttrykk tolkes ikke"}},
        {"Fres/LOKK.H", 2, PlotDialect::Heidenhain, false, {"Linje 8: radiuskompensasjon vises ikke"}},
        {"Gammel/BRAKETT.NC", 3, PlotDialect::Iso, false, {}},
        {"Portal/DEKSEL.MPF", 4, PlotDialect::Iso, false, {}},
        {"Plasma/BRAKETT.ESI", 5, PlotDialect::Essi, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string native = shop + "/" + c.file;
        std::string text = LoadAsTheEditor(native, c.machine);
        PlotSettings s = ReadPlotSettings(MachineSection(c.machine - 1), NativeToDncPath(native), text);
        EXPECT_EQ(s.dialect, c.dialect);
        EXPECT_EQ(s.lathe, c.lathe);
        EXPECT_EQ(s.rapidRate, kDefaultRapidRate);
        Toolpath path = InterpretProgram(text, s);
        EXPECT_GT(path.size(), 1u);
        EXPECT_EQ(NotesOf(path), c.notes);
        ExpectDrawable(path, c.file);
    }
    // Every program file of the shop is among them.
    size_t programs = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(shop)) {
        std::string ext = UpperCase1252(e.path().extension().string());
        if (ext == ".NC" || ext == ".H" || ext == ".MPF" || ext == ".ESI") ++programs;
    }
    EXPECT_EQ(programs, std::size(cases));
}

TEST(PlotSamples, TheMachinesKeysChooseTheRules) {
    ScopedIni ini("[Maskin1]\r\nMaskintype=dreiebenk\r\nHurtiggang=20000\r\n"
                  "[Maskin2]\r\nDXFFormat=ESSI\r\nHurtiggang=fort\r\n"
                  "[Maskin3]\r\nHeidenHain=True\r\nExt=.H\r\n");
    PlotSettings lathe = ReadPlotSettings("Maskin1", "C:\\NC\\A.NC", "G0 X10");
    EXPECT_TRUE(lathe.lathe);
    EXPECT_EQ(lathe.rapidRate, 20000);
    EXPECT_EQ(lathe.dialect, PlotDialect::Iso);
    PlotSettings cutter = ReadPlotSettings("Maskin2", "C:\\NC\\A.NC", "");
    EXPECT_EQ(cutter.dialect, PlotDialect::Essi);
    EXPECT_FALSE(cutter.lathe);
    EXPECT_EQ(cutter.rapidRate, kDefaultRapidRate);  // a value that does not read
    EXPECT_EQ(ReadPlotSettings("Maskin3", "C:\\NC\\A.H", "").dialect, PlotDialect::Heidenhain);
    EXPECT_EQ(ReadPlotSettings("Maskin3", "C:\\NC\\A.NC", "G0 X1").dialect, PlotDialect::Iso);
    EXPECT_EQ(ReadPlotSettings("Maskin3", "C:\\NC\\A.NC", "\r\n0 BEGIN PGM A MM").dialect,
              PlotDialect::Heidenhain);
    EXPECT_EQ(ReadPlotSettings("Maskin4", "C:\\NC\\A.esi", "").dialect, PlotDialect::Essi);
}

TEST(PlotSamples, RealProgramsAreReadWithoutFailing) {
    std::string folder = SharedDir() + "/nc-samples";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no samples";
    int programs = 0, drawn = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        if (e.path().extension() != ".ngc") continue;
        std::string name = e.path().filename().string();
        bool lathe = name.rfind("lathe", 0) == 0;
        std::string text = ReadFileBytes(e.path().string());
        Toolpath path = InterpretProgram(text, lathe ? Lathe() : Mill());
        ExpectDrawable(path, name);
        ++programs;
        if (path.size() > 10) ++drawn;
        std::printf("%-24s %7zu moves %5zu notes\n", name.c_str(), path.size(), path.notes.size());
    }
    EXPECT_GT(programs, 5);
    EXPECT_GE(drawn, 5);
}
