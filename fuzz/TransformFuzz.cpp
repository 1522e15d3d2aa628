// Fuzz target: any bytes as a program (the first byte chooses the dialect and the transform)
// moved, turned, mirrored or scaled. A refusal changes nothing; a transform changes lines of
// the program only, in order, and the new program reads without fault.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "compare/Compare.h"
#include "compare/Transform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t flags = data[0];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    PlotSettings s;
    s.dialect = (flags & 1) ? PlotDialect::Heidenhain : PlotDialect::Iso;
    s.lathe = (flags & 2) && !(flags & 1);
    TransformRequest r;
    switch ((flags >> 2) & 3) {
        case 0: r.mode = TransformMode::Move; r.move[0] = 1.5; r.move[2] = -2; break;
        case 1: r.mode = TransformMode::Rotate; r.angle = 30; r.centre[0] = 5; break;
        case 2: r.mode = TransformMode::Mirror; r.mirrorX = true; r.mirrorY = flags & 16; r.mirrorAt = 3; break;
        case 3: r.mode = TransformMode::Scale; r.factor = 0.5; r.scaleFeed = true; break;
    }
    if (flags & 32) {
        r.onlyLines = true;
        r.first = 1;
        r.last = 5;
    }
    PlotRun run;
    run.maxMoves = 20000;
    run.maxBlocks = 20000;
    TransformResult res = TransformProgram(text, s, r);
    if (!res.ok) {
        if (!res.changed.empty()) abort();
        return 0;
    }
    size_t lines = LineViews(text).size();
    for (size_t k = 0; k < res.changed.size(); ++k) {
        if (res.changed[k].first >= lines) abort();
        if (k > 0 && res.changed[k].first <= res.changed[k - 1].first) abort();
        if (r.onlyLines && (res.changed[k].first < r.first || res.changed[k].first > r.last)) abort();
    }
    std::string out = ApplyTransform(text, res);
    InterpretProgram(out, s, run);
    return 0;
}
