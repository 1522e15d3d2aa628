#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TestSupport.h"

namespace {
std::string SkarvPath() { return BinDir() + "/skarv"; }

int Skarv(const std::vector<std::string>& args, std::string* err = nullptr) {
    std::vector<std::string> argv = {SkarvPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string out, e;
    int rc = RunProgram(argv, &out, &e);
    if (err) *err = e;
    return rc;
}

const char* kIni =
    "[Maskin1]\r\nProtokoll=ISO\r\nBlokkTegn=N:\r\n"
    "[Maskin2]\r\nProtokoll=HEIDENHAIN\r\nTab=True\r\n";
}  // namespace

TEST(SkarvRenum, ReplacesTheFileSafelyWithCrLfAndKeepsBlankLines) {
    TempDir dir;
    WriteFileBytes(dir.File("ini"), kIni);
    std::string f = dir.File("P.NC");
    WriteFileBytes(f, "%\nN10 G0 X0\n\n:7 T1\r\n(SPOR 1)\rN30 M30");
    EXPECT_EQ(Skarv({"--ini", dir.File("ini"), "renum", f, "--start", "100", "--step", "5"}), 0);
    EXPECT_EQ(ReadFileBytes(f), "%\r\nN100 G0 X0\r\n\r\n:105 T1\r\n(SPOR 1)\r\nN110 M30\r\n");
    EXPECT_FALSE(std::filesystem::exists(f + ".skarv-tmp"));
}

TEST(SkarvRenum, DialectDefaultsLinesAddRemoveAndOutput) {
    TempDir dir;
    WriteFileBytes(dir.File("ini"), kIni);
    std::string ini = dir.File("ini");
    std::string f = dir.File("H.H");
    WriteFileBytes(f, "0 BEGIN PGM P1 MM\r\n\r\n7 L X+0\r\n");
    EXPECT_EQ(Skarv({"--ini", ini, "--machine", "2", "renum", f, "-o", dir.File("out")}), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out")), "0 BEGIN PGM P1 MM\r\n1\r\n2 L X+0\r\n");
    EXPECT_EQ(ReadFileBytes(f), "0 BEGIN PGM P1 MM\r\n\r\n7 L X+0\r\n");  // untouched

    std::string g = dir.File("G.NC");
    WriteFileBytes(g, "G0\r\nG1\r\nG2\r\nG3\r\n");
    EXPECT_EQ(Skarv({"--ini", ini, "renum", g, "--add", "--lines", "2-3"}), 0);
    EXPECT_EQ(ReadFileBytes(g), "G0\r\nN10 G1\r\nN20 G2\r\nG3\r\n");
    EXPECT_EQ(Skarv({"--ini", ini, "renum", g, "--remove"}), 0);
    EXPECT_EQ(ReadFileBytes(g), "G0\r\nG1\r\nG2\r\nG3\r\n");
    EXPECT_EQ(Skarv({"--ini", ini, "renum", g, "--add", "--max", "25"}), 0);
    EXPECT_EQ(ReadFileBytes(g), "N10 G0\r\nN20 G1\r\nN25 G2\r\nN25 G3\r\n");
}

TEST(SkarvRenum, RefusedValuesAndBadArguments) {
    TempDir dir;
    WriteFileBytes(dir.File("ini"), kIni);
    std::string f = dir.File("P.NC");
    WriteFileBytes(f, "N5\r\n");
    std::string err;
    EXPECT_EQ(Skarv({"--ini", dir.File("ini"), "renum", f, "--step", "0"}, &err), 1);
    EXPECT_NE(err.find("Oppgitte vedier er feil"), std::string::npos) << err;
    EXPECT_EQ(Skarv({"--ini", dir.File("ini"), "renum", f, "--start", "abc"}), 1);
    EXPECT_EQ(Skarv({"--ini", dir.File("ini"), "renum", f, "--add", "--remove"}), 2);
    EXPECT_EQ(Skarv({"--ini", dir.File("ini"), "renum", f, "--lines", "5-2"}), 2);
    EXPECT_EQ(Skarv({"--ini", dir.File("ini"), "renum"}), 2);
    EXPECT_EQ(ReadFileBytes(f), "N5\r\n");
    EXPECT_EQ(Skarv({"--ini", dir.File("ini"), "renum", dir.File("missing.nc")}, &err), 1);
    EXPECT_NE(err.find("Feil med lasting av"), std::string::npos) << err;
}

TEST(SkarvCompressAir, BothToolsAndTheTabSetting) {
    TempDir dir;
    WriteFileBytes(dir.File("ini"), kIni);
    std::string ini = dir.File("ini");
    std::string f = dir.File("P.NC");
    WriteFileBytes(f, "N10 G01 X10.5 Y-3 F200\n\n(T1 D10)\n");
    EXPECT_EQ(Skarv({"--ini", ini, "compress", f}), 0);
    EXPECT_EQ(ReadFileBytes(f), "N10G01X10.5Y-3F200\r\n\r\n(T1 D10)\r\n");
    EXPECT_EQ(Skarv({"--ini", ini, "air", f, "-o", dir.File("a")}), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("a")), "N10 G01 X10.5 Y-3 F200\r\n\r\n(T1 D10)\r\n");
    EXPECT_EQ(Skarv({"--ini", ini, "--machine", "2", "air", f}), 0);
    EXPECT_EQ(ReadFileBytes(f), "N10\tG01\tX10.5\tY-3\tF200\r\n\r\n(T1 D10)\r\n");
    EXPECT_EQ(Skarv({"--ini", ini, "compress", f, "extra"}), 2);
}

TEST(SkarvCompressAir, RealProgramRoundTripsThroughTheCommand) {
    std::string sample = SharedDir() + "/nc-samples/metric_pipe.ngc";
    std::string bytes = ReadFileBytes(sample);
    if (bytes.empty()) GTEST_SKIP() << "no sample " << sample;
    TempDir dir;
    WriteFileBytes(dir.File("ini"), kIni);
    // Written to a new file: the sample itself is never touched.
    EXPECT_EQ(Skarv({"--ini", dir.File("ini"), "compress", sample, "-o", dir.File("c")}), 0);
    std::string c = ReadFileBytes(dir.File("c"));
    EXPECT_LT(c.size(), bytes.size());
    EXPECT_EQ(ReadFileBytes(sample), bytes);
    // The file has CR LF already: line count is kept.
    auto count = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
    EXPECT_EQ(count(c), count(bytes));
}
