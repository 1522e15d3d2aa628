#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {
std::string Skarv() { return BinDir() + "/skarv"; }
}

TEST(SkarvCommand, VisualWritesTheBytes) {
    std::string out, err;
    EXPECT_EQ(RunProgram({Skarv(), "visual", "%[CR][LF]N10"}, &out, &err), 0);
    EXPECT_EQ(out, "%\r\nN10");
    EXPECT_EQ(RunProgram({Skarv(), "visual", "AB["}, &out, &err), 1);
    EXPECT_EQ(out, "AB");
    EXPECT_NE(err.find("Feil med visuell string"), std::string::npos);
}

TEST(SkarvCommand, ShowGivesTheNotation) {
    TempDir dir;
    WriteFileBytes(dir.File("p.bin"), std::string("%\r\n\xe5!", 5));
    std::string out, err;
    EXPECT_EQ(RunProgram({Skarv(), "show", dir.File("p.bin")}, &out, &err), 0);
    EXPECT_EQ(out, "%[CR][LF][229][33]\n");
    EXPECT_EQ(RunProgram({Skarv(), "show"}, &out, &err, std::string("\x13", 1)), 0);
    EXPECT_EQ(out, "[XOFF]\n");
    EXPECT_EQ(RunProgram({Skarv(), "show", dir.File("mangler")}, &out, &err), 1);
}

TEST(SkarvCommand, IniReadsEveryType) {
    TempDir dir;
    WriteFileBytes(dir.File("v.ini"),
                   "[Maskin1]\r\nNavn=dreiebenk ø\r\nBaud=$2580\r\nAv=yes\r\nPå=1\r\n"
                   "Pause=2.5\r\nTegn=[CR]N%\r\nKode=[cr]\r\n");
    std::string ini = dir.File("v.ini");
    auto run = [&](std::vector<std::string> args, int expected = 0) {
        std::vector<std::string> argv = {Skarv(), "--ini", ini, "ini"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string out, err;
        EXPECT_EQ(RunProgram(argv, &out, &err), expected) << err;
        return out;
    };
    EXPECT_EQ(run({"Maskin1", "Navn", "text", "x"}), "dreiebenk \xf8\n");
    EXPECT_EQ(run({"Maskin1", "Navn", "string", "x"}), "DREIEBENK \xd8\n");
    EXPECT_EQ(run({"Maskin1", "Baud", "int", "9600"}), "9600\n");  // $2580 = 9600
    EXPECT_EQ(run({"Maskin1", "Mangler", "int", "-3"}), "-3\n");
    EXPECT_EQ(run({"Maskin1", "Av", "bool", "True"}), "False\n");
    EXPECT_EQ(run({"Maskin1", "P\xe5", "bool", "False"}), "True\n");
    EXPECT_EQ(run({"Maskin1", "Pause", "float", "1"}), "2.5000\n");
    EXPECT_EQ(run({"Maskin1", "Mangler", "float", "0.123456"}), "0.1235\n");
    EXPECT_EQ(run({"Maskin1", "Tegn", "charset", "N"}), "[CR]%N\n");
    EXPECT_EQ(run({"Maskin1", "Mangler", "charset", "N"}), "N\n");
    EXPECT_EQ(run({"Maskin1", "Navn", "ukjent", "x"}, 2), "");
    EXPECT_EQ(run({"Maskin1", "Navn"}, 2), "");
    EXPECT_EQ(run({"Maskin1", "Baud", "int", "abc"}, 2), "");
}

TEST(SkarvCommand, UsageErrors) {
    std::string out, err;
    EXPECT_EQ(RunProgram({Skarv()}, &out, &err), 2);
    EXPECT_NE(err.find("Bruk: skarv"), std::string::npos);
    EXPECT_EQ(RunProgram({Skarv(), "ukjent"}, &out, &err), 2);
    EXPECT_EQ(RunProgram({Skarv(), "--machine", "0", "visual", "x"}, &out, &err), 2);
    EXPECT_EQ(RunProgram({Skarv(), "--ini"}, &out, &err), 2);
}

TEST(SkarvCommand, FindsTheDemoIniBesideTheProgram) {
    std::string out, err;
    EXPECT_EQ(RunProgram({Skarv(), "ini", "Program", "Maskiner", "int", "1"}, &out, &err), 0);
    EXPECT_EQ(out, "5\n");
}
