#pragma once
// The NC output writers of the DXF conversion: the word-address writer and the ESSI writer
// offer the same operations and are called in this order: BeginOutput once, one entity
// operation per piece of the drawing, EndOutput once.
#include <string>

struct NcPoint {
    double x = 0;
    double y = 0;
    double z = 0;
};

class NcWriter {
public:
    virtual ~NcWriter() = default;
    // Creates (or empties) the NC file. The writer keeps a reference to ok: once it is false
    // every later write is skipped; a failed write or a number that cannot be written (not
    // finite) clears it.
    virtual void BeginOutput(const std::string& ncPath, bool& ok) = 0;
    virtual void WriteLineEntity(const NcPoint& start, const NcPoint& end) = 0;
    virtual void WriteCircleEntity(const NcPoint& centre, double radius) = 0;
    // The arc runs counter-clockwise from start to end about centre.
    virtual void WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& centre) = 0;
    // A rapid move to the point (a drill position) when the tool is not already there.
    virtual void WritePointEntity(const NcPoint& at) = 0;
    virtual void EndOutput(bool& ok) = 0;

    // Where the tool stands after the moves written so far.
    virtual NcPoint CurrentPosition() const = 0;
    // The writer's own rule for two points that need no move between them.
    virtual bool SamePoint(const NcPoint& a, const NcPoint& b) const = 0;
    // No two points farther apart than this in any one axis are the same point.
    virtual double SamePointReach() const = 0;
};
