#pragma once
// A DXF drawing in memory: the entities of model space in file order and the block
// definitions, each entity in the coordinates the file gives it (object coordinates with an
// extrusion direction for the planar ones). What the conversion leaves out is counted by
// entity type where it stands.
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "convert/NcWriter.h"

struct DxfVector {
    double x = 0, y = 0, z = 1;
};

struct LineEntity {
    NcPoint start, end;
};
struct PointEntity {
    NcPoint at;
};
struct CircleEntity {
    NcPoint centre;  // object coordinates
    double radius = 0;
    DxfVector normal;
};
struct ArcEntity {
    NcPoint centre;  // object coordinates
    double radius = 0;
    double startDeg = 0, endDeg = 0;  // counter-clockwise about the normal
    DxfVector normal;
};
struct PolylineVertex {
    double x = 0, y = 0, z = 0;
    double bulge = 0;  // tan(included angle / 4) of the segment to the next vertex
};
struct PolylineEntity {
    std::vector<PolylineVertex> vertices;
    bool closed = false;
    bool is3d = false;     // world coordinates, straight segments
    double elevation = 0;  // the plane of a 2D polyline
    DxfVector normal;
};
struct EllipseEntity {
    NcPoint centre;     // world coordinates
    NcPoint majorAxis;  // from the centre to the end of the major axis
    double ratio = 1;   // minor / major
    double startParam = 0, endParam = 0;
    DxfVector normal;
};
struct SplineEntity {
    int degree = 3;
    bool closed = false;
    std::vector<double> knots;
    std::vector<NcPoint> controlPoints;
    std::vector<double> weights;
    std::vector<NcPoint> fitPoints;
};
struct InsertEntity {
    std::string block;  // the block name as the drawing's blocks are keyed
    NcPoint at;
    double scaleX = 1, scaleY = 1, scaleZ = 1;
    double rotationDeg = 0;
    int columns = 1, rows = 1;
    double columnSpacing = 0, rowSpacing = 0;
    DxfVector normal;
};

// std::monostate: the place of an entity that the reader could not make anything of.
using DrawingEntity = std::variant<std::monostate, LineEntity, PointEntity, CircleEntity, ArcEntity,
                                   PolylineEntity, EllipseEntity, SplineEntity, InsertEntity>;

// Counts of left-out entities by type name, in the order the types were first met.
struct LeftOutCounts {
    std::vector<std::pair<std::string, long long>> counts;
    void Add(std::string_view type, long long n = 1);
    void Add(const LeftOutCounts& other, long long times = 1);
    bool Empty() const { return counts.empty(); }

private:
    std::unordered_map<std::string, size_t> index_;
};

struct DrawingBlock {
    NcPoint base;
    std::vector<DrawingEntity> entities;
    LeftOutCounts leftOut;
};

struct Drawing {
    std::vector<DrawingEntity> entities;  // model space
    LeftOutCounts leftOut;                 // left out in model space
    std::map<std::string, DrawingBlock, std::less<>> blocks;
};

// The block key of a name: blocks are named without regard to case.
std::string BlockKey(std::string_view name);
