// The recovery copies: their file form, safe writing, which copies an editor that no longer
// runs left behind, and the writer beside the user interface.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "TestSupport.h"
#include "document/Recovery.h"

namespace {
// A process that has ended: a child that exited and was waited for.
ProcessIdentity EndedProcess() {
    pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ProcessIdentity p{static_cast<long>(child), 0};
    ::waitpid(child, nullptr, 0);
    return p;
}

RecoveryCopy Copy(const ProcessIdentity& writer, int64_t savedAt, const std::string& text) {
    RecoveryCopy c;
    c.writer = writer;
    c.savedAt = savedAt;
    c.folder = "C:\\VAKO\\MASKIN2\\";
    c.fileName = "BR\xC5KETT.NC";
    c.shownName = "C:\\VAKO\\MASKIN2\\BR\xC5KETT.NC";
    c.machine = 2;
    c.text = text;
    return c;
}
}  // namespace

TEST(Recovery, TheCopyFormKeepsEveryByteAndRefusesWhatIsCutShort) {
    ProcessIdentity me = ThisProcess();
    std::string text("N10 G01\r\n\0\xFF\nX:1\r\n", 17);
    RecoveryCopy c = Copy(me, 1700000000, text);
    c.fileName = "A\nB:2\r";  // a name with the separators of the form in it
    std::string bytes = EncodeRecoveryCopy(c);
    RecoveryCopy back;
    ASSERT_TRUE(DecodeRecoveryCopy(bytes, back));
    EXPECT_EQ(back.writer, me);
    EXPECT_EQ(back.savedAt, 1700000000);
    EXPECT_EQ(back.folder, c.folder);
    EXPECT_EQ(back.fileName, c.fileName);
    EXPECT_EQ(back.shownName, c.shownName);
    EXPECT_EQ(back.machine, 2);
    EXPECT_EQ(back.text, text);
    // A copy cut short anywhere, or with anything after it, is no copy.
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(DecodeRecoveryCopy(std::string_view(bytes).substr(0, n), back)) << n;
    EXPECT_FALSE(DecodeRecoveryCopy(bytes + "x", back));
    std::string wrong = bytes;
    wrong[0] = 'T';
    EXPECT_FALSE(DecodeRecoveryCopy(wrong, back));
}

TEST(Recovery, TheQuestionInTheSystemsWords) {
    EXPECT_EQ(RecoveryQuestionText("12.03.2025 14:05", "C:\\NC\\P.NC"),
              "Ulagret arbeid fra 12.03.2025 14:05 ble funnet for C:\\NC\\P.NC. Gjenopprette ?");
    const char* tz = std::getenv("TZ");
    std::string saved = tz ? tz : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(RecoveryTimeText(1741788300), "12.03.2025 14:05");
    if (tz) ::setenv("TZ", saved.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}

TEST(Recovery, ProcessesAreKnownByIdAndStartTime) {
    ProcessIdentity me = ThisProcess();
    EXPECT_TRUE(ProcessRuns(me));
    EXPECT_NE(me.start, 0u);
    // The same id with another start time: the id went to another process.
    EXPECT_FALSE(ProcessRuns(ProcessIdentity{me.pid, me.start + 1}));
    EXPECT_FALSE(ProcessRuns(EndedProcess()));
    EXPECT_FALSE(ProcessRuns(ProcessIdentity{}));
}

TEST(Recovery, TheFolderFollowsXdgStateHome) {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string saved = state ? state : "";
    ::setenv("XDG_STATE_HOME", "/var/tmp/state", 1);
    EXPECT_EQ(RecoveryFolder(), "/var/tmp/state/skarv-editor/recovery");
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(RecoveryFolder(), std::string(std::getenv("HOME")) + "/.local/state/skarv-editor/recovery");
    if (state) ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
}

TEST(Recovery, LeftOverCopiesAreThoseOfEditorsThatNoLongerRun) {
    TempDir dir;
    const std::string folder = dir.File("state/skarv-editor/recovery");
    ProcessIdentity me = ThisProcess();
    ProcessIdentity gone{me.pid, me.start + 1};
    ProcessIdentity ended = EndedProcess();
    ASSERT_TRUE(WriteRecoveryCopy(folder, Copy(me, 100, "mine")));
    ASSERT_TRUE(WriteRecoveryCopy(folder, Copy(gone, 300, "newer")));
    ASSERT_TRUE(WriteRecoveryCopy(folder, Copy(ended, 200, "older")));
    struct stat st;
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(RecoveryCopyPath(folder, me).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A write that a dead editor never finished, and a file that is no copy.
    WriteFileBytes(RecoveryCopyPath(folder, ended) + ".tmp", "SKARV-RECOVERY 1\nP3:");
    ProcessIdentity broken{ended.pid + 100000, 7};
    WriteFileBytes(RecoveryCopyPath(folder, broken), "SKARV-RECOVERY 1\nP");

    std::vector<RecoveryCopy> left = LeftOverRecoveryCopies(folder);
    ASSERT_EQ(left.size(), 2u);  // oldest first; this editor's own copy is not offered
    EXPECT_EQ(left[0].text, "older");
    EXPECT_EQ(left[0].path, RecoveryCopyPath(folder, ended));
    EXPECT_EQ(left[1].text, "newer");
    EXPECT_EQ(left[1].fileName, "BR\xC5KETT.NC");
    EXPECT_FALSE(std::filesystem::exists(RecoveryCopyPath(folder, ended) + ".tmp"));
    EXPECT_TRUE(std::filesystem::exists(RecoveryCopyPath(folder, broken)));  // left alone
    EXPECT_TRUE(RemoveRecoveryCopy(left[0].path));
    EXPECT_EQ(LeftOverRecoveryCopies(folder).size(), 1u);
    EXPECT_TRUE(LeftOverRecoveryCopies(dir.File("none")).empty());
}

TEST(Recovery, TheWriterWorksInOrderBesideTheCaller) {
    TempDir dir;
    const std::string folder = dir.File("recovery");
    ProcessIdentity me = ThisProcess();
    auto text = [&] {
        RecoveryCopy c;
        c.path = RecoveryCopyPath(folder, me);
        std::string bytes = ReadFileBytes(c.path);
        return DecodeRecoveryCopy(bytes, c) ? c.text : std::string("<none>");
    };
    {
        RecoveryWriter writer(folder, me);
        EXPECT_EQ(writer.Path(), RecoveryCopyPath(folder, me));
        writer.Write(Copy({}, 1, "A"));
        writer.Flush();
        EXPECT_EQ(text(), "A");
        EXPECT_TRUE(writer.LastWriteOk());
        // A removal drops the write before it; a write after it stands.
        writer.Write(Copy({}, 2, "B"));
        writer.Remove();
        writer.Flush();
        EXPECT_FALSE(std::filesystem::exists(writer.Path()));
        writer.Write(Copy({}, 3, "C"));
        writer.Remove();
        writer.Write(Copy({}, 4, "D"));
        writer.Flush();
        EXPECT_EQ(text(), "D");
        // At a signal: written before the call returns, after what waits.
        writer.Write(Copy({}, 5, "E"));
        EXPECT_TRUE(writer.WriteNow(Copy({}, 6, "F")));
        EXPECT_EQ(text(), "F");
        writer.Flush();
        EXPECT_EQ(text(), "F");
        writer.Write(Copy({}, 7, "G"));
    }
    EXPECT_EQ(text(), "G");  // what waited was written before the writer ended
    // A folder that cannot be made: the write fails and says so.
    WriteFileBytes(dir.File("file"), "x");
    RecoveryWriter blocked(dir.File("file/recovery"), me);
    blocked.Write(Copy({}, 1, "A"));
    blocked.Flush();
    EXPECT_FALSE(blocked.LastWriteOk());
}
