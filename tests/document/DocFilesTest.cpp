#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "document/DocFiles.h"
#include "settings/PathResolve.h"

namespace {
// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> n;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
}

void SetMtime(const std::string& native, long sec) {
    struct timespec t[2] = {{sec, 0}, {sec, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.c_str(), t, 0), 0);
}

// Runs fn in a child process and returns its exit status (fn's return value).
template <typename Fn>
int InChild(Fn fn) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(fn());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}
}  // namespace

TEST(DocFiles, BackupNames) {
    EXPECT_EQ(BackupName("C:\\VAKO\\M1\\PROG.NC"), "C:\\VAKO\\M1\\PROG.Bak");
    EXPECT_EQ(BackupName("C:\\VAKO\\M1.X\\PROG"), "C:\\VAKO\\M1.X\\PROG.Bak");
    EXPECT_EQ(BackupName("C:\\A\\PROG.TAR.GZ"), "C:\\A\\PROG.TAR.Bak");
    EXPECT_EQ(BackupName("C:PROG"), "C:PROG.Bak");
    EXPECT_EQ(BackupName("/tmp/a.b/prog"), "/tmp/a.b/prog.Bak");
}

TEST(DocFiles, FoldersAndNamesOfTheDialogs) {
    FolderSplit s = SplitFolder("C:\\VAKO\\MASKIN1\\");
    EXPECT_EQ(s.folder, "C:\\VAKO\\MASKIN1");
    EXPECT_EQ(s.prefix, "");
    s = SplitFolder("C:\\VAKO\\MASKIN1\\P1");
    EXPECT_EQ(s.folder, "C:\\VAKO\\MASKIN1");
    EXPECT_EQ(s.prefix, "P1");
    s = SplitFolder("C:\\");
    EXPECT_EQ(s.folder, "C:");
    EXPECT_EQ(s.prefix, "");
    s = SplitFolder("");
    EXPECT_EQ(s.folder, "");
    EXPECT_EQ(s.prefix, "");

    EXPECT_EQ(OpenDialogFileName("DNC.LOG", "P", ".NC"), "DNC.LOG");
    EXPECT_EQ(OpenDialogFileName("sub\\dnc.log", "P", ".NC"), "sub\\dnc.log");
    EXPECT_EQ(OpenDialogFileName("PROG.NC", "P", ".NC"), "P*.NC");
    EXPECT_EQ(SaveAsFileName("C:\\A\\PROG", ".NC"), "C:\\A\\PROG.NC");
    EXPECT_EQ(SaveAsFileName("C:\\A.B\\PROG", ".NC"), "C:\\A.B\\PROG");
    EXPECT_EQ(SaveAsFileName("C:\\A\\PROG.H", ".NC"), "C:\\A\\PROG.H");
    EXPECT_EQ(QuerySaveCaption("C:\\M1\\", "", ".NC"), "C:\\M1\\0000.NC");
    EXPECT_EQ(QuerySaveCaption("C:\\M1\\", "SUB\\P.NC", ".NC"), "C:\\M1\\SUB\\P.NC");
    EXPECT_EQ(ReopenFileName("C:\\M1\\&P&1.NC"), "C:\\M1\\P&1.NC");

    // Below the current folder the folder stays and the name keeps the sub-folder.
    DocumentName n = NameAfterOpen("C:\\VAKO\\M1\\GAMMEL\\P.NC", "c:\\vako\\m1\\");
    EXPECT_EQ(n.fileName, "GAMMEL\\P.NC");
    EXPECT_EQ(n.folder, "c:\\vako\\m1\\");
    n = NameAfterOpen("D:\\ANDRE\\P.NC", "C:\\VAKO\\M1\\");
    EXPECT_EQ(n.fileName, "P.NC");
    EXPECT_EQ(n.folder, "D:\\ANDRE\\");
    n = NameAfterOpen("D:P.NC", "");
    EXPECT_EQ(n.fileName, "P.NC");
    EXPECT_EQ(n.folder, "D:");

    TempDir dir;
    std::string folder = dir.Dnc("M1");
    std::filesystem::create_directory(dir.File("M1"));
    EXPECT_EQ(InsertDialogFolder(folder), folder);
    std::filesystem::create_directory(dir.File("M1/sykluser"));
    EXPECT_EQ(InsertDialogFolder(folder), folder + "\\Sykluser");
}

TEST(DocFiles, DialogFilters) {
    ScopedIni ini("[Maskin2]\r\nExt=.H\r\nExt2=.i\r\nBeskr2=Heidenhain\r\nExt3=.T\r\nExt5=.X\r\n");
    std::string extra = "Heidenhain (*.I)|*.I|Andre program (*.T)|*.T|";
    EXPECT_EQ(OpenDialogFilterFor(".H", "Maskin2"),
              "CNC-programmer (*.H)|*.H|" + extra +
                  "Backup programmer (*.Bak)|*.Bak|Tekst filer (*.Txt)|*.Txt|Alle filer (*.*)|*.*");
    EXPECT_EQ(SaveDialogFilter(".H"),
              "CNC-programmer (*.H)|*.H|Backup programmer (*.Bak)|*.Bak|Tekst filer (*.Txt)|*.Txt|"
              "Alle filer (*.*)|*.*");
    EXPECT_EQ(OpenDialogFilterFor(".NC", "Maskin9"),
              "CNC-programmer (*.NC)|*.NC|Backup programmer (*.Bak)|*.Bak|Tekst filer (*.Txt)|"
              "*.Txt|Alle filer (*.*)|*.*");
}

TEST(DocFiles, TextIsWrittenWithCrLf) {
    EXPECT_EQ(TextForFile(""), "");
    EXPECT_EQ(TextForFile("N10\r\nN20"), "N10\r\nN20\r\n");
    EXPECT_EQ(TextForFile("N10\r\nN20\r\n"), "N10\r\nN20\r\n");
    EXPECT_EQ(TextForFile("A\nB\rC\r\n\r\nD"), "A\r\nB\r\nC\r\n\r\nD\r\n");
    // Characters as they stand: no mapping, no upper-casing.
    EXPECT_EQ(TextForFile("g1 æ\t"), "g1 æ\t\r\n");
}

TEST(SaveDocument, BackupHoldsTheFirstVersionAfterTwoSaves) {
    TempDir dir;
    ScopedIni ini("[Program]\r\nExt=.NC\r\n");
    std::string f = dir.Dnc("PROG.NC");
    WriteFileBytes(dir.File("PROG.NC"), "ORIGINAL\r\n");
    ::chmod(dir.File("PROG.NC").c_str(), 0640);
    SaveResult r = SaveDocumentFile(f, "N10 FIRST\r\nN20");
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.stamp, FileAge(f));
    EXPECT_EQ(ReadFileBytes(dir.File("PROG.NC")), "N10 FIRST\r\nN20\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("PROG.Bak")), "ORIGINAL\r\n");
    r = SaveDocumentFile(f, "N10 SECOND\nN20");
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(ReadFileBytes(dir.File("PROG.NC")), "N10 SECOND\r\nN20\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("PROG.Bak")), "N10 FIRST\r\nN20\r\n");
    // No temporary file is left behind, and the file keeps its permissions.
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"PROG.Bak", "PROG.NC"}));
    struct stat st;
    ASSERT_EQ(::stat(dir.File("PROG.NC").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(SaveDocument, BackupsFollowTheSettingAndTheNames) {
    TempDir dir;
    ScopedIni ini("[Program]\r\nBakFiler=false\r\n");
    std::string f = dir.Dnc("PROG.NC");
    WriteFileBytes(dir.File("PROG.NC"), "OLD\r\n");
    ASSERT_TRUE(SaveDocumentFile(f, "NEW").ok);
    EXPECT_EQ(ReadFileBytes(dir.File("PROG.NC")), "NEW\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("PROG.Bak")));

    ini.Rewrite("[Program]\r\nBakFiler=1\r\n");
    // A new file has nothing to back up; an old backup of that name goes, as it always did.
    WriteFileBytes(dir.File("NEW.Bak"), "STALE");
    ASSERT_TRUE(SaveDocumentFile(dir.Dnc("NEW.NC"), "N1").ok);
    EXPECT_EQ(ReadFileBytes(dir.File("NEW.NC")), "N1\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("NEW.Bak")));
    // An existing backup in another case is the one replaced.
    WriteFileBytes(dir.File("prog.bak"), "OLDBAK");
    ASSERT_TRUE(SaveDocumentFile(f, "NEWER").ok);
    EXPECT_EQ(ReadFileBytes(dir.File("prog.bak")), "NEW\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("PROG.Bak")));
    // Saving a backup file itself: no backup of it, the file is written.
    ASSERT_TRUE(SaveDocumentFile(dir.Dnc("PROG.BAK"), "FROM BAK").ok);
    EXPECT_EQ(ReadFileBytes(dir.File("prog.bak")), "FROM BAK\r\n");
    // A name without an extension gets ".Bak" appended.
    WriteFileBytes(dir.File("O1234"), "A");
    ASSERT_TRUE(SaveDocumentFile(dir.Dnc("O1234"), "B").ok);
    EXPECT_EQ(ReadFileBytes(dir.File("O1234.Bak")), "A");
}

TEST(SaveDocument, SymbolicLinkIsWrittenThrough) {
    TempDir dir;
    WriteFileBytes(dir.File("real/P.NC"), "OLD\r\n");
    std::filesystem::create_symlink(dir.File("real/P.NC"), dir.File("LINK.NC"));
    ASSERT_TRUE(SaveTextSafely(dir.Dnc("LINK.NC"), "NEW", true).ok);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("LINK.NC")));
    EXPECT_EQ(ReadFileBytes(dir.File("real/P.NC")), "NEW\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("real/P.Bak")), "OLD\r\n");
}

// Every failing step leaves the old file and its backup exactly as they were: with an older
// backup and without one, and on a file system without hard links (a network share), where
// the old file is moved to its backup name and must come back when the new one cannot take
// its place.
TEST(SaveDocumentFaults, FailingStepsLeaveTheFilesAsTheyWere) {
    struct Case {
        SaveStep step;
        int error;
        const char* reason;
    } cases[] = {
        {SaveStep::Create, EACCES, "Ingen skrivetilgang."},
        {SaveStep::Write, ENOSPC, "Disken er full."},
        {SaveStep::Sync, EIO, "Skrivefeil på disken."},
        {SaveStep::Replace, EROFS, "Disken er skrivebeskyttet."},
    };
    for (bool hardLinks : {true, false}) {
        for (bool olderBackup : {true, false}) {
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(hardLinks ? "hard links" : "no hard links") +
                             (olderBackup ? ", an older backup, " : ", no backup, ") + c.reason);
                TempDir dir;
                WriteFileBytes(dir.File("PROG.NC"), "OLD\r\n");
                if (olderBackup) WriteFileBytes(dir.File("PROG.Bak"), "OLDER\r\n");
                const std::vector<std::string> before =
                    olderBackup ? std::vector<std::string>{"PROG.Bak", "PROG.NC"} : std::vector<std::string>{"PROG.NC"};
                std::string f = dir.Dnc("PROG.NC");
                if (!hardLinks) FailNextSave(SaveStep::Link, EPERM);
                FailNextSave(c.step, c.error);
                SaveResult r = SaveTextSafely(f, std::string(3 << 20, 'X'), true);
                FailNextSave(SaveStep::None, 0);  // a step the failure came before stays unused
                EXPECT_FALSE(r.ok);
                EXPECT_EQ(r.error, c.error);
                EXPECT_EQ(r.reason, c.reason);
                EXPECT_EQ(ReadFileBytes(dir.File("PROG.NC")), "OLD\r\n");
                if (olderBackup) {
                    EXPECT_EQ(ReadFileBytes(dir.File("PROG.Bak")), "OLDER\r\n");
                }
                EXPECT_EQ(Names(dir.path()), before);
                EXPECT_EQ(SaveFailureText(f, r), "Feil med lagring av " + f + "\r" + c.reason +
                                                     " Filen på disken er ikke endret.");
                // The hook fires once: the next save goes through, and the old file is the backup.
                if (!hardLinks) FailNextSave(SaveStep::Link, EPERM);
                ASSERT_TRUE(SaveTextSafely(f, "NEW", true).ok);
                FailNextSave(SaveStep::None, 0);
                EXPECT_EQ(ReadFileBytes(dir.File("PROG.NC")), "NEW\r\n");
                EXPECT_EQ(ReadFileBytes(dir.File("PROG.Bak")), "OLD\r\n");
                EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"PROG.Bak", "PROG.NC"}));
            }
        }
    }
}

TEST(SaveDocumentFaults, FileSizeLimitCutsTheSaveShort) {
    TempDir dir;
    WriteFileBytes(dir.File("PROG.NC"), "OLD\r\n");
    WriteFileBytes(dir.File("PROG.Bak"), "OLDER\r\n");
    std::string f = dir.Dnc("PROG.NC");
    int rc = InChild([&] {
        struct rlimit lim = {4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) return 2;
        SaveResult r = SaveTextSafely(f, std::string(100000, 'X'), true);
        if (r.ok) return 1;
        return r.error == EFBIG && r.reason == "Filen blir for stor." ? 0 : 3;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("PROG.NC")), "OLD\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("PROG.Bak")), "OLDER\r\n");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"PROG.Bak", "PROG.NC"}));
}

TEST(SaveDocumentFaults, FolderThatRefusesWrites) {
    TempDir dir;
    WriteFileBytes(dir.File("M1/PROG.NC"), "OLD\r\n");
    WriteFileBytes(dir.File("M1/PROG.Bak"), "OLDER\r\n");
    ::chmod(dir.File("M1").c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    std::string f = dir.Dnc("M1") + "\\PROG.NC";
    // Root may write anywhere: the save runs as an ordinary user then.
    int rc = InChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 2;
        SaveResult r = SaveTextSafely(f, "NEW", true);
        if (r.ok) return 1;
        return r.error == EACCES && r.reason == "Ingen skrivetilgang." ? 0 : 3;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("M1/PROG.NC")), "OLD\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("M1/PROG.Bak")), "OLDER\r\n");
    EXPECT_EQ(Names(dir.File("M1")), (std::vector<std::string>{"PROG.Bak", "PROG.NC"}));
    // A folder that does not exist.
    SaveResult r = SaveTextSafely(dir.Dnc("NONE") + "\\P.NC", "X", true);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "Mappen finnes ikke.");
}

TEST(FileStamp, ChangesWithTheFile) {
    TempDir dir;
    std::string f = dir.Dnc("P.NC");
    EXPECT_EQ(FileAge(f), -1);
    WriteFileBytes(dir.File("P.NC"), "A");
    SetMtime(dir.File("P.NC"), 1000000);
    int64_t a = FileAge(f);
    EXPECT_GE(a, 0);
    EXPECT_EQ(FileAge(f), a);
    SetMtime(dir.File("P.NC"), 1000001);
    EXPECT_NE(FileAge(f), a);
    // The same time with other contents of another length still differs.
    int64_t b = FileAge(f);
    WriteFileBytes(dir.File("P.NC"), "AB");
    SetMtime(dir.File("P.NC"), 1000001);
    EXPECT_NE(FileAge(f), b);
    EXPECT_EQ(FileAge(dir.Dnc("")), -1);  // a folder is no document
}

TEST(FileStamp, ReloadQuestionRules) {
    TempDir dir;
    std::string f = dir.Dnc("P.NC");
    WriteFileBytes(dir.File("P.NC"), "A");
    SetMtime(dir.File("P.NC"), 2000000);
    int64_t stamp = FileAge(f);
    // Unchanged: nothing asked.
    EXPECT_FALSE(CheckReload(false, stamp, f).ask);
    // Changed on disk: asked once, with the file as caption.
    SetMtime(dir.File("P.NC"), 2000010);
    ReloadCheck c = CheckReload(false, stamp, f);
    EXPECT_TRUE(c.ask);
    EXPECT_EQ(c.fileName, f);
    // After "no": not again until the next change.
    EXPECT_FALSE(CheckReload(false, stamp, f).ask);
    EXPECT_FALSE(CheckReload(false, stamp, f).ask);
    SetMtime(dir.File("P.NC"), 2000020);
    // Never while one of the dialogs is open; asked once it has closed.
    EXPECT_FALSE(CheckReload(true, stamp, f).ask);
    EXPECT_FALSE(CheckReload(true, stamp, f).ask);
    EXPECT_TRUE(CheckReload(false, stamp, f).ask);
    // No file of the document, or no recent file: nothing.
    int64_t none = -1;
    EXPECT_FALSE(CheckReload(false, none, f).ask);
    EXPECT_EQ(none, -1);
    EXPECT_FALSE(CheckReload(false, stamp, "").ask);
    // A vanished file ends the checks until the next load or save.
    std::filesystem::remove(dir.File("P.NC"));
    EXPECT_FALSE(CheckReload(false, stamp, f).ask);
    EXPECT_EQ(stamp, -1);
    WriteFileBytes(dir.File("P.NC"), "B");
    EXPECT_FALSE(CheckReload(false, stamp, f).ask);
    // Our own save gives a new stamp that the check accepts.
    SaveResult r = SaveTextSafely(f, "C", false);
    ASSERT_TRUE(r.ok);
    stamp = r.stamp;
    EXPECT_FALSE(CheckReload(false, stamp, f).ask);
}
