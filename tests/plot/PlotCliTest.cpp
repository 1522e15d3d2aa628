// skarv plot, run as a process: the moves, the figures, the picture and the notes.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"

TEST(SkarvPlot, MovesFiguresPictureAndNotes) {
    TempDir dir;
    WriteFileBytes(dir.File("v.ini"), "[Program]\r\nMaskiner=2\r\n[Maskin1]\r\nNavn=Fres\r\n"
                                      "[Maskin2]\r\nMaskintype=DREIEBENK\r\n");
    // The header line of a tape file is dropped as the editor drops it: the lines count
    // from the program's first line.
    WriteFileBytes(dir.File("P.NC"), "\xa7 DEL 1\r\n%\r\nG0 X0 Y0 Z5\r\nG1 Z-1 F100\r\nG2 X10 I5\r\n"
                                     "G12 X1\r\nT2 (BOR)\r\nM30\r\n");
    const std::string skarv = BinDir() + "/skarv", ini = dir.File("v.ini");
    std::string out, err;
    ASSERT_EQ(RunProgram({skarv, "--ini", ini, "plot", dir.File("P.NC"), "--moves"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "2\tG0\t0.0000\t0.0000\t5.0000\n"
                   "3\tG1\t0.0000\t0.0000\t-1.0000\n"
                   "4\tG2\t10.0000\t0.0000\t-1.0000\t5.0000\t0.0000\t-1.0000\t17\n");
    EXPECT_EQ(err, "Linje 5: ukjent ord G12 er hoppet over\n");

    ASSERT_EQ(RunProgram({skarv, "--ini", ini, "plot", dir.File("P.NC"), "--stats", "-o",
                          dir.File("P.svg"), "--view", "3d"},
                         &out, &err),
              0);
    EXPECT_EQ(out, "Bevegelser: 3\n"
                   "Mating: 21.7 mm  Hurtiggang: 0.0 mm  Tid: 0:00:13\n"
                   "Mating X 0.000 til 10.000  Y 0.000 til 5.000  Z -1.000 til 5.000\n"
                   "Alle X 0.000 til 10.000  Y 0.000 til 5.000  Z -1.000 til 5.000\n"
                   "Verkt\xc3\xb8y:\n"  // UTF-8 on the terminal
                   "  T2  BOR\n");
    EXPECT_NE(ReadFileBytes(dir.File("P.svg")).find("</svg>"), std::string::npos);

    // On the lathe X is a diameter: printed as the radius.
    WriteFileBytes(dir.File("L.NC"), "G0 X40 Z2\r\n");
    ASSERT_EQ(RunProgram({skarv, "--ini", ini, "--machine", "2", "plot", dir.File("L.NC"), "--moves"},
                         &out, &err),
              0);
    EXPECT_EQ(out, "1\tG0\t20.0000\t0.0000\t2.0000\n");

    EXPECT_EQ(RunProgram({skarv, "--ini", ini, "plot", dir.File("P.NC"), "--view", "xw"}, &out, &err), 2);
    EXPECT_EQ(RunProgram({skarv, "--ini", ini, "plot"}, &out, &err), 2);
    EXPECT_EQ(RunProgram({skarv, "--ini", ini, "plot", dir.File("MANGLER.NC")}, &out, &err), 1);
    EXPECT_NE(err.find("Feil med lasting av"), std::string::npos) << err;
    EXPECT_EQ(RunProgram({skarv, "--help"}, &out, &err), 0);
    EXPECT_NE(out.find("plot FIL [--view xy|xz|yz|3d] [-o UT.svg] [--moves] [--stats]"), std::string::npos);
}
