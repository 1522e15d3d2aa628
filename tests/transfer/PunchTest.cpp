// The tape unit on the simulated card: settings, the character handshake, the reader lines
// and the punched bytes.
#include <gtest/gtest.h>

#include "TapeFixture.h"

namespace {
std::vector<uint8_t> Values(const SimulatedCard& card) {
    std::vector<uint8_t> v;
    for (auto& b : card.read) v.push_back(b.value);
    return v;
}
}  // namespace

class PunchTest : public TapeFixture {};

TEST_F(PunchTest, DefaultsAndTheCardAtOpen) {
    UseIni("Port=LPT1");
    card->recordWrites = true;
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    EXPECT_EQ(p.Adresse, 0x1B0);
    EXPECT_EQ(p.Delay, 2.0);
    EXPECT_EQ(p.Hold, 2.0);
    EXPECT_EQ(p.Stabil, 2.0);
    EXPECT_EQ(p.Repeter, 3);
    EXPECT_EQ(p.TimeOut, 2);
    EXPECT_EQ(p.Break, 2);
    EXPECT_EQ(p.Code, tcIso);
    EXPECT_EQ(p.Eob, "\r\n");
    EXPECT_FALSE(p.Punch || p.InvMotor || p.InvRetning || p.InvSpocket || p.InvRead || p.BareFram);
    EXPECT_EQ(PortIO().MinAddress, 0x1B0);
    EXPECT_EQ(PortIO().MaxAddress, 0x1B3);
    EXPECT_EQ(card->openedBase, 0x1B0);
    // Control word first, then the idle data byte, then the strobe at its idle level.
    ASSERT_EQ(card->writes.size(), 3u);
    EXPECT_EQ(card->writes[0].port, 3u);
    EXPECT_EQ(card->writes[0].value, 0x8A);
    EXPECT_EQ(card->writes[1].port, 0u);
    EXPECT_EQ(card->writes[1].value, 0x00);
    EXPECT_EQ(card->writes[2].port, 2u);
    EXPECT_EQ(card->writes[2].value, 0x00);
    EXPECT_TRUE(card->portAOutput() && card->portCLowOutput());
    PunchClose(p);
    EXPECT_FALSE(card->opened);
    EXPECT_TRUE(errors.empty());
}

TEST_F(PunchTest, SettingsFollowTheirDefaultsAndTheNamedSection) {
    UseIni("Maskin=Maskin3", "[Maskin3]\r\nDelay=0.5\r\nInvSpocket=true\r\nTimeOut=7\r\n"
                             "Kode=eia\r\nEOB=[CR][LF][CR][LF][CR][LF][CR][LF][CR][LF][CR][LF]\r\n"
                             "Adresse=$300\r\nAdresseOffset=4\r\nRepeter=1\r\nPunch=1\r\n");
    EXPECT_EQ(PunchSection(), "MASKIN3");
    card->cardOffset = 4;
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    EXPECT_EQ(p.Hold, 0.5);
    EXPECT_EQ(p.Stabil, 0.5);
    EXPECT_TRUE(p.InvRead);  // follows InvSpocket
    EXPECT_EQ(p.Break, 7);   // follows TimeOut
    EXPECT_EQ(p.Code, tcEia);
    EXPECT_EQ(p.Eob, "\r\n\r\n\r\n\r\n\r\n");  // ten bytes at most
    EXPECT_EQ(p.Adresse, 0x300);
    EXPECT_EQ(p.Repeter, 1);
    EXPECT_TRUE(p.Punch);
    EXPECT_EQ(PortIO().AddressOffset, 4);
    EXPECT_EQ(card->portA(), 0xFF);        // idle data byte, inverted
    EXPECT_EQ(card->portCLow() & 1, 1);    // strobe idle high
    PunchClose(p);
}

TEST_F(PunchTest, AnAddressBeyondTheIoSpaceIsRefused) {
    UseIni("Adresse=70000");
    TPunch p;
    EXPECT_FALSE(PunchOpen(p));
    EXPECT_EQ(card->openCount, 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, std::string(kWriteBadAddress) + "11170");
}

TEST_F(PunchTest, AFailedSetupLeavesTheCardClosed) {
    UseIni("");
    card->writeError = SystemIoError(EIO);
    TPunch p;
    EXPECT_FALSE(PunchOpen(p));
    EXPECT_FALSE(card->opened);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(PunchTest, OneCharacterIsDataThenStrobeThenIdle) {
    UseIni("Kode=ASCII\r\nDelay=0");
    card->recordWrites = true;
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    card->writes.clear();
    ASSERT_TRUE(SendChar(p, 'G'));
    ASSERT_EQ(card->writes.size(), 3u);
    EXPECT_EQ(card->writes[0].port, 0u);
    EXPECT_EQ(card->writes[0].value, 'G');
    EXPECT_EQ(card->writes[1].port, 2u);
    EXPECT_EQ(card->writes[1].value, 0x01);
    EXPECT_EQ(card->writes[2].port, 2u);
    EXPECT_EQ(card->writes[2].value, 0x00);
    EXPECT_EQ(Values(*card), std::vector<uint8_t>{'G'});
    PunchClose(p);
}

TEST_F(PunchTest, InvertedDataAndStrobe) {
    UseIni("Kode=ASCII\r\nDelay=0\r\nInvRead=True\r\nInvSpocket=True");
    card->dataInverted = true;
    card->strobeActiveLow = true;
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    EXPECT_EQ(card->portA(), 0xFF);
    ASSERT_TRUE(SendChar(p, 'A'));
    ASSERT_TRUE(SendChar(p, 0x00));
    EXPECT_EQ(card->portA(), 0xFF);          // NUL goes out inverted
    ASSERT_TRUE(SendChar(p, 'B'));
    EXPECT_EQ(card->portA(), uint8_t(~'B'));
    EXPECT_EQ(Values(*card), (std::vector<uint8_t>{'A', 0x00, 'B'}));
    EXPECT_EQ(card->portCLow() & 1, 1);      // back at idle (high)
    PunchClose(p);

    // A machine wired the plain way sees the inverted bytes.
    UseIni("Kode=ASCII\r\nDelay=0\r\nInvRead=True");
    card->dataInverted = false;
    card->strobeActiveLow = false;
    card->read.clear();
    ASSERT_TRUE(PunchOpen(p));
    ASSERT_TRUE(SendChar(p, 'A'));
    EXPECT_EQ(Values(*card), std::vector<uint8_t>{0xBE});
    PunchClose(p);
}

TEST_F(PunchTest, EiaSendsNoLineFeed) {
    UseIni("Kode=EIA\r\nDelay=0");
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    for (char c : std::string("N10") + p.Eob) ASSERT_TRUE(SendChar(p, uint8_t(c)));
    EXPECT_EQ(Values(*card), (std::vector<uint8_t>{0x45, 0x01, 0x20, 0x80}));
    PunchClose(p);
}

TEST_F(PunchTest, ReaderLinesWithTheirInversions) {
    struct Case {
        const char* keys;
        bool motor, forward;
        bool wantForward, wantReady;
    } cases[] = {
        {"", true, true, true, true},
        {"", true, false, false, true},
        {"", false, true, true, false},
        {"InvMotor=1", false, true, true, true},
        {"InvMotor=1", true, true, true, false},
        {"InvRetning=1", true, true, false, true},
        {"InvRetning=1", true, false, true, true},
        {"BareFram=1", true, false, true, true},
    };
    for (const Case& c : cases) {
        UseIni(c.keys);
        card->motorOn = c.motor;
        card->forward = c.forward;
        TPunch p;
        ASSERT_TRUE(PunchOpen(p));
        bool forward = !c.wantForward, ready = !c.wantReady;
        EXPECT_EQ(ReaderStatus(p, forward, ready), c.wantReady) << c.keys;
        EXPECT_EQ(ready, c.wantReady) << c.keys;
        EXPECT_EQ(forward, c.wantForward) << c.keys << " " << c.forward;
        PunchClose(p);
    }
}

TEST_F(PunchTest, WaitingForAReaderThatNeverStarts) {
    UseIni("Break=0");
    card->neverStart = true;
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    int passes = 0;
    bool forward = false, ready = true;
    // Without a limit the wait still hands over to the user interface, which cancels.
    EXPECT_FALSE(WaitReaderReady(p, forward, ready, [&] { return ++passes < 3; }));
    EXPECT_EQ(passes, 3);
    EXPECT_FALSE(ready);
    card->neverStart = false;
    EXPECT_TRUE(WaitReaderReady(p, forward, ready));
    PunchClose(p);
}

TEST_F(PunchTest, PunchedBytesMakeLines) {
    UseIni("Punch=True\r\nTimeOut=0");
    card->Punch(std::string(3, '\0') + "\r\n%\r\nN10 G00\tX0\r\nN20", [](uint8_t c) {
        return EncodeByte(tcIso, c);
    });
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    std::string line;
    bool done = true;
    ReceiveLine(p, line, done);
    EXPECT_EQ(line, "%");
    EXPECT_FALSE(done);
    ReceiveLine(p, line, done);
    EXPECT_EQ(line, "N10 G00X0");  // the TAB is dropped
    EXPECT_FALSE(done);
    ReceiveLine(p, line, done);    // the last line has no end: reception is over
    EXPECT_EQ(line, "N20");
    EXPECT_TRUE(done);
    EXPECT_TRUE(card->toPunch.empty());
    EXPECT_EQ(card->punched.size(), 3u + 2 + 3 + 12 + 3);
    EXPECT_FALSE(card->punchReady());
    EXPECT_FALSE(card->punchStrobe());
    PunchClose(p);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(PunchTest, AnUnstablePunchedByte) {
    UseIni("Punch=True\r\nTimeOut=0");
    card->Punch("N", nullptr);
    card->unstableData = true;
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    uint8_t c = 0;
    EXPECT_FALSE(ReceiveByte(p, c));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].first, "Lese fra punch");
    EXPECT_EQ(messages.messages[0].second, "Ustabil databyte");
    // The flickering lines also showed their own error on every attempt.
    EXPECT_EQ(errors.size(), 4u);
    EXPECT_FALSE(card->punchReady());
    PunchClose(p);
}

TEST_F(PunchTest, WithoutPunchTheMachineIsNeverAsked) {
    UseIni("Punch=False\r\nTimeOut=0");
    card->Punch("N10\r\n", nullptr);
    card->recordWrites = true;
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    uint8_t c = 0;
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(ReceiveByte(p, c));
    for (auto& w : card->writes) EXPECT_FALSE(w.port == 2 && (w.value & 0x04));
    EXPECT_TRUE(card->punched.empty());
    PunchClose(p);
}

TEST_F(PunchTest, AStrobeThatNeverEndsLosesTheByteQuietly) {
    UseIni("Punch=True\r\nTimeOut=0\r\nKode=ASCII");
    card->Punch("NM", nullptr);
    card->strobeHeld = true;
    TPunch p;
    ASSERT_TRUE(PunchOpen(p));
    uint8_t c = 0;
    EXPECT_FALSE(ReceiveByte(p, c));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(errors.empty());
    card->strobeHeld = false;
    ASSERT_TRUE(ReceiveByte(p, c));  // the machine lets go: the same byte is taken
    EXPECT_EQ(c, 'N');
    ASSERT_TRUE(ReceiveByte(p, c));
    EXPECT_EQ(c, 'M');
    PunchClose(p);
}
