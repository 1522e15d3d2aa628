#pragma once
// The NC output writers of the DXF conversion: the word-address writer and the ESSI writer
// offer the same five operations and are called in this order: BeginOutput once, one entity
// operation per drawing entity, EndOutput once.
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
    virtual void EndOutput(bool& ok) = 0;
};
