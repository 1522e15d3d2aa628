// The main window's network commands, offscreen with the real text control: the FTP upload to
// a real FTP server and the DNC server's transfer request to a server in the test, both on
// 127.0.0.1, through the menu handlers.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <filesystem>

#include "DncTestServer.h"
#include "FtpTestServer.h"
#include "WindowTest.h"
#include "editor/EditUnit.h"
#include "platform/PosixFtpClient.h"
#include "settings/MessageSink.h"
#include "settings/Strings.h"
#include "transfer/FtpKli.h"
#include "transfer/TcpTransfer.h"

namespace {
// A port on 127.0.0.1 where nothing listens.
std::string ClosedAddress() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
}

std::string Address(const VakoAddress& a) { return a.host + ":" + a.port; }

const std::vector<std::string> kLines = {"%", "O1000 (FRES \xD8ST)", "G01 X10. Y-5.5", "", "M30"};

class NetWindow : public WindowTest {
protected:
    void SetUp() override {
        previousSink = SetMessageSink({});
        InstallPrompterMessageSink();  // the core's boxes reach the prompter, as in the program
        client.SetTimeLimits(5000, 5000);
    }
    void TearDown() override { SetMessageSink(previousSink); }

    // Two machines with their folders in the temporary folder, and the given sections.
    std::string Ini(const std::string& extra, const std::string& machine1 = "") {
        return "[Program]\r\nMaskiner=2\r\n[Maskin1]\r\nNavn=Dreiebenk\r\nKatalog=" +
               dir.Dnc("M1") + "\\\r\n" + machine1 + "[Maskin2]\r\nNavn=Fres\r\nKatalog=" +
               dir.Dnc("M2") + "\\\r\n" + extra;
    }
    // The window as the program start makes it, shown, holding a saved program of machine 1.
    std::unique_ptr<TTextForm> Window(const std::string& fileName = "O1000.NC") {
        auto form = std::make_unique<TTextForm>();
        form->Windows().FtpKlientModul = &ftp;
        form->show();
        ftp.SetPause([](int) {});
        form->Text().SetAllLines(kLines);
        form->SetFileName(fileName);
        form->Text().SetModified(false);
        return form;
    }
    std::vector<ScriptedPrompter::Shown> Messages() const {
        std::vector<ScriptedPrompter::Shown> r;
        for (const auto& s : prompter.shown)
            if (s.kind == "message") r.push_back(s);
        return r;
    }

    MessageSinkFn previousSink;
    PosixFtpClient client;
    TFtpKlientModul ftp{client};
};
}  // namespace

TEST_F(NetWindow, FtpMenuItemShownExactlyWithAServer) {
    {
        ScopedIni ini(Ini(""));
        auto form = Window();
        EXPECT_FALSE(form->Actions().FTPoverfoering->isVisible());
    }
    {
        ScopedIni ini(Ini("[FTPClient]\r\nServer=cnc-ftp.local:2121\r\nPassiv=True\r\n"));
        auto form = Window();
        EXPECT_TRUE(form->Actions().FTPoverfoering->isVisible());
        // The module configured its client at the same showing.
        EXPECT_EQ(client.Host(), "CNC-FTP.LOCAL:2121");
        EXPECT_TRUE(client.Passive());
    }
}

TEST_F(NetWindow, FtpUploadsTheEditorsTextToTheMachinesServer) {
    FtpServer server;
    ASSERT_GT(server.port(), 0);
    // The common server is down; machine 1 has its own, which the command uses.
    ScopedIni ini(Ini("[FTPClient]\r\nServer=" + ClosedAddress() + "\r\nPassive=True\r\n",
                      "FTPServer=" + server.address() + "\r\n"));
    auto form = Window("UNDER\\O1000.NC");
    form->Text().SetModified(true);  // what the editor shows goes, saved or not
    form->FTPoverfoeringClick();
    EXPECT_TRUE(prompter.shown.empty()) << prompter.shown[0].caption << " " << prompter.shown[0].text;
    EXPECT_EQ(ReadFileBytes(server.root() + "/O1000.NC"),
              "%\r\nO1000 (FRES \xD8ST)\r\nG01 X10. Y-5.5\r\n\r\nM30\r\n");
    EXPECT_FALSE(form->HourglassShown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form->Text().Modified());  // an upload is no save
}

TEST_F(NetWindow, FtpRefusedLoginShownUnderConnect) {
    FtpServer server;
    ASSERT_GT(server.port(), 0);
    ScopedIni ini(Ini("[FTPClient]\r\nServer=" + server.address() +
                      "\r\nUserName=maskin3\r\nPassword=feil\r\nPassive=True\r\n"));
    auto form = Window();
    form->FTPoverfoeringClick();
    auto shown = Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, std::string(kFtpCaptionPrefix) + "Connect");
    EXPECT_NE(shown[0].text.find("530"), std::string::npos) << shown[0].text;
    EXPECT_FALSE(std::filesystem::exists(server.root() + "/O1000.NC"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(NetWindow, TcpMenuItemHiddenWithoutServerAddress) {
    ScopedIni ini(Ini(""));
    auto form = Window();
    EXPECT_FALSE(form->Actions().TCPoverfoering->isVisible());
}

TEST_F(NetWindow, TcpChecksInOrderBeforeAnythingIsSent) {
    DncServer server;
    ScopedIni ini(Ini("[VakoTcp]\r\nVakoIP=" + Address(server.address()) + "\r\n"));
    auto form = Window();
    EXPECT_TRUE(form->Actions().TCPoverfoering->isVisible());

    // No machine selected.
    form->Actions().MaskinBoks->setCurrentIndex(-1);
    form->TCPoverfoeringClick();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, "warning");  // the exclamation icon
    EXPECT_EQ(prompter.shown[0].caption, kTcpTransferCaption);
    EXPECT_EQ(prompter.shown[0].text, kTcpSelectMachineText);

    // A machine, but the document is modified and "AutoSave" is off.
    form->Actions().MaskinBoks->setCurrentIndex(0);
    form->Text().SetModified(true);
    prompter.shown.clear();
    form->TCPoverfoeringClick();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, "warning");
    EXPECT_EQ(prompter.shown[0].caption, kTcpSendFileCaption);
    EXPECT_EQ(prompter.shown[0].text, kTcpSaveFirstText);

    // Saved: the confirmation, No the default; No sends nothing.
    form->Text().SetModified(false);
    prompter.shown.clear();
    prompter.answers = {Answer::No};
    form->TCPoverfoeringClick();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, "question");
    EXPECT_EQ(prompter.shown[0].caption, kTcpConfirmCaption);
    EXPECT_EQ(prompter.shown[0].text, kTcpConfirmText);
    EXPECT_EQ(prompter.shown[0].buttons, Buttons::YesNo);
    EXPECT_EQ(prompter.shown[0].defaultAnswer, Answer::No);
    EXPECT_EQ(server.connections(), 0);

    // Yes: the request for the machine shown and the document's path; "OK" shows nothing.
    prompter.shown.clear();
    prompter.answers = {Answer::Yes};
    form->TCPoverfoeringClick();
    EXPECT_EQ(prompter.shown.size(), 1u);  // the question only
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(server.request(), "Send;DREIEBENK;" + UpperCase1252(dir.Dnc("M1")) + "\\O1000.NC\r\n");
    EXPECT_FALSE(form->HourglassShown());
}

TEST_F(NetWindow, TcpServersRefusalShownAsItCame) {
    for (std::string reply : {"ok", "Maskinen er opptatt"}) {
        DncServer server(DncServer::Mode::Reply, reply + "\r\n");
        ScopedIni ini(Ini("[VakoTcp]\r\nVakoIP=" + Address(server.address()) + "\r\n"));
        auto form = Window();
        form->Actions().MaskinBoks->setCurrentIndex(1);
        form->MaskinBoksChange();
        prompter.shown.clear();
        prompter.answers = {Answer::Yes};
        form->TCPoverfoeringClick();
        auto shown = Messages();
        ASSERT_EQ(shown.size(), 1u) << reply;
        EXPECT_EQ(shown[0].caption, "");
        EXPECT_EQ(shown[0].text, reply);
        EXPECT_EQ(server.request(), "Send;FRES;" + UpperCase1252(dir.Dnc("M2")) + "\\O1000.NC\r\n");
    }
}

TEST_F(NetWindow, TcpWithoutServerSaysNoContact) {
    ScopedIni ini(Ini("[VakoTcp]\r\nVakoIP=" + ClosedAddress() + "\r\n"));
    auto form = Window();
    prompter.answers = {Answer::Yes};
    form->TCPoverfoeringClick();
    auto shown = Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kTcpNoContactText);
    EXPECT_FALSE(form->HourglassShown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(NetWindow, TcpWindowKeepsPaintingWhileTheServerIsBusy) {
    DncServer server;
    server.SetReplyDelay(300);
    ScopedIni ini(Ini("[VakoTcp]\r\nVakoIP=" + Address(server.address()) + "\r\n"));
    auto form = Window();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    prompter.answers = {Answer::Yes};
    form->TCPoverfoeringClick();
    timer.stop();
    EXPECT_EQ(server.connections(), 1);
    EXPECT_GE(ticks, 2);  // timers (and paints) ran during the wait
    EXPECT_TRUE(Messages().empty());
}

TEST_F(NetWindow, TcpUntitledDocumentNeverSent) {
    DncServer server;
    ScopedIni ini(Ini("[VakoTcp]\r\nVakoIP=" + Address(server.address()) + "\r\nAutoSave=True\r\n"));
    auto form = Window("");
    form->Text().SetModified(true);
    prompter.answers = {Answer::Yes};
    form->TCPoverfoeringClick();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, kTcpSaveFirstText);
    EXPECT_EQ(server.connections(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("M1")));  // nothing was written anywhere
}

TEST_F(NetWindow, TcpControlByteInThePathRefused) {
    DncServer server;
    ScopedIni ini(Ini("[VakoTcp]\r\nVakoIP=" + Address(server.address()) + "\r\n"));
    // A name that would carry a second request on the line.
    auto form = Window("O1.NC\r\nSend;FRES;C:\\ANNET.NC");
    prompter.answers = {Answer::Yes};
    form->TCPoverfoeringClick();
    std::vector<std::string> warnings = prompter.Texts("warning");  // the exclamation icon
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], kTcpControlByteText);
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(NetWindow, TcpAutoSaveWritesThePlainTextAndSends) {
    std::filesystem::create_directories(dir.File("M1"));
    WriteFileBytes(dir.File("M1/O1000.NC"), "GAMMEL\r\n");
    DncServer server;
    ScopedIni ini(Ini("[VakoTcp]\r\nVakoIP=" + Address(server.address()) + "\r\nAutoSave=True\r\n"));
    auto form = Window();
    form->Text().SetModified(true);
    prompter.answers = {Answer::Yes};
    form->TCPoverfoeringClick();
    EXPECT_FALSE(form->Text().Modified());
    // The editor's text, lines separated by CR LF (the save decides about a last line end).
    EXPECT_EQ(ReadFileBytes(dir.File("M1/O1000.NC")).rfind(
                  "%\r\nO1000 (FRES \xD8ST)\r\nG01 X10. Y-5.5\r\n\r\nM30", 0),
              0u);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(Messages().empty());
    // A plain write: no backup copy beside it, and nothing left behind.
    EXPECT_FALSE(std::filesystem::exists(dir.File("M1/O1000.Bak")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("M1")),
                            std::filesystem::directory_iterator()),
              1);
}
