// The FTP upload against a real FTP server (pyftpdlib on 127.0.0.1 at a free port, reading
// "\" as "/" as the machines' servers do), and the step sequence over a recording client.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "platform/PosixFtpClient.h"
#include "transfer/FtpReplies.h"
#include "settings/PathResolve.h"
#include "transfer/FtpKli.h"
#include "windows/transfer/NetPrompts.h"
#include "FtpTestServer.h"
#include "RecordingFtpClient.h"

#include <QApplication>

namespace {
// A port on 127.0.0.1 that takes connections (the kernel completes them) and never says a
// word.
class SilentServer {
public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 4);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~SilentServer() { ::close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A free local port range for active-mode data connections.
int FreePortBase() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    int p = ntohs(a.sin_port);
    return p > 65000 ? 40000 : p;
}

std::string Ini(const std::string& ftpClientKeys, const std::string& more = "") {
    return "[FTPClient]\r\n" + ftpClientKeys + more;
}

const std::vector<std::string> kLines = {"%", "O1000 (FRES ØST)", "G01 X10. Y-5.5", "", "M30"};

struct Upload {
    PosixFtpClient client;
    TFtpKlientModul ftp{client};
    Upload() {
        client.SetTimeLimits(5000, 5000);
        ftp.SetPause([](int) {});
    }
};

bool Contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}
}  // namespace

TEST(FtpUpload, PassiveStoresEditorTextUnderLastNamePartInRoot) {
    FtpServer server;
    ASSERT_GT(server.port(), 0);
    std::filesystem::create_directories(server.root() + "/SUB");
    // Lower-case credentials in the settings go out in capitals; the machine's own server
    // (with its port) replaces the module's.
    ScopedIni ini(Ini("Server=127.0.0.1:1\r\nUserName=maskin3\r\nPassword=skarv\r\nPassiv=True\r\n",
                      "[Maskin1]\r\nFTPServer=" + server.address() + "\r\n"));
    MessageRecorder rec;
    Upload u;
    ASSERT_TRUE(u.ftp.Configure());
    EXPECT_TRUE(FtpUploadText(u.ftp, 0, kLines, "SUB\\O1000.NC"));
    EXPECT_TRUE(rec.messages.empty()) << rec.messages[0].first << " " << rec.messages[0].second;
    EXPECT_EQ(ReadFileBytes(server.root() + "/O1000.NC"), EditorTextBytes(kLines));
    EXPECT_EQ(EditorTextBytes(kLines).substr(0, 9), "%\r\nO1000 ");
    EXPECT_FALSE(std::filesystem::exists(server.root() + "/SUB/O1000.NC"));

    auto cmds = server.Commands();
    EXPECT_TRUE(Contains(cmds, "USER MASKIN3"));
    EXPECT_TRUE(Contains(cmds, "PASS SKARV"));
    EXPECT_TRUE(Contains(cmds, "STOR O1000.NC"));
    EXPECT_FALSE(Contains(cmds, "APPE O1000.NC"));
    // The change to "\" comes before the store and nothing changes directory after it.
    auto cwd = std::find(cmds.begin(), cmds.end(), "CWD \\");
    ASSERT_NE(cwd, cmds.end());
    auto stor = std::find(cmds.begin(), cmds.end(), "STOR O1000.NC");
    EXPECT_LT(cwd, stor);
    for (auto it = cwd + 1; it != stor; ++it) EXPECT_NE(it->rfind("CWD", 0), 0u) << *it;
    EXPECT_TRUE(Contains(cmds, "EPSV") || Contains(cmds, "PASV"));
    EXPECT_EQ(cmds.back(), "QUIT");
    // One session: a second login would have lost the change of directory.
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "USER MASKIN3"), 1);

    // Machine 2 has no server of its own: the host set last stays.
    EXPECT_TRUE(FtpUploadText(u.ftp, 1, {"M30"}, "O2.NC"));
    EXPECT_EQ(ReadFileBytes(server.root() + "/O2.NC"), "M30\r\n");
    EXPECT_TRUE(rec.messages.empty());
}

TEST(FtpUpload, ActiveModeUsesPortRange) {
    FtpServer server;
    ASSERT_GT(server.port(), 0);
    int lo = FreePortBase(), hi = lo + 9;
    ScopedIni ini(Ini("Server=" + server.address() + "\r\nUserName=Maskin3\r\nPassword=Skarv\r\n" +
                      "Passiv=True\r\nPassive=False\r\nDataPortMin=" + std::to_string(lo) +
                      "\r\nDataPortMax=" + std::to_string(hi) + "\r\nExternalIP=127.0.0.1\r\n"));
    MessageRecorder rec;
    Upload u;
    ASSERT_TRUE(u.ftp.Configure());
    EXPECT_FALSE(u.client.Passive());
    EXPECT_TRUE(u.ftp.Upload(EditorTextBytes(kLines), "O7.NC"));
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(ReadFileBytes(server.root() + "/O7.NC"), EditorTextBytes(kLines));
    int announced = 0;
    for (const auto& c : server.Commands()) {
        if (c.rfind("EPRT |1|127.0.0.1|", 0) == 0) announced = std::atoi(c.c_str() + 18);
        if (c.rfind("PORT 127,0,0,1,", 0) == 0) {
            int p1 = 0, p2 = 0;
            std::sscanf(c.c_str() + 15, "%d,%d", &p1, &p2);
            announced = p1 * 256 + p2;
        }
        EXPECT_NE(c, "EPSV");
        EXPECT_NE(c, "PASV");
    }
    EXPECT_GE(announced, lo);
    EXPECT_LE(announced, hi);
}

TEST(FtpUpload, FailuresNameTheirStepWithTheServersReply) {
    MessageRecorder rec;
    {
        FtpServer server;
        ScopedIni ini(Ini("Server=" + server.address() + "\r\nUserName=MASKIN3\r\nPassword=FEIL\r\n"));
        Upload u;
        ASSERT_TRUE(u.ftp.Configure());
        EXPECT_FALSE(u.ftp.Upload("G0\r\n", "O1.NC"));
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0].first, std::string(kFtpCaptionPrefix) + "Connect");
        EXPECT_EQ(rec.messages[0].second.substr(0, 4), "530 ");
        EXPECT_FALSE(Contains(server.Commands(), "STOR O1.NC"));
    }
    rec.Clear();
    {
        // A server that does not read "\" as its root refuses the change of directory.
        FtpServer server({"--plain-fs"});
        ScopedIni ini(Ini("Server=" + server.address() + "\r\nPassword=skarv\r\nPassive=1\r\n"));
        Upload u;
        ASSERT_TRUE(u.ftp.Configure());
        EXPECT_FALSE(u.ftp.Upload("G0\r\n", "O1.NC"));
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0].first, "FTP-klient: ChangeDir(\\)");
        EXPECT_EQ(rec.messages[0].second.substr(0, 4), "550 ");
        EXPECT_FALSE(Contains(server.Commands(), "STOR O1.NC"));
        EXPECT_FALSE(std::filesystem::exists(server.root() + "/O1.NC"));
    }
    rec.Clear();
    {
        // No write permission: the store is refused; an unnamed document fails the same step.
        FtpServer server({"--perm", "elr"});
        ScopedIni ini(Ini("Server=" + server.address() + "\r\nPassword=skarv\r\nPassive=1\r\n"));
        Upload u;
        ASSERT_TRUE(u.ftp.Configure());
        EXPECT_FALSE(u.ftp.Upload("G0\r\n", "C:\\CNC\\O1.NC"));
        EXPECT_FALSE(u.ftp.Upload("G0\r\n", ""));
        ASSERT_EQ(rec.messages.size(), 2u);
        EXPECT_EQ(rec.messages[0].first, "FTP-klient: Put(Stream,O1.NC)");
        EXPECT_EQ(rec.messages[0].second.substr(0, 4), "550 ");
        EXPECT_EQ(rec.messages[1].first, "FTP-klient: Put(Stream,)");
        EXPECT_FALSE(rec.messages[1].second.empty());
        EXPECT_FALSE(std::filesystem::exists(server.root() + "/O1.NC"));
    }
}

TEST(FtpUpload, DirectoryChangeAcceptsOnly200Or250) {
    for (std::string code : {"200", "257"}) {
        FtpServer server({"--cwd-code", code});
        ScopedIni ini(Ini("Server=" + server.address() + "\r\nPassword=skarv\r\nPassiv=1\r\n"));
        MessageRecorder rec;
        Upload u;
        ASSERT_TRUE(u.ftp.Configure());
        bool ok = u.ftp.Upload("G0\r\n", "O1.NC");
        if (code == "200") {
            EXPECT_TRUE(ok);
            EXPECT_TRUE(rec.messages.empty());
            EXPECT_EQ(ReadFileBytes(server.root() + "/O1.NC"), "G0\r\n");
        } else {
            EXPECT_FALSE(ok);
            ASSERT_EQ(rec.messages.size(), 1u);
            EXPECT_EQ(rec.messages[0].first, "FTP-klient: ChangeDir(\\)");
            EXPECT_EQ(rec.messages[0].second.substr(0, 4), "257 ");
            EXPECT_FALSE(std::filesystem::exists(server.root() + "/O1.NC"));
        }
    }
}

TEST(FtpUpload, SilentServerEndsInErrorBoxWithinTimeLimit) {
    SilentServer silent;
    ScopedIni ini(Ini("Server=127.0.0.1:" + std::to_string(silent.port()) + "\r\n"));
    MessageRecorder rec;
    PosixFtpClient client;
    client.SetTimeLimits(800, 800);
    TFtpKlientModul ftp(client);
    ftp.SetPause([](int) {});
    ASSERT_TRUE(ftp.Configure());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ftp.Upload("G0\r\n", "O1.NC"));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(8));
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "FTP-klient: Connect");
    EXPECT_FALSE(rec.messages[0].second.empty());
}

TEST(FtpUpload, CommandLineUploadsFileUnderItsName) {
    FtpServer server;
    TempDir dir;
    WriteFileBytes(dir.File("Vako.ini"),
                   "[FTPClient]\r\nServer=" + server.address() + "\r\nPassword=skarv\r\nPassiv=1\r\n");
    WriteFileBytes(dir.File("P1.NC"), "G01 X1\nG02 Y2\r\n");
    std::string out, err;
    EXPECT_EQ(RunProgram({BinDir() + "/skarv", "--ini", dir.File("Vako.ini"), "ftp",
                          dir.File("P1.NC")}, &out, &err), 0) << err;
    EXPECT_EQ(ReadFileBytes(server.root() + "/P1.NC"), "G01 X1\r\nG02 Y2\r\n");

    WriteFileBytes(dir.File("Vako.ini"),
                   "[FTPClient]\r\nServer=" + server.address() + "\r\nPassword=galt\r\n");
    EXPECT_EQ(RunProgram({BinDir() + "/skarv", "--ini", dir.File("Vako.ini"), "ftp",
                          dir.File("P1.NC")}, &out, &err), 1);
    EXPECT_NE(err.find("FTP-klient: Connect"), std::string::npos) << err;
}

// The settings and the step sequence, over a client that records what it is told.

TEST(FtpKlientModul, ConfigureReadsEveryKey) {
    {
        ScopedIni ini("[FTPClient]\r\nUserName=x\r\n");
        RecordingFtp c;
        TFtpKlientModul ftp(c);
        EXPECT_FALSE(ftp.Configure());
        EXPECT_TRUE(c.calls.empty());
    }
    {
        ScopedIni ini("[FTPClient]\r\nServer=cnc1\r\nPassiv=True\r\n");
        RecordingFtp c;
        c.portMin = 7, c.portMax = 9;
        TFtpKlientModul ftp(c);
        EXPECT_TRUE(ftp.Configure());
        EXPECT_TRUE(c.passive);
        EXPECT_EQ(c.calls, (std::vector<std::string>{"host CNC1", "user MASKIN3",
                                                     std::string("password ") + kFtpDefaultPassword}));
    }
    {
        // Passive overrides Passiv; the range is set only where it differs; a text that is
        // no number leaves the value.
        ScopedIni ini("[FTPClient]\r\nServer=cnc1\r\nPassiv=True\r\nPassive=False\r\n"
                      "DataPortMax=9\r\nDataPortMin=tja\r\nExternalIP=10.0.0.5\r\n");
        RecordingFtp c;
        c.passive = true, c.portMin = 7, c.portMax = 9;
        TFtpKlientModul ftp(c);
        EXPECT_TRUE(ftp.Configure());
        EXPECT_FALSE(c.passive);
        EXPECT_FALSE(Contains(c.calls, "max 9"));
        EXPECT_EQ(c.portMin, 7);
        EXPECT_TRUE(Contains(c.calls, "external 10.0.0.5"));
    }
    {
        ScopedIni ini("[FTPClient]\r\nServer=cnc1\r\nDataPortMax=$C000\r\nDataPortMin=49000\r\n");
        RecordingFtp c;
        TFtpKlientModul ftp(c);
        EXPECT_TRUE(ftp.Configure());
        EXPECT_EQ(c.portMax, 0xC000);
        EXPECT_EQ(c.portMin, 49000);
        for (const auto& call : c.calls) EXPECT_NE(call.rfind("external", 0), 0u);
    }
}

TEST(FtpKlientModul, StepsPausesAndTheFirstFailure) {
    MessageRecorder rec;
    RecordingFtp c;
    TFtpKlientModul ftp(c);
    std::vector<int> pauses;
    ftp.SetPause([&](int ms) { pauses.push_back(ms); });
    EXPECT_TRUE(ftp.Upload("AB", "C:\\CNC\\SUB\\P.NC"));
    EXPECT_EQ(c.calls, (std::vector<std::string>{"disconnect", "connect", "cwd \\", "put P.NC AB",
                                                 "disconnect"}));
    EXPECT_EQ(pauses, (std::vector<int>{300, 300, 300, 100}));
    EXPECT_TRUE(rec.messages.empty());

    c.calls.clear();
    c.failAt = "cwd \\";
    EXPECT_FALSE(ftp.Upload("AB", "P.NC"));
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0], std::make_pair(std::string("FTP-klient: ChangeDir(\\)"),
                                              std::string("svar fra tjeneren")));
    EXPECT_FALSE(Contains(c.calls, "put P.NC AB"));
    EXPECT_EQ(c.calls.back(), "disconnect");  // nothing is left open
}

TEST(FtpClientParts, HostPortRangeAndAnnouncement) {
    std::string name;
    int port = 0;
    EXPECT_TRUE(PosixFtpClient::SplitHost("cnc1", name, port));
    EXPECT_EQ(name + ":" + std::to_string(port), "cnc1:21");
    EXPECT_TRUE(PosixFtpClient::SplitHost("10.1.1.5:2121", name, port));
    EXPECT_EQ(name + ":" + std::to_string(port), "10.1.1.5:2121");
    EXPECT_FALSE(PosixFtpClient::SplitHost("cnc1:x", name, port));
    EXPECT_FALSE(PosixFtpClient::SplitHost("cnc1:70000", name, port));
    EXPECT_FALSE(PosixFtpClient::SplitHost(":21", name, port));

    int lo = -1, hi = -1;
    EXPECT_TRUE(PosixFtpClient::DataPortRange(0, 0, lo, hi));
    EXPECT_EQ(lo * 100000 + hi, 0);
    EXPECT_TRUE(PosixFtpClient::DataPortRange(50000, 50010, lo, hi));
    EXPECT_EQ(std::to_string(lo) + "-" + std::to_string(hi), "50000-50010");
    EXPECT_TRUE(PosixFtpClient::DataPortRange(50000, 0, lo, hi));
    EXPECT_EQ(std::to_string(lo) + "-" + std::to_string(hi), "50000-50000");
    EXPECT_TRUE(PosixFtpClient::DataPortRange(0, 50010, lo, hi));
    EXPECT_EQ(std::to_string(lo) + "-" + std::to_string(hi), "50010-50010");
    EXPECT_TRUE(PosixFtpClient::DataPortRange(50010, 50000, lo, hi));
    EXPECT_EQ(std::to_string(lo) + "-" + std::to_string(hi), "50010-50010");
    EXPECT_FALSE(PosixFtpClient::DataPortRange(65530, 70000, lo, hi));

    EXPECT_EQ(PosixFtpClient::PortCommand("192.168.1.9", 50001), "PORT 192,168,1,9,195,81");
    EXPECT_EQ(PosixFtpClient::PortCommand("127.0.0.2", 256), "PORT 127,0,0,2,1,0");
    EXPECT_EQ(PosixFtpClient::PortCommand("cnc1", 21), "");
    EXPECT_EQ(PosixFtpClient::PortCommand("10.0.0.1", 0), "");

    EXPECT_EQ(PassivePort("227 Entering Passive Mode (127,0,0,1,195,81)."), 50001);
    EXPECT_EQ(PassivePort("227 =10,0,0,5,0,21"), 21);
    EXPECT_EQ(PassivePort("227 Entering Passive Mode (127,0,0,1,195)."), 0);
    EXPECT_EQ(PassivePort("227 (127,0,0,1,300,1)"), 0);
    EXPECT_EQ(PassivePort("227 ok"), 0);
    EXPECT_EQ(ExtendedPassivePort("229 Entering Extended Passive Mode (|||50001|)"), 50001);
    EXPECT_EQ(ExtendedPassivePort("229 (|||99999999999|)"), 0);
    EXPECT_EQ(ExtendedPassivePort("229 (|||70000|)"), 0);
    EXPECT_EQ(ExtendedPassivePort("229 (|||x|)"), 0);
}

namespace {
// The replies of a stream of bytes fed in pieces of the given size.
std::vector<std::string> RepliesInPieces(const std::string& bytes, size_t piece, size_t maxReply) {
    FtpReplyReader reader(maxReply);
    std::vector<std::string> out;
    for (size_t i = 0; i < bytes.size(); i += piece) {
        reader.Feed(std::string_view(bytes).substr(i, piece));
        int code = 0;
        std::string text;
        while (reader.Next(code, text)) out.push_back(std::to_string(code) + "|" + text);
    }
    return out;
}
}  // namespace

TEST(FtpClientParts, RepliesAreTheSameWhateverPiecesTheyComeIn) {
    const std::string bytes =
        "noise without a code\r\n"
        "120 wait\r\n220 ready\r\n"
        "230-Welcome\r\n  230 inside the text\r\n230-still\r\n230 logged in\r\n"
        "226" + std::string(40, 'x') + "\r\n"  // a line longer than the reply may be
        "550 no\n";
    const std::vector<std::string> want = {
        "120|120 wait", "220|220 ready",
        "230|230-Welcome\r\n  230 inside the text\r\n230-still\r\n230 logged in",
        "226|226" + std::string(17, 'x'), "550|550 no"};
    for (size_t piece : {bytes.size(), size_t(1), size_t(2), size_t(7), size_t(19), size_t(21)}) {
        std::vector<std::string> got = RepliesInPieces(bytes, piece, 20);
        ASSERT_EQ(got.size(), want.size()) << "pieces of " << piece;
        for (size_t i = 0; i < want.size(); ++i) {
            // The multi-line reply is cut at the limit too.
            EXPECT_EQ(got[i], want[i].substr(0, 4 + 20)) << "pieces of " << piece << ", reply " << i;
        }
    }
    // A reply not yet complete waits for its last line; Clear forgets it.
    FtpReplyReader reader;
    int code = 0;
    std::string text;
    reader.Feed("211-Status\r\n");
    EXPECT_FALSE(reader.Next(code, text));
    EXPECT_TRUE(reader.HasBytes());
    reader.Clear();
    EXPECT_FALSE(reader.HasBytes());
    reader.Feed("200 ok\r\n");
    ASSERT_TRUE(reader.Next(code, text));
    EXPECT_EQ(code, 200);
    EXPECT_EQ(text, "200 ok");
}

namespace {
// The port of the announcement "PORT h1,h2,h3,h4,p1,p2" in the server's log that starts with
// the prefix; 0 when there is none.
int AnnouncedPort(const std::vector<std::string>& cmds, const std::string& prefix) {
    for (const auto& c : cmds) {
        if (c.rfind(prefix, 0) != 0) continue;
        int p1 = -1, p2 = -1;
        if (std::sscanf(c.c_str() + prefix.size(), "%d,%d", &p1, &p2) == 2) return p1 * 256 + p2;
    }
    return 0;
}
}  // namespace

TEST(FtpUpload, ActiveModeAnnouncesTheExternalAddress) {
    // Behind NAT: the address announced is no address of the control connection. The server
    // (which takes foreign addresses, on the loopback only) connects to it and the listening
    // socket on the wildcard address takes the connection. The long greeting comes in many
    // lines, one of them looking like another reply.
    FtpServer server({"--permit-foreign", "--banner",
                      "Velkommen til maskinen\\n230 ikke ennaa\\n" + std::string(80, 'x')});
    ASSERT_GT(server.port(), 0);
    int lo = FreePortBase(), hi = lo + 9;
    ScopedIni ini(Ini("Server=" + server.address() + "\r\nPassword=skarv\r\nDataPortMin=" +
                      std::to_string(lo) + "\r\nDataPortMax=" + std::to_string(hi) +
                      "\r\nExternalIP=127.0.0.2\r\n"));
    MessageRecorder rec;
    Upload u;
    ASSERT_TRUE(u.ftp.Configure());
    EXPECT_TRUE(u.ftp.Upload(EditorTextBytes(kLines), "O8.NC"));
    EXPECT_TRUE(rec.messages.empty()) << rec.messages[0].first << " " << rec.messages[0].second;
    EXPECT_EQ(ReadFileBytes(server.root() + "/O8.NC"), EditorTextBytes(kLines));
    auto cmds = server.Commands();
    int announced = AnnouncedPort(cmds, "PORT 127,0,0,2,");
    EXPECT_GE(announced, lo);
    EXPECT_LE(announced, hi);
    EXPECT_EQ(AnnouncedPort(cmds, "PORT 127,0,0,1,"), 0);
    EXPECT_TRUE(Contains(cmds, "TYPE I"));
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "USER MASKIN3"), 1);
    EXPECT_EQ(cmds.back(), "QUIT");
}

TEST(FtpUpload, RefusedAnnouncementFailsTheStore) {
    // A documentation address that is no address here: the server keeps its default, refuses
    // the foreign address (501) and never connects to it.
    FtpServer server;
    ASSERT_GT(server.port(), 0);
    ScopedIni ini(Ini("Server=" + server.address() + "\r\nPassword=skarv\r\nExternalIP=192.0.2.1\r\n"));
    MessageRecorder rec;
    Upload u;
    ASSERT_TRUE(u.ftp.Configure());
    EXPECT_FALSE(u.ftp.Upload("G0\r\n", "O9.NC"));
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "FTP-klient: Put(Stream,O9.NC)");
    EXPECT_EQ(rec.messages[0].second.substr(0, 4), "501 ");
    auto cmds = server.Commands();
    EXPECT_GT(AnnouncedPort(cmds, "PORT 192,0,2,1,"), 0);
    EXPECT_FALSE(Contains(cmds, "STOR O9.NC"));
    EXPECT_FALSE(std::filesystem::exists(server.root() + "/O9.NC"));
    EXPECT_EQ(cmds.back(), "QUIT");
}

TEST(FtpUpload, DataConnectionThatNeverComesEndsWithinTheLimit) {
    FtpServer server({"--never-connect"});
    ASSERT_GT(server.port(), 0);
    ScopedIni ini(Ini("Server=" + server.address() + "\r\nPassword=skarv\r\n"));
    MessageRecorder rec;
    PosixFtpClient client;
    client.SetTimeLimits(800, 800);
    TFtpKlientModul ftp(client);
    ftp.SetPause([](int) {});
    ASSERT_TRUE(ftp.Configure());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ftp.Upload("G0\r\n", "O4.NC"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "FTP-klient: Put(Stream,O4.NC)");
    EXPECT_EQ(rec.messages[0].second, std::string(kFtpNoDataConnection) + "1 s");
    auto cmds = server.Commands();
    EXPECT_TRUE(Contains(cmds, "STOR O4.NC"));
    EXPECT_EQ(cmds.back(), "QUIT");
}

TEST(FtpUpload, ExhaustedPortRangeFailsTheStore) {
    // Both ports of the range are taken by listeners of our own.
    int base = FreePortBase();
    std::vector<int> taken;  // listeners on two neighbouring ports, from lo
    int lo = 0;
    for (int port = base; port < base + 40 && taken.size() < 2; ++port) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        a.sin_port = htons(static_cast<uint16_t>(port));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 1) == 0) {
            if (taken.empty()) lo = port;
            taken.push_back(fd);
        } else {
            ::close(fd);
            for (int t : taken) ::close(t);
            taken.clear();
        }
    }
    ASSERT_EQ(taken.size(), 2u);

    FtpServer server;
    ASSERT_GT(server.port(), 0);
    ScopedIni ini(Ini("Server=" + server.address() + "\r\nPassword=skarv\r\nDataPortMin=" +
                      std::to_string(lo) + "\r\nDataPortMax=" + std::to_string(lo + 1) + "\r\n"));
    MessageRecorder rec;
    Upload u;
    ASSERT_TRUE(u.ftp.Configure());
    EXPECT_FALSE(u.ftp.Upload("G0\r\n", "O3.NC"));
    for (int t : taken) ::close(t);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "FTP-klient: Put(Stream,O3.NC)");
    EXPECT_EQ(rec.messages[0].second,
              kFtpNoDataPort + std::to_string(lo) + "-" + std::to_string(lo + 1));
    auto cmds = server.Commands();
    for (const auto& c : cmds) EXPECT_NE(c.rfind("PORT", 0), 0u) << c;
    EXPECT_FALSE(Contains(cmds, "STOR O3.NC"));
}

TEST(FtpKlientModul, WindowCommandLiftsHourglassForTheErrorBox) {
    ScopedIni ini("[Maskin1]\r\nFTPServer=cnc7\r\n");
    MessageRecorder rec;
    RecordingFtp c;
    c.failAt = "connect";
    TFtpKlientModul ftp(c);
    ftp.SetPause([](int) {});
    bool hourglassDuringBox = true;
    {
        // Wrap the recorder to look at the cursor while the box is up.
        auto inner = SetMessageSink([&](const std::string& cap, const std::string& text) {
            hourglassDuringBox = QApplication::overrideCursor() != nullptr;
            rec.messages.emplace_back(cap, text);
        });
        EXPECT_FALSE(FtpTransferCommand(ftp, 0, {"G0"}, "P.NC"));
        SetMessageSink(inner);
    }
    EXPECT_EQ(c.host, "CNC7");
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "FTP-klient: Connect");
    EXPECT_FALSE(hourglassDuringBox);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
