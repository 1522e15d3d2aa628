#pragma once
// Looking moves up: the moves of a line (the caret's block), how far the program has come
// by a line ("Vis til linje"), and the move nearest to a point of the picture (a click).
// Built once after a reading, beside the toolpath it indexes; it must not outlive it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "plot/PlotView.h"
#include "plot/Toolpath.h"

class MoveIndex {
public:
    MoveIndex() = default;
    explicit MoveIndex(const Toolpath& path) { Build(path); }
    void Build(const Toolpath& path);

    // The moves made by a line, in the order the machine makes them. A subprogram's line
    // makes a move at every call.
    std::span<const uint32_t> MovesOfLine(uint32_t line) const;
    // The number of moves the program has made before it goes past this line of the main
    // program: the moves [0, n) are what it has drawn by then (a subprogram's moves come
    // with the line that calls it).
    size_t MovesUpToLine(uint32_t line) const;
    // The move drawn nearest to the screen point (sx, sy) within tolerance pixels, among the
    // moves [0, endMove); -1 when none is that near. Of moves equally near, the later.
    long long Pick(const Projection& p, double sx, double sy, double tolerance,
                   size_t endMove = SIZE_MAX) const;

    // About how many of the moves [0, endMove) lie in a view of width x height pixels: the
    // moves of every leaf whose box reaches into it. What a picture of that view would cost.
    size_t MovesInView(const Projection& p, double width, double height,
                       size_t endMove = SIZE_MAX) const;

    size_t MemoryBytes() const;

    // Moves [k * kLeafMoves, (k + 1) * kLeafMoves) form leaf k; its extent on the screen.
    static constexpr size_t kLeafMoves = 16;
    void LeafScreenBox(size_t leaf, const Projection& p, double& minX, double& minY, double& maxX,
                       double& maxY) const;

private:
    struct Box {
        float min[3], max[3];
    };
    double Distance(const Projection& p, size_t move, double sx, double sy) const;
    // Walks the boxes from the top, over the nodes whose moves begin before end: visit(level,
    // box, first move) says whether to look at the node's two halves.
    template <class Visit>
    void Descend(size_t end, Visit visit) const;
    double BoxDistance(const Projection& p, const Box& b, double sx, double sy) const;

    const Toolpath* path_ = nullptr;
    std::vector<uint32_t> byLine_;      // move numbers ordered by line, stable
    std::vector<std::vector<Box>> levels_;  // levels_[0]: the leaves; each level halves
};
