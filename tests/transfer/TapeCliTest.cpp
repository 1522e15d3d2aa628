// The skarv command's tape transfer with the simulated card that the environment selects.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestSupport.h"
#include "platform/DevPortDriver.h"

namespace {
class SimulatedCardEnvironment {
public:
    explicit SimulatedCardEnvironment(const std::string& tape) {
        ::setenv(kSimulatedCardVariable, "1", 1);
        ::setenv(kSimulatedTapeVariable, tape.c_str(), 1);
    }
    ~SimulatedCardEnvironment() {
        ::unsetenv(kSimulatedCardVariable);
        ::unsetenv(kSimulatedTapeVariable);
    }
};

const char* kIni =
    "[VakoEdit]\r\nPort=LPT1\r\nMaskin=Maskin3\r\nStartKode=%\r\n"
    "[Maskin3]\r\nKode=EIA\r\nDelay=0\r\nPunch=True\r\nTimeOut=1\r\n";
}  // namespace

TEST(TapeCliTest, TheDemoMachineReadsAndPunchesAProgram) {
    TempDir dir;
    WriteFileBytes(dir.File("Vako.ini"), kIni);
    WriteFileBytes(dir.File("P.NC"), "%\r\nN10 G00 X12.5\r\nN20 M30\r\n");
    SimulatedCardEnvironment env(dir.File("P.NC"));
    const std::string skarv = BinDir() + "/skarv";

    std::string out, err;
    int rc = RunProgram({skarv, "--ini", dir.File("Vako.ini"), "tape", "send", dir.File("P.NC")},
                        &out, &err);
    EXPECT_EQ(rc, 1) << err;  // the demo machine reads on past the end
    EXPECT_NE(err.find("    2  N10 G00 X12.5\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Sende data: Spolte utforbi tapen"), std::string::npos) << err;

    rc = RunProgram({skarv, "--ini", dir.File("Vako.ini"), "tape", "receive", dir.File("IN.NC")},
                    &out, &err);
    EXPECT_EQ(rc, 0) << err;
    EXPECT_EQ(ReadFileBytes(dir.File("IN.NC")), "%\r\nN10 G00 X12.5\r\nN20 M30\r\n");
}
