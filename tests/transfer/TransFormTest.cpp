// The transfer dialog with the real text control offscreen: its commands and keys, sends and
// receives over a pseudo-terminal with the test as the machine, the tape loops on the
// simulated card, cancelling and the refused close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "PtyMachine.h"
#include "TapeFixture.h"
#include "WindowTest.h"
#include "convert/IsoEia.h"
#include "editor/EditUnit.h"
#include "widgets/TextControl.h"
#include "settings/PathResolve.h"
#include "windows/transfer/AskDlg.h"
#include "windows/transfer/EditComT.h"
#include "windows/transfer/EditTran.h"
#include "transfer/SerialTransfer.h"
#include "transfer/TapeLoops.h"

using namespace std::chrono_literals;

namespace {
using Lines = std::vector<std::string>;

std::string Encode(TTapeCode code, const std::string& s) {
    std::string out;
    for (unsigned char c : s) out.push_back(static_cast<char>(EncodeByte(code, c)));
    return out;
}

// The port is the machine's line; the device is configured from section "COM1", which
// "Port" of the machine's section names.
std::string PtyIni(const PtyMachine& m, const std::string& port, const std::string& editor = "") {
    return "[VakoEdit]\r\nPort=" + NativeToDncPath(m.linkPath()) + "\r\nMaskinPort=1\r\n" + editor +
           "[Maskin1]\r\nPort=COM1\r\n[COM1]\r\n" + port + "TimeMultiplier=200\r\n";
}

// Runs the event loop until pred holds or the time is up.
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Calls fn once the widget is shown (inside its modal loop). The watch ends with the
// returned timer, at the latest when the test's scope ends.
std::unique_ptr<QTimer> WhenShown(QWidget* w, std::function<void()> fn) {
    auto timer = std::make_unique<QTimer>();
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, [t, w, fn] {
        if (w->isVisible()) {
            t->stop();
            fn();
        }
    });
    t->start(5);
    return timer;
}

bool Shown(const MessageRecorder& r, const std::string& caption, const std::string& text) {
    for (auto& m : r.messages)
        if (m.first == caption && m.second == text) return true;
    return false;
}

// The dialog over a text control, shown without a modal loop of its own; the handlers run
// as the dialog's loop would run them.
class TransDialog : public ::testing::Test {
protected:
    void SetUp() override {
        editor.resize(420, 230);
        editor.show();
        form.TargetEditor = &editor;
        form.MachineSectionName = "Maskin1";
        form.AskForm = &ask;
    }
    void TearDown() override {
        // Never leave a transfer running: cancel it and wait for its end.
        if (form.Busy) {
            form.AvbrytClick();
            WaitUntil([&] { return !form.Busy; }, 3s);
        }
        if (form.isVisible()) form.reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void Open(const Lines& lines, int caretLine = 0) {
        editor.SetAllLines(lines);
        editor.SetModified(false);
        if (!lines.empty()) editor.SetSelStart(editor.LineIndex(caretLine));
        form.show();
    }
    // The transfer has ended and closed the dialog; the thread, if any, is gone.
    bool WaitClosed(std::chrono::milliseconds timeout = 3s) {
        bool ok = WaitUntil([&] { return !form.Busy && !form.isVisible(); }, timeout);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return ok;
    }
    bool Enabled(QWidget* a, QWidget* b) {
        EXPECT_EQ(a->isEnabled(), b->isEnabled());
        return a->isEnabled();
    }

    ScriptedPrompter prompter;
    TextControl editor;
    TAskForm ask;
    TTransForm form;
};
}  // namespace

TEST_F(TransDialog, CommandsFollowTheTextAndTheCaret) {
    ScopedIni ini("[VakoEdit]\r\nPort=COM2\r\nVis=1\r\n");
    const Lines program = {"%", "N10", "N20", "N30", "M30"};
    Open(program, 0);
    EXPECT_TRUE(form.windowTitle() == QStringLiteral(u"CNC-overføring"));
    EXPECT_EQ(form.size(), QSize(282, 247));
    EXPECT_TRUE(Enabled(form.Send, form.SendLabel));
    EXPECT_FALSE(Enabled(form.SendLinje, form.SendLinjeLabel));  // caret on the first line
    EXPECT_FALSE(Enabled(form.Hent, form.HentLabel));             // a program is there
    EXPECT_TRUE(form.Avbryt->isEnabled());
    EXPECT_TRUE(form.Vis->isChecked());
    EXPECT_EQ(ToCp1252(form.SendLabel->text()), "&Send til CNC");
    EXPECT_EQ(ToCp1252(form.SendLinjeLabel->text()), "Send fra &linje");
    EXPECT_EQ(ToCp1252(form.HentLabel->text()), "&Hent fra CNC");
    EXPECT_EQ(ToCp1252(form.Avbryt->text()), "&Avbryt");
    EXPECT_EQ(ToCp1252(form.Vis->text()), "Vis");
    EXPECT_EQ(form.ThreadTimer->interval(), 250);
    EXPECT_FALSE(form.ThreadTimer->isActive());
    form.reject();

    Open(program, 4);  // the last line
    EXPECT_EQ(form.CaretLine, 4);
    EXPECT_FALSE(Enabled(form.SendLinje, form.SendLinjeLabel));
    form.reject();
    Open(program, 2);
    EXPECT_EQ(form.CaretLine, 2);
    EXPECT_TRUE(Enabled(form.SendLinje, form.SendLinjeLabel));
    form.reject();

    ini.Rewrite("[VakoEdit]\r\nPort=COM2\r\n");
    Open({});
    EXPECT_FALSE(Enabled(form.Send, form.SendLabel));
    EXPECT_FALSE(Enabled(form.SendLinje, form.SendLinjeLabel));
    EXPECT_TRUE(Enabled(form.Hent, form.HentLabel));
    EXPECT_FALSE(form.Vis->isChecked());
    form.reject();
    EXPECT_FALSE(form.isVisible());  // idle, the dialog closes
}

TEST_F(TransDialog, KeyLClicksSendFromLineOnlyWhenItIsEnabled) {
    ScopedIni ini("[VakoEdit]\r\nPort=COM2\r\n");
    const Lines program = {"%", "N10", "N20", "N30", "M30"};
    // Caret on the first line: "l" must not start anything.
    Open(program, 0);
    int asked = 0;
    auto watch = WhenShown(&ask, [&] {
        ++asked;
        ask.reject();
    });
    QTest::keyClick(form.Avbryt, 'l');
    WaitUntil([] { return false; }, 50ms);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(form.isVisible());
    form.reject();

    // In the middle the key (lower case) asks for the start sequence; proposed S2000.
    Open(program, 2);
    std::string caption, heading, proposed;
    watch = WhenShown(&ask, [&] {
        ++asked;
        caption = ToCp1252(ask.windowTitle());
        heading = ToCp1252(ask.Heading->text());
        proposed = ToCp1252(ask.Answer->text());
        QTest::keyClick(ask.Answer, 'X');  // edited, then cancelled: nothing is sent
        ask.Avbryt->click();
    });
    QTest::keyClick(form.Avbryt, 'l');
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(caption, kStartCaption);
    EXPECT_EQ(heading, kStartHeading);
    EXPECT_EQ(proposed, "S2000");
    EXPECT_FALSE(form.Busy);
    EXPECT_TRUE(form.isVisible());  // a cancelled question leaves the dialog as it was
    EXPECT_TRUE(prompter.shown.empty());

    // "*" proposes an empty answer.
    ini.Rewrite("[VakoEdit]\r\nPort=COM2\r\nStartSekvens=*\r\n");
    proposed = "?";
    watch = WhenShown(&ask, [&] {
        proposed = ToCp1252(ask.Answer->text());
        ask.reject();
    });
    QTest::keyClick(form.Vis, 'L');
    EXPECT_EQ(proposed, "");
    form.reject();
}

TEST_F(TransDialog, SendFromTheCaretLineWithTheAnsweredStartSequence) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    // In the dialog's own loop, with the progress shown.
    ScopedIni ini(PtyIni(m, "Kode=ASCII\r\n", "Thread=0\r\nVis=1\r\nStartKode=%\r\nStoppKode=[DC4]\r\n"));
    MessageRecorder messages;
    QSignalSpy closed(&form, &QDialog::finished);
    Open({"%", "N10 G0 X5", "*AV", "N20 Z1", "N30 M30"}, 1);
    auto watch = WhenShown(&ask, [&] {
        ask.Answer->clear();
        QTest::keyClicks(ask.Answer, "S1500M3[DC2]");
        QTest::keyClick(ask.Answer, Qt::Key_Return);
    });
    QTest::keyClick(form.Avbryt, 'l');
    EXPECT_TRUE(WaitClosed());
    EXPECT_EQ(closed.count(), 1);
    // The line with "*" is left out; the notation in the answer becomes its byte.
    EXPECT_EQ(m.WaitQuiet(50ms, 2s), "%S1500M3\x12\r\nN10 G0 X5\r\nN20 Z1\r\nN30 M30\r\n\x14");
    EXPECT_EQ(form.ThreadTimerTag, 0);
    EXPECT_EQ(editor.SelText(), "N30 M30");  // the last line reached stays selected
    EXPECT_FALSE(editor.Modified());
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(TransDialog, ReceiveFillsTheEmptyEditor) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(PtyIni(m, "Kode=ASCII\r\nTimeMultiplier=100\r\n"));
    QSignalSpy closed(&form, &QDialog::finished);
    Open({});
    // Before the first line, silence does not end the reception.
    std::thread machine([&] {
        std::this_thread::sleep_for(300ms);
        m.Send("N10X5\r\nN20\x14");
    });
    QTest::keyClick(form.Avbryt, 'h');
    machine.join();
    EXPECT_TRUE(WaitClosed());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(editor.AllLines(), (Lines{"N10X5", "N20"}));
    EXPECT_TRUE(editor.Modified());
}

// Timed: the suite runs alone (CTest RUN_SERIAL), its bounds tied to the write timeout.
using TransDialogTimed = TransDialog;

TEST_F(TransDialogTimed, CancelWhileTheMachineHoldsXoff) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    const auto timeout = 1000ms;  // TimeMultiplier: one write timeout
    // The port starts held until the machine sends XON, which it never does.
    ScopedIni ini(PtyIni(m, "Kode=ISO\r\nXonXoff=1\r\nTimeMultiplier=" + std::to_string(timeout.count()) + "\r\n",
                         "Vis=1\r\nStoppKode=M30\r\nTrailer=3\r\n"));
    MessageRecorder messages;
    QSignalSpy closed(&form, &QDialog::finished);
    Open({"N10", "N20", "N30"});
    QTest::keyClick(form.Avbryt, 's');
    QPointer<TEditThread> thread = form.Thread;
    ASSERT_TRUE(thread);
    EXPECT_TRUE(form.Busy);
    EXPECT_FALSE(form.Send->isEnabled() || form.SendLabel->isEnabled() || form.Hent->isEnabled());
    EXPECT_EQ(form.ThreadTimerTag, 1);
    EXPECT_TRUE(form.ThreadTimer->isActive());  // Vis is checked
    WaitUntil([] { return false; }, 300ms);
    EXPECT_EQ(m.Received(), "");

    // Busy: the close box, Esc and reject are all refused.
    EXPECT_FALSE(form.FormCloseQuery());
    form.close();
    EXPECT_TRUE(form.isVisible());
    QTest::keyClick(form.Avbryt, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    form.reject();
    EXPECT_TRUE(form.isVisible());
    // Unchecking Vis stops the progress selection; checking it starts it again.
    form.Vis->click();
    EXPECT_FALSE(form.ThreadTimer->isActive());
    form.Vis->click();
    EXPECT_TRUE(form.ThreadTimer->isActive());

    auto t0 = std::chrono::steady_clock::now();
    form.Avbryt->click();
    EXPECT_FALSE(form.Avbryt->isEnabled());
    EXPECT_TRUE(form.Aborted);
    EXPECT_TRUE(WaitClosed());
    // One write timeout, and half of one for a loaded machine.
    EXPECT_LE(std::chrono::steady_clock::now() - t0, timeout * 3 / 2);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form.ThreadTimer->isActive());
    EXPECT_TRUE(thread.isNull()) << "the thread frees itself when it ends";
    EXPECT_EQ(m.WaitQuiet(100ms, 1s), "") << "no stop code after a cancelled threaded send";
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(TransDialog, ACancelRightAfterTheStartIsNotLost) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(PtyIni(m, "Kode=ISO\r\nXonXoff=1\r\n", "StoppKode=M30\r\n"));
    for (int i = 0; i < 5; ++i) {
        Open({"N10", "N20"});
        form.SendClick();
        form.AvbrytClick();  // before the thread may even have begun
        EXPECT_TRUE(WaitClosed()) << "pass " << i;
    }
    EXPECT_EQ(m.WaitQuiet(50ms, 1s), "");
}

TEST_F(TransDialog, ProgressSelectsTheLineBeingQueued) {
    ScopedIni ini("[VakoEdit]\r\nPort=COM2\r\n");
    Open({"%", "N10 X1", "N20 Y2", "M30"});
    LinesQueued = 2;
    form.ThreadTimerTimer();
    EXPECT_EQ(editor.SelText(), "N20 Y2");
    LinesQueued = 4;  // every line taken: the last one stays selected
    form.ThreadTimerTimer();
    EXPECT_EQ(editor.SelText(), "M30");
    LinesQueued = 0;
    form.reject();
}

TEST_F(TransDialog, CancelInTheDialogsLoopStillEndsTheTape) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    ScopedIni ini(PtyIni(m, "Kode=ASCII\r\nXonXoff=1\r\n", "Thread=0\r\nStoppKode=M30\r\n"));
    // More than the line's buffers hold, so the loop is still among the lines when the user
    // cancels while the port is held; the machine lets go a moment later.
    Lines program;
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        program.push_back("N" + std::to_string(i * 10) + " G1 X" + std::to_string(i));
        text += program.back() + "\r\n";
    }
    Open(program);
    std::thread machine;
    QTimer::singleShot(300, &form, [&] {
        EXPECT_TRUE(form.Busy);
        EXPECT_FALSE(form.FormCloseQuery());
        form.AvbrytClick();
        machine = std::thread([&] {
            std::this_thread::sleep_for(100ms);
            m.Send("\x11");
        });
    });
    form.SendClick();  // returns when the loop has ended
    EXPECT_FALSE(form.Busy);
    EXPECT_FALSE(form.isVisible());
    machine.join();
    std::string got = m.WaitQuiet(100ms, 2s);
    ASSERT_GE(got.size(), 3u);
    EXPECT_LT(got.size(), text.size()) << "the cancel did not stop the lines";
    EXPECT_EQ(got.substr(got.size() - 3), "M30") << "the stop code goes out after a cancel too";
    const std::string lines = got.substr(0, got.size() - 3);
    EXPECT_EQ(text.compare(0, lines.size(), lines), 0) << "bytes lost or doubled before the stop code";
}

TEST_F(TransDialog, MissingDeviceSaysSoAndTouchesNothing) {
    for (const char* real : {"/dev/COM9", "/dev/ttyS8"}) {
        int fd = ::open(real, O_RDWR | O_NONBLOCK | O_NOCTTY);
        if (fd >= 0) {
            ::close(fd);
            GTEST_SKIP() << "this host has a real port behind COM9";
        }
    }
    ScopedTermiosPorts ports;
    ScopedIni ini("[VakoEdit]\r\nPort=COM9\r\n[COM9]\r\n");
    MessageRecorder messages;
    QSignalSpy closed(&form, &QDialog::finished);
    const Lines program = {"N10", "N20"};
    Open(program);
    form.SendClick();  // on the thread
    EXPECT_TRUE(WaitClosed());
    ini.Rewrite("[VakoEdit]\r\nPort=COM9\r\nThread=0\r\n[COM9]\r\n");
    Open(program);
    form.SendClick();  // in the dialog's loop
    EXPECT_TRUE(WaitClosed());
    EXPECT_EQ(editor.AllLines(), program);
    EXPECT_FALSE(editor.Modified());
    Open({});
    form.HentClick();
    EXPECT_TRUE(WaitClosed());
    EXPECT_EQ(editor.LineCount(), 0);
    EXPECT_FALSE(editor.Modified());
    EXPECT_EQ(closed.count(), 3);
    const std::pair<std::string, std::string> expected{"\xC5pne COM9", "\xC5pning feilet"};
    EXPECT_EQ(messages.messages, (std::vector<std::pair<std::string, std::string>>(3, expected)));
}

// ------------------------------------------------------------------ through the main window
namespace {
using MainWindowTransfer = WindowTest;
}  // namespace

TEST_F(MainWindowTransfer, F2SendsTheWholeProgramFramedExactly) {
    PtyMachine m;
    ScopedTermiosPorts ports;
    // The device is "Port" of VakoEdit; it is configured (EIA) from the section that the
    // machine's "Port" names. Leading empty, "%" and comment lines are skipped.
    ScopedIni ini("[Program]\r\nMaskiner=1\r\n" +
                  PtyIni(m, "Kode=EIA\r\nEOB=[CR][LF]\r\n",
                         "StartKode=%\r\nStoppKode=M30\r\nTrailer=4\r\nFjernLinje=%(\r\n"));
    TTextForm window;
    window.Text().SetAllLines({"", "%", "(KOMMENTAR)", "N10 G0 X5", "%", "N20 Y-2.5"});
    window.Text().SetModified(false);
    ASSERT_TRUE(window.Actions().Overfoer->isEnabled());
    bool pressed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window.Windows().TransForm || !window.Windows().TransForm->isVisible() || pressed)
            return;
        pressed = true;
        QTest::keyClick(window.Windows().TransForm, 's');
    });
    poll.start(5);
    // Should the dialog not end by itself, the watchdog cancels and closes it.
    QTimer::singleShot(5000, &window, [&] {
        if (window.Windows().TransForm && window.Windows().TransForm->isVisible()) {
            window.Windows().TransForm->AvbrytClick();
            QTimer::singleShot(1000, window.Windows().TransForm,
                               [&] { window.Windows().TransForm->done(0); });
        }
    });
    window.Actions().Overfoer->trigger();  // OverfoerClick, modal until the transfer ends
    poll.stop();
    ASSERT_TRUE(window.Windows().TransForm);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(window.Windows().TransForm->MachineSectionName, "Maskin1");
    EXPECT_FALSE(window.Windows().TransForm->Busy);
    EXPECT_FALSE(window.Windows().TransForm->Thread);
    const std::string expected =
        Encode(tcEia, "%N10 G0 X5\r\n%\r\nN20 Y-2.5\r\nM30") + Encode(tcEia, std::string(4, '\0'));
    // EIA sends no LF: the end of block is CR alone.
    EXPECT_EQ(m.WaitQuiet(50ms, 2s), expected);
    EXPECT_FALSE(window.Text().Modified());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ------------------------------------------------------------------ tape
namespace {
class TransDialogTape : public TapeFixture {
protected:
    void SetUp() override {
        TapeFixture::SetUp();
        editor.resize(420, 230);
        editor.show();
        form.TargetEditor = &editor;
        form.MachineSectionName = "Maskin1";
    }
    void TearDown() override {
        if (form.Busy) {
            form.AvbrytClick();
            WaitUntil([&] { return !form.Busy; }, 5s);
        }
        if (form.isVisible()) form.reject();
        TapeFixture::TearDown();
    }
    int LinesOnScreen() { return int(editor.SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN)); }

    ScriptedPrompter prompter;
    TextControl editor;
    TTransForm form;
};

Lines Program(int n) {
    Lines v;
    for (int i = 0; i < n; ++i) v.push_back("L" + std::to_string(i));
    return v;
}
}  // namespace

TEST_F(TransDialogTape, SendKeepsTheLinesAheadInViewAndRunsOffTheTape) {
    // No "COM" in the device name: the tape reader emulation. No "StoppKode": the machine
    // runs off the end of the tape.
    UseIni("Port=LPT1\r\nVis=1\r\nKode=ASCII\r\nDelay=0\r\nStartKode=%");
    const Lines program = Program(40);
    editor.SetAllLines(program);
    form.show();
    ASSERT_GE(LinesOnScreen(), 12);
    ASSERT_LT(LinesOnScreen(), 30);
    int checked = 0;
    std::vector<std::string> faults;
    card->onRead = [&](SimulatedCard&, const SimulatedCard::ReadByte& b) {
        if (b.value != 'L') return;  // once per program line, while it is read
        const int line = editor.LineFromChar(editor.SelStart());
        const int ahead = std::min(line + 10, int(program.size()) - 1);
        const int first = editor.FirstVisibleLine();
        ++checked;
        if (editor.SelText() != program[size_t(line)])
            faults.push_back("line " + std::to_string(line) + " not selected");
        if (ahead < first || ahead >= first + LinesOnScreen() || line < first)
            faults.push_back("line " + std::to_string(line) + ": view starts at " + std::to_string(first));
    };
    QSignalSpy closed(&form, &QDialog::finished);
    form.SendClick();
    EXPECT_FALSE(form.Busy);
    EXPECT_EQ(closed.count(), 1);
    std::string tape = "%";
    for (auto& l : program) tape += l + "\r\n";
    EXPECT_EQ(card->ReadRuns(nullptr), Lines{tape});
    EXPECT_EQ(checked, 40);
    EXPECT_TRUE(faults.empty()) << faults.front();
    EXPECT_EQ(messages.messages, (std::vector<std::pair<std::string, std::string>>{
                                     {kSendDataCaption, kRanOffTape}}));
    EXPECT_EQ(std::string(kRanOffTape), "Spolte utforbi tapen");
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(card->opened);
}

TEST_F(TransDialogTape, FromALineAndCancelledWhileTheReaderWaits) {
    UseIni("Port=LPT1\r\nKode=ASCII\r\nDelay=0\r\nStartSekvens=\r\nStoppKode=M30");
    card->onRead = [](SimulatedCard& c, const SimulatedCard::ReadByte& b) {
        if (b.value == '0' && c.read.size() > 4) c.motorOn = false;  // stops after "M30"
    };
    editor.SetAllLines(Program(4));
    editor.SetSelStart(editor.LineIndex(2));
    form.show();
    ASSERT_TRUE(form.SendLinje->isEnabled());
    QTimer::singleShot(300, &form, [&] { form.Avbryt->click(); });
    QTest::keyClick(form.Avbryt, 'L');  // no question with an empty "StartSekvens"
    EXPECT_FALSE(form.Busy);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(card->ReadRuns(nullptr), Lines{"L2\r\nL3\r\nM30"});
    EXPECT_TRUE(messages.messages.empty());  // a cancel ends without a word
}

TEST_F(TransDialogTape, ReceivePunchedLinesAndTheCardThatWillNotOpen) {
    UseIni("Port=LPT1\r\nKode=ASCII\r\nDelay=0\r\nPunch=1\r\nTimeOut=1");
    card->Punch(std::string(5, '\0') + "N10 X1\r\nN20 M30\r\n", nullptr);
    form.show();
    form.HentClick();
    EXPECT_EQ(editor.AllLines(), (Lines{"N10 X1", "N20 M30"}));
    EXPECT_FALSE(form.isVisible());

    editor.Clear();
    editor.SetModified(false);
    card->openError = SystemIoError(EPERM);
    form.show();
    form.HentClick();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(editor.LineCount(), 0);
    EXPECT_FALSE(editor.Modified());
    EXPECT_TRUE(Shown(messages, kOpenParallelCaption, kOpenFailedText));
    EXPECT_EQ(std::string(kOpenParallelCaption), "\xC5pne parallellport");
}
