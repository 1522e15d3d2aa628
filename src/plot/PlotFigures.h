#pragma once
// The figures of a program under its picture: extents, lengths, time and tools, and the
// texts the window and the skarv command show them in.
#include <string>

#include "plot/PlotView.h"
#include "plot/Toolpath.h"

struct PlotFigures {
    PlotBox feedBox;  // where the feed moves go (arcs with their bulge)
    PlotBox allBox;   // where every move goes, the start included
    size_t moves = 0;
};
PlotFigures ComputeFigures(const Toolpath& path);

// "Mating: 1234.5 mm  Hurtiggang: 456.7 mm  Tid: 0:12:34"
std::string TotalsText(const PlotTotals& totals);
// "X -40.000 til 40.000  Y 0.000 til 10.000  Z -12.000 til 5.000"; empty without moves.
std::string ExtentsText(const PlotBox& box);
// Hours, minutes and seconds: "1:02:03"; the seconds rounded.
std::string DurationText(double seconds);
// A tool as the list "Verktøy" shows it: the word and the comment of its line.
std::string ToolText(const ToolUse& tool);

// The figures as `skarv plot --stats` prints them, one per line: the count of moves, the
// totals, the extents of the feed moves ("Mating"), of all moves ("Alle") and of the stock
// ("Emne"), and the tools ("Verktøy:").
std::string StatsText(const Toolpath& path, const PlotFigures& figures);

// The picture as an SVG document of width x height pixels: the program fitted with a margin,
// rapid moves dashed, feeds solid, arcs in their own colour, the stock box thin.
std::string ToolpathSvg(const Toolpath& path, PlotView view, double width = 1000,
                        double height = 750);
