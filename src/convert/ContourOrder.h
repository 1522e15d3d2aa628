#pragma once
// The shortest order of cutting: the pieces are joined into contours where their ends meet
// (by the writer's own rule for the same point), a contour lying inside a closed contour is
// cut before it (holes before the outline, so the part stays in place), and the contours are
// taken nearest-first, starting from the origin. A closed contour is entered at the piece
// nearest to the tool, an open one at its nearer end.
#include <vector>

#include "convert/DrawingPieces.h"
#include "convert/NcWriter.h"

std::vector<Piece> OrderShortest(std::vector<Piece> pieces, const NcWriter& writer);
