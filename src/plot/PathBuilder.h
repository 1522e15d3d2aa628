#pragma once
// What the interpreters share: the program's lines, the tool's place, the moves going into
// the store with their lengths and times, notes, tools, dwells and the limits of a reading.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "plot/Plot.h"
#include "plot/Toolpath.h"

// The lines of a program text, read front to back with jumps (subprograms, repeats).
class ProgramText {
public:
    explicit ProgramText(std::string_view text) : text_(text) {}
    struct LineRef {
        std::string_view text;
        uint32_t number = 0;  // 1-based
        size_t offset = 0;    // where the line starts
    };
    // The next line; false at the end of the text.
    bool Next(LineRef& line);
    // The next line is the one starting at offset, with that line number.
    void Seek(size_t offset, uint32_t number) {
        pos_ = offset;
        number_ = number;
    }
    size_t Position() const { return pos_; }
    uint32_t NextNumber() const { return number_; }
    std::string_view Text() const { return text_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    uint32_t number_ = 1;
};

// A call of a subprogram or of a repeated part of the program: where it goes on afterwards,
// where each pass begins, and how many passes are left.
struct CallFrame {
    size_t returnOffset = 0;
    uint32_t returnLine = 0;
    size_t startOffset = 0;
    uint32_t startLine = 0;
    uint64_t repeatsLeft = 0;
    size_t movesAtStart = 0;  // the moves made when the pass began

    // At the end of a pass: true, with the text back at the start, when another follows. A
    // pass that made no move makes none the next time either, so the repeats end there.
    bool Again(ProgramText& text, size_t moves) {
        if (repeatsLeft == 0 || moves <= movesAtStart) return false;
        --repeatsLeft;
        movesAtStart = moves;
        text.Seek(startOffset, startLine);
        return true;
    }
    void Back(ProgramText& text) const { text.Seek(returnOffset, returnLine); }
};

// The number a line begins with after one of the letters (blanks and "/" before it
// skipped): O1000, N80. False when the line begins otherwise.
bool LeadingNumber(std::string_view line, std::string_view letters, int64_t& number);

enum class FeedMode { PerMinute, PerRevolution, InverseTime };

class PathBuilder {
public:
    PathBuilder(Toolpath& path, const PlotSettings& settings, const PlotRun& run);

    Toolpath& path;
    const PlotSettings& settings;

    // Where the tool stands. An axis the program has not placed yet is unknown; it stands
    // still, and its first absolute value becomes its value everywhere before.
    PlotPoint pos;
    bool known[3] = {false, false, false};
    void Place(int axis, double v);  // about to be given an absolute value
    void Use(int axis);              // used where it stands (incremental, arcs)

    // Feed for the time: rate in mm/min, mm per revolution or (inverse time) 1/min.
    FeedMode feedMode = FeedMode::PerMinute;
    double feed = 0;
    double spindle = 0;       // rpm, or m/min with constant surface speed
    bool surfaceSpeed = false;
    double maxRpm = 0;        // 0: no limit

    // A move from pos to end; pos becomes end. False when the reading is to stop.
    bool Move(MoveKind kind, const PlotPoint& end, uint32_t line);
    // An arc from pos to end about centre (at any height: the start's height is kept).
    bool Arc(MoveKind kind, ArcPlane plane, const PlotPoint& end, const PlotPoint& centre,
             bool full, uint32_t line);
    // Moves the end of the last move (a rounded or chamfered corner), its length and time
    // corrected; pos follows.
    void MoveLastEnd(const PlotPoint& end);
    bool LastMoveIsLinear() const { return lastLinear_ && !path.empty(); }

    void Note(uint32_t line, std::string text);
    void NoteCompensation(uint32_t line);  // once per program
    void AddDwell(uint32_t line, double seconds);
    void UseTool(uint32_t line, std::string word, std::string comment);

    // Hands a block's state to the reader that asked for it.
    bool WantsBlocks() const { return static_cast<bool>(run_.onBlock); }
    void Block(const BlockState& state) const { run_.onBlock(state); }

    // Called once per block: false when the reading is to stop (called off, or blocks
    // beyond any sensible count).
    bool Poll(uint32_t line);
    bool Stopped() const { return path.stopped || path.cancelled; }
    // Stops the drawing here with the note of too many moves.
    void StopHere(uint32_t line);

private:
    bool Room(uint32_t line);
    void Account(MoveKind kind, double length, const PlotPoint& start, const PlotPoint& end,
                 double sign);

    const PlotRun& run_;
    uint64_t blocks_ = 0;
    bool compensationNoted_ = false;
    bool lastLinear_ = false;
    MoveKind lastKind_ = MoveKind::Rapid;
    PlotPoint lastStart_;
    std::unordered_map<std::string, size_t> toolIndex_;
};

// Numbers of the dialects: an optional sign, digits, an optional point and digits.
// Returns the characters used (0 when there is no number); decimal tells whether it had a
// point. Values beyond kMaxNumber are refused (0).
inline constexpr double kMaxNumber = 1e9;
size_t ParseNumber(std::string_view s, size_t i, double& value, bool& decimal);

// Whole turns as an angle.
inline constexpr double kPi = 3.14159265358979323846264338327950288;

// Centre of an arc through start and end with radius r (negative: the arc over 180 degrees),
// turning ccw or not, in the plane (u, v). False when the radius is too small for the chord
// beyond the tolerance: the centre is then the middle of the chord.
bool CentreFromRadius(double su, double sv, double eu, double ev, double r, bool ccw, double& cu,
                      double& cv);
