// skarv renum, compress and air: the text tools of the editor over a program file. The file
// is read as the editor reads it (its lines as they stand, blank lines kept) and written
// with CR LF line ends, by default back over itself through a temporary file.
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "nctools/CompressAir.h"
#include "nctools/LineList.h"
#include "nctools/Renum.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

namespace {
inline constexpr const char* kLoadCaption = kLoadFailCaption;

struct FileArgs {
    std::string file;
    std::string out;
};

// The program's bytes, read whole (a file that changes under a mapping would end the
// process): a regular file, or standard input.
bool Load(const std::string& file, std::string& bytes) {
    InputFault fault = InputFault::None;
    if (!ReadAllBytes(file, bytes, &fault)) {
        ShowMessageBox(kLoadCaption, LoadFailureText(file, fault));
        return false;
    }
    return true;
}

// The lines stream from the file's bytes into the new text; only the changed ones are new.
int Save(const FileArgs& f, StreamedLines& lines) {
    return SaveOutput(f.out.empty() ? f.file : f.out, lines.Finish()) ? 0 : 1;
}

std::string Section(const CliContext& ctx) { return MachineSection(ctx.machine - 1); }

int Renum(CliContext& ctx) {
    FileArgs f;
    BlockModel model = ReadBlockModel(Section(ctx));
    std::string start = DefaultStartText(model.heidenhain);
    std::string step = DefaultStepText(model.heidenhain);
    std::string max;
    RenumRequest req;
    const auto& a = ctx.args;
    for (size_t i = 0; i < a.size(); ++i) {
        const std::string& s = a[i];
        auto value = [&](std::string& into) { return OptionValue(a, i, into); };
        if (s == "--start") {
            if (!value(start)) return UsageError("--start mangler verdi");
        } else if (s == "--step") {
            if (!value(step)) return UsageError("--step mangler verdi");
        } else if (s == "--max") {
            if (!value(max)) return UsageError("--max mangler verdi");
        } else if (s == "--add") {
            req.addBlockNo = true;
        } else if (s == "--remove") {
            req.removeBlockNo = true;
        } else if (s == "--lines") {
            std::string range;
            if (!value(range)) return UsageError("--lines mangler verdi");
            if (!ParseLineRange(range, req.first, req.last))
                return UsageError("ugyldig linjeområde: " + range);
            req.onlyMarked = true;
        } else if (s == "-o") {
            if (!value(f.out)) return UsageError("-o mangler verdi");
        } else if (f.file.empty() && (s == "-" || s.empty() || s[0] != '-')) {
            f.file = s;
        } else {
            return UsageError("ukjent argument: " + s);
        }
    }
    if (f.file.empty()) return UsageError("renum tar en fil");
    if (req.addBlockNo && req.removeBlockNo) return UsageError("--add og --remove utelukker hverandre");
    if (!ParseRenumValues(start, step, max, req.values)) {
        ShowMessageBox(kRenumCaption, kRenumBadValues);
        return 1;
    }
    std::string bytes;
    if (!Load(f.file, bytes)) return 1;
    StreamedLines lines(bytes);
    RenumberText(lines, model, req);
    return Save(f, lines);
}

bool ParseFileArgs(const CliContext& ctx, const char* name, FileArgs& f, int& rc) {
    const auto& a = ctx.args;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "-o") {
            if (!OptionValue(a, i, f.out)) {
                rc = UsageError("-o mangler verdi");
                return false;
            }
        } else if (f.file.empty() && (a[i] == "-" || a[i].empty() || a[i][0] != '-')) {
            f.file = a[i];
        } else {
            rc = UsageError("ukjent argument: " + a[i]);
            return false;
        }
    }
    if (f.file.empty()) {
        rc = UsageError(std::string(name) + " tar en fil");
        return false;
    }
    return true;
}

int Compress(CliContext& ctx) {
    FileArgs f;
    int rc = 0;
    if (!ParseFileArgs(ctx, "compress", f, rc)) return rc;
    std::string bytes;
    if (!Load(f.file, bytes)) return 1;
    StreamedLines lines(bytes);
    CompressLines(lines);
    return Save(f, lines);
}

int Air(CliContext& ctx) {
    FileArgs f;
    int rc = 0;
    if (!ParseFileArgs(ctx, "air", f, rc)) return rc;
    char separator = ReadAirSeparator(Section(ctx));
    std::string bytes;
    if (!Load(f.file, bytes)) return 1;
    StreamedLines lines(bytes);
    AirLines(lines, separator);
    return Save(f, lines);
}
}  // namespace

SKARV_COMMAND("renum",
              "[--machine N] renum FIL [--start N] [--step N] [--max N] [--add | --remove] "
              "[--lines FØRSTE-SISTE] [-o UT]",
              Renum);
SKARV_COMMAND("compress", "[--machine N] compress FIL [-o UT]", Compress);
SKARV_COMMAND("air", "[--machine N] air FIL [-o UT]", Air);
