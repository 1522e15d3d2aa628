// skarv dxf: a drawing converted into an NC program for a machine, as opening it does.
#include "cli/Cli.h"
#include "convert/DXF.h"
#include "settings/PathResolve.h"

namespace {
int Dxf(CliContext& ctx) {
    std::string drawing;
    std::string out;
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "-o") {
            if (i + 1 >= ctx.args.size()) return UsageError("-o tar et filnavn");
            out = ctx.args[++i];
        } else if (drawing.empty()) {
            drawing = a;
        } else {
            return UsageError("dxf tar én tegning");
        }
    }
    if (drawing.empty()) return UsageError("dxf tar en tegning");
    if (ctx.machine < 0 || ctx.machine > 255) return UsageError("maskinnummeret må være 0..255");
    std::string dxfPath = NativeToDncPath(drawing);
    std::string ncPath = out.empty() ? DxfToNcName(dxfPath) : NativeToDncPath(out);
    bool ok = false;
    ConvertDxfToNc(ctx.machine, dxfPath, ncPath, ok);
    if (!ok) {
        PrintError(kConvertFailedText);
        return 1;
    }
    return 0;
}
}  // namespace

SKARV_COMMAND("dxf", "[--ini FIL] [--machine N] dxf TEGNING [-o UT]", Dxf);
