#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

#include "TestSupport.h"
#include "settings/KeyStore.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

TEST(IniReader, FirstMatchCaseAndQuotes) {
    ScopedIni ini(
        "[Program]\r\n"
        "Maskiner = 3 \r\n"
        "maskiner=7\r\n"
        "Navn=\"  Med blanke  \"\r\n"
        "Enkel='x'\r\n"
        "Blandet=\"x'\r\n"
        "Tom=\r\n"
        "Ett=\"\r\n"
        "[program]\r\n"
        "Ny=fra andre seksjon\r\n"
        "[Maskin1]\n"
        "Navn=Dreiebenk\n"
        "[Maskin2]\r"
        "Navn = Fres\r");
    EXPECT_EQ(ReadIniText("PROGRAM", "MASKINER", "x"), "3");
    EXPECT_EQ(ReadIniText("Program", "Navn", "x"), "  Med blanke  ");
    EXPECT_EQ(ReadIniText("Program", "Enkel", "x"), "x");
    EXPECT_EQ(ReadIniText("Program", "Blandet", "-"), "\"x'");
    EXPECT_EQ(ReadIniText("Program", "Tom", "standard"), "");
    EXPECT_EQ(ReadIniText("Program", "Ett", "-"), "\"");
    // Keys of a repeated section are not seen: the first section of the name wins.
    EXPECT_EQ(ReadIniText("Program", "Ny", "mangler"), "mangler");
    EXPECT_EQ(ReadIniText("maskin1", "navn", ""), "Dreiebenk");
    EXPECT_EQ(ReadIniText("Maskin2", "Navn", ""), "Fres");
    EXPECT_EQ(ReadIniText("Maskin3", "Navn", "MASKIN3"), "MASKIN3");
    EXPECT_EQ(ReadIniText("", "Navn", "d"), "d");
    EXPECT_EQ(ReadIniText("Maskin1", "", "d"), "d");
}

TEST(IniReader, ValuesAreCutAt4095Bytes) {
    ScopedIni ini("[A]\r\nLang=" + std::string(5000, 'x') + "\r\n");
    EXPECT_EQ(ReadIniText("A", "Lang", "").size(), 4095u);
}

TEST(IniReader, BadFilesNeverCrash) {
    // Binary bytes, NULs, a section line without "]", a 10 MB line, many duplicates.
    std::string bytes = "[A]\r\nK=1\r\n[B\r\nK=2\r\n";
    for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>((i * 7919) & 0xFF));
    bytes += "\r\n[C]\r\nLang=" + std::string(10 * 1024 * 1024, 'y') + "\r\nEtter=ok\r\n";
    for (int i = 0; i < 1000; ++i) bytes += "[D]\r\nK=" + std::to_string(i) + "\r\n";
    ScopedIni ini(bytes);
    EXPECT_EQ(ReadIniText("A", "K", ""), "1");
    // "[B" is not a section: its key belongs to [A], whose first K wins.
    EXPECT_EQ(ReadIniText("B", "K", "none"), "none");
    EXPECT_EQ(ReadIniText("A", "[B", "none"), "");
    EXPECT_EQ(ReadIniText("C", "Lang", "").size(), 4095u);
    EXPECT_EQ(ReadIniText("C", "Etter", ""), "ok");
    EXPECT_EQ(ReadIniText("D", "K", ""), "0");
}

TEST(IniReader, MissingOrUnreadableFileGivesDefaults) {
    TempDir dir;
    SetIniFileName(dir.Dnc("finnes-ikke.ini"));
    EXPECT_EQ(ReadIniText("Program", "Ext", ".NC"), ".NC");
    EXPECT_EQ(ReadIniInt("Program", "Maskiner", 1), 1);
    // A folder in place of the file.
    std::string folder = dir.File("mappe.ini");
    ::mkdir(folder.c_str(), 0755);
    SetIniFileName(NativeToDncPath(folder));
    EXPECT_EQ(ReadIniText("Program", "Ext", ".NC"), ".NC");
    SetIniFileName("");
}

TEST(IniReader, AChangeShowsAtTheNextRead) {
    ScopedIni ini("[Program]\r\nMaskiner=2\r\n");
    EXPECT_EQ(ReadIniInt("Program", "Maskiner", 1), 2);
    ini.Rewrite("[Program]\r\nMaskiner=4\r\n");  // same size, new file
    EXPECT_EQ(ReadIniInt("Program", "Maskiner", 1), 4);
    // Rewritten in place with the same size within the same second.
    WriteFileBytes(ini.dir().File("Vako.ini"), "[Program]\r\nMaskiner=5\r\n");
    struct stat st;
    ::stat(ini.dir().File("Vako.ini").c_str(), &st);
    EXPECT_EQ(ReadIniInt("Program", "Maskiner", 1), 5);
}

TEST(IniReader, ReadBeforeTheIniFileIsLocatedWarns) {
    SetIniFileName("");
    MessageRecorder rec;
    EXPECT_EQ(ReadIniInt("Program", "Maskiner", 1), 1);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "Advarsel");
    EXPECT_EQ(rec.messages[0].second, "Programfeil - ingen aktiv ini-fil:\r[Program], Maskiner = 1");
}

TEST(TypedReads, Conversions) {
    ScopedIni ini(
        "[T]\r\n"
        "B1=true\r\nB2=True\r\nB3=1\r\nB4=yes\r\nB5=2\r\nB6=\r\nB7=-1\r\n"
        "I1=$1F\r\nI2=12abc\r\nI3=\r\nI4=  -42\r\nI5=0x10\r\nI6=x1f\r\nI7=2147483648\r\n"
        "I8=-2147483648\r\nI9=+7\r\nI10=12 \r\nI11=0X7FFFFFFF\r\nI12=99999999999\r\n"
        "F1=2,5\r\nF2=2.5\r\nF3=-1.25E2\r\nF4=abc\r\nF5=.5\r\nF6=inf\r\n"
        "S1=c:\\vako\\skjære\\šx\r\nS2=[cr]x\r\n"
        "C1=N/\r\nC2=\r\nC3=[CR]%\r\n");
    EXPECT_TRUE(ReadIniBool("T", "B1", false));
    EXPECT_TRUE(ReadIniBool("T", "B2", false));
    EXPECT_TRUE(ReadIniBool("T", "B3", false));
    EXPECT_FALSE(ReadIniBool("T", "B4", true));
    EXPECT_FALSE(ReadIniBool("T", "B5", true));
    EXPECT_FALSE(ReadIniBool("T", "B6", true));
    EXPECT_FALSE(ReadIniBool("T", "B7", true));
    EXPECT_TRUE(ReadIniBool("T", "Mangler", true));
    EXPECT_FALSE(ReadIniBool("T", "Mangler", false));

    EXPECT_EQ(ReadIniInt("T", "I1", 0), 31);
    EXPECT_EQ(ReadIniInt("T", "I2", 5), 5);
    EXPECT_EQ(ReadIniInt("T", "I3", 5), 5);
    EXPECT_EQ(ReadIniInt("T", "I4", 5), -42);
    EXPECT_EQ(ReadIniInt("T", "I5", 5), 16);
    EXPECT_EQ(ReadIniInt("T", "I6", 5), 31);
    EXPECT_EQ(ReadIniInt("T", "I7", 5), 5);  // overflow
    EXPECT_EQ(ReadIniInt("T", "I8", 5), INT32_MIN);
    EXPECT_EQ(ReadIniInt("T", "I9", 5), 7);
    EXPECT_EQ(ReadIniInt("T", "I10", 5), 12);  // the reader trims the value
    EXPECT_EQ(ReadIniInt("T", "I11", 5), INT32_MAX);
    EXPECT_EQ(ReadIniInt("T", "I12", 5), 5);
    EXPECT_EQ(ReadIniInt("T", "Mangler", -9), -9);

    EXPECT_EQ(ReadIniFloat("T", "F1", 1.0), 1.0);
    EXPECT_EQ(ReadIniFloat("T", "F2", 1.0), 2.5);
    EXPECT_EQ(ReadIniFloat("T", "F3", 1.0), -125.0);
    EXPECT_EQ(ReadIniFloat("T", "F4", 0.123456), 0.123456);  // bad text: the exact default
    EXPECT_EQ(ReadIniFloat("T", "F5", 1.0), 0.5);
    EXPECT_EQ(ReadIniFloat("T", "F6", 1.0), 1.0);
    EXPECT_DOUBLE_EQ(ReadIniFloat("T", "Mangler", 0.123456), 0.1235);  // default via 4 decimals

    EXPECT_EQ(ReadIniString("T", "S1", ""), "C:\\VAKO\\SKJÆRE\\ŠX");
    // Upper-casing comes after the notation: [cr] gives byte 13, x becomes X.
    EXPECT_EQ(ReadIniString("T", "S2", "", true), "\rX");
    EXPECT_EQ(ReadIniText("T", "S2", "", false), "[cr]x");

    CharSet set;
    EXPECT_TRUE(ReadIniCharSet("T", "C1", "N", set));
    EXPECT_EQ(set.count(), 2u);
    EXPECT_TRUE(set.test('N') && set.test('/'));
    EXPECT_FALSE(ReadIniCharSet("T", "C2", "N", set));
    EXPECT_EQ(set.count(), 0u);
    EXPECT_TRUE(ReadIniCharSet("T", "Mangler", "N", set));
    EXPECT_EQ(set.count(), 1u);
    EXPECT_TRUE(set.test('N'));
    EXPECT_TRUE(ReadIniCharSet("T", "C3", "", set));
    EXPECT_TRUE(set.test(13) && set.test('%'));
}

TEST(TypedReads, UpperCasingCoversWindows1252Letters) {
    EXPECT_EQ(UpperCase1252("æøå šœžÿ abc µß ÷"), "ÆØÅ ŠŒŽŸ ABC µß ÷");
    EXPECT_EQ(LowerCase1252("ÆØÅ ŠŒŽŸ ABC ×"), "æøå šœžÿ abc ×");
}

TEST(TypedReads, ExtraFiltersAndMachineSections) {
    ScopedIni ini(
        "[Maskin1]\r\nExt2=.H\r\nExt3=.MPF\r\nBeskr3=Hovedprogram\r\n"
        "[Maskin2]\r\nExt3=.MPF\r\n"
        "[Program]\r\nMaskiner=3\r\n[Maskin3]\r\nNavn=Fres\r\n");
    EXPECT_EQ(BuildExtraFilters("Maskin1"), "Andre program (*.H)|*.H|Hovedprogram (*.MPF)|*.MPF|");
    EXPECT_EQ(BuildExtraFilters("Maskin2"), "");
    EXPECT_EQ(MachineSection(0), "Maskin1");
    EXPECT_EQ(MachineSection(11), "Maskin12");
    EXPECT_EQ(ReadIniString(MachineSection(1), "Navn", MachineSection(1)), "MASKIN2");
    EXPECT_EQ(ReadIniString(MachineSection(2), "Navn", MachineSection(2)), "FRES");
    EXPECT_EQ(ReadProgramExt(), ".NC");
}

TEST(Helpers, NumbersAndTexts) {
    EXPECT_EQ(ZeroPad(-5, 4), "-005");
    EXPECT_EQ(ZeroPad(42, 5), "00042");
    EXPECT_EQ(ZeroPad(123456, 3), "123456");
    EXPECT_EQ(ZeroPad(7, 1000).size(), 255u);
    EXPECT_EQ(FormatFixed(8, 3, 12.3456), "  12.346");
    EXPECT_EQ(FormatFixed(0, 2, -1.5), "-1.50");
    EXPECT_EQ(FormatFixed(2, 3, 123.0), "123.000");
    EXPECT_EQ(FormatFixed(0, 3, -0.0001), "0.000");
    EXPECT_EQ(PadText("ab", 4, false), "ab  ");
    EXPECT_EQ(PadText("ab", 4, true), "  ab");
    EXPECT_EQ(PadText("abcdef", 3, true), "abc");
    EXPECT_EQ(PadText("abc", 0, false), "");
    EXPECT_EQ(PadText("abc", -3, false), "");
    EXPECT_EQ(DigitsToInt("N0010"), 10);
    EXPECT_EQ(DigitsToInt("X-12.5"), -125);
    EXPECT_EQ(DigitsToInt("1-2"), 0);
    EXPECT_EQ(DigitsToInt("x3y"), 3);
    EXPECT_EQ(DigitsToInt(""), 0);
    EXPECT_EQ(DigitsToInt("99999999999"), 0);
    EXPECT_EQ(TextToFloat(" 12,5 ", 0, 0), 12.5);
    EXPECT_EQ(TextToFloat("X12.5Y", 2, 4), 12.5);
    EXPECT_EQ(TextToFloat("abc", 0, 0), 0.0);
    EXPECT_EQ(TextToFloat("1,5,5", 0, 0), 0.0);
    EXPECT_EQ(TextToFloat("\t-3.25\r", 0, 0), -3.25);
    EXPECT_EQ(FileExtPos("PROG.NC"), 5);
    EXPECT_EQ(FileExtPos("C:\\A.B\\PROG"), 0);
    EXPECT_EQ(FileExtPos("C:\\A\\PROG.TAR.GZ"), 14);
    EXPECT_EQ(FileExtPos("PROG"), 0);
}

namespace {
// Sets up a program folder and runs LocateIniFile with a memory key store.
struct LocateFixture : ::testing::Test {
    TempDir dir;
    MemoryKeyStore store;
    LocateOptions opt;
    void SetUp() override {
        SetKeyStore(&store);
        opt.programDirectory = NativeToDncPath(dir.File("prog")) + "\\";
        ::mkdir(dir.File("prog").c_str(), 0755);
    }
    void TearDown() override {
        SetKeyStore(nullptr);
        SetIniFileName("");
    }
    std::string Ini(const std::string& name, const std::string& body = "[Program]\r\n") {
        WriteFileBytes(dir.File(name), body);
        return dir.Dnc(name);
    }
};
}  // namespace

TEST_F(LocateFixture, ProgramValueWinsOverSharedValue) {
    std::string own = Ini("egen.ini"), shared = Ini("felles.ini");
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "VakoEdit", own);
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "INI-Fil", shared);
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), own);
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "VakoEdit", "");
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), shared);
}

TEST_F(LocateFixture, BareNameLiesInTheProgramFolder) {
    Ini("prog/Annen.ini");
    store.WriteValue(KeyRoot::CurrentUser, kVakoKey, "INI-Fil", "Annen.ini");
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), opt.programDirectory + "Annen.ini");
}

TEST_F(LocateFixture, MachineWideKeyBeforePerUserKey) {
    std::string lm = Ini("lm.ini"), cu = Ini("cu.ini");
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "INI-Fil", lm);
    store.WriteValue(KeyRoot::CurrentUser, kVakoKey, "INI-Fil", cu);
    store.SetReadOnly(KeyRoot::LocalMachine, true);  // read-only access still serves
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), lm);
    store.SetUnavailable(KeyRoot::LocalMachine, true);
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), cu);
}

TEST_F(LocateFixture, VakoIniBesideTheProgramWhenNothingElse) {
    store.SetUnavailable(KeyRoot::LocalMachine, true);
    store.SetUnavailable(KeyRoot::CurrentUser, true);
    LocateIniFile(opt);
    // No key, no C:\Vako\Vako.ini here and no Vako.ini beside the program: the default stays.
    EXPECT_EQ(IniFileName(), "C:\\Vako\\Vako.ini");
    std::string beside = Ini("prog/Vako.ini", "[Program]\r\nSysExt=.bin\r\nExeKatalog=\r\n");
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), opt.programDirectory + "Vako.ini");
    EXPECT_EQ(SystemFileExt(), ".BIN");
}

TEST_F(LocateFixture, FirstArgumentIniOverridesEverything) {
    std::string reg = Ini("reg.ini"), arg = Ini("Arg.INI");
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "VakoEdit", reg);
    opt.arguments = {arg};
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), arg);
    opt.arguments = {dir.Dnc("finnes-ikke.ini")};
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), reg);
    std::string prog = Ini("PROG.NC", "%\r\n");
    opt.arguments = {prog, "2"};
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), reg);
}

TEST_F(LocateFixture, ProgramDirectoryFromIniIsUpperCasedWithBackslash) {
    std::string ini = Ini("v.ini", "[Program]\r\nExeKatalog=d:\\cnc\r\n");
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "INI-Fil", ini);
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "ExeKatalog", "e:\\annet\\");
    LocateIniFile(opt);
    EXPECT_EQ(ProgramDirectory(), "D:\\CNC\\");
    EXPECT_EQ(SystemFileExt(), ".SPR");
    // Without the ini key the registry's folder is used as it is.
    std::string ini2 = Ini("w.ini", "[Program]\r\n");
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "INI-Fil", ini2);
    LocateIniFile(opt);
    EXPECT_EQ(ProgramDirectory(), "E:\\ANNET\\");
}

TEST_F(LocateFixture, PersonalValues) {
    EXPECT_EQ(ReadPersonalInt("TekstFormatering", 0), 0);
    WritePersonalInt("TekstFormatering", 1);
    EXPECT_EQ(ReadPersonalInt("TekstFormatering", 0), 1);
    // A value that is missing under an existing key reads as empty, not as the default.
    WritePersonalString("VakoEdit\\Recent", "File1", "C:\\A.NC");
    EXPECT_EQ(ReadPersonalString("VakoEdit\\Recent", "File1", "x"), "C:\\A.NC");
    EXPECT_EQ(ReadPersonalString("VakoEdit\\Recent", "File2", "x"), "");
    store.SetUnavailable(KeyRoot::CurrentUser, true);
    EXPECT_EQ(ReadPersonalString("VakoEdit\\Recent", "File1", "x"), "x");
    EXPECT_EQ(ReadPersonalInt("TekstFormatering", 7), 7);
}

TEST(IniReader, ConcurrentReadsWhileTheFileChanges) {
    ScopedIni ini("[A]\r\nK=1\r\n");
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!stop) {
            int v = ReadIniInt("A", "K", -1);
            if (v != 1 && v != 2) ++bad;
        }
    });
    for (int i = 0; i < 200; ++i) ini.Rewrite(i % 2 ? "[A]\r\nK=1\r\n" : "[A]\r\nK=2\r\n");
    stop = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}
