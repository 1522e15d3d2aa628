#pragma once
// The drawing as the pieces the writers cut, in world coordinates: lines, arcs, full circles
// and rapid moves to points. Blocks are drawn where they are inserted (placed, scaled,
// mirrored, rotated, in arrays, nested); polylines become lines and arcs; ellipses, splines
// and arcs that a non-uniform scale turns into ellipses are approximated by arcs and lines
// within a chord tolerance.
#include <functional>

#include "convert/Drawing.h"
#include "convert/NcWriter.h"

struct Piece {
    enum class Kind { Line, Arc, Circle, Point };
    Kind kind = Kind::Line;
    NcPoint a, b;      // line: from a to b; arc: counter-clockwise from a to b; point: a
    NcPoint centre;    // arc and circle
    double radius = 0;  // circle
    bool clockwise = false;  // arc: cut from b to a

    NcPoint From() const { return clockwise ? b : a; }
    NcPoint To() const { return kind == Kind::Line || kind == Kind::Arc ? (clockwise ? a : b) : a; }
    void Reverse();  // the same path cut the other way
};

using PieceSink = std::function<void(const Piece&)>;

inline constexpr long long kDefaultMaxPieces = 10'000'000;

struct PieceOptions {
    double tolerance = 0.01;            // chord tolerance of the approximations
    long long maxPieces = kDefaultMaxPieces;  // a drawing that needs more is refused
};

// Hands every piece of the drawing to the sink in file order and counts what is left out
// (entity types the writers cannot cut, inserts of missing or self-inserting blocks).
// False when the drawing needs more pieces than the limit.
bool DrawingPieces(const Drawing& drawing, const PieceOptions& options, const PieceSink& sink,
                   LeftOutCounts& leftOut);

// Cuts one piece with the writer: a clockwise arc is entered at its own start by a rapid move
// when the tool stands elsewhere, since the writers cut an arc clockwise only from its end.
void WritePiece(NcWriter& writer, const Piece& piece);
