// The DNC server's transfer request against a server written in the tests, on 127.0.0.1.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <filesystem>

#include "DncTestServer.h"
#include "TestSupport.h"
#include "ScriptedPrompter.h"
#include "platform/PosixLineClient.h"
#include "settings/PathResolve.h"
#include "windows/transfer/NetPrompts.h"
#include "transfer/TcpTransfer.h"

namespace {
// What the window would show, recorded.
struct Ui {
    std::vector<std::string> warnings;  // caption + "|" + text
    std::vector<std::string> shown;
    std::vector<std::string> questions;
    bool answer = true;
    int saved = 0;
    int hourglass = 0;
    TcpTransferUi Make() {
        TcpTransferUi ui;
        ui.warn = [this](const std::string& c, const std::string& t) { warnings.push_back(c + "|" + t); };
        ui.confirm = [this](const std::string& c, const std::string& t) {
            questions.push_back(c + "|" + t);
            return answer;
        };
        ui.show = [this](const std::string& t) { shown.push_back(t); };
        ui.hourglass = [this](bool on) { hourglass += on ? 1 : -1; };
        ui.saved = [this] { ++saved; };
        return ui;
    }
};

struct Doc {
    TempDir dir;
    std::vector<std::string> lines = {"%", "O0042", "G00 X0 Z5", "M30"};
    TcpDocument doc;
    Doc() {
        doc.currentFolder = NativeToDncPath(dir.path()) + "\\";
        doc.fileName = "O0042.NC";
        doc.machineName = "DREIEBENK DB-1";
        doc.lines = &lines;
        WriteFileBytes(dir.File("O0042.NC"), "%\r\n");
    }
};

struct Client {
    PosixLineClient client;
    int waits = 0;
    Client(int connectMs = 2000, int replyMs = 2000) {
        client.SetTimeLimits(connectMs, replyMs);
        client.SetWaitHook([this] { ++waits; });
    }
};
}  // namespace

TEST(TcpTransfer, OkShowsNothingAndTheRequestLineIsExact) {
    ScopedIni ini("[VakoTcp]\r\nAutoSave=False\r\n");
    DncServer server;
    Doc d;
    Ui ui;
    Client c;
    TcpResult r = RunTcpTransfer(c.client, server.address(), d.doc, ui.Make());
    EXPECT_EQ(r.outcome, TcpOutcome::Sent);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_TRUE(ui.warnings.empty());
    EXPECT_EQ(ui.questions, std::vector<std::string>{std::string(kTcpConfirmCaption) + "|" + kTcpConfirmText});
    EXPECT_EQ(ui.hourglass, 0);
    EXPECT_EQ(server.request(), "Send;DREIEBENK DB-1;" + d.doc.currentFolder + "O0042.NC\r\n");
}

TEST(TcpTransfer, EveryOtherReplyIsShownAsItCame) {
    ScopedIni ini("");
    struct Case {
        DncServer::Mode mode;
        std::string reply;
        std::string shown;
    } cases[] = {
        {DncServer::Mode::Reply, "ok\r\n", "ok"},
        {DncServer::Mode::Reply, "Maskinen er opptatt\r\n", "Maskinen er opptatt"},
        {DncServer::Mode::Reply, "OK \r\n", "OK "},
        {DncServer::Mode::Reply, "OK\n", "OK"},  // a bare LF ends the line as well: success
        {DncServer::Mode::CloseSilently, "", ""},
        {DncServer::Mode::Reply, "Fil finnes ikke", "Fil finnes ikke"},  // closed without line end
    };
    for (const auto& k : cases) {
        DncServer server(k.mode, k.reply);
        Doc d;
        Ui ui;
        Client c;
        TcpResult r = RunTcpTransfer(c.client, server.address(), d.doc, ui.Make());
        if (k.shown == kTcpReplyOk) {
            EXPECT_EQ(r.outcome, TcpOutcome::Sent);
            EXPECT_TRUE(ui.shown.empty());
        } else {
            EXPECT_EQ(r.outcome, TcpOutcome::Shown) << k.reply;
            EXPECT_EQ(ui.shown, std::vector<std::string>{k.shown}) << k.reply;
        }
    }
}

TEST(TcpTransfer, NoServerAndSilentServerEndWithinTheLimit) {
    ScopedIni ini("");
    int freePort;
    {
        DncServer gone;
        freePort = std::stoi(gone.address().port);
    }
    Doc d;
    Ui ui;
    Client c;
    RunTcpTransfer(c.client, ParseVakoIP("127.0.0.1:" + std::to_string(freePort)), d.doc, ui.Make());
    EXPECT_EQ(ui.shown, std::vector<std::string>{kTcpNoContactText});
    EXPECT_EQ(ui.hourglass, 0);

    ui.shown.clear();
    DncServer silent(DncServer::Mode::NeverAnswer);
    Client quick(2000, 600);
    auto start = std::chrono::steady_clock::now();
    TcpResult r = RunTcpTransfer(quick.client, silent.address(), d.doc, ui.Make());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(r.outcome, TcpOutcome::Shown);
    EXPECT_EQ(ui.shown, std::vector<std::string>{kTcpNoReplyText});
    EXPECT_GT(quick.waits, 3);  // the window could repaint while it waited
    EXPECT_EQ(ui.hourglass, 0);

    ui.shown.clear();
    RunTcpTransfer(c.client, ParseVakoIP("127.0.0.1:port"), d.doc, ui.Make());
    EXPECT_EQ(ui.shown, std::vector<std::string>{kTcpNoContactText});
}

TEST(TcpTransfer, EndlessReplyIsCutAndShown) {
    ScopedIni ini("");
    DncServer server(DncServer::Mode::Flood);
    Doc d;
    Ui ui;
    Client c(2000, 10000);
    TcpResult r = RunTcpTransfer(c.client, server.address(), d.doc, ui.Make());
    EXPECT_EQ(r.outcome, TcpOutcome::Shown);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].size(), LineClient::MaxLineLength());
    EXPECT_EQ(ui.shown[0].find_first_not_of('A'), std::string::npos);
}

// The reply lines do not depend on the pieces the bytes come in: a CR just past the cut of an
// overlong line is told from the one that ends a line.
TEST(TcpTransfer, ReplyLinesAreTheSameWhateverPiecesTheyComeIn) {
    const std::string bytes = "OK\r\n\r\nABCDEFGHI\r\nABCDEFGH\r\nABCDEFGHIJ\rKL\r\nA\rB\nrest\r";
    const std::vector<std::string> want = {"OK", "", "ABCDEFGH", "ABCDEFGH", "ABCDEFGH", "A\rB"};
    for (size_t piece = 1; piece <= bytes.size(); ++piece) {
        LineReader reader(8);
        std::vector<std::string> got;
        std::string line;
        for (size_t i = 0; i < bytes.size(); i += piece) {
            reader.Feed(std::string_view(bytes).substr(i, piece));
            while (reader.Next(line)) got.push_back(line);
        }
        EXPECT_EQ(got, want) << "pieces of " << piece;
        EXPECT_EQ(reader.Partial(), "rest\r") << "pieces of " << piece;
        reader.Clear();
        EXPECT_EQ(reader.Partial(), "");
    }
}

TEST(TcpTransfer, ChecksComeFirstAndNothingIsSentAfterThem) {
    DncServer server;
    {
        ScopedIni ini("");
        Ui ui;
        Doc d;
        Client c;
        d.doc.machineName.clear();
        EXPECT_EQ(RunTcpTransfer(c.client, server.address(), d.doc, ui.Make()).outcome, TcpOutcome::NoMachine);
        d.doc.machineName = "FRES";
        d.doc.currentFolder.clear();
        EXPECT_EQ(RunTcpTransfer(c.client, server.address(), d.doc, ui.Make()).outcome, TcpOutcome::NoMachine);
        EXPECT_EQ(ui.warnings, std::vector<std::string>(2, std::string(kTcpTransferCaption) + "|" + kTcpSelectMachineText));
    }
    {
        // Modified without the automatic save, untitled even with it.
        ScopedIni ini("[VakoTcp]\r\nAutoSave=False\r\n");
        Ui ui;
        Doc d;
        Client c;
        d.doc.modified = true;
        EXPECT_EQ(RunTcpTransfer(c.client, server.address(), d.doc, ui.Make()).outcome, TcpOutcome::NotSaved);
        EXPECT_EQ(ReadFileBytes(d.dir.File("O0042.NC")), "%\r\n");
        ini.Rewrite("[VakoTcp]\r\nAutoSave=True\r\n");
        d.doc.fileName.clear();
        EXPECT_EQ(RunTcpTransfer(c.client, server.address(), d.doc, ui.Make()).outcome, TcpOutcome::NotSaved);
        EXPECT_EQ(ui.warnings, std::vector<std::string>(2, std::string(kTcpSendFileCaption) + "|" + kTcpSaveFirstText));
        EXPECT_EQ(ui.saved, 0);
        EXPECT_TRUE(ui.questions.empty());
    }
    {
        // A CR, LF or other control byte would let the line carry a second request.
        ScopedIni ini("");
        Ui ui;
        Doc d;
        Client c;
        d.doc.machineName = "FRES\r\nSend;DREIEBENK;C:\\ANNEN.NC";
        EXPECT_EQ(RunTcpTransfer(c.client, server.address(), d.doc, ui.Make()).outcome, TcpOutcome::Refused);
        d.doc.machineName = "FRES";
        d.doc.fileName = "O1\n.NC";
        EXPECT_EQ(RunTcpTransfer(c.client, server.address(), d.doc, ui.Make()).outcome, TcpOutcome::Refused);
        d.doc.fileName = "O1\t.NC";
        EXPECT_EQ(RunTcpTransfer(c.client, server.address(), d.doc, ui.Make()).outcome, TcpOutcome::Refused);
        EXPECT_EQ(ui.warnings, std::vector<std::string>(3, std::string(kTcpTransferCaption) + "|" + kTcpControlByteText));
        EXPECT_TRUE(ui.questions.empty());
        // A No to the question sends nothing either.
        d.doc.fileName = "O0042.NC";
        ui.answer = false;
        EXPECT_EQ(RunTcpTransfer(c.client, server.address(), d.doc, ui.Make()).outcome, TcpOutcome::Declined);
        EXPECT_EQ(ui.questions.size(), 1u);
        EXPECT_TRUE(ui.shown.empty());
    }
    EXPECT_EQ(server.connections(), 0);
}

TEST(TcpTransfer, AutoSaveWritesNamedModifiedDocumentThenSends) {
    ScopedIni ini("[VakoTcp]\r\nAutoSave=True\r\n");
    DncServer server;
    Doc d;
    Ui ui;
    Client c;
    d.doc.modified = true;
    TcpResult r = RunTcpTransfer(c.client, server.address(), d.doc, ui.Make());
    EXPECT_EQ(r.outcome, TcpOutcome::Sent);
    EXPECT_TRUE(ui.warnings.empty());
    EXPECT_FALSE(d.doc.modified);
    EXPECT_EQ(ui.saved, 1);
    EXPECT_EQ(ReadFileBytes(d.dir.File("O0042.NC")), "%\r\nO0042\r\nG00 X0 Z5\r\nM30\r\n");
    EXPECT_FALSE(std::filesystem::exists(d.dir.File("O0042.Bak")));
    EXPECT_EQ(server.connections(), 1);
}

TEST(TcpTransfer, VakoIPWithAndWithoutPort) {
    VakoAddress a = ParseVakoIP("dnc-server:4000");
    EXPECT_EQ(a.host, "dnc-server");
    EXPECT_EQ(a.port, "4000");
    a = ParseVakoIP("dnc-server");
    EXPECT_EQ(a.host, "dnc-server");
    EXPECT_EQ(a.port, "50000");
    ScopedIni ini("[VakoTcp]\r\nVakoIP=Dnc1:4000\r\n");
    a = ReadVakoAddress();
    EXPECT_EQ(a.host, "Dnc1");  // as stored, not upper-cased
    EXPECT_EQ(a.port, "4000");
}

TEST(TcpTransfer, CommandLineSendsMachineNameAndAbsolutePath) {
    DncServer server;
    TempDir dir;
    WriteFileBytes(dir.File("P1.NC"), "%\r\n");
    WriteFileBytes(dir.File("Vako.ini"), "[VakoTcp]\r\nVakoIP=127.0.0.1:" + server.address().port +
                                             "\r\n[Maskin2]\r\nNavn=Fres Heidenhain\r\n");
    std::string out, err;
    EXPECT_EQ(RunProgram({BinDir() + "/skarv", "--ini", dir.File("Vako.ini"), "--machine", "2", "tcp",
                          dir.File("P1.NC")}, &out, &err), 0) << err;
    EXPECT_EQ(server.request(), "Send;FRES HEIDENHAIN;" + NativeToDncPath(dir.File("P1.NC")) + "\r\n");

    DncServer refusing(DncServer::Mode::Reply, "Ukjent maskin\r\n");
    WriteFileBytes(dir.File("Vako.ini"), "[VakoTcp]\r\nVakoIP=127.0.0.1:" + refusing.address().port + "\r\n");
    EXPECT_EQ(RunProgram({BinDir() + "/skarv", "--ini", dir.File("Vako.ini"), "tcp", dir.File("P1.NC")},
                         &out, &err), 1);
    EXPECT_NE(err.find("Ukjent maskin"), std::string::npos) << err;
    EXPECT_EQ(refusing.request(), "Send;MASKIN1;" + NativeToDncPath(dir.File("P1.NC")) + "\r\n");
}

TEST(TcpTransfer, WindowDialogsAskWithNoAsDefault) {
    ScopedIni ini("");
    DncServer server(DncServer::Mode::Reply, "ok\r\n");
    Doc d;
    Client c;
    ScriptedPrompter prompter;
    prompter.answers.push_back(Answer::Yes);
    int cleared = 0;
    d.doc.modified = false;
    RunTcpTransfer(c.client, server.address(), d.doc, PrompterTcpUi([&] { ++cleared; }));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].kind, "question");
    EXPECT_EQ(prompter.shown[0].caption, kTcpConfirmCaption);
    EXPECT_EQ(prompter.shown[0].buttons, Buttons::YesNo);
    EXPECT_EQ(prompter.shown[0].defaultAnswer, Answer::No);
    EXPECT_EQ(prompter.shown[1].kind, "message");
    EXPECT_EQ(prompter.shown[1].text, "ok");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone again
    // No answer given: the default No sends nothing.
    RunTcpTransfer(c.client, server.address(), d.doc, PrompterTcpUi(nullptr));
    EXPECT_EQ(server.connections(), 1);
}
