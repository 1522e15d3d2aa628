// skarv diff and transform: two programs compared line by line as the comparison window
// compares them, and a program moved, turned, mirrored or scaled as "Transformer" does it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "compare/Compare.h"
#include "compare/Transform.h"
#include "nctools/Renum.h"
#include "settings/MessageSink.h"
#include "settings/Settings.h"

namespace {
int Diff(CliContext& ctx) {
    std::vector<std::string> files;
    CompareOptions options;
    for (const std::string& a : ctx.args) {
        if (a == "--ignore-numbers") options.ignoreNumbers = true;
        else if (a == "--ignore-blanks") options.ignoreBlanks = true;
        else if (a == "--by-value") options.byValue = true;
        else if (a == "-" || a.empty() || a[0] != '-') files.push_back(a);
        else return UsageError("ukjent argument: " + a);
    }
    if (files.size() != 2) return UsageError("diff tar to filer");
    std::string left, right;
    if (!LoadInput(files[0], left) || !LoadInput(files[1], right)) return 2;
    BlockModel model = ReadBlockModel(MachineSection(ctx.machine - 1));
    std::vector<std::string_view> a = LineViews(left), b = LineViews(right);
    CompareResult r = CompareLines(a, b, model, options);
    if (r.Equal()) return 0;
    std::string text = UnifiedDiff(a, b, r, files[0], files[1]);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 1;
}

// Comma-separated numbers, count of them between min and max; "." is the decimal point.
bool ParseNumbers(const std::string& text, size_t min, size_t max, std::vector<double>& out) {
    out.clear();
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (part.empty()) return false;
        char* end = nullptr;
        errno = 0;
        double v = std::strtod(part.c_str(), &end);
        if (errno || *end != '\0' || v != v || v > 1e9 || v < -1e9) return false;
        out.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out.size() >= min && out.size() <= max;
}

int Transform(CliContext& ctx) {
    std::string file, out;
    TransformRequest req;
    int modes = 0;
    bool feed = false;
    const auto& a = ctx.args;
    for (size_t i = 0; i < a.size(); ++i) {
        const std::string& s = a[i];
        auto value = [&](std::string& into) { return OptionValue(a, i, into); };
        std::string v;
        std::vector<double> n;
        if (s == "--move" || s == "--rotate" || s == "--scale") {
            if (!value(v)) return UsageError(s + " mangler verdi");
            ++modes;
            if (s == "--move") {
                if (!ParseNumbers(v, 3, 3, n)) return UsageError("ugyldig flytting: " + v);
                req.mode = TransformMode::Move;
                for (int k = 0; k < 3; ++k) req.move[k] = n[k];
            } else if (s == "--rotate") {
                if (!ParseNumbers(v, 1, 3, n) || n.size() == 2) return UsageError("ugyldig rotering: " + v);
                req.mode = TransformMode::Rotate;
                req.angle = n[0];
                if (n.size() == 3) req.centre[0] = n[1], req.centre[1] = n[2];
            } else {
                if (!ParseNumbers(v, 1, 4, n) || n.size() == 2 || n.size() == 3 || !(n[0] > 0))
                    return UsageError("ugyldig skalering: " + v);
                req.mode = TransformMode::Scale;
                req.factor = n[0];
                if (n.size() == 4) req.centre[0] = n[1], req.centre[1] = n[2], req.centre[2] = n[3];
            }
        } else if (s == "--mirror") {
            if (!value(v)) return UsageError(s + " mangler verdi");
            ++modes;
            req.mode = TransformMode::Mirror;
            size_t comma = v.find(',');
            std::string axes = v.substr(0, comma);
            if (axes == "X" || axes == "x") req.mirrorX = true;
            else if (axes == "Y" || axes == "y") req.mirrorY = true;
            else if (axes == "XY" || axes == "xy") req.mirrorX = req.mirrorY = true;
            else return UsageError("ugyldig speiling: " + v);
            if (comma != std::string::npos) {
                if (!ParseNumbers(v.substr(comma + 1), 1, 1, n)) return UsageError("ugyldig speiling: " + v);
                req.mirrorAt = n[0];
            }
        } else if (s == "--feed") {
            feed = true;
        } else if (s == "--lines") {
            long long first = 0, last = 0;
            if (!value(v)) return UsageError("--lines mangler verdi");
            if (!ParseLineRange(v, first, last)) return UsageError("ugyldig linjeområde: " + v);
            req.onlyLines = true;
            req.first = static_cast<size_t>(first);
            req.last = static_cast<size_t>(last);
        } else if (s == "-o") {
            if (!value(out)) return UsageError("-o mangler verdi");
        } else if (file.empty() && (s == "-" || s.empty() || s[0] != '-')) {
            file = s;
        } else {
            return UsageError("ukjent argument: " + s);
        }
    }
    if (file.empty()) return UsageError("transform tar en fil");
    if (modes != 1) return UsageError("velg én av --move, --rotate, --mirror og --scale");
    if (feed && req.mode != TransformMode::Scale) return UsageError("--feed hører til --scale");
    req.scaleFeed = feed;
    std::string bytes;
    if (!LoadInput(file, bytes)) return 1;
    PlotSettings settings = ReadPlotSettings(MachineSection(ctx.machine - 1), file, bytes);
    TransformResult result = TransformProgram(bytes, settings, req);
    if (!result.ok) {
        ShowMessageBox(kTransformCaption, result.message);
        return 1;
    }
    return SaveOutput(out.empty() ? file : out, ApplyTransform(bytes, result)) ? 0 : 1;
}
}  // namespace

SKARV_COMMAND("diff",
              "[--machine N] diff A B [--ignore-numbers] [--ignore-blanks] [--by-value]", Diff);
SKARV_COMMAND("transform",
              "[--machine N] transform FIL (--move DX,DY,DZ | --rotate GRADER[,CX,CY] | "
              "--mirror X|Y|XY[,VED] | --scale F[,CX,CY,CZ] [--feed]) [--lines FØRSTE-SISTE] [-o UT]",
              Transform);
