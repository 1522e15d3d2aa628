#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TestSupport.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/TextUtil.h"

namespace {
std::vector<std::string> ReadAll(const std::string& dnc, bool* okOut = nullptr) {
    TextFile f;
    bool ok;
    OpenTextForRead(dnc, f, ok);
    std::vector<std::string> lines;
    while (ok && MoreText(f)) {
        std::string line;
        ReadTextLine(f, line, ok);
        if (ok) lines.push_back(line);
    }
    bool closed;
    CloseText(f, closed);
    if (okOut) *okOut = ok;
    return lines;
}
using Lines = std::vector<std::string>;
}  // namespace

TEST(TextFiles, LineEndsAndCtrlZ) {
    TempDir dir;
    WriteFileBytes(dir.File("a"), "N10\r\nN20\nN30\rX\r\n\r\nN40");
    EXPECT_EQ(ReadAll(dir.Dnc("a")), (Lines{"N10", "N20", "N30X", "", "N40"}));
    WriteFileBytes(dir.File("b"), "N10\r\nN20\x1aN30\r\n");
    EXPECT_EQ(ReadAll(dir.Dnc("b")), (Lines{"N10", "N20"}));
    WriteFileBytes(dir.File("c"), "\x1a" "abc");
    EXPECT_EQ(ReadAll(dir.Dnc("c")), Lines{});
    WriteFileBytes(dir.File("d"), "");
    EXPECT_EQ(ReadAll(dir.Dnc("d")), Lines{});
    WriteFileBytes(dir.File("e"), "A\r\n");
    EXPECT_EQ(ReadAll(dir.Dnc("e")), Lines{"A"});
    // A line longer than the read buffer, with a CR LF split across two reads.
    std::string longLine(200000, 'x');
    WriteFileBytes(dir.File("f"), longLine + "\r\n" + std::string(65535 - 2, 'y') + "\r\nz");
    Lines f = ReadAll(dir.Dnc("f"));
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0], longLine);
    EXPECT_EQ(f[2], "z");
}

TEST(TextFiles, WritesCrLfAndStopsAfterAFailure) {
    TempDir dir;
    TextFile f;
    bool ok;
    OpenTextForWrite(dir.Dnc("ut.nc"), f, ok);
    ASSERT_TRUE(ok);
    WriteTextLine(f, "N10 G00", ok);
    WriteText(f, "N20", ok);
    WriteTextLine(f, "", ok);
    FailNextTextWrite();
    WriteTextLine(f, "TAPT", ok);
    EXPECT_FALSE(ok);
    WriteTextLine(f, "OGSÅ TAPT", ok);  // ok is false: nothing is written
    bool closed;
    EXPECT_EQ(CloseText(f, closed), 0);
    EXPECT_TRUE(closed);
    EXPECT_EQ(ReadFileBytes(dir.File("ut.nc")), "N10 G00\r\nN20\r\n");
}

TEST(TextFiles, OpenFailureReportOnlyWithDebug) {
    TempDir dir;
    ScopedIni ini("[TextUtil]\r\nDebug=True\r\n");
    InitTextDebug();
    {
        MessageRecorder rec;
        TextFile f;
        bool ok = true;
        OpenTextForRead(dir.Dnc("mangler.nc"), f, ok);
        EXPECT_FALSE(ok);
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0].first, "Åpne " + dir.Dnc("mangler.nc"));
        EXPECT_EQ(rec.messages[0].second, "IOResult = 2");
        // Reading from a handle that did not open fails and does nothing.
        std::string line = "x";
        ok = true;
        ReadTextLine(f, line, ok);
        EXPECT_FALSE(ok);
        EXPECT_FALSE(MoreText(f));
    }
    ini.Rewrite("[TextUtil]\r\n");
    InitTextDebug();
    {
        MessageRecorder rec;
        TextFile f;
        bool ok = true;
        OpenTextForRead(dir.Dnc("mangler.nc"), f, ok);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(rec.messages.empty());
    }
    TextDebug = false;
}

TEST(TextFiles, ReadingPastTheEndFails) {
    TempDir dir;
    WriteFileBytes(dir.File("a"), "A");
    TextFile f;
    bool ok;
    OpenTextForRead(dir.Dnc("a"), f, ok);
    std::string line;
    ReadTextLine(f, line, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(line, "A");
    EXPECT_FALSE(MoreText(f));
    ReadTextLine(f, line, ok);
    EXPECT_FALSE(ok);
}

TEST(Paths, ResolveWithoutRegardToCase) {
    TempDir dir;
    WriteFileBytes(dir.File("Vako/Maskin1/Prog.nc"), "x");
    WriteFileBytes(dir.File("Vako/maskin1/annen.nc"), "y");  // a second folder differing in case
    std::string base = NativeToDncPath(dir.path());
    // Exact match first.
    EXPECT_EQ(ResolvePath(base + "\\Vako\\maskin1\\annen.nc"), dir.File("Vako/maskin1/annen.nc"));
    EXPECT_EQ(ReadFileBytes(ResolvePath(base + "\\VAKO\\MASKIN1\\PROG.NC")), "x");
    EXPECT_EQ(ResolvePath(base + "/vako/Maskin1/prog.NC"), dir.File("Vako/Maskin1/Prog.nc"));
    // A name that does not exist keeps its spelling, below a matched folder.
    EXPECT_EQ(ResolvePath(base + "\\VAKO\\Maskin1\\NY.NC"), dir.File("Vako/Maskin1/NY.NC"));
    EXPECT_EQ(ResolvePath(base + "\\VAKO\\Maskin1\\"), dir.File("Vako/Maskin1/"));
    EXPECT_TRUE(FileExists(base + "\\vako\\Maskin1\\PROG.NC"));
    EXPECT_FALSE(FileExists(base + "\\vako\\maskin1\\PROG.NC"));  // the exact folder wins
    EXPECT_TRUE(DirectoryExists(base + "\\VAKO"));
    EXPECT_FALSE(FileExists(base + "\\VAKO"));
    // Windows-1252 names are UTF-8 on disk.
    WriteFileBytes(dir.File("Bjørn.nc"), "z");
    EXPECT_EQ(ReadFileBytes(ResolvePath(base + "\\BJØRN.NC")), "z");
    EXPECT_EQ(NativeToDncPath(dir.File("Bjørn.nc")).back(), 'c');
    EXPECT_EQ(Utf8ToCp1252("Bjørn €"), "Bj\xF8rn \x80");
}

TEST(Paths, FolderAndNameParts) {
    EXPECT_EQ(FolderPart("C:\\VAKO\\PROG.NC"), "C:\\VAKO\\");
    EXPECT_EQ(FileNamePart("C:\\VAKO\\PROG.NC"), "PROG.NC");
    EXPECT_EQ(FileNamePart("C:PROG.NC"), "PROG.NC");
    EXPECT_EQ(FolderPart("PROG.NC"), "");
    EXPECT_EQ(NativeToDncPath("/tmp/a/b.nc"), "C:\\tmp\\a\\b.nc");
    EXPECT_EQ(NativeToDncPath("rel/b.nc"), "rel\\b.nc");
}

// The drive mapped under a folder (as the tests do): "C:" paths resolve inside it, the DNC
// form of a native path inside it begins with "C:", one outside keeps no drive and still
// resolves to itself.
TEST(Paths, DriveFolderHoldsTheDrivesPaths) {
    TempDir outside;
    WriteFileBytes(outside.File("P.NC"), "out");
    {
        ScopedDriveFolder drive;
        WriteFileBytes(drive.File("Vako/Temp/M1.TXT"), "in");
        EXPECT_EQ(ResolvePath("C:\\VAKO\\TEMP\\M1.TXT"), drive.File("Vako/Temp/M1.TXT"));
        EXPECT_EQ(ReadFileBytes(ResolvePath("c:/vako/temp/m1.txt")), "in");
        EXPECT_EQ(NativeToDncPath(drive.File("Vako/Temp/M1.TXT")), "C:\\Vako\\Temp\\M1.TXT");
        EXPECT_EQ(NativeToDncPath(DriveFolder()), "C:\\");
        const std::string out = NativeToDncPath(outside.File("P.NC"));
        EXPECT_EQ(out.substr(0, 1), "\\");
        EXPECT_EQ(ReadFileBytes(ResolvePath(out)), "out");
        EXPECT_FALSE(FileExists("C:" + out));
    }
    EXPECT_EQ(DriveFolder(), "/");
    EXPECT_EQ(ReadFileBytes(ResolvePath(NativeToDncPath(outside.File("P.NC")))), "out");
}
