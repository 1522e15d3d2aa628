#include "plot/PathBuilder.h"

#include <cmath>
#include <cstring>

// ---------------------------------------------------------------- lines
bool ProgramText::Next(LineRef& line) {
    size_t n = text_.size();
    if (pos_ >= n) return false;
    const char* base = text_.data();
    const void* lf = std::memchr(base + pos_, '\n', n - pos_);
    size_t stop = lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : n;
    const void* cr = std::memchr(base + pos_, '\r', stop - pos_);
    size_t end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - base) : stop;
    line.text = text_.substr(pos_, end - pos_);
    line.offset = pos_;
    line.number = number_++;
    if (end >= n) pos_ = n;
    else pos_ = end + ((base[end] == '\r' && end + 1 < n && base[end + 1] == '\n') ? 2 : 1);
    return true;
}

// ---------------------------------------------------------------- numbers
size_t ParseNumber(std::string_view s, size_t i, double& value, bool& decimal) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    size_t start = i, n = s.size();
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    uint64_t mantissa = 0;
    int digits = 0, scale = 0, significant = 0;
    decimal = false;
    for (; i < n; ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            if (significant < 18) {
                mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
                if (mantissa) ++significant;
                if (decimal) --scale;
            } else if (!decimal) {
                ++scale;  // digits beyond what the mantissa holds
            }
        } else if (c == '.' && !decimal) {
            decimal = true;
        } else {
            break;
        }
    }
    if (digits == 0) return 0;
    double v = static_cast<double>(mantissa);
    if (scale < 0) v = scale >= -22 ? v / kPow10[-scale] : v * std::pow(10.0, scale);
    else if (scale > 0) v = scale <= 22 ? v * kPow10[scale] : v * std::pow(10.0, scale);
    if (!(v <= kMaxNumber)) return 0;
    value = negative ? -v : v;
    return i - start;
}

bool LeadingNumber(std::string_view s, std::string_view letters, int64_t& number) {
    size_t i = 0;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) <= ' ' || s[i] == '/')) ++i;
    if (i + 1 >= s.size() || letters.find(s[i]) == std::string_view::npos) return false;
    size_t j = i + 1;
    number = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
        if (number < 1000000000000LL) number = number * 10 + (s[j] - '0');
        ++j;
    }
    return j > i + 1;
}

bool CentreFromRadius(double su, double sv, double eu, double ev, double r, bool ccw, double& cu,
                      double& cv) {
    double du = eu - su, dv = ev - sv;
    double d = std::hypot(du, dv);
    double half = d / 2, radius = std::fabs(r);
    bool ok = true;
    double h = 0;
    double h2 = radius * radius - half * half;
    if (h2 > 0) h = std::sqrt(h2);
    else if (half - radius > RadiusTolerance(radius)) ok = false;
    double side = (ccw ? 1.0 : -1.0) * (r > 0 ? 1.0 : -1.0);
    cu = su + du / 2;
    cv = sv + dv / 2;
    if (d > 0) {
        cu += side * h * -dv / d;
        cv += side * h * du / d;
    }
    return ok;
}

double RadiusTolerance(double radius) { return 0.002 + 0.001 * std::fabs(radius); }

// ---------------------------------------------------------------- the builder
PathBuilder::PathBuilder(Toolpath& p, const PlotSettings& s, const PlotRun& run)
    : path(p), settings(s), run_(run) {
    path.lathe = s.lathe;
}

void PathBuilder::Place(int axis, double v) {
    if (known[axis]) return;
    known[axis] = true;
    path.SetAxisEverywhere(axis, v);
    pos[axis] = v;
}

void PathBuilder::Use(int axis) { known[axis] = true; }

bool PathBuilder::Room(uint32_t line) {
    if (Stopped()) return false;
    if (path.size() >= run_.maxMoves) {
        StopHere(line);
        return false;
    }
    return true;
}

void PathBuilder::StopHere(uint32_t line) {
    if (path.stopped) return;
    path.stopped = true;
    Note(line, kTooManyMovesNote);
}

void PathBuilder::Account(MoveKind kind, double length, const PlotPoint& start,
                          const PlotPoint& end, double sign) {
    PlotTotals& t = path.totals;
    if (kind == MoveKind::Rapid) {
        t.rapidLength += sign * length;
        if (settings.rapidRate > 0) t.rapidSeconds += sign * length * 60 / settings.rapidRate;
        return;
    }
    t.feedLength += sign * length;
    double minutes = -1;
    switch (feedMode) {
        case FeedMode::PerMinute:
            if (feed > 0) minutes = length / feed;
            break;
        case FeedMode::PerRevolution: {
            double rpm = spindle;
            if (surfaceSpeed) {
                // Constant surface speed: the spindle turns faster nearer the centre.
                double radius = 0.5 * (std::fabs(start.x) + std::fabs(end.x));
                rpm = radius > 0 ? spindle * 1000 / (2 * kPi * radius) : 0;
                if (maxRpm > 0 && (rpm > maxRpm || radius <= 0)) rpm = maxRpm;
            }
            if (feed > 0 && rpm > 0) minutes = length / (feed * rpm);
            break;
        }
        case FeedMode::InverseTime:
            if (feed > 0) minutes = 1 / feed;
            break;
    }
    if (minutes >= 0) t.feedSeconds += sign * minutes * 60;
    else if (length > 0) t.feedTimeUnknown = true;
}

bool PathBuilder::Move(MoveKind kind, const PlotPoint& end, uint32_t line) {
    if (!Room(line)) return false;
    PlotPoint start = pos;
    double length = std::sqrt((end.x - start.x) * (end.x - start.x) +
                              (end.y - start.y) * (end.y - start.y) +
                              (end.z - start.z) * (end.z - start.z));
    path.AddMove(kind, end, line);
    Account(kind, length, start, end, 1);
    lastLinear_ = true;
    lastKind_ = kind;
    lastStart_ = start;
    pos = end;
    return true;
}

bool PathBuilder::Arc(MoveKind kind, ArcPlane plane, const PlotPoint& end, const PlotPoint& centre,
                      bool full, uint32_t line) {
    if (!Room(line)) return false;
    PlotPoint c = centre;
    int w = AxesOf(plane).normal;
    c[w] = pos[w];
    PlaneAxes ax = AxesOf(plane);
    double su = pos[ax.first] - c[ax.first], sv = pos[ax.second] - c[ax.second];
    double eu = end[ax.first] - c[ax.first], ev = end[ax.second] - c[ax.second];
    double sweep = ArcSweep(su, sv, eu, ev, kind == MoveKind::ArcCcw, full);
    double planar = std::fabs(sweep) * 0.5 * (std::sqrt(su * su + sv * sv) + std::sqrt(eu * eu + ev * ev));
    path.AddArc(kind, plane, end, c, full, line);
    Account(kind, std::hypot(planar, end[w] - pos[w]), pos, end, 1);
    lastLinear_ = false;
    pos = end;
    return true;
}

void PathBuilder::MoveLastEnd(const PlotPoint& end) {
    if (path.empty()) return;
    PlotPoint oldEnd = path.End(path.size() - 1);
    auto dist = [](const PlotPoint& a, const PlotPoint& b) {
        return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                         (a.z - b.z) * (a.z - b.z));
    };
    FeedMode mode = feedMode;
    if (mode != FeedMode::InverseTime) {
        Account(lastKind_, dist(lastStart_, oldEnd), lastStart_, oldEnd, -1);
        Account(lastKind_, dist(lastStart_, end), lastStart_, end, 1);
    }
    path.SetLastEnd(end);
    pos = end;
}

void PathBuilder::Note(uint32_t line, std::string text) {
    PlotNote note{line, std::move(text)};
    if (run_.onNote) run_.onNote(note);
    if (path.notes.size() < Toolpath::kMaxNotes) path.notes.push_back(std::move(note));
    else ++path.notesLeftOut;
}

void PathBuilder::NoteCompensation(uint32_t line) {
    if (compensationNoted_) return;
    compensationNoted_ = true;
    Note(line, kCompensationNote);
}

void PathBuilder::AddDwell(uint32_t line, double seconds) {
    if (!(seconds > 0)) return;
    path.dwells.push_back(Dwell{line, static_cast<uint32_t>(path.size()), seconds});
    path.totals.dwellSeconds += seconds;
}

void PathBuilder::UseTool(uint32_t line, std::string word, std::string comment) {
    auto it = toolIndex_.find(word);
    if (it != toolIndex_.end()) {
        ++path.tools[it->second].uses;
        return;
    }
    toolIndex_.emplace(word, path.tools.size());
    path.tools.push_back(ToolUse{std::move(word), std::move(comment), line, 1});
}

bool PathBuilder::Poll(uint32_t line) {
    ++blocks_;
    if ((blocks_ & 4095) == 0 && run_.cancel && run_.cancel->load(std::memory_order_relaxed))
        path.cancelled = true;
    if (blocks_ > run_.maxBlocks) StopHere(line);
    return !Stopped();
}
