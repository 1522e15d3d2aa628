#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "document/Loaders.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

namespace {
using Lines = std::vector<std::string>;

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s.push_back(static_cast<char>(c));
    return s;
}

Lines OwnLoader(const std::string& bytes, bool dos, bool* header = nullptr) {
    TempDir dir;
    WriteFileBytes(dir.File("P.NC"), bytes);
    LineText t;
    bool h = false;
    EXPECT_TRUE(LoadTextFile(dir.Dnc("P.NC"), dos, t, h));
    if (header) *header = h;
    EXPECT_EQ(t.Lines().size(), t.lineCount);
    return t.Lines();
}

Lines Inserted(const std::string& bytes, bool dos) {
    TempDir dir;
    WriteFileBytes(dir.File("C.NC"), bytes);
    LineText t;
    EXPECT_TRUE(InsertTextFile(dir.Dnc("C.NC"), dos, t));
    return t.Lines();
}

Lines Binary(const std::string& bytes, bool strip) {
    TempDir dir;
    WriteFileBytes(dir.File("P.BIN"), bytes);
    LineText t;
    EXPECT_TRUE(LoadBinaryFile(dir.Dnc("P.BIN"), strip, t));
    return t.Lines();
}

// Restores the system file extension a test changes.
struct ScopedSysExt {
    std::string previous = SystemFileExt();
    explicit ScopedSysExt(const std::string& ext) { SetSystemFileExt(ext); }
    ~ScopedSysExt() { SetSystemFileExt(previous); }
};
}  // namespace

TEST(LoadTextFile, DosMappingAndBlankLines) {
    std::string file = "N10\r\n\r\nN20 " + Bytes({0x91, 0x9B, 0x86, 0x92, 0x9D, 0x8F}) + "\r\n";
    EXPECT_EQ(OwnLoader(file, true), (Lines{"N10", "", "N20 æøåÆØÅ"}));
    // Without the DOS format the blank line goes and the bytes stay as they are.
    EXPECT_EQ(OwnLoader(file, false),
              (Lines{"N10", "N20 " + Bytes({0x91, 0x9B, 0x86, 0x92, 0x9D, 0x8F})}));
    // A blank line ended by LF alone is dropped even in the DOS format; one ended by CR stays.
    EXPECT_EQ(OwnLoader("A\n\nB\r\rC", true), (Lines{"A", "B", "", "C"}));
    // A file that is only line ends.
    EXPECT_EQ(OwnLoader("\r\n\r\n", true), (Lines{"", ""}));
    EXPECT_EQ(OwnLoader("\r\n\r\n", false), Lines{});
}

TEST(LoadTextFile, ControlBytesAndTheBar) {
    // 0x1D and 0x1E become "|"; other control bytes (the tab too) are dropped.
    EXPECT_EQ(OwnLoader(Bytes({'A', 0x1D, 'B', 0x1E, 'C', 0x09, 'D', 0x01, 0x1A, 'E'}), false),
              (Lines{"A|B|CDE"}));
    // Inserting drops them like any other control byte.
    EXPECT_EQ(Inserted(Bytes({'A', 0x1D, 'B', 0x1E, 'C', 13, 10, 'D'}), false),
              (Lines{"ABC", "D"}));
}

TEST(LoadTextFile, LongLinesAreCutAt251) {
    std::string l300(300, 'X');
    Lines got = OwnLoader("N1\r\n" + l300 + "\r\nN2\r\n", false);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[1], std::string(251, 'X'));
    EXPECT_EQ(got[2], std::string(49, 'X'));
    EXPECT_EQ(got[3], "N2");
    // A line of exactly 251 characters stays one line, and no blank line follows it.
    EXPECT_EQ(OwnLoader(std::string(251, 'Y') + "\r\nZ", true),
              (Lines{std::string(251, 'Y'), "Z"}));
    EXPECT_EQ(OwnLoader(std::string(502, 'Y'), false),
              (Lines{std::string(251, 'Y'), std::string(251, 'Y')}));
}

TEST(LoadTextFile, HeaderLines) {
    bool header = false;
    EXPECT_EQ(OwnLoader(Bytes({0x15}) + "HEADER 12\r\nN10\r\nN20\r\n", false, &header),
              (Lines{"N10", "N20"}));
    EXPECT_TRUE(header);
    EXPECT_EQ(OwnLoader(Bytes({0xA7}) + "HEADER\r\nN10\r\n", false, &header), (Lines{"N10"}));
    EXPECT_TRUE(header);
    // A section sign further down is text.
    EXPECT_EQ(OwnLoader("N10\r\n" + Bytes({0xA7}) + "2\r\n", false, &header),
              (Lines{"N10", Bytes({0xA7}) + "2"}));
    EXPECT_FALSE(header);
    // A header line holding nothing but the sign takes no program line with it.
    EXPECT_EQ(OwnLoader(Bytes({0x15, 13, 10}) + "N10\r\nN20\r\n", false), (Lines{"N10", "N20"}));
    EXPECT_EQ(OwnLoader(Bytes({0x15, 13, 10}) + "N10\r\nN20\r\n", true), (Lines{"N10", "N20"}));
    // Inserted files keep theirs.
    EXPECT_EQ(Inserted(Bytes({0xA7}) + "H\r\nN10", false), (Lines{Bytes({0xA7}) + "H", "N10"}));
}

TEST(LoadTextFile, MissingFileGivesNoLines) {
    TempDir dir;
    LineText t;
    t.Append("old");
    bool header = true;
    EXPECT_FALSE(LoadTextFile(dir.Dnc("NONE.NC"), false, t, header));
    EXPECT_EQ(t.lineCount, 0u);
    EXPECT_FALSE(header);
}

TEST(LoadTextAsIs, LinesAsTheFileHasThem) {
    TempDir dir;
    std::string l300(300, 'X');
    WriteFileBytes(dir.File("P.NC"), "N1\r\n\r\n" + l300 + "\nA\tB\rC" + Bytes({0x91}) + "\r\n");
    LineText t;
    bool header = true;
    ASSERT_TRUE(LoadTextAsIs(dir.Dnc("P.NC"), t, header));
    EXPECT_EQ(t.Lines(), (Lines{"N1", "", l300, "A\tB", "C" + Bytes({0x91})}));
    EXPECT_EQ(t.text, "N1\r\n\r\n" + l300 + "\r\nA\tB\r\nC" + Bytes({0x91}));
    EXPECT_FALSE(header);
    WriteFileBytes(dir.File("H.NC"), Bytes({0x15}) + "H\r\nN1");
    ASSERT_TRUE(LoadTextAsIs(dir.Dnc("H.NC"), t, header));
    EXPECT_TRUE(header);
    WriteFileBytes(dir.File("E.NC"), "\r\n" + Bytes({0xA7}) + "\r\n");
    ASSERT_TRUE(LoadTextAsIs(dir.Dnc("E.NC"), t, header));
    EXPECT_FALSE(header);  // the first line is empty
    EXPECT_EQ(t.Lines(), (Lines{"", Bytes({0xA7})}));
}

TEST(LoadTextAsIs, CrLfSplitAcrossReadChunks) {
    // Lines of 131072 bytes put a CR at the end of each read and its LF at the start of the
    // next: one line break, not two.
    TempDir dir;
    std::string a((1 << 17) - 1, 'A');
    WriteFileBytes(dir.File("BIG.NC"), a + "\r\n" + "B\r\n");
    LineText t;
    bool header = false;
    ASSERT_TRUE(LoadTextAsIs(dir.Dnc("BIG.NC"), t, header));
    EXPECT_EQ(t.lineCount, 2u);
    EXPECT_EQ(t.text, a + "\r\nB");
}

// The two text readers agree on real programs: the own reader gives the as-is lines without
// control bytes and without the blank ones.
TEST(LoadTextFile, RealProgramsAgreeWithTheControlsReader) {
    std::string dir = SharedDir() + "/nc-samples";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no sample programs";
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (e.path().extension() != ".ngc") continue;
        std::string dnc = NativeToDncPath(e.path().string());
        LineText asIs, own;
        bool h1 = false, h2 = false;
        ASSERT_TRUE(LoadTextAsIs(dnc, asIs, h1));
        ASSERT_TRUE(LoadTextFile(dnc, false, own, h2));
        Lines want;
        for (const std::string& l : asIs.Lines()) {
            std::string kept;
            for (unsigned char c : l)
                if (c >= 32) kept.push_back(static_cast<char>(c));
            if (kept.empty()) continue;
            for (size_t i = 0; i < kept.size(); i += 251) want.push_back(kept.substr(i, 251));
        }
        EXPECT_EQ(own.Lines(), want) << e.path();
        std::string raw = ReadFileBytes(e.path().string());
        size_t breaks = 0;
        for (size_t i = 0; i < raw.size(); ++i)
            if (raw[i] == '\n' || (raw[i] == '\r' && (i + 1 == raw.size() || raw[i + 1] != '\n'))) ++breaks;
        EXPECT_EQ(asIs.lineCount, breaks + (raw.empty() || raw.back() == '\n' ? 0 : 1)) << e.path();
    }
}

TEST(LoadBinaryFile, BytesInNotationWithLineEnds) {
    EXPECT_EQ(Binary("%\r\nN10 X1\r\n\r\nM30", false),
              (Lines{"%[CR][LF]", "N10 X1[CR][LF][CR][LF]", "M30"}));
    EXPECT_EQ(Binary(Bytes({0x12, 0x00, 0xA5, '!', 0xFF}), false),
              (Lines{"[DC2][NUL][165][33][255]"}));
    // A leading line end belongs to the first line.
    EXPECT_EQ(Binary("\nA", false), (Lines{"[LF]", "A"}));
}

TEST(LoadBinaryFile, SevenBitsAndTheCutAt250) {
    // The 7-bit answer strips the parity bit: 0xA5 is "%", 0x8D a CR.
    EXPECT_EQ(Binary(Bytes({0xA5, 0x8D, 0x8A, 0xCE, '1'}), true), (Lines{"%[CR][LF]", "N1"}));
    EXPECT_EQ(Binary(Bytes({0xA5}), false), (Lines{"[165]"}));
    // Without line ends a line is cut once it holds 250 characters of notation.
    Lines got = Binary(std::string(300, 'A'), false);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].size(), 250u);
    EXPECT_EQ(got[1].size(), 50u);
    // A token is never split: 249 characters and then a token give one longer line.
    got = Binary(std::string(249, 'A') + Bytes({0x13, 'B'}), false);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], std::string(249, 'A') + "[XOFF]");
    EXPECT_EQ(got[1], "B");
}

TEST(LoadDocument, BranchByExtension) {
    ScopedSysExt sys(".SYS");
    EXPECT_EQ(LoadKindOf("C:\\A\\PROG.LOG"), LoadKind::Log);
    EXPECT_EQ(LoadKindOf("C:\\A\\prog.log"), LoadKind::Log);
    for (const char* b : {"P.BIN", "P.SPR", "P.TX", "P.RX", "P.FPT", "P.PBL", "P.SYS", "p.sys"})
        EXPECT_EQ(LoadKindOf(std::string("C:\\A\\") + b), LoadKind::Binary) << b;
    EXPECT_EQ(LoadKindOf("C:\\A\\PART.DXF"), LoadKind::Dxf);
    // The dot and at most four more characters are compared.
    EXPECT_EQ(LoadKindOf("C:\\A\\PART.DXF2"), LoadKind::Text);
    EXPECT_EQ(LoadKindOf("C:\\A\\PROG.LOGS"), LoadKind::Text);
    EXPECT_EQ(LoadKindOf("C:\\A\\PROG.BINX"), LoadKind::Text);
    EXPECT_EQ(LoadKindOf("C:\\A.BIN\\PROG"), LoadKind::Text);
    EXPECT_EQ(LoadKindOf("C:\\A\\PROG.NC"), LoadKind::Text);
    EXPECT_EQ(LoadExtension("C:\\A\\PROG.ABCDEFG"), ".ABCD");
    EXPECT_EQ(LoadExtension("PROG"), "");
    EXPECT_TRUE(AsksBitQuestion("X.spr"));
    EXPECT_FALSE(AsksBitQuestion("X.BIN"));
    EXPECT_EQ(DxfResultName("C:\\TEGN\\PART.DXF"), "C:\\TEGN\\PART.NC");
    EXPECT_EQ(DxfResultName("C:\\TEGN\\part.dxf"), "C:\\TEGN\\part.NC");
    // An earlier ".DXF" in a folder name does not decide where the program goes.
    EXPECT_EQ(DxfResultName("C:\\A.DXFILER\\PART.DXF"), "C:\\A.DXFILER\\PART.NC");
    {
        ScopedSysExt none("");
        EXPECT_EQ(LoadKindOf("C:\\A\\PROG"), LoadKind::Text);
    }
}

TEST(LoadDocument, TextLogAndBinaryPaths) {
    TempDir dir;
    MessageRecorder rec;
    WriteFileBytes(dir.File("PART.DXF2"), "N1\r\n\r\nN2\r\n");
    WriteFileBytes(dir.File("PROG.LOGS"), "@A\r\n");
    WriteFileBytes(dir.File("DNC.LOG"), Bytes({64, 'A', 33, 'B', 35, 'C', 13, 10, 'D'}));
    WriteFileBytes(dir.File("PROG.SPR"), Bytes({0xA5, 13, 10}));
    WriteFileBytes(dir.File("PROG.BIN"), Bytes({0xA5, 13, 10}));

    LoadOptions opt;
    opt.tekstFormat = true;
    LoadedDocument d = ReadDocument(dir.Dnc("PART.DXF2"), opt);
    EXPECT_EQ(d.kind, LoadKind::Text);
    EXPECT_TRUE(d.replaced);
    EXPECT_TRUE(d.recordFile);
    EXPECT_EQ(d.resultName, dir.Dnc("PART.DXF2"));
    EXPECT_EQ(d.text.Lines(), (Lines{"N1", "", "N2"}));
    opt.tekstFormat = false;
    d = ReadDocument(dir.Dnc("PART.DXF2"), opt);
    EXPECT_EQ(d.text.Lines(), (Lines{"N1", "N2"}));
    d = ReadDocument(dir.Dnc("PROG.LOGS"), opt);
    EXPECT_EQ(d.kind, LoadKind::Text);
    EXPECT_EQ(d.text.Lines(), (Lines{"@A"}));

    d = ReadDocument(dir.Dnc("DNC.LOG"), opt);
    EXPECT_EQ(d.kind, LoadKind::Log);
    EXPECT_TRUE(d.replaced);
    EXPECT_FALSE(d.recordFile);  // not a recent file, no stamp
    EXPECT_EQ(d.log.text, "ABC\r\nD");

    int asked = 0;
    opt.askEightBits = [&] { ++asked; return false; };
    d = ReadDocument(dir.Dnc("PROG.SPR"), opt);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(d.recordFile);
    EXPECT_EQ(d.text.Lines(), (Lines{"%[CR][LF]"}));
    d = ReadDocument(dir.Dnc("PROG.BIN"), opt);
    EXPECT_EQ(asked, 1);  // only ".SPR" asks
    EXPECT_EQ(d.text.Lines(), (Lines{"[165][CR][LF]"}));
    {
        ScopedSysExt sys(".NC");
        d = ReadDocument(dir.Dnc("PART.DXF2"), opt);
        EXPECT_EQ(d.kind, LoadKind::Text);
        WriteFileBytes(dir.File("X.NC"), "A");
        d = ReadDocument(dir.Dnc("X.NC"), opt);
        EXPECT_EQ(d.kind, LoadKind::Binary);
    }
    EXPECT_TRUE(rec.messages.empty());
}

TEST(LoadDocument, HeaderLineWithTheControlsReader) {
    TempDir dir;
    WriteFileBytes(dir.File("T.NC"), Bytes({0xA7}) + "KOPF\r\nN10\r\n" + Bytes({0xA7}) + "\r\n");
    LoadOptions opt;
    LoadedDocument d = ReadDocument(dir.Dnc("T.NC"), opt);
    EXPECT_EQ(d.text.Lines(), (Lines{"N10", Bytes({0xA7})}));
    opt.tekstFormat = false;
    d = ReadDocument(dir.Dnc("T.NC"), opt);
    EXPECT_EQ(d.text.Lines(), (Lines{"N10", Bytes({0xA7})}));
}

TEST(LoadDocument, FilesThatCannotBeRead) {
    TempDir dir;
    MessageRecorder rec;
    LoadOptions opt;
    // The control's reader reports a missing file and loads nothing.
    LoadedDocument d = ReadDocument(dir.Dnc("NONE.NC"), opt);
    EXPECT_FALSE(d.replaced);
    EXPECT_FALSE(d.recordFile);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "Laste fil");
    EXPECT_EQ(rec.messages[0].second, "Feil med lasting av " + dir.Dnc("NONE.NC"));
    rec.Clear();
    // The own reader gives a new, empty document for a missing file, without a message.
    opt.tekstFormat = false;
    d = ReadDocument(dir.Dnc("NONE.NC"), opt);
    EXPECT_TRUE(d.replaced);
    EXPECT_TRUE(d.recordFile);
    EXPECT_EQ(d.text.lineCount, 0u);
    EXPECT_TRUE(rec.messages.empty());
    // Something that is there but cannot be read is reported, and the document stays as it
    // was: an empty text under its name would be saved over it.
    std::filesystem::create_directory(dir.File("DIR.NC"));
    std::filesystem::create_directory(dir.File("DIR.BIN"));
    for (const char* n : {"DIR.NC", "DIR.BIN"}) {
        rec.Clear();
        d = ReadDocument(dir.Dnc(n), opt);
        EXPECT_FALSE(d.replaced) << n;
        EXPECT_FALSE(d.recordFile) << n;
        ASSERT_EQ(rec.messages.size(), 1u) << n;
        EXPECT_EQ(rec.messages[0].second,
                  "Feil med lasting av " + dir.Dnc(n) + "\rNavnet er en mappe, ikke en fil.");
    }
    // A missing binary file gives an empty text without a message.
    rec.Clear();
    d = ReadDocument(dir.Dnc("NONE.BIN"), opt);
    EXPECT_TRUE(d.replaced);
    EXPECT_TRUE(rec.messages.empty());
    // A missing log leaves everything as it was.
    d = ReadDocument(dir.Dnc("NONE.LOG"), opt);
    EXPECT_FALSE(d.replaced);
    EXPECT_TRUE(rec.messages.empty());
}

namespace {
// The window's side of a streamed load: the pieces as the text control keeps them (every
// break CR LF).
struct RecordingSink : TextSink {
    std::string text;
    int begun = 0;
    bool cr = false;
    void Begin(size_t) override {
        ++begun;
        text.clear();
    }
    void Piece(std::string_view bytes) override {
        for (char c : bytes) {
            if (c == '\n' && cr) {
                cr = false;
                continue;
            }
            cr = c == '\r';
            text += (c == '\r' || c == '\n') ? std::string("\r\n") : std::string(1, c);
        }
    }
};
}  // namespace

// A streamed load gives the control the text the whole read gives: header line dropped,
// every line with its break, for both readers, for a small program read whole first and for
// one above kLoadWholeLimit that goes to the control as it is read (its header line's break
// and a CR LF split between two reads).
TEST(LoadDocument, TheSinkGetsTheTextOfTheWholeRead) {
    TempDir dir;
    MessageRecorder messages;
    std::string big = Bytes({0xA7}) + std::string((1 << 17) - 2, 'H') + "\r\nN1\r\n";
    while (big.size() < kLoadWholeLimit + 1000) big += "N2 G01 X1.5 (\x91)\r\n\n\rN3";
    big += std::string((1 << 17) - big.size() % (1 << 17) - 1, 'Y') + "\r\nZ";
    const std::vector<std::string> files = {
        "", "N1", "N1\r\n", "\r\n\r\n", "A\rB\nC\r\n\nD", Bytes({0x15}) + "HEAD\r\nN1\r\nN2",
        Bytes({0xA7}) + "HEAD", "\x1D\x1E" + std::string(300, 'X') + "\r\n", big};
    for (bool tekstFormat : {true, false}) {
        for (size_t i = 0; i < files.size(); ++i) {
            WriteFileBytes(dir.File("P.NC"), files[i]);
            LoadOptions opt;
            opt.tekstFormat = tekstFormat;
            opt.dosFormat = true;
            LoadedDocument whole = ReadDocument(dir.Dnc("P.NC"), opt);
            RecordingSink sink;
            LoadedDocument streamed = ReadDocument(dir.Dnc("P.NC"), opt, &sink);
            ASSERT_TRUE(whole.replaced && streamed.replaced) << i;
            EXPECT_TRUE(streamed.streamed);
            EXPECT_TRUE(streamed.recordFile);
            EXPECT_EQ(sink.begun, 1) << i;
            EXPECT_EQ(streamed.text.lineCount, whole.text.lineCount) << tekstFormat << " " << i;
            std::string expected = whole.text.text + (whole.text.lineCount > 0 ? "\r\n" : "");
            EXPECT_TRUE(sink.text == expected) << tekstFormat << " file " << i;
        }
    }
    // A file that cannot be opened never begins the sink.
    RecordingSink sink;
    LoadedDocument d = ReadDocument(dir.Dnc("MANGLER.NC"), LoadOptions(), &sink);
    EXPECT_FALSE(d.replaced);
    EXPECT_EQ(d.fault, InputFault::Missing);
    EXPECT_EQ(sink.begun, 0);
    d = ReadDocument("/proc/self/mem", LoadOptions(), &sink);
    EXPECT_EQ(d.fault, InputFault::ReadError);
    EXPECT_EQ(sink.begun, 0);
}

TEST(LoadDocument, DrawingsGoThroughTheConverter) {
    TempDir dir;
    MessageRecorder rec;
    std::filesystem::create_directory(dir.File("A.DXFILER"));
    WriteFileBytes(dir.File("A.DXFILER/PART.DXF"), "  0\r\nLINE\r\n");
    std::string dxf = dir.Dnc("A.DXFILER") + "\\PART.DXF";
    std::vector<std::string> calls;
    SetDxfConverter([&](int machine, const std::string& in, const std::string& out) {
        calls.push_back(std::to_string(machine) + " " + in + " " + out);
        WriteFileBytes(ResolvePath(out), "%\r\nN10 G00 X0.000 Y0.000\r\n");
        return true;
    });
    LoadOptions opt;
    opt.currentMachine = 3;
    LoadedDocument d = ReadDocument(dxf, opt);
    std::string nc = dir.Dnc("A.DXFILER") + "\\PART.NC";
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "3 " + dxf + " " + nc);
    EXPECT_EQ(d.kind, LoadKind::Dxf);
    EXPECT_EQ(d.resultName, nc);
    EXPECT_TRUE(d.replaced);
    EXPECT_TRUE(d.recordFile);
    EXPECT_EQ(d.text.Lines(), (Lines{"%", "N10 G00 X0.000 Y0.000"}));
    EXPECT_TRUE(rec.messages.empty());

    SetDxfConverter([](int, const std::string&, const std::string&) { return false; });
    d = ReadDocument(dxf, opt);
    EXPECT_FALSE(d.replaced);
    EXPECT_FALSE(d.recordFile);
    EXPECT_EQ(d.resultName, dxf);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "Konvertering");
    EXPECT_EQ(rec.messages[0].second, "Feil med konvertering fra DXF TIL NC");
    // Without an installed converter the drawing reader itself converts: this drawing ends
    // inside an entity, so it fails with the same message and nothing is loaded.
    SetDxfConverter(nullptr);
    rec.Clear();
    d = ReadDocument(dxf, opt);
    EXPECT_FALSE(d.replaced);
    ASSERT_FALSE(rec.messages.empty());
    EXPECT_EQ(rec.messages.back().second, "Feil med konvertering fra DXF TIL NC");
    EXPECT_FALSE(FileExists(nc + ".skarv-tmp"));
}

TEST(LoadDocument, ADrawingWithLeftOutEntitiesOpensAndSaysSo) {
    ScopedIni ini("[Maskin0]\r\n");
    TempDir dir;
    MessageRecorder rec;
    std::string g = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nTEXT\r\n  1\r\nA\r\n  0\r\nLINE\r\n"
                    " 10\r\n0\r\n 20\r\n0\r\n 11\r\n5\r\n 21\r\n0\r\n  0\r\nTEXT\r\n  0\r\nHATCH\r\n"
                    "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    WriteFileBytes(dir.File("PART.DXF"), g);
    LoadOptions opt;
    LoadedDocument d = ReadDocument(dir.Dnc("PART.DXF"), opt);
    EXPECT_TRUE(d.replaced);
    EXPECT_EQ(d.resultName, dir.Dnc("PART.NC"));
    EXPECT_EQ(d.text.Lines(), (Lines{"%", "N0010 G01 X5.000", "N0020 M30", "%"}));
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].first, "Konvertering");
    EXPECT_EQ(rec.messages[0].second, "Tegningen har elementer som ikke er tatt med: 2 TEXT, 1 HATCH");
}

TEST(LineText, BlockForInsertion) {
    LineText t;
    EXPECT_EQ(t.Block(), "");
    t.Append("A");
    t.Append("");
    EXPECT_EQ(t.text, "A\r\n");
    EXPECT_EQ(t.lineCount, 2u);
    EXPECT_EQ(t.Block(), "A\r\n\r\n");
    EXPECT_EQ(t.Lines(), (Lines{"A", ""}));
}
