#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>

#include "TestSupport.h"
#include "convert/DXF.h"
#include "convert/ESSI.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

namespace {
std::string Num(double v) {
    std::ostringstream s;
    s.precision(17);
    s << v;
    return s.str();
}

std::string Code(const char* code, const std::string& value) {
    return std::string(code) + "\r\n" + value + "\r\n";
}

// Entities in the fixed R12 layout.
std::string Line(double x1, double y1, double z1, double x2, double y2, double z2) {
    return Code("  0", "LINE") + Code("  8", "0") + Code(" 10", Num(x1)) + Code(" 20", Num(y1)) +
           Code(" 30", Num(z1)) + Code(" 11", Num(x2)) + Code(" 21", Num(y2)) + Code(" 31", Num(z2));
}
std::string Circle(double cx, double cy, double cz, double r) {
    return Code("  0", "CIRCLE") + Code("  8", "0") + Code(" 10", Num(cx)) + Code(" 20", Num(cy)) +
           Code(" 30", Num(cz)) + Code(" 40", Num(r));
}
std::string Arc(double cx, double cy, double r, double a50, double a51) {
    return Code("  0", "ARC") + Code("  8", "0") + Code(" 10", Num(cx)) + Code(" 20", Num(cy)) +
           Code(" 30", "0.0") + Code(" 40", Num(r)) + Code(" 50", Num(a50)) + Code(" 51", Num(a51));
}
std::string Drawing(const std::string& entities) {
    return Code("  0", "SECTION") + Code("  2", "ENTITIES") + entities + Code("  0", "ENDSEC") +
           Code("  0", "EOF");
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s += std::string(l) + "\r\n";
    return s;
}

struct Result {
    bool ok = false;
    bool exists = false;
    std::string text;
};

Result Convert(const std::string& dxfBytes, OutputFormat format) {
    TempDir dir;
    WriteFileBytes(dir.File("PART.DXF"), dxfBytes);
    Result r;
    ConvertDxfToNcAs(format, dir.Dnc("PART.DXF"), dir.Dnc("PART.NC"), r.ok);
    r.exists = std::filesystem::exists(dir.File("PART.NC"));
    if (r.exists) r.text = ReadFileBytes(dir.File("PART.NC"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("PART.NC.skarv-tmp")));
    return r;
}

const std::string kExample =
    Drawing(Line(0, 0, 0, 10, 0, 0) + Line(10, 0, 0, 10, 5, 0) + Circle(20, 5, 0, 5));

// Every number of the program is finite: no word holds Nan or Inf, and every run of digits
// with its sign reads as a finite number.
void ExpectFiniteProgram(const std::string& text) {
    EXPECT_EQ(text.find("Nan"), std::string::npos);
    EXPECT_EQ(text.find("Inf"), std::string::npos);
    std::string num;
    auto flush = [&] {
        if (num.empty() || num == "+" || num == "-") { num.clear(); return; }
        double v;
        std::string t = num[0] == '+' ? num.substr(1) : num;
        EXPECT_TRUE(ParseFloat(t, v) && std::isfinite(v)) << num;
        num.clear();
    };
    for (char c : text) {
        if ((c >= '0' && c <= '9') || c == '.' || ((c == '-' || c == '+') && num.empty())) {
            num.push_back(c);
        } else {
            flush();
            if (c == '-' || c == '+') num.push_back(c);
        }
    }
    flush();
}

void ExpectFailsOrFinite(const std::string& dxf) {
    for (OutputFormat f : {OutputFormat::Standard, OutputFormat::Essi}) {
        Result r = Convert(dxf, f);
        if (r.ok) {
            ASSERT_TRUE(r.exists);
            ExpectFiniteProgram(r.text);
        } else {
            EXPECT_FALSE(r.exists);
        }
    }
}
}  // namespace

TEST(DxfStandard, ExampleByteForByte) {
    Result r = Convert(kExample, OutputFormat::Standard);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.text, Lines({"%", "N0010 G01 X10.000", "N0020 Y5.000", "N0030 G00 X25.000",
                             "N0040 G03 I-5.000", "N0050 M30", "%"}));
}

TEST(DxfEssi, ExampleByteForByte) {
    Result r = Convert(kExample, OutputFormat::Essi);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.text, Lines({"1", "ESSI Upload", "Part Number 1", "7", "+100+", "++50", "8", "5",
                             "+150+", "6", "7", "++-50++", "8", "63", "0"}));
}

TEST(DxfFormat, ChosenPerMachineAndUnknownValueShown) {
    ScopedIni ini("[Maskin1]\r\nDXFFormat=essi\r\n[Maskin2]\r\nDXFFormat=Hpgl\r\n[Maskin3]\r\n");
    MessageRecorder rec;
    TempDir dir;
    WriteFileBytes(dir.File("A.DXF"), kExample);
    bool ok = false;
    ConvertDxfToNc(1, dir.Dnc("A.DXF"), dir.Dnc("A.NC"), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ReadFileBytes(dir.File("A.NC")).substr(0, 3), "1\r\n");
    EXPECT_TRUE(rec.messages.empty());

    ConvertDxfToNc(2, dir.Dnc("A.DXF"), dir.Dnc("A.NC"), ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, kDxfFormatCaption);
    EXPECT_EQ(rec.messages[0].second, "HPGL");
    EXPECT_EQ(ReadFileBytes(dir.File("A.NC")).substr(0, 9), "%\r\nN0010 ");

    ConvertDxfToNc(3, dir.Dnc("A.DXF"), dir.Dnc("A.NC"), ok);  // no key: standard
    EXPECT_EQ(ReadFileBytes(dir.File("A.NC")).substr(0, 3), "%\r\n");
    EXPECT_EQ(rec.messages.size(), 1u);
}

TEST(DxfStandard, EmptyDrawing) {
    EXPECT_EQ(Convert(Drawing(""), OutputFormat::Standard).text, Lines({"%", "N0010 M30", "%"}));
    EXPECT_EQ(Convert(Drawing(""), OutputFormat::Essi).text,
              Lines({"1", "ESSI Upload", "Part Number 1", "63", "0"}));
}

TEST(DxfStandard, HeadToTailLinesAndRapidOnlyWhenApart) {
    Result r = Convert(Drawing(Line(1, 2, 0, 4, 2, 0) + Line(4, 2, 0, 4, 6, 0) + Line(4.0003, 6, 0, 9, 6, 0) +
                               Line(0, 0, 0, 1, 1, 1)),
                       OutputFormat::Standard);
    EXPECT_EQ(r.text, Lines({"%", "N0010 G00 X1.000 Y2.000", "N0020 G01 X4.000", "N0030 Y6.000",
                             "N0040 X9.000", "N0050 G00 X0.000 Y0.000", "N0060 G01 X1.000 Y1.000 Z1.000",
                             "N0070 M30", "%"}));
}

TEST(DxfStandard, ArcEndingAtCurrentPositionIsCutBackwards) {
    // From (10,0) the arc about (5,0) runs 180 -> 360 degrees, i.e. from (0,0) to (10,0).
    std::string d = Drawing(Line(0, 0, 0, 10, 0, 0) + Arc(5, 0, 5, 180, 360) + Arc(5, 0, 5, 180, 0));
    Result r = Convert(d, OutputFormat::Standard);
    EXPECT_EQ(r.text, Lines({"%", "N0010 G01 X10.000", "N0020 G02 X0.000 I-5.000",
                             // now at (0,0): the second arc starts here, counter-clockwise
                             "N0030 G03 X10.000 I5.000", "N0040 M30", "%"}));
    Result e = Convert(d, OutputFormat::Essi);
    EXPECT_EQ(e.text, Lines({"1", "ESSI Upload", "Part Number 1", "7", "+100+", "-100+-50+-",
                             "+100++50++", "8", "63", "0"}));
}

TEST(DxfStandard, FullCircleEnteredFromItself) {
    std::string d = Drawing(Line(0, 0, 0, 10, 0, 0) + Circle(5, 0, 0, 5));
    EXPECT_EQ(Convert(d, OutputFormat::Standard).text,
              Lines({"%", "N0010 G01 X10.000", "N0020 G02 I-5.000", "N0030 M30", "%"}));
    EXPECT_EQ(Convert(d, OutputFormat::Essi).text,
              Lines({"1", "ESSI Upload", "Part Number 1", "7", "+100+", "++-50+-", "8", "63", "0"}));
}

TEST(DxfReader, SubclassMarkersAndExtraCodes) {
    // The later layout: handles, subclass markers, thickness and extrusion between the codes.
    std::string d = Lines({"  0", "SECTION", "  2", "ENTITIES", "  0", "ARC", "  5", "2A", "330", "1F",
                           "100", "AcDbEntity", "  8", "0", "100", "AcDbCircle", " 10", "5.0", " 20",
                           "0.0", " 30", "0.0", " 40", "5.0", "210", "0.0", "220", "0.0", "230", "1.0",
                           "100", "AcDbArc", " 50", "0.0", " 51", "90.0", "  0", "line", "100",
                           "AcDbLine", " 10", "5.0", " 20", "5.0", " 30", "0.0", " 11", "0.0", " 21",
                           "5.0", " 31", "0.0", "  0", "ENDSEC", "  0", "EOF"});
    EXPECT_EQ(Convert(d, OutputFormat::Standard).text,
              Lines({"%", "N0010 G00 X10.000", "N0020 G03 X5.000 Y5.000 I-5.000", "N0030 G01 X0.000",
                     "N0040 M30", "%"}));
}

TEST(DxfReader, MissingCodesReadAsZeroWithoutDisturbingTheNext) {
    std::string d = Drawing(Code("  0", "LINE") + Code(" 10", "5") + Code(" 30", "2") + Code(" 11", "7") +
                            Code(" 21", "8") + Code(" 31", "2") + Code("  0", "CIRCLE") +
                            Code(" 10", "7") + Code(" 20", "8") + Code(" 30", "2"));
    // The circle has no radius: 0, a rapid to its centre and a circle of nothing.
    EXPECT_EQ(Convert(d, OutputFormat::Standard).text,
              Lines({"%", "N0010 G00 X5.000 Z2.000", "N0020 G01 X7.000 Y8.000", "N0030 G02", "N0040 M30",
                     "%"}));
}

TEST(DxfReader, UnpaddedGroupCodesConvertAndAFailureKeepsAnExistingProgram) {
    // The format allows group codes without the padding to three places.
    std::string d = Lines({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "8", "0", "10", "1.0", "20", "1.0",
                           "30", "0.0", "11", "2.0", "21", "2.0", "31", "0.0", "0", "ENDSEC", "0", "EOF"});
    EXPECT_EQ(Convert(d, OutputFormat::Standard).text,
              Lines({"%", "N0010 G00 X1.000 Y1.000", "N0020 G01 X2.000 Y2.000", "N0030 M30", "%"}));

    // A drawing that stops inside its section fails and leaves the program that was there.
    std::string cut = d.substr(0, d.find("ENDSEC"));
    TempDir dir;
    WriteFileBytes(dir.File("PART.DXF"), cut);
    WriteFileBytes(dir.File("PART.NC"), "%\r\nN0010 G01 X1.000\r\n%\r\n");
    bool ok = true;
    ConvertDxfToNcAs(OutputFormat::Essi, dir.Dnc("PART.DXF"), dir.Dnc("PART.NC"), ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadFileBytes(dir.File("PART.NC")), "%\r\nN0010 G01 X1.000\r\n%\r\n");
}

TEST(DxfReader, LowerCaseNamesAndCommaDecimals) {
    std::string d = Drawing(Code("  0", "line") + Code(" 10", "1,5") + Code(" 20", " 2 ") + Code(" 30", "0") +
                            Code(" 11", "3") + Code(" 21", "2") + Code(" 31", "0") + Code("  0", "Circle") +
                            Code(" 10", "3") + Code(" 20", "4") + Code(" 30", "0") + Code(" 40", "2"));
    EXPECT_EQ(Convert(d, OutputFormat::Standard).text,
              Lines({"%", "N0010 G00 X1.500 Y2.000", "N0020 G01 X3.000", "N0030 G02 J2.000", "N0040 M30",
                     "%"}));
}

TEST(DxfReader, MissingDrawingCreatesNothing) {
    TempDir dir;
    bool ok = true;
    ConvertDxfToNcAs(OutputFormat::Standard, dir.Dnc("NONE.DXF"), dir.Dnc("NONE.NC"), ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(std::filesystem::exists(dir.File("NONE.NC")));
}

TEST(DxfStandard, BlockNumbersGrowToFiveDigits) {
    std::string e;
    for (int i = 0; i < 1000; ++i) e += Line(i, 0, 0, i + 1, 0, 0);
    Result r = Convert(Drawing(e), OutputFormat::Standard);
    EXPECT_NE(r.text.find("\r\nN9990 X999.000\r\nN10000 X1000.000\r\nN10010 M30\r\n%\r\n"), std::string::npos);
}

TEST(DxfStandard, AxisTextMatchesFormatFixed) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    std::vector<double> values = {0.0, -0.0, -0.0004, 0.0005, -0.0005, 0.0015, 2.5e-4, 1e300, -1e308, 123.4565};
    for (int i = 0; i < 2000; ++i) values.push_back(u(rng) / (i % 7 + 1));
    for (double v : values) {
        std::string s;
        AppendFixed3(s, v);
        EXPECT_EQ(s, FormatFixed(0, 3, v)) << v;
    }
}

TEST(DxfEssi, RoundingHalvesToEvenAndNoZ) {
    std::string s;
    for (double v : {0.04, 0.25, -0.25, 0.75, -0.04, 0.0, 12.34, -1.06}) {
        ASSERT_TRUE(EssiValue(v, s));
        s += ' ';
    }
    EXPECT_EQ(s, "+ +2 -2 +8 + + +123 -11 ");
    std::string bad;
    EXPECT_FALSE(EssiValue(1e308, bad));
    EXPECT_FALSE(EssiValue(NAN, bad));

    // Each increment runs from where the cutter stands, in whole tenths, to the drawing's point
    // rounded to tenths: the 0.04 left behind by the first cut is taken up by the second
    // (0 to 2.9 rounds to +3, where 0.04 to 0.29 alone gave +2), the half tenth of -2.5 goes
    // to the even -2, and the rapid to the circle reaches 3.42 rounded (34), not 3.67 (37).
    std::string d = Drawing(Line(0, 0, 7, 0.04, 0, 9) + Line(0.04, 0, 9, 0.29, -0.25, 8) +
                            Circle(3.3, 3.42, 6.6, 0.3) + Arc(1, 1, 1, 0, 90));
    EXPECT_EQ(Convert(d, OutputFormat::Essi).text,
              Lines({"1", "ESSI Upload", "Part Number 1", "7", "++", "+3-2", "8", "5", "+33+36", "6", "7",
                     "++-3++", "8", "5", "-16-24", "6", "7", "-10+10-10++", "8", "63", "0"}));
}

TEST(DxfEssi, SmallRapidIsNeverWritten) {
    std::string d = Drawing(Line(0, 0, 0, 10, 0, 0) + Line(10.03, 0, 0, 20, 0, 0));
    EXPECT_EQ(Convert(d, OutputFormat::Essi).text,
              Lines({"1", "ESSI Upload", "Part Number 1", "7", "+100+", "+100+", "8", "63", "0"}));
}

TEST(DxfBadDrawings, FailOrWriteOnlyFiniteNumbers) {
    // Truncated inside an entity, and an entity name as the very last line.
    std::string full = Drawing(Line(0, 0, 0, 10, 0, 0) + Arc(5, 0, 5, 0, 180));
    for (size_t cut : {full.size() / 3, full.size() / 2, full.size() - 40}) {
        ExpectFailsOrFinite(full.substr(0, cut));
    }
    EXPECT_FALSE(Convert(full.substr(0, full.size() - 40), OutputFormat::Standard).ok);
    EXPECT_FALSE(Convert(Line(0, 0, 0, 1, 1, 0) + "  0\r\nLINE", OutputFormat::Standard).ok);
    EXPECT_FALSE(Convert(Line(0, 0, 0, 1, 1, 0) + "  0\r\nARC\r\n", OutputFormat::Essi).ok);
    EXPECT_FALSE(Convert(Line(0, 0, 0, 1, 1, 0) + Code("  0", "CIRCLE") + Code(" 10", "1"), OutputFormat::Standard).ok);

    // Huge, infinite and undefined values.
    ExpectFailsOrFinite(Drawing(Line(-1e308, 0, 0, 1e308, 0, 0) + Circle(1e308, 0, 0, 1e308)));
    ExpectFailsOrFinite(Drawing(Arc(1e308, -1e308, 1e308, 1e308, -1e308) + Line(0, 0, 0, 1, 1, 1)));
    ExpectFailsOrFinite(Drawing(Arc(1, 1, 1, 1e300, 1e306)));
    std::string odd = Drawing(Code("  0", "LINE") + Code(" 10", "nan") + Code(" 20", "inf") + Code(" 30", "-inf") +
                              Code(" 11", "1e999") + Code(" 21", "NaN") + Code(" 31", "1e-400"));
    Result r = Convert(odd, OutputFormat::Standard);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, Lines({"%", "N0010 G01", "N0020 M30", "%"}));  // every value reads as 0
    ExpectFailsOrFinite(odd);

    // A line of a megabyte, in the middle of an entity and between entities.
    std::string big(1 << 20, '7');
    ExpectFailsOrFinite(Drawing(Line(0, 0, 0, 1, 0, 0) + Code("  0", "LINE") + Code(" 10", big) + Code(" 20", "1") +
                                big + "\r\n" + Line(1, 1, 0, 2, 2, 0)));
    Result b = Convert(Drawing(big + "\r\n" + Line(0, 0, 0, 1, 0, 0)), OutputFormat::Standard);
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(b.text, Lines({"%", "N0010 G01 X1.000", "N0020 M30", "%"}));

    // A binary drawing: whatever its bytes hold, no crash and no undefined number.
    std::string bin = std::string("AutoCAD Binary DXF\r\n\x1a\0", 22);
    std::mt19937 rng(3);
    for (int i = 0; i < 4000; ++i) bin.push_back(static_cast<char>(rng()));
    bin += "\r\nLINE\r\n 10\r\n";
    ExpectFailsOrFinite(bin);
}

TEST(DxfNames, NcNameFromDrawing) {
    EXPECT_EQ(DxfToNcName("C:\\VAKO\\MASKIN1\\PART.DXF"), "C:\\VAKO\\MASKIN1\\PART.NC");
    EXPECT_EQ(DxfToNcName("C:\\VAKO\\part.dxf"), "C:\\VAKO\\part.NC");
    // A folder that happens to carry ".DXF" in its name is not the place of the program.
    EXPECT_EQ(DxfToNcName("C:\\OLD.DXF\\PART.DXF"), "C:\\OLD.DXF\\PART.NC");
    EXPECT_EQ(DxfToNcName("C:\\A\\PART.DXF.BAK"), "C:\\A\\PART.NC");
    EXPECT_EQ(DxfToNcName("C:\\A\\PART"), "C:\\A\\PART.NC");
}

TEST(DxfCommand, ConvertsBesideTheDrawingOrIntoOut) {
    ScopedIni ini("[Maskin2]\r\nDXFFormat=ESSI\r\n[Maskin3]\r\nDXFFormat=hpgl\r\n");
    TempDir dir;
    WriteFileBytes(dir.File("Part.dxf"), kExample);
    std::string out, err;
    std::string skarv = BinDir() + "/skarv";
    ASSERT_EQ(RunProgram({skarv, "--ini", ini.dncPath(), "dxf", dir.File("Part.dxf")}, &out, &err), 0) << err;
    EXPECT_EQ(ReadFileBytes(dir.File("Part.NC")).substr(0, 13), "%\r\nN0010 G01 ");

    ASSERT_EQ(RunProgram({skarv, "--ini", ini.dncPath(), "--machine", "2", "dxf", dir.File("Part.dxf"), "-o",
                          dir.File("cut.txt")},
                         &out, &err),
              0)
        << err;
    EXPECT_EQ(ReadFileBytes(dir.File("cut.txt")).substr(0, 3), "1\r\n");

    // An unknown format is reported and the program is written in the standard format.
    ASSERT_EQ(RunProgram({skarv, "--ini", ini.dncPath(), "--machine", "3", "dxf", dir.File("Part.dxf")}, &out, &err), 0);
    EXPECT_NE(err.find("Ugyldig DXF-format"), std::string::npos) << err;
    EXPECT_NE(err.find("HPGL"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(dir.File("Part.NC")).substr(0, 3), "%\r\n");

    WriteFileBytes(dir.File("Bad.DXF"), Line(0, 0, 0, 1, 1, 0) + "  0\r\nLINE\r\n");
    EXPECT_EQ(RunProgram({skarv, "--ini", ini.dncPath(), "dxf", dir.File("Bad.DXF")}, &out, &err), 1);
    EXPECT_NE(err.find("Feil med konvertering fra DXF TIL NC"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("Bad.NC")));
    EXPECT_EQ(RunProgram({skarv, "--ini", ini.dncPath(), "dxf", dir.File("Missing.DXF")}, &out, &err), 1);
    EXPECT_EQ(RunProgram({skarv, "dxf"}, &out, &err), 2);
}

TEST(DxfSamples, RealDrawingsNeverCrash) {
    std::string folder = SharedDir() + "/dxf-samples";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no samples";
    int converted = 0, count = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        std::string ext = UpperCase1252(e.path().extension().string());
        if (ext != ".DXF") continue;
        ++count;
        for (OutputFormat f : {OutputFormat::Standard, OutputFormat::Essi}) {
            TempDir dir;
            bool ok = false;
            ConvertDxfToNcAs(f, NativeToDncPath(e.path().string()), dir.Dnc("OUT.NC"), ok);
            if (ok) {
                ++converted;
                std::string text = ReadFileBytes(dir.File("OUT.NC"));
                ExpectFiniteProgram(text);
                EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
            }
        }
    }
    EXPECT_GT(count, 0);
    EXPECT_GT(converted, 0);
}
