// Transfers over real terminal lines: the port opens the slave of a pseudo-terminal pair and
// the test plays the machine on the master.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <termios.h>

#include <chrono>
#include <thread>

#include "PtyMachine.h"
#include "RecordingSerial.h"
#include "TestSupport.h"
#include "settings/PathResolve.h"
#include "transfer/EditCom.h"
#include "windows/transfer/EditComT.h"
#include "transfer/SerialTransfer.h"
#include "platform/TermiosSerial.h"

using namespace std::chrono_literals;

namespace {
using Lines = std::vector<std::string>;

// An ini whose port is the machine's line, configured from the section "COM1".
std::string Ini(const PtyMachine& m, const std::string& port, const std::string& editor = "") {
    return "[VakoEdit]\r\nPort=" + NativeToDncPath(m.linkPath()) + "\r\nMaskinPort=1\r\n" + editor +
           "[Maskin1]\r\nPort=COM1\r\n[COM1]\r\n" + port + "TimeMultiplier=200\r\n";
}

std::string Encode(TTapeCode code, const std::string& s) {
    std::string out;
    for (unsigned char c : s) out.push_back(static_cast<char>(EncodeByte(code, c)));
    return out;
}

SendResult SendOnThread(const Lines& lines, int32_t start, const std::string& seq,
                        std::atomic<bool>& abort, std::atomic<int32_t>& queued) {
    return ThreadSendProgram(lines, start, seq, "COM1", abort, queued);
}

double ProcessCpuSeconds() {
    struct rusage u;
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
}  // namespace

TEST(SerialDeviceNames, WindowsNamesMapToDevices) {
    EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath("\\\\.\\COM12"), "/dev/ttyS11");
    EXPECT_EQ(SerialDevicePath("com3"), "/dev/ttyS2");
    EXPECT_EQ(SerialDevicePath("COM0"), "");
    EXPECT_EQ(SerialDevicePath(""), "");
    PtyMachine m;
    std::string upper = NativeToDncPath(m.linkPath());
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(SerialDevicePath(upper), m.linkPath());  // upper-cased by the settings
    EXPECT_EQ(SerialDevicePath("/DEV/NULL"), "/dev/null");
}

TEST(SerialPty, LineSettingsReachTheTerminal) {
    PtyMachine m;
    TermiosSerial port;
    ASSERT_TRUE(port.Open(NativeToDncPath(m.linkPath())));
    ASSERT_TRUE(port.SetupQueues(4096, 1024));
    SerialDcb d;
    ASSERT_TRUE(port.GetState(d));
    // A pseudo-terminal keeps its own byte size and parity; speed, stop bits and flow control
    // go through the kernel and back.
    for (uint32_t baud : {31250u, 9600u, 115200u, 250000u}) {
        d.BaudRate = baud;
        d.StopBits = baud == 9600 ? TWOSTOPBITS : ONESTOPBIT;
        d.fOutX = d.fInX = true;
        d.XoffChar = 0x93;
        d.fOutxCtsFlow = true;
        d.fOutxDsrFlow = true;
        d.fDtrControl = DTR_CONTROL_ENABLE;
        ASSERT_TRUE(port.SetState(d)) << baud;  // no modem lines on a pseudo-terminal: no error
        SerialDcb back;
        ASSERT_TRUE(port.GetState(back));
        EXPECT_EQ(back.BaudRate, baud);
        EXPECT_EQ(back.StopBits, d.StopBits);
        EXPECT_TRUE(back.fOutX && back.fInX && back.fOutxCtsFlow);
        EXPECT_EQ(back.XoffChar, 0x93);
        EXPECT_EQ(back.XonChar, 0x11);
    }
    d.ByteSize = 9;
    EXPECT_FALSE(port.SetState(d));
    d.ByteSize = 8;
    d.BaudRate = 0;
    EXPECT_FALSE(port.SetState(d));
    EXPECT_TRUE(port.Escape(EscapeFunction::SETDTR));
    EXPECT_TRUE(port.Escape(EscapeFunction::CLRRTS));
    port.Close();
}

TEST(SerialLine, ByteSizeParityAndStopBitsAsTermiosFlags) {
    SerialDcb d;
    uint32_t c = 0, i = 0;
    struct Case {
        uint8_t bits, parity, stop;
        uint32_t expected;
    };
    for (Case k : {Case{8, NOPARITY, ONESTOPBIT, CS8}, Case{7, EVENPARITY, ONESTOPBIT, CS7 | PARENB},
                   Case{7, ODDPARITY, TWOSTOPBITS, CS7 | PARENB | PARODD | CSTOPB},
                   Case{8, MARKPARITY, ONESTOPBIT, CS8 | PARENB | PARODD | CMSPAR},
                   Case{8, SPACEPARITY, ONESTOPBIT, CS8 | PARENB | CMSPAR},
                   Case{5, NOPARITY, ONE5STOPBITS, CS5 | CSTOPB}, Case{6, NOPARITY, ONESTOPBIT, CS6}}) {
        d.ByteSize = k.bits;
        d.Parity = k.parity;
        d.StopBits = k.stop;
        ASSERT_TRUE(LineSettingsToTermios(d, c, i));
        EXPECT_EQ(c & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), k.expected);
        EXPECT_EQ(c & CRTSCTS, 0u);
    }
    d.fOutxCtsFlow = true;
    d.fOutX = true;
    d.XonChar = 0x11;
    d.XoffChar = 0x93;
    ASSERT_TRUE(LineSettingsToTermios(d, c, i));
    EXPECT_NE(c & CRTSCTS, 0u);
    EXPECT_NE(i & IXON, 0u);
    EXPECT_EQ(i & IXOFF, 0u);
    d.XoffChar = 0;  // a character the kernel cannot watch for: done by the port itself
    ASSERT_TRUE(LineSettingsToTermios(d, c, i));
    EXPECT_EQ(i & IXON, 0u);
    d.Parity = 7;
    EXPECT_FALSE(LineSettingsToTermios(d, c, i));
}

TEST(SerialPty, WholeSendIsFramedExactlyInEveryCode) {
    const Lines program = {"%", "N10 G0 X5", "N20 M30"};
    for (const char* code : {"ISO", "EIA", "ASCII"}) {
        PtyMachine m;
        ScopedTermiosPorts ports;
        ScopedIni ini(Ini(m, std::string("Kode=") + code + "\r\nEOB=[CR][LF]\r\n",
                          "StartKode=[DC2]%\r\nStoppKode=[DC4]\r\nTrailer=5\r\n"));
        MessageRecorder messages;
        std::atomic<bool> abort{false};
        std::atomic<int32_t> queued{0};
        EXPECT_EQ(SendOnThread(program, 0, "S2000", abort, queued), SendResult::Finished);
        TTapeCode tc = TapeCodeFromName(code);
        std::string expected = Encode(tc, "\x12%S2000\r\n%\r\nN10 G0 X5\r\nN20 M30\r\n\x14") +
                               Encode(tc, std::string(5, '\0'));
        ASSERT_TRUE(m.WaitForBytes(expected.size(), 3s)) << code;
        EXPECT_EQ(m.WaitQuiet(50ms, 1s), expected) << code;
        EXPECT_EQ(queued.load(), 3);
        EXPECT_TRUE(messages.messages.empty());
    }
}

TEST(SerialPty, NoStartSequenceNoEobAndStartAtTheEnd) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(Ini(m, "Kode=ASCII\r\n", "StartKode=%\r\nStoppKode=M30\r\n"));
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{0};
    EXPECT_EQ(SendOnThread({"A", "B"}, 1, "", abort, queued), SendResult::Finished);
    EXPECT_EQ(m.WaitQuiet(50ms, 2s), "%B\r\nM30");
    PtyMachine m2;
    ini.Rewrite(Ini(m2, "Kode=ASCII\r\n", "StartKode=%\r\nStoppKode=M30\r\n"));
    EXPECT_EQ(SendOnThread({"A", "B"}, 2, "S1", abort, queued), SendResult::Finished);
    EXPECT_EQ(m2.WaitQuiet(50ms, 2s), "%S1\r\nM30");
}

TEST(SerialPty, MachineHoldsXoffAndSendResumesOnXon) {
    // ISO over 8 bits: the machine stops the port with DC3 carrying its parity bit (0x93);
    // in ASCII with the plain 0x13.
    for (const char* code : {"ISO", "ASCII"}) {
        PtyMachine m;
        ScopedTermiosPorts ports;
        ScopedIni ini(Ini(m, std::string("Kode=") + code + "\r\nXonXoff=1\r\nAktiverXON=1\r\nTimeMultiplier=50\r\n"));
        Lines program;
        std::string text;
        for (int i = 0; i < 40000; ++i) {
            program.push_back("N" + std::to_string(i * 10) + " G1 X" + std::to_string(i) + " Y-2.5 F300");
            text += program.back() + "\r\n";
        }
        const std::string expected = Encode(TapeCodeFromName(code), text);
        const std::string xoff(1, std::string(code) == "ISO" ? '\x93' : '\x13');
        std::atomic<bool> abort{false};
        std::atomic<int32_t> queued{0};
        SendResult result = SendResult::Cancelled;
        std::thread sender([&] { result = SendOnThread(program, 0, "", abort, queued); });
        for (size_t part : {size_t(1), expected.size() / 2}) {
            ASSERT_TRUE(m.WaitForBytes(part, 5s)) << code;
            m.Send(xoff);
            std::string held = m.WaitQuiet(200ms, 2s);
            EXPECT_LT(held.size(), expected.size()) << code << ": the send did not stop";
            std::this_thread::sleep_for(200ms);
            EXPECT_EQ(m.Received().size(), held.size()) << code << ": bytes passed while XOFF was held";
            m.Send("\x11");
        }
        sender.join();
        EXPECT_EQ(result, SendResult::Finished);
        std::string got = m.WaitQuiet(50ms, 2s);
        EXPECT_EQ(got.size(), expected.size()) << code;
        EXPECT_TRUE(got == expected) << code << ": bytes lost or doubled";
    }
}

TEST(SerialPty, PortStartsHeldUntilTheMachineSendsXon) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(Ini(m, "Kode=ISO\r\nXonXoff=1\r\nTimeMultiplier=50\r\n"));
    Lines program;
    std::string text;
    for (int i = 0; i < 40000; ++i) {
        program.push_back("N" + std::to_string(i) + " X" + std::to_string(i % 977) + " F100");
        text += program.back() + "\r\n";
    }
    const std::string expected = Encode(tcIso, text);
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{0};
    SendResult result = SendResult::Cancelled;
    std::thread sender([&] { result = SendOnThread(program, 0, "", abort, queued); });
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m.Received(), "") << "the port must wait for XON";
    m.Send("\x11");
    ASSERT_TRUE(m.WaitForBytes(expected.size() / 3, 5s));
    m.Send("\x93");  // and XOFF holds it again
    std::string held = m.WaitQuiet(200ms, 2s);
    EXPECT_LT(held.size(), expected.size());
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(m.Received().size(), held.size());
    m.Send("\x11");
    sender.join();
    EXPECT_EQ(result, SendResult::Finished);
    std::string got = m.WaitQuiet(50ms, 2s);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "bytes lost or doubled";
}

TEST(SerialPty, ShortProgramHeldAtTheEndIsNotReportedSent) {
    // Everything fits in the port's queue at once; the send is over only when it has left.
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(Ini(m, "Kode=ASCII\r\nXonXoff=1\r\nTimeMultiplier=100\r\n", "StoppKode=M30\r\n"));
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{0};
    std::atomic<bool> ended{false};
    SendResult result = SendResult::Cancelled;
    std::thread sender([&] {
        result = SendOnThread({"N10", "N20"}, 0, "", abort, queued);
        ended = true;
    });
    std::this_thread::sleep_for(400ms);
    EXPECT_FALSE(ended.load()) << "the send ended while the machine held XOFF";
    EXPECT_EQ(m.Received(), "");
    m.Send("\x11");
    sender.join();
    EXPECT_EQ(result, SendResult::Finished);
    EXPECT_EQ(m.WaitQuiet(50ms, 2s), "N10\r\nN20\r\nM30");
}

// Timed: the bound is one write timeout and half of one for a loaded machine; the suite runs
// alone (CTest RUN_SERIAL).
TEST(SerialPtyTimed, CancelWhileXoffIsHeldEndsWithinOneTimeout) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    const auto timeout = 1000ms;  // TimeMultiplier: one write timeout
    // No AktiverXON: the port starts held until the machine sends XON.
    ScopedIni ini(Ini(m, "Kode=ISO\r\nXonXoff=1\r\nTimeMultiplier=" + std::to_string(timeout.count()) + "\r\n",
                      "StoppKode=M30\r\n"));
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{0};
    SendResult result = SendResult::Finished;
    std::atomic<bool> ended{false};
    std::thread sender([&] {
        result = SendOnThread({"N10", "N20"}, 0, "", abort, queued);
        ended = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m.Received(), "");
    auto t0 = std::chrono::steady_clock::now();
    abort = true;
    while (!ended && std::chrono::steady_clock::now() - t0 < 3 * timeout) std::this_thread::sleep_for(2ms);
    auto took = std::chrono::steady_clock::now() - t0;
    sender.join();
    EXPECT_EQ(result, SendResult::Cancelled);
    EXPECT_LE(took, timeout * 3 / 2);
    EXPECT_EQ(m.WaitQuiet(100ms, 1s), "") << "no stop code after a cancel";
}

TEST(SerialPty, StarLinesAreNotSentAndBatchesStayWhole) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(Ini(m, "Kode=ASCII\r\nEOB=;\r\n", "SendLinjer=3\r\n"));
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{0};
    const Lines program = {"*A", "B", "C", "*D", "E", "F", "G", "*H"};
    EXPECT_EQ(SendOnThread(program, 0, "", abort, queued), SendResult::Finished);
    EXPECT_EQ(m.WaitQuiet(50ms, 2s), "B;C;E;F;G;");
    EXPECT_EQ(queued.load(), 8);
}

TEST(SerialSend, BatchesOfThreeOverSevenLines) {
    ScopedIni ini("[VakoEdit]\r\nPort=COM2\r\nSendLinjer=3\r\nStartKode=%\r\nStoppKode=[DC4]\r\n"
                  "Trailer=20\r\n[COM2]\r\nKode=ASCII\r\n");
    ScopedRecordingPorts ports;
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{0};
    const Lines program = {"1", "2", "3", "4", "5", "6", "7"};
    EXPECT_EQ(ThreadSendProgram(program, 0, "", "COM2", abort, queued), SendResult::Finished);
    EXPECT_EQ(ports.record->writes, (std::vector<std::string>{"%", "1\r\n2\r\n3\r\n", "4\r\n5\r\n6\r\n",
                                                              "7\r\n", "\x14", std::string(20, '\0')}));
    // With one line a block, a "*" line is replaced by the next before anything is written.
    ini.Rewrite("[VakoEdit]\r\nPort=COM2\r\n[COM2]\r\nKode=ASCII\r\n");
    ports.record->writes.clear();
    EXPECT_EQ(ThreadSendProgram({"*X", "*Y", "N1", "*Z", "N2"}, 0, "", "COM2", abort, queued),
              SendResult::Finished);
    EXPECT_EQ(ports.record->writes, (std::vector<std::string>{"N1\r\n", "N2\r\n"}));
}

TEST(SerialSend, ThreadlessLoopSendsStopCodeAfterCancelAndSkipsStarLines) {
    ScopedIni ini("[VakoEdit]\r\nPort=COM2\r\nStartKode=%\r\nStoppKode=M30\r\nTrailer=2\r\n"
                  "[COM2]\r\nKode=ASCII\r\n");
    ScopedRecordingPorts ports;
    int pumps = 0;
    std::vector<int32_t> selected;
    bool disabled = false, hidden = false;
    DialogLoopHooks hooks;
    hooks.disableCommands = [&] { disabled = true; };
    hooks.processMessages = [&] { ++pumps; };
    hooks.selectLine = [&](int32_t i) { selected.push_back(i); };
    hooks.hideSelection = [&] { hidden = true; };
    EXPECT_EQ(ThreadlessSendProgram({"*A", "B", "*C", "D", "*E"}, 0, "S9", "COM2", "COM2", hooks),
              SendResult::Finished);
    EXPECT_EQ(ports.record->writes, (std::vector<std::string>{"%S9\r\n", "B\r\n", "D\r\n", "M30",
                                                              std::string(2, '\0')}));
    EXPECT_TRUE(disabled && hidden);
    EXPECT_GE(pumps, 3);
    EXPECT_EQ(selected, (std::vector<int32_t>{2, 4}));

    // A cancel after the first line still ends the tape properly.
    ports.record->writes.clear();
    int writes = 0;
    hooks.processMessages = [&] { ++writes; };
    hooks.aborted = [&] { return writes >= 2; };
    EXPECT_EQ(ThreadlessSendProgram({"N1", "N2", "N3"}, 0, "", "COM2", "COM2", hooks), SendResult::Cancelled);
    EXPECT_EQ(ports.record->writes, (std::vector<std::string>{"%", "N1\r\n", "M30", std::string(2, '\0')}));
}

TEST(SerialPty, ThreadlessCancelWhileHeldStillSendsStopCode) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    // The port starts held; the user cancels; the machine lets go while the stop code waits.
    ScopedIni ini(Ini(m, "Kode=ASCII\r\nXonXoff=1\r\nTimeMultiplier=1000\r\n", "StoppKode=M30\r\n"));
    DialogLoopHooks hooks;
    int passes = 0;
    std::thread machine;
    hooks.processMessages = [&] {
        if (++passes == 2)
            machine = std::thread([&] {
                std::this_thread::sleep_for(100ms);
                m.Send("\x11");
            });
    };
    hooks.aborted = [&] { return passes >= 2; };
    EXPECT_EQ(ThreadlessSendProgram({"N10", "N20"}, 0, "", "COM1", ReadPortDevice(), hooks),
              SendResult::Cancelled);
    machine.join();
    // The first line was queued before the cancel; it leaves with the stop code.
    EXPECT_EQ(m.WaitQuiet(50ms, 2s), "N10\r\nM30");
}

TEST(SerialPty, ReceivesLinesUntilTheStopCharacter) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(Ini(m, "Kode=ASCII\r\nTimeMultiplier=100\r\n"));
    // Before the first line silence does not end the reception.
    std::thread machine([&] {
        std::this_thread::sleep_for(300ms);
        m.Send("N10X5\r\nN20\x14");
    });
    Lines got;
    bool disabled = false;
    DialogLoopHooks hooks;
    hooks.disableCommands = [&] { disabled = true; };
    hooks.lineReceived = [&](const std::string& l) { got.push_back(l); };
    EXPECT_TRUE(ReceiveProgram("COM1", ReadPortDevice(), hooks));
    machine.join();
    EXPECT_TRUE(disabled);
    EXPECT_EQ(got, (Lines{"N10X5", "N20"}));
}

TEST(SerialPty, ReceiveInIsoDropsNulsWhenAsked) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(Ini(m, "Kode=ISO\r\nFjernNull=1\r\nTimeMultiplier=100\r\n"));
    m.Send(std::string("\0\0", 2) + Encode(tcIso, "N10 X5\r\n") + std::string(1, '\0') +
           Encode(tcIso, "M30\r\n\x14"));
    Lines got;
    DialogLoopHooks hooks;
    hooks.lineReceived = [&](const std::string& l) { got.push_back(l); };
    EXPECT_TRUE(ReceiveProgram("COM1", ReadPortDevice(), hooks));
    EXPECT_EQ(got, (Lines{"N10 X5", "M30"}));
}

TEST(SerialPty, MissingDeviceSaysSoAndTouchesNothing) {
    TempDir dir;
    ScopedTermiosPorts ports;
    ScopedIni ini("[VakoEdit]\r\nPort=COM9\r\n[COM9]\r\n");
    for (const char* real : {"/dev/COM9", "/dev/ttyS8"}) {
        int fd = ::open(real, O_RDWR | O_NONBLOCK | O_NOCTTY);
        if (fd >= 0) {
            ::close(fd);
            GTEST_SKIP() << "this host has a real port behind COM9";
        }
    }
    MessageRecorder messages;
    bool touched = false;
    DialogLoopHooks hooks;
    hooks.disableCommands = [&] { touched = true; };
    hooks.lineReceived = [&](const std::string&) { touched = true; };
    EXPECT_FALSE(ReceiveProgram("COM9", "COM9", hooks));
    EXPECT_EQ(ThreadlessSendProgram({"N1"}, 0, "", "COM9", "COM9", hooks), SendResult::OpenFailed);
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{0};
    EXPECT_EQ(ThreadSendProgram({"N1"}, 0, "", "COM9", abort, queued), SendResult::OpenFailed);
    EXPECT_FALSE(touched);
    EXPECT_EQ(queued.load(), 0);
    const std::pair<std::string, std::string> expected{std::string(kOpenCaptionPrefix) + "COM9", kOpenFailedText};
    EXPECT_EQ(messages.messages, (std::vector<std::pair<std::string, std::string>>(3, expected)));
    EXPECT_EQ(expected.first, "\xC5pne COM9");
}

TEST(SerialPtyTimed, DeadLineKeepsTheSendCancellableWithoutBurningCpu) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    const auto timeout = 1000ms;  // TimeMultiplier: one write timeout
    ScopedIni ini(Ini(m, "Kode=ASCII\r\nTimeMultiplier=" + std::to_string(timeout.count()) + "\r\n",
                      "StoppKode=M30\r\n"));
    MessageRecorder messages;  // the dead line may refuse the last line settings too
    Lines program(20000, "N10 G1 X100 Y100 F2000");
    auto lines = std::make_shared<const Lines>(program);
    AbortTransfer = false;
    LinesQueued = 0;
    auto* thread = new TEditThread(true, lines, 0, "", "COM1");
    thread->Resume();
    ASSERT_TRUE(m.WaitForBytes(1000, 3s));
    m.CloseMaster();
    std::this_thread::sleep_for(150ms);
    double cpu0 = ProcessCpuSeconds();
    std::this_thread::sleep_for(600ms);
    double cpu = ProcessCpuSeconds() - cpu0;
    EXPECT_LT(cpu, 0.15) << "the thread spins on a dead line";
    EXPECT_FALSE(thread->isFinished());
    auto t0 = std::chrono::steady_clock::now();
    AbortTransfer = true;
    EXPECT_TRUE(thread->wait(QDeadlineTimer(3 * timeout.count())));
    // One write timeout, and half of one for a loaded machine.
    EXPECT_LE(std::chrono::steady_clock::now() - t0, timeout * 3 / 2);
    EXPECT_EQ(thread->Result(), SendResult::Cancelled);
    EXPECT_LT(LinesQueued.load(), 20000);
    delete thread;
}

TEST(SerialPty, ReceiveOnADeadLineWaitsWithoutSpinning) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(Ini(m, "Kode=ASCII\r\nTimeMultiplier=100\r\n"));
    MessageRecorder messages;
    auto t0 = std::chrono::steady_clock::now();
    double cpu0 = 0;
    int reads = 0;
    DialogLoopHooks hooks;
    hooks.disableCommands = [&] {
        m.CloseMaster();  // the line goes dead once the port is open
        t0 = std::chrono::steady_clock::now();
        cpu0 = ProcessCpuSeconds();
    };
    hooks.processMessages = [&] { ++reads; };
    hooks.aborted = [&] { return std::chrono::steady_clock::now() - t0 > 500ms; };
    EXPECT_TRUE(ReceiveProgram("COM1", ReadPortDevice(), hooks));
    double cpu = ProcessCpuSeconds() - cpu0;
    EXPECT_LE(reads, 8) << "each read of a dead line should take its timeout";
    EXPECT_LT(cpu, 0.15);
}

TEST(SerialPty, TransferThreadSendsAndReportsProgress) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(Ini(m, "Kode=EIA\r\n", "ThreadPriority=9\r\n"));
    EXPECT_EQ(ReadThreadPriority(), 5);
    auto lines = std::make_shared<const Lines>(Lines{"N10", "N20", "N30"});
    LinesQueued = 0;
    AbortTransfer = true;  // cleared when the thread starts
    auto* thread = new TEditThread(true, lines, 1, "", PortSettingsSection(ReadPortDevice(), "Maskin1"));
    thread->SetPriority(ReadThreadPriority());
    thread->Resume();
    EXPECT_TRUE(thread->wait(QDeadlineTimer(3000)));
    EXPECT_EQ(thread->Result(), SendResult::Finished);
    EXPECT_EQ(LinesQueued.load(), 3);
    EXPECT_EQ(m.WaitQuiet(50ms, 1s), Encode(tcEia, "N20\r\nN30\r\n"));
    delete thread;
}

TEST(SerialSettings, WholeProgramSkipsLeadingLinesOfFjernLinje) {
    ScopedIni ini("[VakoEdit]\r\nFjernLinje=%(\r\n");
    EXPECT_EQ(WholeProgramStartIndex({"", "%", "(KOMMENTAR)", "N10", "%", ""}), 3);
    EXPECT_EQ(WholeProgramStartIndex({"", ""}), 2);
    ini.Rewrite("[VakoEdit]\r\n");
    EXPECT_EQ(WholeProgramStartIndex({"", "%", "N10"}), 0);
}

TEST(SerialSettings, PortSectionFollowsMaskinPort) {
    ScopedIni ini("[VakoEdit]\r\nPort=com2\r\n[Maskin2]\r\nPort=Fanuc\r\n");
    EXPECT_EQ(ReadPortDevice(), "COM2");
    EXPECT_EQ(PortSettingsSection("COM2", "Maskin2"), "COM2");
    ini.Rewrite("[VakoEdit]\r\nPort=com2\r\nMaskinPort=1\r\n[Maskin2]\r\nPort=Fanuc\r\n");
    EXPECT_EQ(PortSettingsSection("COM2", "Maskin2"), "FANUC");
    EXPECT_EQ(PortSettingsSection("COM2", "Maskin3"), "COM2");
    EXPECT_TRUE(IsSerialDevice("COM2"));
    EXPECT_FALSE(IsSerialDevice("LPT1"));
}
