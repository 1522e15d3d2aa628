#pragma once
// The ESSI writer of the DXF conversion: statements for cutting machines, one per line,
// moves as signed increments in tenths of the drawing unit. Only X and Y are used.
// The writer keeps the position it has written, in whole tenths, and measures each increment
// from there to the drawing's point rounded to tenths: the cutter ends within half a tenth of
// where the drawing says, however many pieces came before.
#include <string>

#include "convert/NcWriter.h"
#include "settings/TextUtil.h"

// The text of one ESSI value: v times 10 rounded to the nearest integer (halves to even),
// with its sign always present; zero is "+" alone. False when v is not finite.
bool EssiValue(double v, std::string& out);

class EssiWriter : public NcWriter {
public:
    void BeginOutput(const std::string& ncPath, bool& ok) override;
    void WriteLineEntity(const NcPoint& start, const NcPoint& end) override;
    void WriteCircleEntity(const NcPoint& centre, double radius) override;
    void WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& centre) override;
    void WritePointEntity(const NcPoint& at) override;
    void EndOutput(bool& ok) override;
    NcPoint CurrentPosition() const override { return NcPoint{x_, y_, 0}; }
    bool SamePoint(const NcPoint& a, const NcPoint& b) const override { return Same(a.x, a.y, b.x, b.y); }
    double SamePointReach() const override;

private:
    bool Same(double ax, double ay, double bx, double by) const;
    void Statement(const std::string& text);
    void StartCut();
    // Moves to the point given in drawing units.
    void RapidMove(double x, double y);
    void Cut(double x, double y);
    void ArcCut(char sign, double x, double y, double cx, double cy, bool wholeTurn);

    TextFile file_;
    bool* ok_ = nullptr;
    bool dummyOk_ = false;
    // Where the drawing has put the tool: the end of the last piece (its same-point rule).
    double x_ = 0;
    double y_ = 0;
    // Where the cutter stands by the program written: the sum of its increments, in tenths.
    double writtenX_ = 0;
    double writtenY_ = 0;
    bool rapidOn_ = false;
    bool cuttingOn_ = false;
};
