// The transfer dialog's tape loops with the simulated machine on the card.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "TapeFixture.h"
#include "transfer/TapeLoops.h"

namespace {
// What the dialog would see of a loop.
struct DialogRecord {
    int disabled = 0;
    int passes = 0;
    int abortAfter = -1;  // passes after which Avbryt is pressed
    int cleared = 0;
    std::vector<std::pair<int, int>> selected;  // line, caret line
    std::vector<bool> selectionShown;
    std::vector<std::string> lines;

    TapeLoopHooks Hooks() {
        TapeLoopHooks h;
        h.disableCommands = [this] { ++disabled; };
        h.passMessages = [this] { ++passes; return abortAfter >= 0 && passes >= abortAfter; };
        h.showSelection = [this](bool s) { selectionShown.push_back(s); };
        h.selectLine = [this](int l, int c) { selected.emplace_back(l, c); };
        h.clearText = [this] { ++cleared; };
        h.addLine = [this](const std::string& l) { lines.push_back(l); };
        return h;
    }
};

std::string Reversed(std::string s) {
    std::reverse(s.begin(), s.end());
    return s;
}

std::vector<std::string> Program(int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i) v.push_back("L" + std::to_string(i));
    return v;
}

const std::string kFast = "Kode=ASCII\r\nDelay=0\r\n";
}  // namespace

class TapeLoopTest : public TapeFixture {
protected:
    std::vector<std::string> Runs() const { return card->ReadRuns(nullptr); }
    bool Shown(const char* caption, const char* text) const {
        for (auto& m : messages.messages)
            if (m.first == caption && m.second == text) return true;
        return false;
    }
};

TEST_F(TapeLoopTest, AForwardRunOffTheEndWithoutStopCode) {
    UseIni(kFast + "StartKode=%");
    DialogRecord d;
    EXPECT_EQ(TapeSend(Program(3), 0, "", false, d.Hooks()), TapeResult::RanOffTape);
    EXPECT_EQ(Runs(), std::vector<std::string>{"%L0\r\nL1\r\nL2\r\n"});
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(Shown("Sende data", "Spolte utforbi tapen"));
    EXPECT_EQ(d.disabled, 1);
    EXPECT_TRUE(d.selected.empty());  // Vis unchecked
    EXPECT_EQ(d.selectionShown, (std::vector<bool>{false, false}));
    EXPECT_FALSE(card->opened);
    EXPECT_TRUE(errors.empty());
}

TEST_F(TapeLoopTest, TheStopCodeEndsTheTapeAndTheMachineStops) {
    UseIni(kFast + "StartKode=%\r\nStoppKode=[DC4]%");
    card->onRead = [](SimulatedCard& c, const SimulatedCard::ReadByte& b) {
        if (b.value == '%' && c.read.size() > 1) c.motorOn = false;
    };
    DialogRecord d;
    d.abortAfter = 10;
    EXPECT_EQ(TapeSend(Program(2), 0, "S20", false, d.Hooks()), TapeResult::Aborted);
    EXPECT_EQ(Runs(), std::vector<std::string>{"%S20\r\nL0\r\nL1\r\n\x14%"});
    EXPECT_TRUE(messages.messages.empty());  // a cancel ends without a message
}

TEST_F(TapeLoopTest, TheMachineReversesWhileLineFiveIsSent) {
    UseIni(kFast + "StartKode=%");
    // "%" and lines 0 to 4 are 21 bytes; reverse after the second byte of line 5.
    card->onRead = [](SimulatedCard& c, const SimulatedCard::ReadByte&) {
        if (c.read.size() == 23) c.forward = false;
    };
    DialogRecord d;
    EXPECT_EQ(TapeSend(Program(8), 0, "", false, d.Hooks()), TapeResult::RanOffTape);
    std::string tape;
    for (auto& b : card->read) tape += char(b.value);
    // Line 5 is sent to its end (the direction does not change within a block), then again
    // from its last character, then line 4 backwards and so on, back past the start code.
    const std::string fwd = "%L0\r\nL1\r\nL2\r\nL3\r\nL4\r\nL5\r\n";
    std::string back;
    for (int i = 5; i >= 0; --i) back += Reversed("L" + std::to_string(i) + "\r\n");
    EXPECT_EQ(tape.substr(fwd.size(), 8), "\n\r5L\n\r4L");
    EXPECT_EQ(tape, fwd + back + "%");
    EXPECT_TRUE(Shown("Sende data", "Spolte utforbi tapen"));
}

TEST_F(TapeLoopTest, StartPosStartsInsideTheStartBlockOnce) {
    UseIni(kFast + "StartKode=ABCDE\r\nStartPos=3");
    DialogRecord d;
    EXPECT_EQ(TapeSend(Program(2), 0, "", false, d.Hooks()), TapeResult::RanOffTape);
    EXPECT_EQ(Runs(), std::vector<std::string>{"CDEL0\r\nL1\r\n"});

    // A position beyond the block is ignored.
    card->read.clear();
    UseIni(kFast + "StartKode=ABCDE\r\nStartPos=6");
    EXPECT_EQ(TapeSend(Program(1), 0, "", false, d.Hooks()), TapeResult::RanOffTape);
    EXPECT_EQ(Runs(), std::vector<std::string>{"ABCDEL0\r\n"});
}

TEST_F(TapeLoopTest, SendingFromALineKeepsTheCaretTenLinesAhead) {
    UseIni(kFast);
    DialogRecord d;
    EXPECT_EQ(TapeSend(Program(15), 3, "", true, d.Hooks()), TapeResult::RanOffTape);
    ASSERT_FALSE(Runs().empty());
    EXPECT_EQ(Runs()[0].substr(0, 8), "L3\r\nL4\r\n");
    ASSERT_EQ(d.selected.size(), 1u + 12);
    EXPECT_EQ(d.selected[0], std::make_pair(3, -1));   // the start line, before the machine
    EXPECT_EQ(d.selected[1], std::make_pair(3, 13));
    EXPECT_EQ(d.selected[2], std::make_pair(4, 14));
    EXPECT_EQ(d.selected[3], std::make_pair(5, -1));   // no line 15
    EXPECT_EQ(d.selected.back(), std::make_pair(14, -1));
    EXPECT_EQ(d.selectionShown.front(), true);
    EXPECT_EQ(d.selectionShown.back(), false);
}

TEST_F(TapeLoopTest, EiaOnTheTape) {
    UseIni("Kode=EIA\r\nDelay=0");
    DialogRecord d;
    EXPECT_EQ(TapeSend({"N10"}, 0, "", false, d.Hooks()), TapeResult::RanOffTape);
    ASSERT_EQ(card->read.size(), 4u);
    EXPECT_EQ(card->read[3].value, 0x80);
}

TEST_F(TapeLoopTest, AMachineThatNeverStartsWaitsForAvbryt) {
    UseIni(kFast);
    card->neverStart = true;
    DialogRecord d;
    d.abortAfter = 5;
    EXPECT_EQ(TapeSend(Program(2), 0, "", false, d.Hooks()), TapeResult::Aborted);
    EXPECT_EQ(d.passes, 5);
    EXPECT_TRUE(card->read.empty());
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_FALSE(card->opened);
}

TEST_F(TapeLoopTest, AnOpenFailureSendsAndReceivesNothing) {
    UseIni(kFast);
    card->openError = SystemIoError(EPERM);
    DialogRecord d;
    EXPECT_EQ(TapeSend(Program(2), 0, "", true, d.Hooks()), TapeResult::OpenFailed);
    EXPECT_EQ(TapeReceive(d.Hooks()), TapeResult::OpenFailed);
    EXPECT_EQ(d.disabled, 0);
    EXPECT_EQ(d.cleared, 0);
    EXPECT_TRUE(d.selected.empty());
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_TRUE(Shown("Åpne parallellport", "Åpning feilet"));
    ASSERT_EQ(errors.size(), 2u);  // the driver's own message first
    EXPECT_EQ(errors[0].second.rfind(kOpenFailed, 0), 0u);
}

TEST_F(TapeLoopTest, ACardThatFailsEndsTheSend) {
    UseIni(kFast);
    card->onRead = [](SimulatedCard& c, const SimulatedCard::ReadByte&) {
        if (c.read.size() == 3) c.writeError = SystemIoError(EIO);
    };
    DialogRecord d;
    EXPECT_EQ(TapeSend(Program(3), 0, "", false, d.Hooks()), TapeResult::PortFailed);
    EXPECT_GE(errors.size(), 1u);
    EXPECT_LE(errors.size(), 3u);  // no storm of error boxes
    EXPECT_FALSE(card->opened);
}

TEST_F(TapeLoopTest, AWholeProgramArrivesLineByLine) {
    UseIni("Punch=True\r\nTimeOut=0\r\nKode=EIA");
    std::string tape = std::string(5, '\0') + "%\rN10 G00 X0\rN20 M30\r";
    card->Punch(tape, [](uint8_t c) { return EncodeByte(tcEia, c); });
    DialogRecord d;
    EXPECT_EQ(TapeReceive(d.Hooks()), TapeResult::Finished);
    EXPECT_EQ(d.cleared, 1);
    EXPECT_EQ(d.disabled, 1);
    EXPECT_EQ(d.lines, (std::vector<std::string>{"%", "N10 G00 X0", "N20 M30"}));
    EXPECT_GE(d.passes, 3);
    EXPECT_FALSE(card->opened);
}

TEST_F(TapeLoopTest, ASampleProgramPunchedByTheDemoMachine) {
    std::string path = SharedDir() + "/nc-samples/hole-circle.ngc";
    std::ifstream in(path, std::ios::binary);
    if (!in) GTEST_SKIP() << "no sample programs";
    std::string program((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    UseIni("Punch=True\r\nTimeOut=0");
    card = MakeDemoCard(path);
    card->punchIntervalMs = 0;
    DialogRecord d;
    EXPECT_EQ(TapeReceive(d.Hooks()), TapeResult::Finished);
    // Every non-empty line arrives, without control characters, through ISO.
    std::vector<std::string> expected;
    std::string cur;
    for (size_t i = 0; i <= program.size(); ++i) {
        char c = i < program.size() ? program[i] : '\n';
        if (c == '\n' || c == '\r') {
            if (!cur.empty()) expected.push_back(cur);
            cur.clear();
        } else if (uint8_t(c) >= 0x20) {
            cur += uint8_t(c) >= 0x80 ? '?' : c;
        }
    }
    EXPECT_EQ(d.lines, expected);
}

TEST_F(TapeLoopTest, WithoutPunchOnlyAvbrytEndsTheReception) {
    UseIni("Punch=False\r\nTimeOut=0");
    card->Punch("N10\r\n", nullptr);
    DialogRecord d;
    d.abortAfter = 6;
    EXPECT_EQ(TapeReceive(d.Hooks()), TapeResult::Aborted);
    EXPECT_EQ(d.passes, 6);
    EXPECT_TRUE(d.lines.empty());
    EXPECT_TRUE(card->punched.empty());
    EXPECT_TRUE(messages.messages.empty());
}
