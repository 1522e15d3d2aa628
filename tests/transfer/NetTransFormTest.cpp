// The transfer dialog on the real main window (F2) with ports named as shops wire them
// today: a terminal line by its /dev path, a device server's raw TCP stream (the test
// server plays the machine), and an RFC 2217 device server (ser2net with a pseudo-terminal
// behind it). Cancelling, a refused connection and a server that goes away.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <termios.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "DeviceServer.h"
#include "PtyMachine.h"
#include "Ser2Net.h"
#include "TestSupport.h"
#include "convert/IsoEia.h"
#include "editor/EditUnit.h"
#include "ScriptedPrompter.h"
#include "widgets/TextControl.h"
#include "platform/NetSerial.h"
#include "settings/KeyStore.h"
#include "windows/transfer/EditComT.h"
#include "windows/transfer/EditTran.h"
#include "transfer/SerialTransfer.h"

using namespace std::chrono_literals;

namespace {
using Lines = std::vector<std::string>;

// One machine; "Port" of the editor's section names the device, the machine's section names
// the section "LINJE" that configures it.
std::string Ini(const std::string& device, const std::string& line, const std::string& editor = "") {
    return "[Program]\r\nMaskiner=1\r\n[VakoEdit]\r\nPort=" + device + "\r\nMaskinPort=1\r\n" + editor +
           "[Maskin1]\r\nPort=LINJE\r\n[LINJE]\r\n" + line;
}

Lines Program(int count) {
    Lines lines;
    for (int i = 1; i <= count; ++i)
        lines.push_back("N" + std::to_string(i * 10) + " G1 X" + std::to_string(i % 500) + ".5 Y-" +
                        std::to_string(i % 77) + ".25 F1200");
    return lines;
}

std::string Framed(const Lines& lines, const std::string& start, const std::string& stop) {
    std::string s = start;
    for (auto& l : lines) s += l + "\r\n";
    return s + stop;
}

class NetTransferWindow : public ::testing::Test {
protected:
    void SetUp() override { SetKeyStore(&store); }
    void TearDown() override { SetKeyStore(nullptr); }

    // The main window, made once the settings are in place (as at start), with the program.
    void Load(const Lines& lines, int caretLine = 0) {
        if (!window) window = std::make_unique<TTextForm>();
        ASSERT_TRUE(window->Actions().Overfoer->isEnabled());
        window->Text().SetAllLines(lines);
        window->Text().SetModified(false);
        if (!lines.empty()) window->Text().SetSelStart(window->Text().LineIndex(caretLine));
    }
    // F2: the transfer dialog, modal until the transfer closes it. The key is pressed when it
    // shows; during the transfer `during` runs every 5 ms. Should the dialog still be open
    // after the bound, it is cancelled and closed, and false returned.
    bool Transfer(char key, std::chrono::milliseconds bound, std::function<void(TTransForm&)> during = {}) {
        bool pressed = false, forced = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            TTransForm* form = window->Windows().TransForm;
            if (!form || !form->isVisible()) return;
            if (!pressed) {
                pressed = true;
                QTest::keyClick(form, key);
            } else if (during) {
                during(*form);
            }
        });
        poll.start(5);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            if (!window->Windows().TransForm || !window->Windows().TransForm->isVisible()) return;
            forced = true;
            window->Windows().TransForm->AvbrytClick();
            QTimer::singleShot(2000, window->Windows().TransForm, [&] { window->Windows().TransForm->done(0); });
        });
        watchdog.start(bound);
        window->Actions().Overfoer->trigger();
        poll.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(pressed);
        return !forced;
    }

    MemoryKeyStore store;
    ScriptedPrompter prompter;
    MessageRecorder messages;
    ScopedTermiosPorts ports;
    std::unique_ptr<TTextForm> window;
};
}  // namespace

TEST_F(NetTransferWindow, SendToATerminalLineNamedByItsDevPath) {
    PtyMachine m;
    ScopedIni ini(Ini(m.slavePath(), "Kode=ISO\r\nTimeMultiplier=200\r\n", "StartKode=%\r\nStoppKode=M30\r\nTrailer=2\r\n"));
    const Lines program = {"N10 G0 X5", "*N15 HOPP OVER", "N20 Y-2.5"};
    Load(program);
    ASSERT_TRUE(Transfer('s', 10s));
    const std::string expected = EncodeTape(tcIso, "%N10 G0 X5\r\nN20 Y-2.5\r\nM30") + EncodeTape(tcIso, std::string(2, '\0'));
    EXPECT_TRUE(m.WaitForBytes(expected.size(), 5s));
    EXPECT_EQ(m.Received(), expected);
    EXPECT_EQ(window->Text().AllLines(), program);
    EXPECT_FALSE(window->Text().Modified());
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(NetTransferWindow, SendOverRawTcpWaitsForXonAndHoldsOnXoff) {
    DeviceServer server(DeviceServer::Mode::Machine, true);
    const int tm = 200;  // TimeMultiplier: each held write gives up after it
    // ISO over 8 bits without parity: the machine's XOFF is DC3 with the parity bit, 93h.
    ScopedIni ini(Ini(server.Name(), "Kode=ISO\r\nXonXoff=1\r\nTimeMultiplier=" + std::to_string(tm) + "\r\n",
                      "StartKode=%\r\nStoppKode=M30\r\n"));
    const Lines program = Program(8000);
    const std::string expected = EncodeTape(tcIso, Framed(program, "%", "M30"));
    Load(program);
    size_t beforeXon = 1, atXoff = 0, heldAfter = 0, heldLater = 0;
    std::thread machine([&] {
        if (!server.WaitAccepted(1, 10s)) return;
        // The port starts held ("AktiverXON" off): nothing comes before the machine's XON.
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * tm));
        beforeXon = server.ReceivedSize();
        // A quarter in, the machine's buffer is full: it stops taking bytes and sends XOFF.
        server.PauseAt(expected.size() / 4);
        server.Send("\x11");
        server.WaitForBytes(expected.size() / 4, 10s);
        atXoff = server.ReceivedSize();
        server.Send("\x93");
        std::this_thread::sleep_for(std::chrono::milliseconds(tm));
        server.Resume();
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * tm));
        heldAfter = server.ReceivedSize();
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * tm));
        heldLater = server.ReceivedSize();
        server.Send("\x11");
    });
    EXPECT_TRUE(Transfer('s', 60s));
    machine.join();
    EXPECT_EQ(beforeXon, 0u);
    EXPECT_EQ(heldAfter, heldLater) << "bytes went on while the machine held XOFF";
    EXPECT_LT(heldLater, expected.size());
    // What was under way when the XOFF came: the port's queue and the socket's buffer.
    EXPECT_LE(heldAfter - atXoff, 64u * 1024);
    ASSERT_TRUE(server.WaitForBytes(expected.size(), 5s));
    EXPECT_EQ(server.Received(), expected);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(NetTransferWindow, ReceiveOverRawTcpWithoutTheFlowCharacters) {
    DeviceServer server;
    ScopedIni ini(Ini(server.Name(), "Kode=ISO\r\nXonXoff=1\r\nTimeMultiplier=1000\r\n"));
    Load({});
    std::thread machine([&] {
        if (!server.WaitAccepted(1, 10s)) return;
        server.Send(EncodeTape(tcIso, "%\r\nN10 G0 X5\r\n") + "\x93" + EncodeTape(tcIso, "N20 Y"));
        std::this_thread::sleep_for(100ms);
        server.Send("\x11" + EncodeTape(tcIso, "-2.5\r\nM30\r\n\x14"));
    });
    EXPECT_TRUE(Transfer('h', 20s));
    machine.join();
    EXPECT_EQ(window->Text().AllLines(), (Lines{"%", "N10 G0 X5", "N20 Y-2.5", "M30"}));
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(NetTransferWindow, SendFromLineInTheDialogsOwnLoopOverRawTcp) {
    DeviceServer server;
    ScopedIni ini(Ini(server.Name(), "Kode=ASCII\r\nTimeMultiplier=200\r\n",
                      "Thread=0\r\nVis=1\r\nStartSekvens=\r\nStoppKode=M30\r\n"));
    Load({"%", "N10 X1", "N20 X2", "N30 X3", "M30"}, 2);
    ASSERT_TRUE(Transfer('l', 20s));
    EXPECT_EQ(window->Windows().TransForm->ThreadTimerTag, 0);
    ASSERT_TRUE(server.WaitForBytes(21, 5s));
    EXPECT_EQ(server.Received(), "N20 X2\r\nN30 X3\r\nM30\r\nM30");
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(NetTransferWindow, AServerThatNeverReadsIsCancelledWithAvbryt) {
    DeviceServer server(DeviceServer::Mode::NeverRead);
    const int tm = 200;
    ScopedIni ini(Ini(server.Name(), "Kode=ASCII\r\nTimeMultiplier=" + std::to_string(tm) + "\r\n", "StoppKode=M30\r\n"));
    const Lines program = Program(4000);
    Load(program);
    int32_t lastQueued = -1;
    auto lastMove = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point cancelled{};
    // Once the server has the connection and the send has stood still for two write
    // timeouts, the user cancels.
    ASSERT_TRUE(Transfer('s', 30s, [&](TTransForm& form) {
        if (cancelled != std::chrono::steady_clock::time_point{} || server.Connections() < 1) return;
        const auto now = std::chrono::steady_clock::now();
        if (LinesQueued.load() != lastQueued) {
            lastQueued = LinesQueued.load();
            lastMove = now;
        } else if (now - lastMove >= std::chrono::milliseconds(2 * tm)) {
            cancelled = now;
            form.Avbryt->click();
        }
    }));
    ASSERT_NE(cancelled, std::chrono::steady_clock::time_point{});
    // One write timeout, then the held output is dropped when it does not move.
    EXPECT_LE(std::chrono::steady_clock::now() - cancelled, std::chrono::milliseconds(tm + kNetStallMs) + 3s);
    EXPECT_LT(lastQueued, int32_t(program.size()));
    EXPECT_FALSE(window->Windows().TransForm->Busy);
    EXPECT_FALSE(window->Windows().TransForm->Thread);
    EXPECT_TRUE(messages.messages.empty()) << "a cancel ends without a word";
    EXPECT_EQ(window->Text().AllLines(), program);
}

TEST_F(NetTransferWindow, ARefusedConnectionSaysSoAndTouchesNothing) {
    const std::string address = "127.0.0.1:" + std::to_string(DeviceServer::RefusingPort());
    ScopedIni ini(Ini("tcp://" + address, "Kode=ASCII\r\n"));
    const std::pair<std::string, std::string> expected{
        "\xC5pne TCP://" + address, "\xC5pning feilet\r" + (kNetNoContact + address) + ": " + std::strerror(ECONNREFUSED)};
    const Lines program = {"N10", "N20"};
    Load(program);
    ASSERT_TRUE(Transfer('s', 20s));
    EXPECT_EQ(window->Text().AllLines(), program);
    Load({});
    ASSERT_TRUE(Transfer('h', 20s));
    EXPECT_EQ(window->Text().LineCount(), 0);
    EXPECT_FALSE(window->Text().Modified());
    EXPECT_EQ(messages.messages, (std::vector<std::pair<std::string, std::string>>(2, expected)));
}

TEST_F(NetTransferWindow, AServerThatGoesAwayEndsTheSendWithTheReason) {
    // The server takes no more than its buffers hold, so the send is still under way when it
    // goes.
    DeviceServer server(DeviceServer::Mode::NeverRead);
    ScopedIni ini(Ini(server.Name(), "Kode=ASCII\r\nTimeMultiplier=200\r\n", "StoppKode=M30\r\n"));
    const Lines program = Program(8000);
    Load(program);
    std::thread machine([&] {
        if (!server.WaitAccepted(1, 10s)) return;
        for (int i = 0; i < 1000 && LinesQueued.load() < 100; ++i) std::this_thread::sleep_for(5ms);
        server.DropConnection();
    });
    EXPECT_TRUE(Transfer('s', 30s)) << "the send did not end by itself";
    machine.join();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, "TCP://127.0.0.1:" + std::to_string(server.port()));
    const std::string& text = messages.messages[0].second;
    EXPECT_TRUE(text == kNetClosed || text.rfind(kNetBroken, 0) == 0) << text;
    EXPECT_EQ(window->Text().AllLines(), program);
    EXPECT_FALSE(window->Text().Modified());
}

TEST_F(NetTransferWindow, SendThroughAnRfc2217ServerSetsItsLine) {
    if (!Ser2Net::Available()) GTEST_SKIP() << "ser2net is not installed";
    PtyMachine m;
    Ser2Net server(m.slavePath());
    ASSERT_TRUE(server.WaitListening(10s)) << server.Log();
    ScopedIni ini(Ini(server.Name(),
                      "Kode=ASCII\r\nBaud=4800\r\nParitet=O\r\nStoppBit=2\r\nXonXoff=1\r\nAktiverXON=1\r\n"
                      "TimeMultiplier=1000\r\n",
                      "StartKode=%\r\nStoppKode=M30\r\n"));
    Load({"N10 G0 X5", "N20 Y-2.5"});
    // The line as it is when the first byte reaches the machine.
    struct termios line {};
    std::thread machine([&] {
        if (m.WaitForBytes(1, 20s)) ::tcgetattr(m.slaveFd(), &line);
    });
    ASSERT_TRUE(Transfer('s', 30s));
    machine.join();
    const std::string expected = "%N10 G0 X5\r\nN20 Y-2.5\r\nM30";
    EXPECT_TRUE(m.WaitForBytes(expected.size(), 5s));
    EXPECT_EQ(m.Received(), expected);
    EXPECT_EQ(cfgetospeed(&line), speed_t(B4800));
    EXPECT_TRUE(line.c_cflag & PARODD) << "odd parity (a pseudo-terminal keeps no PARENB)";
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    EXPECT_TRUE(line.c_iflag & IXON) << "the server stops the line on XOFF";
    EXPECT_TRUE(messages.messages.empty());
}
