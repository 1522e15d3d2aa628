#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "document/Catalogue.h"
#include "settings/PathResolve.h"
#include "settings/Visual.h"

namespace {
std::string Folder(const TempDir& d) { return d.Dnc(""); }
}  // namespace

TEST(Catalogue, ThreeProgramsWithPaddedBoldNamesAndExcerpts) {
    TempDir dir;
    std::string longLine(200, '1');
    WriteFileBytes(dir.File("PROGRAM.NC"), "%\r\n* comment\r\nN10 G90\r\n\x15skip\r\n  N20 X5\r\n" + longLine + "\r\n");
    WriteFileBytes(dir.File("a.nc"), "N1\r\n\r\n\r\nN2\r\n");
    WriteFileBytes(dir.File("B1.NC"), "");
    WriteFileBytes(dir.File("other.txt"), "N1\r\n");
    std::filesystem::create_directory(dir.File("DIR.NC"));
    WriteFileBytes(dir.File(".hidden.NC"), "N1\r\n");

    CatalogueText cat = BuildCatalogue(Folder(dir), ".NC", false);
    ASSERT_EQ(cat.lines.size(), 3u);
    EXPECT_EQ(cat.nameWidth, 10);
    EXPECT_EQ(cat.lines[0], "a.nc        N1  N2");
    EXPECT_EQ(cat.lines[1], "B1.NC     ");
    std::string excerpt = "  %  N10 G90  N20 X5  " + longLine;
    EXPECT_EQ(cat.lines[2], "PROGRAM.NC" + excerpt.substr(0, 114));
    EXPECT_EQ(cat.lines[2].size(), 124u);

    ASSERT_EQ(cat.bold.size(), 3u);
    EXPECT_EQ(cat.bold[0].start, 0);
    EXPECT_EQ(cat.bold[0].length, 10);
    EXPECT_EQ(cat.bold[1].start, static_cast<int64_t>(cat.lines[0].size()) + 2);
    EXPECT_EQ(cat.bold[2].start, static_cast<int64_t>(cat.lines[0].size() + cat.lines[1].size()) + 4);
    EXPECT_EQ(cat.bold[2].line, 2);
    EXPECT_EQ(cat.bold[2].length, 10);

    // With TekstFormat the lines are read as they are: empty lines and leading blanks stay.
    cat = BuildCatalogue(Folder(dir), ".nc", true);
    EXPECT_EQ(cat.lines[0], "a.nc        N1      N2");  // two empty lines: two spaces each
    EXPECT_EQ(cat.lines[2].substr(10, 28), "  %  N10 G90    N20 X5  1111");
}

TEST(Catalogue, NamesInNotationStayBoldOverTheirWidth) {
    TempDir dir;
    WriteFileBytes(dir.File(Cp1252ToUtf8("#1.NC")), "N1 [A]\r\n");
    WriteFileBytes(dir.File(Cp1252ToUtf8("Bø.NC")), "N1\r\n");
    CatalogueText cat = BuildCatalogue(Folder(dir), ".NC", false);
    ASSERT_EQ(cat.lines.size(), 2u);
    EXPECT_EQ(cat.nameWidth, 5);
    EXPECT_EQ(cat.lines[0], "[35]1.NC  N1 [91]A[93]");
    EXPECT_EQ(cat.lines[1], "B[248].NC  N1");
    EXPECT_EQ(cat.bold[0].length, 8);
    EXPECT_EQ(cat.bold[1].length, 9);
    EXPECT_EQ(cat.bold[1].start, static_cast<int64_t>(cat.lines[0].size()) + 2);
}

TEST(Catalogue, NamesWiderThanTheLineGetNoExcerpt) {
    TempDir dir;
    std::string name(130, 'P');
    name += ".NC";
    WriteFileBytes(dir.File(name), "N1\r\n");
    WriteFileBytes(dir.File("A.NC"), "N1\r\n");
    CatalogueText cat = BuildCatalogue(Folder(dir), ".NC", false);
    ASSERT_EQ(cat.lines.size(), 2u);
    EXPECT_EQ(cat.lines[0], "A.NC" + std::string(129, ' '));
    EXPECT_EQ(cat.lines[1], name);
    EXPECT_EQ(ProgramExcerpt(dir.Dnc("A.NC"), -5, false), "");
    EXPECT_EQ(ProgramExcerpt(dir.Dnc("A.NC"), 0, true), "");
    EXPECT_EQ(ProgramExcerpt(dir.Dnc("MISSING.NC"), 50, false), "");
}

TEST(Catalogue, EmptyOrMissingFolderGivesNoLines) {
    TempDir dir;
    EXPECT_TRUE(BuildCatalogue(Folder(dir), ".NC", false).empty());
    EXPECT_TRUE(BuildCatalogue(Folder(dir) + "NONE\\", ".NC", false).empty());
}

TEST(Catalogue, ExtensionMatchIgnoresCaseAndUsesWildcards) {
    TempDir dir;
    for (const char* n : {"a.nc", "b.NC", "c.nc1", "dnc", "e.H", "README"}) WriteFileBytes(dir.File(n), "x\r\n");
    EXPECT_EQ(ListCatalogueFiles(Folder(dir), ".NC"), (std::vector<std::string>{"a.nc", "b.NC"}));
    EXPECT_EQ(ListCatalogueFiles(Folder(dir), ".NC?").size(), 1u);
    EXPECT_EQ(ListCatalogueFiles(Folder(dir), ".*").size(), 6u);
    EXPECT_EQ(ListCatalogueFiles(Folder(dir), "").size(), 6u);
}

TEST(ExcerptLine, SkipsLeadingBlanksAndCutsAt150) {
    TempDir dir;
    std::string body = " \t\r\n\r\n  N10\tG1 \x01X2\r" + std::string(160, 'Y') + "\n\x15N30\r\n";
    WriteFileBytes(dir.File("P.NC"), body);
    TextFile f;
    bool ok = true;
    OpenTextForRead(dir.Dnc("P.NC"), f, ok);
    ASSERT_TRUE(ok);
    std::string line;
    ASSERT_TRUE(ReadExcerptLine(f, line, ok));
    EXPECT_EQ(line, "N10G1 X2");
    ASSERT_TRUE(ReadExcerptLine(f, line, ok));
    EXPECT_EQ(line, std::string(150, 'Y'));
    ASSERT_TRUE(ReadExcerptLine(f, line, ok));
    EXPECT_EQ(line, std::string(10, 'Y'));
    ASSERT_TRUE(ReadExcerptLine(f, line, ok));
    EXPECT_EQ(line, "\x15N30");
    EXPECT_FALSE(ReadExcerptLine(f, line, ok));
    CloseText(f, ok);
    // A line that begins with 0x15 after blanks is left out like the one at the start.
    EXPECT_EQ(ProgramExcerpt(dir.Dnc("P.NC"), 200, false).find("N30"), std::string::npos);
}

TEST(MachineFolder, DefaultsAndTheSecondFolder) {
    ScopedIni ini("[Maskin1]\r\nKatalog=c:\\cnc\\dreiebenk\\\r\n"
                  "[Maskin2]\r\nKatalog=C:\\Fres\\\r\nUtKatalog=true\r\n"
                  "[Maskin3]\r\nUtKatalog=1\r\nKatalog2=d:\\ut\\\r\n"
                  "[Maskin4]\r\nUtKatalog=False\r\nKatalog2=d:\\ut\\\r\n");
    EXPECT_EQ(MachineFolder(1), "C:\\CNC\\DREIEBENK\\");
    EXPECT_EQ(MachineFolder(2), "C:\\FRES\\");  // no Katalog2: the Katalog value
    EXPECT_EQ(MachineFolder(3), "D:\\UT\\");
    EXPECT_EQ(MachineFolder(4), "C:\\VAKO\\MASKIN4\\");
    EXPECT_EQ(MachineFolder(7), "C:\\VAKO\\MASKIN7\\");
}
