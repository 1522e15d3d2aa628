#include "plot/PlotFigures.h"

#include <cmath>
#include <cstdio>

PlotFigures ComputeFigures(const Toolpath& path) {
    PlotFigures f;
    f.moves = path.size();
    if (path.empty()) return f;
    f.allBox.Add(path.origin());
    const double* xs = path.Xs();
    const double* ys = path.Ys();
    const double* zs = path.Zs();
    const uint8_t* flags = path.Flags();
    PlotPoint prev = path.origin();
    size_t slot = 0;
    auto inside = [](const PlotBox& outer, const PlotBox& b) {
        return !outer.empty && outer.min.x <= b.min.x && outer.min.y <= b.min.y &&
               outer.min.z <= b.min.z && outer.max.x >= b.max.x && outer.max.y >= b.max.y &&
               outer.max.z >= b.max.z;
    };
    for (size_t i = 0; i < path.size(); ++i) {
        PlotPoint e{xs[i], ys[i], zs[i]};
        MoveKind kind = static_cast<MoveKind>(flags[i] & Toolpath::kKindMask);
        if (kind == MoveKind::Rapid) {
            f.allBox.Add(e);
        } else if (kind == MoveKind::Feed) {
            f.allBox.Add(e);
            f.feedBox.Add(prev);
            f.feedBox.Add(e);
        } else {
            ArcGeometry g = ArcOfSlot(path, i, slot++);
            // Most arcs lie within what is drawn already: no need for their extreme points.
            if (!inside(f.feedBox, CircleBox(g))) {
                PlotBox b = ArcBox(g);
                f.allBox.Add(b);
                f.feedBox.Add(b);
            }
        }
        prev = e;
    }
    return f;
}

std::string DurationText(double seconds) {
    if (!(seconds > 0) || !std::isfinite(seconds)) seconds = 0;
    long long s = std::llround(std::min(seconds, 1e15));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    return buf;
}

std::string TotalsText(const PlotTotals& t) {
    std::string s = "Mating: ";
    AppendFixed(s, t.feedLength, 1);
    s += " mm  Hurtiggang: ";
    AppendFixed(s, t.rapidLength, 1);
    s += " mm  Tid: " + DurationText(t.Seconds());
    return s;
}

std::string ExtentsText(const PlotBox& box) {
    if (box.empty) return std::string();
    std::string s;
    const char* names[] = {"X ", "  Y ", "  Z "};
    for (int a = 0; a < 3; ++a) {
        s += names[a];
        AppendFixed(s, box.min[a], 3);
        s += " til ";
        AppendFixed(s, box.max[a], 3);
    }
    return s;
}

std::string ToolText(const ToolUse& tool) {
    if (tool.comment.empty()) return tool.word;
    return tool.word + "  " + tool.comment;
}

std::string StatsText(const Toolpath& path, const PlotFigures& f) {
    std::string s = "Bevegelser: " + std::to_string(f.moves) + "\n";
    s += TotalsText(path.totals) + "\n";
    if (!f.feedBox.empty) s += "Mating " + ExtentsText(f.feedBox) + "\n";
    if (!f.allBox.empty) s += "Alle " + ExtentsText(f.allBox) + "\n";
    if (!path.stock.empty) s += "Emne " + ExtentsText(path.stock) + "\n";
    if (!path.tools.empty()) {
        s += "Verktøy:\n";
        for (const ToolUse& t : path.tools) s += "  " + ToolText(t) + "\n";
    }
    return s;
}

namespace {
void AppendColour(std::string& s, const PathColour& c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.red, c.green, c.blue);
    s += buf;
}

void AppendPolylines(std::string& s, const PathDetail& d, int style) {
    for (size_t k = 0; k < d.RunCount(style); ++k) {
        size_t first, end;
        d.Run(style, k, first, end);
        for (size_t i = first; i < end; ++i) {
            s += i == first ? 'M' : 'L';
            AppendFixed(s, d.points[style][2 * i], 2);
            s += ' ';
            AppendFixed(s, d.points[style][2 * i + 1], 2);
        }
    }
}

void AppendPath(std::string& s, const PathDetail& d, int style, const PathColour& colour,
                const char* extra) {
    if (d.RunCount(style) == 0) return;
    s += "<path stroke=\"";
    AppendColour(s, colour);
    s += "\" ";
    s += extra;
    s += " d=\"";
    AppendPolylines(s, d, style);
    s += "\"/>\n";
}
}  // namespace

std::string ToolpathSvg(const Toolpath& path, PlotView view, double width, double height) {
    Projection p = ViewProjection(view, path.lathe);
    PlotFigures f = ComputeFigures(path);
    PlotBox box = f.allBox;
    box.Add(path.stock);
    FitProjection(p, box, width, height, 20);
    DetailOptions o;
    o.width = width;
    o.height = height;
    o.merge = 0.5;
    PathDetail moves, stock;
    BuildDetail(path, p, o, moves);
    BuildStockDetail(path, p, stock);

    std::string s;
    char head[256];
    std::snprintf(head, sizeof head,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
                  "viewBox=\"0 0 %.0f %.0f\">\n",
                  width, height, width, height);
    s += head;
    s += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    s += "<g fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
    AppendPath(s, stock, static_cast<int>(PathStyle::Feed), kStockColour, "stroke-width=\"0.5\"");
    AppendPath(s, moves, static_cast<int>(PathStyle::Rapid), kRapidColour,
               "stroke-width=\"1\" stroke-dasharray=\"4 3\"");
    AppendPath(s, moves, static_cast<int>(PathStyle::Feed), kFeedColour, "stroke-width=\"1\"");
    AppendPath(s, moves, static_cast<int>(PathStyle::Arc), kArcColour, "stroke-width=\"1\"");
    s += "</g>\n</svg>\n";
    return s;
}
