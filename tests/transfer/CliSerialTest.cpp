// The skarv commands for serial transfers, run as the real program against a machine on a
// pseudo-terminal; the golden cases of tests/cli hold the rest.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "DeviceServer.h"
#include "PtyMachine.h"
#include "TestSupport.h"
#include "convert/IsoEia.h"
#include "platform/NetSerial.h"
#include "settings/PathResolve.h"
#include "transfer/SerialTransfer.h"

using namespace std::chrono_literals;

namespace {
std::string Skarv() { return BinDir() + "/skarv"; }

std::string WriteIni(const TempDir& dir, const PtyMachine& m, const std::string& port,
                     const std::string& editor = "") {
    std::string path = dir.File("Vako.ini");
    WriteFileBytes(path, "[VakoEdit]\r\nPort=" + NativeToDncPath(m.linkPath()) + "\r\nMaskinPort=1\r\n" +
                             editor + "[Maskin1]\r\nPort=FRES\r\n[Maskin2]\r\nPort=DREI\r\n[FRES]\r\n" +
                             port + "TimeMultiplier=200\r\n[DREI]\r\nKode=EIA\r\nTimeMultiplier=200\r\n");
    return path;
}
}  // namespace

TEST(CliSerial, SendFramesTheProgramForTheChosenMachine) {
    PtyMachine m;
    TempDir dir;
    std::string ini = WriteIni(dir, m, "Kode=ASCII\r\n", "StartKode=%\r\nStoppKode=M30[CR][LF]\r\nFjernLinje=%\r\n");
    WriteFileBytes(dir.File("P1.NC"), "%\r\nN10 G0 X5\r\n*N15 SKIP\r\nN20 G1 Y2\r\n");
    std::string out, err;
    ASSERT_EQ(RunProgram({Skarv(), "--ini", ini, "send", dir.File("P1.NC")}, &out, &err), 0) << err;
    EXPECT_EQ(m.WaitQuiet(50ms, 2s), "%N10 G0 X5\r\nN20 G1 Y2\r\nM30\r\n");
    EXPECT_NE(err.find("Linje 4 av 4"), std::string::npos) << err;

    // From a chosen line with a start sequence, to the second machine (EIA).
    PtyMachine m2;
    ini = WriteIni(dir, m2, "Kode=ASCII\r\n");
    ASSERT_EQ(RunProgram({Skarv(), "--ini", ini, "--machine", "2", "send", dir.File("P1.NC"), "--from-line", "4",
                          "--start-sequence", "S2000"},
                         &out, &err),
              0)
        << err;
    std::string expected;
    for (unsigned char c : std::string("S2000\r\nN20 G1 Y2\r\n")) expected.push_back(static_cast<char>(EncodeByte(tcEia, c)));
    EXPECT_EQ(m2.WaitQuiet(50ms, 2s), expected);
}

TEST(CliSerial, ReceiveWritesTheLinesWithCrLf) {
    PtyMachine m;
    TempDir dir;
    std::string ini = WriteIni(dir, m, "Kode=ISO\r\n");
    std::thread machine([&] {
        if (!m.WaitPortSetUp(10s)) return;
        std::string text = "%\r\nN10X5\r\nN20\r\n\x14";
        std::string tape;
        for (unsigned char c : text) tape.push_back(static_cast<char>(EncodeByte(tcIso, c)));
        m.Send(tape);
    });
    std::string out, err;
    int rc = RunProgram({Skarv(), "--ini", ini, "receive", dir.File("UT.NC")}, &out, &err);
    machine.join();
    ASSERT_EQ(rc, 0) << err;
    EXPECT_EQ(ReadFileBytes(dir.File("UT.NC")), "%\r\nN10X5\r\nN20\r\n");
    EXPECT_NE(err.find("Mottatt 3 linjer"), std::string::npos) << err;
}

TEST(CliSerial, CtrlCEndsTheReceptionAndKeepsWhatArrived) {
    PtyMachine m;
    TempDir dir;
    // A long timeout: only Ctrl-C ends this reception.
    std::string ini = WriteIni(dir, m, "Kode=ASCII\r\nTimeMultiplier=30000\r\n");
    std::string out = dir.File("UT.NC");
    std::string progress = dir.File("progress.txt");
    std::string bin = Skarv();
    std::vector<std::string> args = {bin, "--ini", ini, "receive", out};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, progress.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Whatever happens below, the child does not outlive the test.
    bool reaped = false;
    struct Reaper {
        pid_t pid;
        bool& reaped;
        ~Reaper() {
            if (reaped) return;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reaper{pid, reaped};

    // The port is open (and Ctrl-C caught) before the machine sends; the lines have arrived
    // before the user presses Ctrl-C.
    ASSERT_TRUE(m.WaitPortSetUp(10s)) << "skarv receive did not open the port";
    m.Send("N10 G0\r\nN20 X1\r\n");  // no end of tape: the machine keeps the line open
    auto t0 = std::chrono::steady_clock::now();
    while (ReadFileBytes(progress).find("Mottatt 2 linjer") == std::string::npos &&
           std::chrono::steady_clock::now() - t0 < 10s)
        std::this_thread::sleep_for(10ms);
    ASSERT_NE(ReadFileBytes(progress).find("Mottatt 2 linjer"), std::string::npos) << ReadFileBytes(progress);
    ::kill(pid, SIGINT);
    int status = 0;
    t0 = std::chrono::steady_clock::now();
    while (!reaped && std::chrono::steady_clock::now() - t0 < 5s) {
        reaped = ::waitpid(pid, &status, WNOHANG) == pid;
        if (!reaped) std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(reaped) << "skarv receive did not end on Ctrl-C";
    ASSERT_TRUE(WIFEXITED(status)) << "skarv receive ended by a signal";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(out), "N10 G0\r\nN20 X1\r\n");
}

TEST(CliSerial, PortsListsTheComMapAndSendAndReceiveTakeDeviceServers) {
    // The machine-wide map names a device server "COM5" (the test main points the key stores
    // at temporary folders).
    DeviceServer server;
    const std::string conf = std::string(std::getenv("XDG_CONFIG_DIRS")) + "/Vako.conf";
    WriteFileBytes(conf, "[General]\nCOM5=" + server.Name() + "\n");
    std::string out, err;
    ASSERT_EQ(RunProgram({Skarv(), "ports"}, &out, &err), 0) << err;
    EXPECT_NE(out.find("COM5 = " + server.Name() + " (maskinen)"), std::string::npos) << out;

    TempDir dir;
    const std::string ini = dir.File("Vako.ini");
    WriteFileBytes(ini, "[VakoEdit]\r\nPort=COM5\r\nStoppKode=M30\r\n[COM5]\r\nKode=ASCII\r\nTimeMultiplier=1000\r\n");
    WriteFileBytes(dir.File("P1.NC"), "N10 G0 X5\r\nN20 G1 Y2\r\n");
    ASSERT_EQ(RunProgram({Skarv(), "--ini", ini, "send", dir.File("P1.NC")}, &out, &err), 0) << err;
    ASSERT_TRUE(server.WaitForBytes(25, 5s));
    EXPECT_EQ(server.Received(), "N10 G0 X5\r\nN20 G1 Y2\r\nM30");
    std::remove(conf.c_str());

    // Receive straight from the server's name; the machine ends its tape with DC4.
    const std::string name = server.Name();
    WriteFileBytes(ini, "[VakoEdit]\r\nPort=" + name + "\r\nMaskinPort=1\r\n[Maskin1]\r\nPort=LINJE\r\n"
                        "[LINJE]\r\nKode=ASCII\r\nTimeMultiplier=1000\r\n");
    std::thread machine([&] {
        if (server.WaitAccepted(2, 5s)) server.Send("%\r\nN10 X1\r\n\x14");
    });
    int rc = RunProgram({Skarv(), "--ini", ini, "receive", dir.File("UT.NC")}, &out, &err);
    machine.join();
    ASSERT_EQ(rc, 0) << err;
    EXPECT_EQ(ReadFileBytes(dir.File("UT.NC")), "%\r\nN10 X1\r\n");

    // A refused connection: the reason on its own line, no file.
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(DeviceServer::RefusingPort());
    WriteFileBytes(ini, "[VakoEdit]\r\nPort=" + refused + "\r\n");
    EXPECT_EQ(RunProgram({Skarv(), "--ini", ini, "receive", dir.File("UT2.NC")}, &out, &err), 1);
    EXPECT_NE(err.find(Cp1252ToUtf8(std::string(kOpenFailedText) + "\n" + kNetNoContact)), std::string::npos) << err;
    EXPECT_FALSE(FileExists(dir.File("UT2.NC")));
}
