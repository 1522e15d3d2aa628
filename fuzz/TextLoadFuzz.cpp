// Fuzz target: any bytes as a program file, through the program's own text loader (DOS
// letters mapped, the header line of a tape file dropped, long lines cut) and the text
// control's reader. The first byte chooses the DOS mapping, the insert form and whether the
// file begins with a line that puts the input across the readers' 128 KiB chunks (where a CR
// and its LF may part).
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "document/Loaders.h"
#include "nctools/LineList.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"

namespace {
using fuzz::Check;

bool IsSectionSign(unsigned char c) { return c == 0x15 || c == 0xA7; }

void CheckLines(const LineText& t, bool dos) {
    std::vector<std::string> lines = t.Lines();
    Check(lines.size() == t.lineCount, "line count");
    for (const std::string& l : lines) {
        if (!dos) Check(!l.empty(), "empty lines are dropped outside DOS mode");
        Check(l.size() <= kTextLineLimit, "a line is cut at the limit");
        for (unsigned char c : l) {
            Check(c >= 32, "control bytes are dropped");
            if (dos) Check(c != 0x86 && c != 0x8F && c != 0x91 && c != 0x92 && c != 0x9B && c != 0x9D,
                           "DOS letters are mapped");
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetMessageSink([](const std::string&, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The lead-in costs a 128 KiB file per run: one input in four.
    const bool dos = data[0] & 1, insert = data[0] & 2, acrossChunks = (data[0] & 0x0C) == 0x0C;
    const std::string in(reinterpret_cast<const char*>(data + 1), size - 1);

    // The rules over bytes in memory: in one piece and in many give the same lines.
    LineText whole, pieces;
    TextLineReader a(dos, insert, whole);
    a.Feed(in.data(), in.size());
    a.Finish();
    TextLineReader b(dos, insert, pieces);
    size_t at = 0;
    for (size_t n : fuzz::Pieces(in, in.size())) {
        b.Feed(in.data() + at, n);
        at += n;
    }
    b.Finish();
    Check(whole.text == pieces.text && whole.lineCount == pieces.lineCount && a.header() == b.header(),
          "lines depend on the pieces the bytes came in");
    Check(a.header() == (!insert && !in.empty() && IsSectionSign(static_cast<unsigned char>(in[0]))),
          "header line");
    CheckLines(whole, dos);

    // The file readers. A lead-in line puts the input's bytes across the first chunk's end.
    std::string file;
    if (acrossChunks) {
        const size_t reach = (1u << 17) - (data[0] >> 4);
        file = "N1\r\n";
        file.append(reach - file.size(), 'X');
    }
    file += in;
    const std::string dnc = NativeToDncPath(fuzz::WriteFile("P.NC", file));
    LineText ref;
    TextLineReader r(dos, insert, ref);
    r.Feed(file.data(), file.size());
    r.Finish();

    LineText loaded;
    bool header = false;
    if (insert) {
        Check(InsertTextFile(dnc, dos, loaded), "insert reader");
    } else {
        Check(LoadTextFile(dnc, dos, loaded, header), "text loader");
    }
    Check(loaded.text == ref.text && loaded.lineCount == ref.lineCount && header == (!insert && r.header()),
          "the file reader follows the rules over bytes in memory");

    LineText asIs;
    Check(LoadTextAsIs(dnc, asIs, header), "the control's reader");
    const std::vector<std::string> split = SplitLines(file);
    Check(asIs.lineCount == split.size() && asIs.Lines() == split, "the control's reader keeps the lines as they are");
    Check(header == (!file.empty() && IsSectionSign(static_cast<unsigned char>(file[0]))), "header of the control's reader");
    return 0;
}
