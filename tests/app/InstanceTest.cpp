// One instance per file, between real VakoEdit processes: a second start with the same file
// name hands over to the first and ends; other starts open their own window.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <sys/stat.h>

#include "TestSupport.h"

namespace {
class Instances : public ::testing::Test {
protected:
    void SetUp() override {
        runtime = dir.File("run");
        QDir().mkpath(QString::fromStdString(runtime));
        ::chmod(runtime.c_str(), 0700);
        QDir().mkpath(QString::fromStdString(dir.File("A")));
        QDir().mkpath(QString::fromStdString(dir.File("B")));
        WriteFileBytes(dir.File("A/PROG.NC"), "N10\r\n");
        WriteFileBytes(dir.File("B/PROG.NC"), "N20\r\n");
        WriteFileBytes(dir.File("A/ANNET.NC"), "N30\r\n");
    }
    void TearDown() override {
        for (auto& p : processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    QProcess* Start(const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QString::fromStdString(BinDir() + "/VakoEdit"), args);
        EXPECT_TRUE(p->waitForStarted(5000));
        processes.push_back(std::move(p));
        return processes.back().get();
    }
    int Sockets() {
        QDir d(QString::fromStdString(runtime + "/skarv-editor"));
        return static_cast<int>(d.entryList({QStringLiteral("*.sock")}, QDir::System).size());
    }
    // Waits until the given number of instances listen (each listens before its window opens).
    bool WaitForSockets(int n) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            if (Sockets() >= n) return true;
            QThread::msleep(20);
        }
        return false;
    }
    QString File(const char* name) { return QString::fromStdString(dir.File(name)); }

    TempDir dir;
    std::string runtime;
    std::vector<std::unique_ptr<QProcess>> processes;
};
}  // namespace

TEST_F(Instances, SameFileNameHandsOverOtherStartsOpenWindows) {
    QProcess* first = Start({File("A/PROG.NC")});
    ASSERT_TRUE(WaitForSockets(1));

    // The same file name, even in another folder: the first instance takes it, this one ends.
    QProcess* second = Start({File("B/PROG.NC"), QStringLiteral("2")});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    // Another file: a window of its own.
    QProcess* other = Start({File("A/ANNET.NC")});
    ASSERT_TRUE(WaitForSockets(2));
    EXPECT_EQ(other->state(), QProcess::Running);

    // No argument: always a window, also beside one without a file.
    QProcess* plain = Start({});
    ASSERT_TRUE(WaitForSockets(3));
    QProcess* plain2 = Start({});
    EXPECT_FALSE(plain2->waitForFinished(1000));
    EXPECT_EQ(plain->state(), QProcess::Running);
    EXPECT_EQ(plain2->state(), QProcess::Running);
}

TEST_F(Instances, FileNamesWithNorwegianLettersAreOneName) {
    // The shell gives the names in UTF-8; the running instance shows its title in
    // Windows-1252. Both sides must compare one form.
    const std::string name = "BR\xC3\x85KETT \xC3\xB8\xC3\xA6.NC";  // "BRÅKETT øæ.NC" in UTF-8
    WriteFileBytes(dir.File("A/" + name), "N10\r\n");
    QProcess* first = Start({QString::fromStdString(dir.File("A/" + name))});
    ASSERT_TRUE(WaitForSockets(1));
    // The same name in another folder, where it does not exist yet: handed over.
    QProcess* second = Start({QString::fromStdString(dir.File("B/" + name))});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(Instances, SocketLeftByAKilledInstanceIsTakenOver) {
    QProcess* first = Start({File("A/PROG.NC")});
    ASSERT_TRUE(WaitForSockets(1));
    first->kill();  // no clean-up: its socket file stays
    ASSERT_TRUE(first->waitForFinished(5000));
    ASSERT_EQ(Sockets(), 1);

    QProcess* again = Start({File("A/PROG.NC")});
    EXPECT_FALSE(again->waitForFinished(1500));  // it opened its window
    QProcess* third = Start({File("B/PROG.NC")});
    ASSERT_TRUE(third->waitForFinished(10000));  // and now owns the name
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_EQ(again->state(), QProcess::Running);
}

TEST_F(Instances, SocketFolderIsPrivate) {
    Start({File("A/PROG.NC")});
    ASSERT_TRUE(WaitForSockets(1));
    struct stat st{};
    ASSERT_EQ(::stat((runtime + "/skarv-editor").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    QDir d(QString::fromStdString(runtime + "/skarv-editor"));
    for (const QString& f : d.entryList({QStringLiteral("*.sock")}, QDir::System)) {
        ASSERT_EQ(::stat((runtime + "/skarv-editor/" + f.toStdString()).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0077, 0u) << f.toStdString();
        EXPECT_EQ(st.st_uid, ::getuid());
    }
}
