// skarv dxf: a drawing converted into an NC program for a machine, as opening it does.
#include "cli/Cli.h"
#include "convert/DXF.h"
#include "settings/PathResolve.h"
#include "settings/Strings.h"

namespace {
int Dxf(CliContext& ctx) {
    std::string drawing;
    std::string out;
    std::string order;
    std::string tolerance;
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "-o" || a == "--order" || a == "--tolerance") {
            if (i + 1 >= ctx.args.size()) return UsageError(a + " tar en verdi");
            (a == "-o" ? out : a == "--order" ? order : tolerance) = ctx.args[++i];
        } else if (drawing.empty()) {
            drawing = a;
        } else {
            return UsageError("dxf tar én tegning");
        }
    }
    if (drawing.empty()) return UsageError("dxf tar en tegning");
    if (ctx.machine < 0 || ctx.machine > 255) return UsageError("maskinnummeret må være 0..255");
    std::string upperOrder = UpperCase1252(order);
    if (!order.empty() && upperOrder != "FIL" && upperOrder != "KORTEST")
        return UsageError("--order tar fil eller kortest");
    double tol = 0;
    if (!tolerance.empty() && (!ParseFloat(tolerance, tol) || !(tol > 0)))
        return UsageError("--tolerance tar et positivt tall");

    std::string dxfPath = NativeToDncPath(drawing);
    std::string ncPath = out.empty() ? DxfToNcName(dxfPath) : NativeToDncPath(out);
    DxfOptions options = ReadDxfOptions("Maskin" + std::to_string(ctx.machine));
    if (!order.empty()) options.order = upperOrder == "KORTEST" ? DxfOrder::Shortest : DxfOrder::File;
    if (!tolerance.empty()) options.tolerance = tol;
    InputFile probe;  // a drawing that is no file to read: why, in the load message
    if (!probe.Open(dxfPath)) {
        PrintError(LoadFailureText(drawing, probe.Fault()));
        return 1;
    }
    probe.Close();
    bool ok = false;
    std::string leftOut;
    ConvertDrawing(options, dxfPath, ncPath, ok, &leftOut);
    if (!ok) {
        PrintError(kConvertFailedText);
        return 1;
    }
    if (!leftOut.empty()) PrintError(leftOut);  // reported; the program is written all the same
    return 0;
}
}  // namespace

SKARV_COMMAND("dxf", "[--ini FIL] [--machine N] dxf TEGNING [-o UT] [--order fil|kortest] [--tolerance T]", Dxf);
