// The port operations against a recording device: how the settings become line settings,
// the failure messages and their order, the pieces of a long block, line reading.
#include <gtest/gtest.h>

#include "RecordingSerial.h"
#include "TestSupport.h"
#include "transfer/EditCom.h"

namespace {
using Messages = std::vector<std::pair<std::string, std::string>>;

struct Opened {
    bool ok = false;
    TComPort port;
};

void Open(Opened& o, const std::string& section = "COM2", const std::string& device = "COM2",
          bool sending = true) {
    OpenComPort(section, device, sending, o.ok, o.port);
}
}  // namespace

TEST(ComPort, DefaultsGiveIsoWithHardwareHandshake) {
    ScopedIni ini("[COM2]\r\n");
    ScopedRecordingPorts ports;
    MessageRecorder messages;
    Opened o;
    Open(o);
    ASSERT_TRUE(o.ok);
    EXPECT_TRUE(messages.messages.empty());
    auto& r = *ports.record;
    EXPECT_EQ(r.calls, (std::vector<std::string>{"Open COM2", "SetupQueues 4096 1024", "GetState",
                                                  "SetState", "SetTimeouts"}));
    const SerialDcb& d = r.states.at(0);
    EXPECT_EQ(d.BaudRate, 9600u);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, NOPARITY);
    EXPECT_EQ(d.StopBits, ONESTOPBIT);
    EXPECT_EQ(d.XonLim, 0x0F80);
    EXPECT_EQ(d.XoffLim, 0x40);
    EXPECT_EQ(d.XoffChar, 0x93);  // ISO over 8 bits without parity
    EXPECT_EQ(d.XonChar, 0x11);
    EXPECT_FALSE(d.fBinary);
    EXPECT_FALSE(d.fParity);
    EXPECT_FALSE(d.fOutX);
    EXPECT_FALSE(d.fInX);
    EXPECT_TRUE(d.fOutxCtsFlow);
    EXPECT_TRUE(d.fOutxDsrFlow);
    EXPECT_EQ(d.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(d.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_TRUE(d.fTXContinueOnXoff);
    EXPECT_EQ(o.port.Eob, "\r\n");
    EXPECT_EQ(o.port.Code, tcIso);
    EXPECT_EQ(o.port.TimeMultiplier, 1000);
    EXPECT_EQ(r.timeouts.ReadIntervalTimeout, 1000u);
    EXPECT_EQ(r.timeouts.ReadTotalTimeoutMultiplier, 1000u);
    EXPECT_EQ(r.timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(r.timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(r.timeouts.WriteTotalTimeoutConstant, 1000u);

    CloseComPort(o.port);
    ASSERT_EQ(r.states.size(), 2u);
    EXPECT_EQ(r.states[1].fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_EQ(r.states[1].fRtsControl, RTS_CONTROL_DISABLE);
    EXPECT_EQ(r.calls.back(), "Close");
}

TEST(ComPort, SettingsBecomeLineSettings) {
    ScopedIni ini(
        "[COM2]\r\nBaud=4800\r\nBit=7\r\nParitet=e\r\nStoppBit=1.5\r\nStoppBitUt=2\r\n"
        "FjernNull=1\r\nXonXoff=True\r\nAktiverXON=1\r\nKode=ascii\r\nTimeMultiplier=10\r\n"
        "EOB=[CR][LF]ABCDEFGHIJKL\r\nDelay=3\r\nLoop=7\r\n"
        "[COM3]\r\nParitet=M\r\nStoppBit=2\r\nXonXoff=1\r\nHandShake=0\r\nKode=SOFTISO\r\n");
    ScopedRecordingPorts ports;
    MessageRecorder messages;
    {
        Opened o;
        Open(o, "COM2", "COM2", true);
        ASSERT_TRUE(o.ok);
        const SerialDcb& d = ports.record->states.back();
        EXPECT_EQ(d.BaudRate, 4800u);
        EXPECT_EQ(d.ByteSize, 7);
        EXPECT_EQ(d.Parity, EVENPARITY);
        EXPECT_EQ(d.StopBits, TWOSTOPBITS);  // sending: StoppBitUt
        EXPECT_TRUE(d.fNull);
        EXPECT_TRUE(d.fOutX);
        EXPECT_TRUE(d.fInX);
        EXPECT_FALSE(d.fOutxCtsFlow);  // RtsCts and DtrDsr default to not XonXoff
        EXPECT_FALSE(d.fOutxDsrFlow);
        EXPECT_EQ(d.XoffChar, 0x13);
        EXPECT_EQ(ports.record->calls.at(4), "Escape SETXON");
        EXPECT_EQ(o.port.Code, tcAscii);
        EXPECT_EQ(o.port.TimeMultiplier, 50);
        EXPECT_EQ(ports.record->timeouts.WriteTotalTimeoutConstant, 50u);
        EXPECT_EQ(o.port.Eob, "\r\nABCDEFGH");
        EXPECT_EQ(o.port.Delay, 3);
        EXPECT_EQ(o.port.Loop, 7);
        CloseComPort(o.port);
    }
    {
        Opened o;
        Open(o, "COM2", "COM2", false);  // receiving: "1.5" does not parse, one stop bit
        ASSERT_TRUE(o.ok);
        EXPECT_EQ(ports.record->states.back().StopBits, ONESTOPBIT);
        CloseComPort(o.port);
    }
    {
        ports.record->calls.clear();
        Opened o;
        Open(o, "COM3", "COM3", false);
        ASSERT_TRUE(o.ok);
        const SerialDcb& d = ports.record->states.back();
        EXPECT_EQ(d.Parity, NOPARITY);
        EXPECT_EQ(d.StopBits, TWOSTOPBITS);
        EXPECT_FALSE(d.fOutX || d.fInX || d.fOutxCtsFlow || d.fOutxDsrFlow);
        EXPECT_FALSE(o.port.XonXoff);
        EXPECT_EQ(d.XoffChar, 0x13);  // soft ISO
        for (auto& c : ports.record->calls) EXPECT_EQ(c.find("Escape"), std::string::npos);
        CloseComPort(o.port);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST(ComPort, XonXoffWithoutAktiverXonStartsHeld) {
    ScopedIni ini("[COM2]\r\nXonXoff=1\r\n");
    ScopedRecordingPorts ports;
    Opened o;
    Open(o);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(ports.record->calls.at(4), "Escape SETXOFF");
    CloseComPort(o.port);
}

TEST(ComPort, LongNamesGetThePrefix) {
    ScopedIni ini("[COM12]\r\n");
    ScopedRecordingPorts ports;
    Opened a, b;
    Open(a, "COM12", "COM12");
    Open(b, "COM12", "COM2");
    EXPECT_EQ(ports.record->calls.at(0), "Open \\\\.\\COM12");
    EXPECT_EQ(ports.record->calls.at(5), "Open COM2");
    ini.Rewrite("[Program]\r\nNTComms=0\r\n");
    Opened c;
    Open(c, "COM12", "COM12");
    EXPECT_EQ(ports.record->calls.at(10), "Open COM12");
}

TEST(ComPort, EveryFailingStepClosesAndSaysWhy) {
    ScopedIni ini("[COM2]\r\nXonXoff=1\r\n");
    struct Case {
        const char* step;
        Messages expected;
        bool ok;
    };
    const Case cases[] = {
        {"Open", {}, false},
        {"SetupQueues", {{kSetupCommCaption, kSetupCommText}}, false},
        {"GetState", {{kGetStateCaption, kGetStateText}}, false},
        {"SetState", {{kSetStateCaption, kSetStateText}}, false},
        {"Escape", {{kEscapeCaption, kEscapeText}}, true},
        {"SetTimeouts", {{kTimeoutsCaption, kTimeoutsText}}, false},
    };
    for (const Case& c : cases) {
        ScopedRecordingPorts ports;
        ports.record->failStep = c.step;
        MessageRecorder messages;
        Opened o;
        Open(o);
        EXPECT_EQ(o.ok, c.ok) << c.step;
        EXPECT_EQ(messages.messages, c.expected) << c.step;
        if (!c.ok) {
            EXPECT_FALSE(o.port.Handle) << c.step;
            EXPECT_EQ(ports.record->closed, std::string(c.step) != "Open") << c.step;
            EXPECT_EQ(ports.record->calls.back(), std::string(c.step) == "Open" ? "Open COM2" : "Close");
        }
    }
    EXPECT_EQ(std::string(kGetStateText), "F\xE5r ikke tak i DCB");  // Windows-1252 bytes

    ScopedRecordingPorts ports;
    Opened o;
    Open(o);
    ASSERT_TRUE(o.ok);
    ports.record->failStep = "SetState";
    MessageRecorder messages;
    CloseComPort(o.port);
    EXPECT_EQ(messages.messages, (Messages{{kCloseCaption, kCloseText}}));
    EXPECT_TRUE(ports.record->closed);
}

TEST(ComPort, LongBlocksGoInPiecesAndKeepTheirRemainder) {
    ScopedIni ini("[COM2]\r\nKode=EIA\r\n");
    ScopedRecordingPorts ports;
    Opened o;
    Open(o);
    ASSERT_TRUE(o.ok);
    std::string block(3000, 'N');
    WriteComBlock(o.port, block);
    EXPECT_TRUE(block.empty());
    auto& w = ports.record->writes;
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0], std::string(1024, '\x45'));
    EXPECT_EQ(w[1].size(), 1024u);
    EXPECT_EQ(w[2].size(), 952u);

    // The line takes 1500 bytes of a block, then nothing: the block keeps the rest, unconverted.
    w.clear();
    ports.record->acceptPerWrite = 1024;
    std::string text;
    for (int i = 0; i < 2000; ++i) text.push_back(static_cast<char>('0' + i % 10));
    block = text;
    WriteComBlock(o.port, block);
    EXPECT_TRUE(block.empty());
    ports.record->acceptPerWrite = 476;
    block = text;
    WriteComBlock(o.port, block);
    EXPECT_EQ(block, text.substr(476));

    std::string empty;
    w.clear();
    WriteComBlock(o.port, empty);
    EXPECT_TRUE(w.empty());
    CloseComPort(o.port);
}

TEST(ComPort, DelayWritesByteByByteUntilOneDoesNotGo) {
    ScopedIni ini("[COM2]\r\nKode=ASCII\r\nLoop=5\r\n");
    ScopedRecordingPorts ports;
    Opened o;
    Open(o);
    ASSERT_TRUE(o.ok);
    std::string block = "N10X5\r\n";
    WriteComBlock(o.port, block);
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(ports.record->writes.size(), 7u);
    ports.record->acceptPerWrite = 0;
    ports.record->writes.clear();
    block = "G1";
    WriteComBlock(o.port, block);
    EXPECT_EQ(block, "G1");
    EXPECT_EQ(ports.record->writes.size(), 1u);
    CloseComPort(o.port);
}

TEST(ComPort, LinesAreReadUpToTheStopCharacter) {
    ScopedIni ini("[COM2]\r\nKode=ASCII\r\n[EIA]\r\nKode=EIA\r\n");
    ScopedRecordingPorts ports;
    Opened o;
    Open(o);
    ASSERT_TRUE(o.ok);
    ports.record->input = "\r\nN10X5\r\nN20\x14";
    std::string line;
    bool done = true;
    ReadComLine(o.port, line, done);
    EXPECT_EQ(line, "N10X5");
    EXPECT_FALSE(done);
    ReadComLine(o.port, line, done);
    EXPECT_EQ(line, "N20");
    EXPECT_TRUE(done);

    ports.record->input = "N10\tX5\x11\x13\n";
    ReadComLine(o.port, line, done);
    EXPECT_EQ(line, "N10X5");
    EXPECT_FALSE(done);
    // A silent line ends the reception with what arrived.
    ports.record->input = "G0";
    ReadComLine(o.port, line, done);
    EXPECT_EQ(line, "G0");
    EXPECT_TRUE(done);
    for (char stop : {'\x03', '\x04', '\x1A'}) {
        ports.record->input = std::string("X") + stop + "Y\r";
        ReadComLine(o.port, line, done);
        EXPECT_EQ(line, "X");
        EXPECT_TRUE(done);
        ports.record->input.clear();
    }
    CloseComPort(o.port);

    // Bytes are decoded before the tests: EIA end of block ends a line.
    Opened e;
    Open(e, "EIA", "COM2");
    ASSERT_TRUE(e.ok);
    ports.record->input = "\x45\x01\x20\x80\x45\x02\x20\x14";
    ReadComLine(e.port, line, done);
    EXPECT_EQ(line, "N10");
    EXPECT_FALSE(done);
    ReadComLine(e.port, line, done);
    EXPECT_EQ(line, "N20");
    EXPECT_TRUE(done);
    CloseComPort(e.port);
}
