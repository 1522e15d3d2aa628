#include "convert/ESSI.h"

#include <charconv>
#include <cmath>

namespace {
constexpr double kEssiTolerance = 0.05;
// Two ends of an arc this close, against the size of its numbers, are one point: the
// arithmetic of a whole turn's angles (0 to 360 degrees) leaves them no farther apart.
constexpr double kWholeTurnSlack = 1e-12;

// A coordinate in whole tenths, as the machine counts its increments (halves to even).
double Tenths(double v) { return std::nearbyint(v * 10.0); }

// A whole number of tenths with its sign always present; zero is "+" alone.
bool AppendTenths(double r, std::string& out) {
    if (!std::isfinite(r)) return false;
    if (r == 0) {
        out += '+';
        return true;
    }
    out += r > 0 ? '+' : '-';
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(r), std::chars_format::fixed, 0);
    out.append(buf, res.ptr);
    return true;
}

// The step from a written coordinate (tenths) to a target (drawing units) rounded to tenths.
bool AppendStep(double target, double written, std::string& out, double& step) {
    step = Tenths(target) - written;
    return AppendTenths(step, out);
}
}  // namespace

bool EssiValue(double v, std::string& out) { return AppendTenths(Tenths(v), out); }

bool EssiWriter::Same(double ax, double ay, double bx, double by) const {
    return std::fabs(ax - bx) + std::fabs(ay - by) < kEssiTolerance;
}

double EssiWriter::SamePointReach() const { return kEssiTolerance; }

void EssiWriter::Statement(const std::string& text) { WriteTextLine(file_, text, *ok_); }

void EssiWriter::BeginOutput(const std::string& ncPath, bool& ok) {
    ok_ = &ok;
    x_ = y_ = 0;
    writtenX_ = writtenY_ = 0;
    rapidOn_ = cuttingOn_ = false;
    if (!ok) return;
    OpenTextForWrite(ncPath, file_, ok);
    Statement("1");
    Statement("ESSI Upload");
    Statement("Part Number 1");
}

void EssiWriter::RapidMove(double x, double y) {
    std::string line;
    double dx, dy;
    if (!AppendStep(x, writtenX_, line, dx) || !AppendStep(y, writtenY_, line, dy)) {
        *ok_ = false;
        return;
    }
    if (cuttingOn_) {
        Statement("8");
        cuttingOn_ = false;
    }
    if (!rapidOn_) {
        Statement("5");
        rapidOn_ = true;
    }
    Statement(line);
    writtenX_ += dx;
    writtenY_ += dy;
}

void EssiWriter::StartCut() {
    if (rapidOn_) {
        Statement("6");
        rapidOn_ = false;
    }
    if (!cuttingOn_) {
        Statement("7");
        cuttingOn_ = true;
    }
}

void EssiWriter::Cut(double x, double y) {
    std::string line;
    double dx, dy;
    if (!AppendStep(x, writtenX_, line, dx) || !AppendStep(y, writtenY_, line, dy)) {
        *ok_ = false;
        return;
    }
    StartCut();
    Statement(line);
    writtenX_ += dx;
    writtenY_ += dy;
}

void EssiWriter::ArcCut(char sign, double x, double y, double cx, double cy, bool wholeTurn) {
    // The end and the centre are both measured from the arc's written start. A whole turn
    // ends where it began: an end step of nothing is what says so.
    std::string line;
    double dx = 0, dy = 0, dcx, dcy;
    bool ok = wholeTurn ? AppendTenths(0, line) && AppendTenths(0, line)
                        : AppendStep(x, writtenX_, line, dx) && AppendStep(y, writtenY_, line, dy);
    if (!ok || !AppendStep(cx, writtenX_, line, dcx) || !AppendStep(cy, writtenY_, line, dcy)) {
        *ok_ = false;
        return;
    }
    line += sign;
    StartCut();
    Statement(line);
    writtenX_ += dx;
    writtenY_ += dy;
}

void EssiWriter::WriteLineEntity(const NcPoint& start, const NcPoint& end) {
    if (!ok_ || !*ok_) return;
    if (!Same(x_, y_, start.x, start.y)) RapidMove(start.x, start.y);
    Cut(end.x, end.y);
    x_ = end.x;
    y_ = end.y;
}

void EssiWriter::WritePointEntity(const NcPoint& at) {
    if (!ok_ || !*ok_) return;
    if (Same(x_, y_, at.x, at.y)) return;
    RapidMove(at.x, at.y);
    x_ = at.x;
    y_ = at.y;
}

void EssiWriter::WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& centre) {
    if (!ok_ || !*ok_) return;
    double sx = start.x, sy = start.y, ex = end.x, ey = end.y;
    double ux = sx - centre.x, uy = sy - centre.y, vx = ex - centre.x, vy = ey - centre.y;
    // Start and end at one point: a whole turn (a circle, or an arc of 0 to 360 degrees).
    bool wholeTurn = std::hypot(ex - sx, ey - sy) <=
                     kWholeTurnSlack * (std::fabs(centre.x) + std::fabs(centre.y) + std::hypot(ux, uy));
    // Counter-clockwise from start to end more than half way round.
    bool overHalf = ux * vy - uy * vx < 0;
    char sign = '+';
    if (Same(x_, y_, ex, ey)) {
        std::swap(sx, ex);
        std::swap(sy, ey);
        sign = '-';
    }
    if (!Same(x_, y_, sx, sy)) RapidMove(sx, sy);
    if (!wholeTurn && !overHalf && Tenths(ex) == writtenX_ && Tenths(ey) == writtenY_) {
        // Its ends lie in one tenth: written as an arc, an end step of nothing would cut a
        // whole circle. What is left of it is a straight cut of nothing.
        Cut(ex, ey);
    } else {
        // An arc so nearly whole that its ends lie in one tenth is cut as the whole circle.
        ArcCut(sign, ex, ey, centre.x, centre.y, wholeTurn);
    }
    x_ = ex;
    y_ = ey;
}

void EssiWriter::WriteCircleEntity(const NcPoint& centre, double radius) {
    if (!ok_ || !*ok_) return;
    double d = std::hypot(x_ - centre.x, y_ - centre.y);
    if (std::fabs(d - radius) < kEssiTolerance) {
        NcPoint here{x_, y_, 0};
        WriteArcEntity(here, here, centre);
    } else {
        NcPoint p{centre.x + radius, centre.y, 0};
        WriteArcEntity(p, p, centre);
    }
}

void EssiWriter::EndOutput(bool& ok) {
    if (!ok_) ok_ = &dummyOk_;
    if (ok && *ok_) {
        if (cuttingOn_) {
            Statement("8");
            cuttingOn_ = false;
        }
        Statement("63");
        Statement("0");
    }
    if (!*ok_) ok = false;
    bool closed = true;
    if (file_.file) CloseText(file_, closed);
    else closed = false;
    if (!closed) ok = false;
}
