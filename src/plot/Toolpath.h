#pragma once
// The toolpath of an NC program: every move the machine makes, in the order it makes them.
// A program of 100 MB makes millions of moves, so the store is a set of flat arrays (one
// entry per move, no object per move): end point, source line and one byte of kind and plane.
// Arcs keep their centre in a second, smaller set of arrays.
//
// Coordinates are millimetres in the program's coordinate system after its own shifts (G52,
// G92, datum shift cycles); on a lathe X is the radius. A move starts where the one before it
// ended; the first starts at origin().
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PlotPoint {
    double x = 0;
    double y = 0;
    double z = 0;
    double& operator[](int axis) { return axis == 0 ? x : axis == 1 ? y : z; }
    double operator[](int axis) const { return axis == 0 ? x : axis == 1 ? y : z; }
    bool operator==(const PlotPoint&) const = default;
};

// How the tool moves. Arcs turn as seen looking down their plane's own axis: G17 from +Z,
// G18 from +Y, G19 from +X.
enum class MoveKind : uint8_t { Rapid = 0, Feed = 1, ArcCw = 2, ArcCcw = 3 };

// The plane of an arc, and its axes: (first, second) span the plane, normal is the axis it
// turns about. XY: X, Y about Z; ZX: Z, X about Y; YZ: Y, Z about X.
enum class ArcPlane : uint8_t { XY = 0, ZX = 1, YZ = 2 };
int PlaneNumber(ArcPlane plane);  // 17, 18, 19
struct PlaneAxes {
    int first, second, normal;
};
inline PlaneAxes AxesOf(ArcPlane plane) {
    static constexpr PlaneAxes kAxes[4] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}, {0, 1, 2}};
    return kAxes[static_cast<int>(plane) & 3];
}

struct PlotBox {
    PlotPoint min, max;
    bool empty = true;
    void Add(const PlotPoint& p);
    void Add(const PlotBox& b);
    PlotPoint Centre() const;  // the origin for an empty box
};

// A note on a line the interpreter could not draw as written; shown as "Linje N: text".
struct PlotNote {
    uint32_t line = 0;  // 1-based
    std::string text;
};
std::string NoteLine(const PlotNote& note);

// A tool in the order the program first uses it: the T word (or the Heidenhain tool call)
// and the comment on its line.
struct ToolUse {
    std::string word;
    std::string comment;
    uint32_t line = 0;  // the first line that calls it
    uint32_t uses = 0;  // how many times it is called
};

struct Dwell {
    uint32_t line = 0;
    uint32_t afterMoves = 0;  // the number of moves made before it
    double seconds = 0;
};

// Lengths and time, summed while the program is read.
struct PlotTotals {
    double feedLength = 0;   // mm, straight feeds and arcs
    double rapidLength = 0;  // mm
    double feedSeconds = 0;
    double rapidSeconds = 0;
    double dwellSeconds = 0;
    // Some feed moves had no rate to time them by (no F, or feed per revolution without S).
    bool feedTimeUnknown = false;
    double Seconds() const { return feedSeconds + rapidSeconds + dwellSeconds; }
};

class Toolpath {
public:
    size_t size() const { return line_.size(); }
    bool empty() const { return line_.empty(); }

    const PlotPoint& origin() const { return origin_; }
    PlotPoint End(size_t i) const { return PlotPoint{x_[i], y_[i], z_[i]}; }
    PlotPoint Start(size_t i) const { return i == 0 ? origin_ : End(i - 1); }
    uint32_t Line(size_t i) const { return line_[i]; }
    MoveKind Kind(size_t i) const { return static_cast<MoveKind>(flags_[i] & kKindMask); }
    bool IsArc(size_t i) const { return (flags_[i] & 2) != 0; }
    ArcPlane Plane(size_t i) const { return static_cast<ArcPlane>((flags_[i] >> 2) & 3); }
    // An arc that ends where it began (in its plane) is one whole turn.
    bool FullCircle(size_t i) const { return (flags_[i] & kFullBit) != 0; }
    // The centre of an arc, in its plane at the height of the arc's start.
    PlotPoint Centre(size_t i) const;
    // The slot of an arc in the centre arrays (a search); ArcMove(slot) goes back.
    size_t ArcSlot(size_t move) const;
    size_t ArcCount() const { return arcMove_.size(); }
    uint32_t ArcMove(size_t slot) const { return arcMove_[slot]; }
    PlotPoint ArcCentre(size_t slot) const { return PlotPoint{cx_[slot], cy_[slot], cz_[slot]}; }

    // The line of the main program that made the move: its own line, or for a move made in
    // a subprogram, a repeat or a cycle's contour, the line of the outermost call. It never
    // goes back as the moves go on, so "up to line N" is where it first passes N.
    uint32_t FlowLine(size_t i) const;

    // The arrays themselves, for loops over millions of moves.
    const double* Xs() const { return x_.data(); }
    const double* Ys() const { return y_.data(); }
    const double* Zs() const { return z_.data(); }
    const uint32_t* Lines() const { return line_.data(); }
    const uint8_t* Flags() const { return flags_.data(); }
    static constexpr uint8_t kKindMask = 3;
    static constexpr uint8_t kFullBit = 16;

    // What else the program says.
    std::vector<PlotNote> notes;
    size_t notesLeftOut = 0;        // notes beyond kMaxNotes, counted only
    std::vector<ToolUse> tools;     // in the order of first use
    std::vector<Dwell> dwells;
    PlotBox stock;                  // the stock box (BLK FORM), empty when none
    PlotTotals totals;
    bool lathe = false;             // X is a radius, Z runs across the views
    bool stopped = false;           // the move limit was reached: the drawing stops there
    bool cancelled = false;         // the reading was called off; what was read is kept

    static constexpr size_t kMaxNotes = 100000;
    static constexpr size_t kMaxMoves = 20000000;

    // The bytes the store holds (capacity included).
    size_t MemoryBytes() const;

    // ---- building (the interpreters)
    void Reserve(size_t moves);
    void AddMove(MoveKind kind, const PlotPoint& end, uint32_t line);
    void AddArc(MoveKind kind, ArcPlane plane, const PlotPoint& end, const PlotPoint& centre,
                bool full, uint32_t line);
    // Moves the end of the last move (a corner rounded or chamfered after it was read).
    void SetLastEnd(const PlotPoint& end);
    // The moves from here on are made by a call on this line of the main program; 0: by
    // the main program itself.
    void SetCallLine(uint32_t line) { callLine_ = line; }
    // Gives one axis the value v in every point stored so far: an axis the program had not
    // placed yet stood still at an unknown place until its first absolute value.
    void SetAxisEverywhere(int axis, double v);
    void ShrinkToFit();

private:
    void NoteCall();
    // Runs of moves [first, end) made by a call on a line of the main program.
    struct CallRun {
        uint32_t first, end, line;
    };
    PlotPoint origin_;
    uint32_t callLine_ = 0;
    std::vector<CallRun> callRuns_;
    std::vector<double> x_, y_, z_;
    std::vector<uint32_t> line_;
    std::vector<uint8_t> flags_;  // kind (bits 0-1), plane (bits 2-3), whole turn (bit 4)
    std::vector<uint32_t> arcMove_;
    std::vector<double> cx_, cy_, cz_;
};

// The geometry of an arc move: in its plane the centre, the direction from the centre to
// the start and the signed sweep (positive counter-clockwise, a whole turn for a full
// circle), the radius at the start and at the end (an arc whose end lies off its circle is
// drawn as a spiral to its end point), and along the plane's normal the height at both ends
// (a helix when they differ).
struct ArcGeometry {
    PlaneAxes axes{0, 1, 2};
    double cu = 0, cv = 0;      // the centre in the plane
    double r0 = 0, r1 = 0;      // radius at start and end
    double c0 = 1, s0 = 0;      // cosine and sine of the start's angle
    double sweep = 0;           // radians
    double w0 = 0, w1 = 0;      // height along the normal
    double StartAngle() const;
};
ArcGeometry ArcOf(const PlotPoint& start, const PlotPoint& end, const PlotPoint& centre,
                  ArcPlane plane, MoveKind kind, bool full);
ArcGeometry ArcOfMove(const Toolpath& path, size_t i);
// The same for the arc in slot `slot` of the centre arrays, which is move i.
ArcGeometry ArcOfSlot(const Toolpath& path, size_t i, size_t slot);
// The sweep of an arc from the start to the end direction (both seen from the centre).
double ArcSweep(double su, double sv, double eu, double ev, bool ccw, bool full);
// The point at fraction t (0..1) of the way.
PlotPoint ArcPointAt(const ArcGeometry& arc, double t);
double ArcLength(const ArcGeometry& arc);
// The box around the whole arc (its extreme points, not only its ends).
PlotBox ArcBox(const ArcGeometry& arc);
// The box around the arc's whole circle (a quick bound, without angles).
PlotBox CircleBox(const ArcGeometry& arc);

// The move's text in the fixed form of `skarv plot --moves`: LINE KIND X Y Z, and for arcs
// CX CY CZ PLANE, tab-separated, four decimals; appended to out with a line feed.
void AppendMoveText(const Toolpath& path, size_t i, std::string& out);
// A number with a fixed count of decimals; a value that rounds to zero has no sign.
void AppendFixed(std::string& out, double v, int decimals);
