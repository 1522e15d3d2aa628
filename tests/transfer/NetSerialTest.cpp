// Serial ports by name (which names are serial, the COMn map, what `skarv ports` lists), the
// Telnet side of RFC 2217, and the port on a device server: raw TCP against a test server,
// RFC 2217 against ser2net with a pseudo-terminal behind it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <climits>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "DeviceServer.h"
#include "PtyMachine.h"
#include "Ser2Net.h"
#include "TestSupport.h"
#include "platform/NetSerial.h"
#include "platform/TelnetComPort.h"
#include "settings/KeyStore.h"
#include "settings/PathResolve.h"
#include "settings/Strings.h"
#include "transfer/SerialTransfer.h"

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {
using Lines = std::vector<std::string>;

class ScopedKeyStore {
public:
    ScopedKeyStore() { SetKeyStore(&store); }
    ~ScopedKeyStore() { SetKeyStore(nullptr); }
    void Map(KeyRoot root, const std::string& com, const std::string& target) {
        store.WriteValue(root, kPortMapKey, com, target);
    }
    MemoryKeyStore store;
};

std::string RealPath(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? buf : "";
}

// The port as OpenComPort leaves it: the buffers, a line, timeouts of TimeMultiplier ms.
void Configure(NetSerial& port, SerialDcb& d, uint32_t timeMultiplier = 100) {
    ASSERT_TRUE(port.SetupQueues(4096, 1024));
    ASSERT_TRUE(port.GetState(d));
    ASSERT_TRUE(port.SetState(d));
    ASSERT_TRUE(port.SetTimeouts(CommTimeouts{timeMultiplier, timeMultiplier, 0, 0, timeMultiplier}));
}

std::string ReadAll(NetSerial& port) {
    std::string got;
    for (;;) {
        uint8_t b = 0;
        bool have = false;
        if (!port.ReadByte(b, have) || !have) return got;
        got.push_back(static_cast<char>(b));
    }
}

struct termios LineOf(const PtyMachine& m) {
    struct termios t {};
    ::tcgetattr(m.slaveFd(), &t);
    return t;
}
}  // namespace

// ------------------------------------------------------------------ names
TEST(PortRoute, NamesChooseTheSerialPortOrTheTapeCard) {
    PtyMachine m;
    // Names with "COM" are serial, as they always were; names without are the tape card.
    EXPECT_TRUE(IsSerialDevice("COM2"));
    EXPECT_TRUE(IsSerialDevice("\\\\.\\COM12"));
    EXPECT_FALSE(IsSerialDevice("LPT1"));
    EXPECT_FALSE(IsSerialDevice("LPT"));
    EXPECT_FALSE(IsSerialDevice(""));
    // Device servers, malformed addresses too (their open says what is wrong).
    EXPECT_TRUE(IsSerialDevice("TCP://10.0.0.5:4001"));
    EXPECT_TRUE(IsSerialDevice("RFC2217://MOXA-7:950"));
    EXPECT_TRUE(IsSerialDevice("TCP://MOXA-7"));
    // Terminal lines by path, upper-cased as the settings give them, native or DNC form.
    EXPECT_TRUE(IsSerialDevice(UpperCase1252(m.slavePath())));
    EXPECT_TRUE(IsSerialDevice(NativeToDncPath(m.slavePath())));
    EXPECT_TRUE(IsTtyDevice(m.slavePath()));
    // A character device that is no terminal, and a file, are not serial ports.
    EXPECT_FALSE(IsTtyDevice("/dev/null"));
    EXPECT_FALSE(IsSerialDevice("/DEV/NULL"));
    TempDir d;
    WriteFileBytes(d.File("ttyUSB0"), "x");
    EXPECT_FALSE(IsSerialDevice(d.File("ttyUSB0")));
    // An adapter that is unplugged now is still a serial port.
    EXPECT_TRUE(IsSerialDevice("/DEV/TTYUSB97"));
    EXPECT_TRUE(IsSerialDevice("/dev/serial/by-id/usb-FTDI_gone-if00-port0"));
}

TEST(PortRoute, DeviceServerAddresses) {
    NetworkPortAddress a;
    ASSERT_TRUE(ParseNetworkPortName("TCP://10.0.0.5:4001", a));
    EXPECT_FALSE(a.rfc2217);
    EXPECT_EQ(a.host, "10.0.0.5");
    EXPECT_EQ(a.port, "4001");
    ASSERT_TRUE(ParseNetworkPortName("rfc2217://moxa.verksted.local:950/", a));
    EXPECT_TRUE(a.rfc2217);
    EXPECT_EQ(a.host, "moxa.verksted.local");
    EXPECT_EQ(a.port, "950");
    ASSERT_TRUE(ParseNetworkPortName("tcp://[fe80::1]:4001", a));
    EXPECT_EQ(a.host, "fe80::1");
    for (const char* bad : {"TCP://HOST", "TCP://:4001", "TCP://HOST:0", "TCP://HOST:65536", "TCP://HOST:40X1",
                            "TCP://FE80::1:4001", "TCP://[FE80::1]4001", "TCP://A B:1", "UDP://HOST:1", "COM1"})
        EXPECT_FALSE(ParseNetworkPortName(bad, a)) << bad;
}

TEST(PortMap, ComNamesFollowTheKeyStoreMachineWideFirst) {
    ScopedKeyStore keys;
    PtyMachine m, other;
    keys.Map(KeyRoot::LocalMachine, "COM5", m.slavePath());
    keys.Map(KeyRoot::CurrentUser, "COM5", other.slavePath());
    keys.Map(KeyRoot::CurrentUser, "COM6", " rfc2217://127.0.0.1:4001 ");
    EXPECT_EQ(MappedPortName("COM5"), m.slavePath());
    EXPECT_EQ(MappedPortName("\\\\.\\COM5"), m.slavePath());
    EXPECT_EQ(SerialDevicePath("COM5"), m.slavePath());
    EXPECT_EQ(MappedPortName("COM6"), "rfc2217://127.0.0.1:4001");
    EXPECT_EQ(SerialDevicePath("COM6"), "");  // a device server, not a terminal line
    EXPECT_EQ(MappedPortName("COM7"), "COM7");
    EXPECT_EQ(SerialDevicePath("COM7"), "/dev/ttyS6");
    EXPECT_EQ(MappedPortName("LPT1"), "LPT1");

    // An ini file shared with Windows keeps "COM5"; the transfer reaches the mapped line.
    ScopedTermiosPorts ports;
    ScopedIni ini("[VakoEdit]\r\nPort=Com5\r\n[COM5]\r\nKode=ASCII\r\nTimeMultiplier=200\r\n");
    std::atomic<bool> abort{false};
    std::atomic<int32_t> queued{0};
    EXPECT_EQ(ThreadSendProgram({"N10", "N20"}, 0, "", "COM5", abort, queued), SendResult::Finished);
    EXPECT_TRUE(m.WaitForBytes(10, 5s));
    EXPECT_EQ(m.Received(), "N10\r\nN20\r\n");
    EXPECT_EQ(other.Received(), "");
}

TEST(PortInventory, StableNamesAnsweringPortsLinksAndTheMap) {
    TempDir dev, cls;
    ::mkdir(dev.File("serial").c_str(), 0755);
    ::mkdir(dev.File("serial/by-id").c_str(), 0755);
    WriteFileBytes(dev.File("ttyUSB0"), "");
    ASSERT_EQ(::symlink("../../ttyUSB0", dev.File("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0").c_str()), 0);
    ASSERT_EQ(::symlink("../../ttyUSB7", dev.File("serial/by-id/usb-Prolific_gone-if00-port0").c_str()), 0);
    ASSERT_EQ(::symlink("ttyUSB0", dev.File("COM10").c_str()), 0);
    ASSERT_EQ(::symlink("ttyUSB0", dev.File("COM3").c_str()), 0);
    WriteFileBytes(dev.File("COMX"), "");
    for (auto [name, type] : {std::pair<const char*, const char*>{"ttyS0", "4\n"}, {"ttyS1", "0\n"}, {"ttyS10", "4\n"}}) {
        ::mkdir(cls.File(name).c_str(), 0755);
        WriteFileBytes(cls.File(std::string(name) + "/type"), type);
    }
    ::mkdir(cls.File("ttyS2").c_str(), 0755);  // no type: not an on-board port
    ::mkdir(cls.File("ttyUSB0").c_str(), 0755);

    ScopedKeyStore keys;
    keys.Map(KeyRoot::LocalMachine, "COM5", "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    keys.Map(KeyRoot::CurrentUser, "COM12", "rfc2217://10.0.0.5:950");
    keys.Map(KeyRoot::CurrentUser, "COM6", "/dev/ttyACM0");
    keys.Map(KeyRoot::CurrentUser, "INI-Fil", "C:\\VAKO\\VAKO.INI");

    const SerialPortInventory inv = TakeSerialPortInventory(dev.path(), cls.path());
    const std::string usb0 = RealPath(dev.File("ttyUSB0"));
    ASSERT_EQ(inv.byId.size(), 2u);
    EXPECT_EQ(inv.byId[0].name, dev.File("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"));
    EXPECT_EQ(inv.byId[0].target, usb0);
    EXPECT_EQ(inv.byId[1].target, "") << "a dangling link has no target";
    EXPECT_EQ(inv.uarts, (std::vector<std::string>{dev.File("ttyS0"), dev.File("ttyS10")}));
    ASSERT_EQ(inv.comLinks.size(), 2u);
    EXPECT_EQ(inv.comLinks[0].name, dev.File("COM3"));
    EXPECT_EQ(inv.comLinks[1].name, dev.File("COM10"));
    EXPECT_EQ(inv.comLinks[1].target, usb0);
    ASSERT_EQ(inv.mapped.size(), 3u);
    EXPECT_EQ(inv.mapped[0].com, "COM5");
    EXPECT_TRUE(inv.mapped[0].machineWide);
    EXPECT_EQ(inv.mapped[1].com, "COM6");
    EXPECT_EQ(inv.mapped[2].com, "COM12");
    EXPECT_EQ(inv.mapped[2].target, "rfc2217://10.0.0.5:950");
    EXPECT_FALSE(inv.mapped[2].machineWide);
}

// ------------------------------------------------------------------ the Telnet side
TEST(TelnetComPort, NegotiationEscapingCommandsAndReports) {
    std::string commands, data;
    TelnetComPort t(commands, data);
    auto receive = [&](TelnetComPort& port, const std::string& bytes) {
        port.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    };
    t.Start();
    EXPECT_EQ(commands, "\xFF\xFB\x2C\xFF\xFB\x00\xFF\xFD\x00"s);  // WILL COM-PORT, WILL/DO BINARY
    commands.clear();
    // The server agrees, asks for SUPPRESS-GO-AHEAD both ways, offers to echo (refused) and
    // asks for an option we do not take (refused); what we asked for is not asked again.
    receive(t, "\xFF\xFD\x2C\xFF\xFB\x00\xFF\xFD\x00\xFF\xFB\x03\xFF\xFD\x03\xFF\xFB\x01\xFF\xFD\x18"s);
    EXPECT_EQ(t.ComPort(), TelnetComPort::Agreement::Agreed);
    EXPECT_EQ(commands, "\xFF\xFD\x03\xFF\xFB\x03\xFF\xFE\x01\xFF\xFC\x18"s);
    commands.clear();
    receive(t, "\xFF\xFD\x2C\xFF\xFC\x01"s);  // repeated, and the echo withdrawn
    EXPECT_EQ(commands, "");

    // IAC in the data is doubled, in the data to the server and in a command's value; data
    // and commands go to their own outputs.
    const uint8_t bytes[] = {'N', 0xFF, '1'};
    t.SendData(bytes, sizeof bytes);
    EXPECT_EQ(data, "N\xFF\xFF" "1"s);
    t.SendCommand(TelnetComPort::kSetBaudRate, 0xFF00);
    EXPECT_EQ(commands, "\xFF\xFA\x2C\x01\x00\x00\xFF\xFF\x00\xFF\xF0"s);
    commands.clear();
    t.SendCommand(TelnetComPort::kSetParity, 2);
    EXPECT_EQ(commands, "\xFF\xFA\x2C\x03\x02\xFF\xF0"s);
    EXPECT_EQ(data, "N\xFF\xFF" "1"s);

    // From the server, fed a byte at a time: data (a doubled IAC is one byte), the answers,
    // the modem lines, its flow control towards us.
    const std::string stream = "A\xFF\xFF" "B"s +
                               "\xFF\xFA\x2C\x65\x00\x01\xC2\x00\xFF\xF0"s +  // baud 115200
                               "\xFF\xFA\x2C\x69\x08\xFF\xF0"s +              // DTR on: no flow answer
                               "\xFF\xFA\x2C\x69\x03\xFF\xF0"s +              // hardware flow
                               "\xFF\xFA\x2C\x6B\x30\xFF\xF0"s +              // CTS and DSR
                               "\xFF\xFA\x2C\x6C\xFF\xF0"s + "C";              // suspend
    for (char c : stream) t.Receive(reinterpret_cast<const uint8_t*>(&c), 1);
    EXPECT_EQ(t.Input(), "A\xFF" "BC"s);
    EXPECT_EQ(t.Answers(TelnetComPort::kSetBaudRate), 1u);
    EXPECT_EQ(t.LastAnswer(TelnetComPort::kSetBaudRate), 115200u);
    EXPECT_EQ(t.Answers(TelnetComPort::kSetControl), 1u);
    EXPECT_EQ(t.LastAnswer(TelnetComPort::kSetControl), 3u);
    EXPECT_TRUE(t.ModemKnown());
    EXPECT_EQ(t.ModemState(), 0x30);
    EXPECT_TRUE(t.Suspended());
    receive(t, "\xFF\xFA\x2C\x6D\xFF\xF0"s);
    EXPECT_FALSE(t.Suspended());
    EXPECT_TRUE(t.ProtocolError().empty());

    std::string c2, d2;
    TelnetComPort refused(c2, d2);
    refused.Start();
    receive(refused, "\xFF\xFE\x2C"s);
    EXPECT_EQ(refused.ComPort(), TelnetComPort::Agreement::Refused);
}

// ------------------------------------------------------------------ raw TCP
TEST(NetSerialPort, AServerThatGoesEndsEveryCallWithTheReason) {
    DeviceServer server;
    NetSerial port;
    ASSERT_TRUE(port.Open(server.Name()));
    ASSERT_TRUE(server.WaitAccepted(1, 5s));
    SerialDcb d;
    Configure(port, d);
    server.Send("N1\r\n");
    server.DropConnection();
    // What came before the end is still read.
    EXPECT_EQ(ReadAll(port), "N1\r\n");
    EXPECT_EQ(port.Failure(), kNetClosed);
    uint32_t written = 1;
    EXPECT_FALSE(port.Write(reinterpret_cast<const uint8_t*>("N2"), 2, written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(port.Drain(100));
}

TEST(NetSerialPort, OpenFailuresSayWhy) {
    NetSerial port;
    const int refusing = DeviceServer::RefusingPort();
    EXPECT_FALSE(port.Open("TCP://127.0.0.1:" + std::to_string(refusing)));
    EXPECT_EQ(port.Failure(), kNetNoContact + ("127.0.0.1:" + std::to_string(refusing)) + ": " +
                                  std::strerror(ECONNREFUSED));
    EXPECT_FALSE(port.Open("TCP://VERKSTED"));
    EXPECT_EQ(port.Failure(), std::string(kNetBadAddress) + "TCP://VERKSTED");

    // A server whose queue of connections is full never answers: the connect gives up at
    // the step limit.
    int fullPort = 0;
    const int full = ListenOnLoopback(0, fullPort);
    const std::string address = "127.0.0.1:" + std::to_string(fullPort);
    NetSerial filler;
    filler.SetStepLimit(2000);
    ASSERT_TRUE(filler.Open("tcp://" + address));
    const int limitMs = 1000;
    port.SetStepLimit(limitMs);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.Open("tcp://" + address));
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(port.Failure(), kNetNoContact + address + kNetWithin + "1 s");
    EXPECT_GE(took, std::chrono::milliseconds(limitMs));
    EXPECT_LT(took, std::chrono::milliseconds(limitMs) + 5s);
    filler.Close();
    ::close(full);

    // A raw server asked for RFC 2217 does not agree to COM-PORT-OPTION.
    DeviceServer raw;
    port.SetStepLimit(limitMs);
    EXPECT_FALSE(port.Open(raw.Name("rfc2217")));
    EXPECT_EQ(port.Failure(), kNetNoComPort);
}

// ------------------------------------------------------------------ RFC 2217 through ser2net
TEST(Rfc2217Port, TheSettingsReachTheLineBehindTheServer) {
    if (!Ser2Net::Available()) GTEST_SKIP() << "ser2net is not installed";
    PtyMachine m;
    Ser2Net server(m.slavePath());
    ASSERT_TRUE(server.WaitListening(10s)) << server.Log();
    NetSerial port;
    ASSERT_TRUE(port.Open(UpperCase1252(server.Name()))) << port.Failure();
    SerialDcb d;
    Configure(port, d, 1000);
    // A pseudo-terminal keeps CS8 and drops PARENB, but speed, odd parity, stop bits and
    // the flow control show.
    d.BaudRate = 4800;
    d.ByteSize = 7;
    d.Parity = ODDPARITY;
    d.StopBits = TWOSTOPBITS;
    d.fOutxCtsFlow = true;
    ASSERT_TRUE(port.SetState(d)) << port.Failure();
    struct termios t = LineOf(m);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & IXON);
    bool cts = false, dsr = false;
    EXPECT_TRUE(port.ModemLines(cts, dsr)) << "the server reports the modem lines";

    // XON/XOFF with the usual characters: the port holds until the machine's first XON, and
    // then the server stops the line itself.
    d.BaudRate = 19200;
    d.fOutxCtsFlow = false;
    d.fOutX = true;
    d.XoffChar = 0x13;
    ASSERT_TRUE(port.SetState(d));
    ASSERT_TRUE(port.Escape(EscapeFunction::SETXOFF));
    t = LineOf(m);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & IXON) << "the machine's first XON must reach the port";
    uint32_t written = 0;
    const std::string text = "N10 \xFF X1\r\n";  // an IAC byte in the data
    ASSERT_TRUE(port.Write(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), written));
    EXPECT_FALSE(port.Drain(200));
    m.Send("\x11");
    EXPECT_TRUE(port.Drain(5000));
    EXPECT_TRUE(m.WaitForBytes(text.size(), 5s));
    EXPECT_EQ(m.Received(), text);
    auto end = std::chrono::steady_clock::now() + 5s;
    while (!(LineOf(m).c_iflag & IXON) && std::chrono::steady_clock::now() < end) {
        port.Drain(10);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(LineOf(m).c_iflag & IXON);
    EXPECT_TRUE(port.Failure().empty());
    port.Close();
}

// ------------------------------------------------------------------ the dialog's own loops
TEST(NetSerialLoops, AServerThatGoesEndsTheThreadlessSendAndTheWaitForTheFirstLine) {
    DeviceServer server;
    ScopedTermiosPorts ports;
    ScopedIni ini("[VakoEdit]\r\nPort=" + server.Name() + "\r\nMaskinPort=1\r\nStoppKode=M30\r\n[Maskin1]\r\nPort=LINJE\r\n"
                  "[LINJE]\r\nKode=ASCII\r\nTimeMultiplier=200\r\n");
    const std::string device = ReadPortDevice();
    MessageRecorder messages;

    // Before the first line the reception waits for data; a server that goes ends the wait.
    bool lineLost = false;
    int passes = 0;
    DialogLoopHooks hooks;
    hooks.disableCommands = [&] {
        if (server.WaitAccepted(1, 5s)) server.DropConnection();
    };
    hooks.processMessages = [&] { ++passes; };
    hooks.aborted = [&] { return passes > 100; };  // the user gives up at last
    EXPECT_TRUE(ReceiveProgram("LINJE", device, hooks, &lineLost));
    EXPECT_TRUE(lineLost);
    EXPECT_LT(passes, 100);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, device);
    EXPECT_TRUE(messages.messages[0].second == kNetClosed || messages.messages[0].second.rfind(kNetBroken, 0) == 0);
    messages.Clear();

    // The send in the dialog's loop ends at the loss, without the stop code.
    DialogLoopHooks sendHooks;
    sendHooks.disableCommands = [&] {
        if (server.WaitAccepted(2, 5s)) server.DropConnection();
    };
    Lines program(20000, "N10 G1 X100 Y100 F2000");
    EXPECT_EQ(ThreadlessSendProgram(program, 0, "", "LINJE", device, sendHooks), SendResult::LineLost);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, device);
}
