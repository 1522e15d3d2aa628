#include "convert/ESSI.h"

#include <charconv>
#include <cmath>

namespace {
constexpr double kEssiTolerance = 0.05;
}

bool EssiValue(double v, std::string& out) {
    double t = v * 10.0;
    if (!std::isfinite(t)) return false;
    double r = std::nearbyint(t);  // the default rounding mode: halves to even
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

bool EssiWriter::Same(double ax, double ay, double bx, double by) const {
    return std::fabs(ax - bx) + std::fabs(ay - by) < kEssiTolerance;
}

double EssiWriter::SamePointReach() const { return kEssiTolerance; }

void EssiWriter::Statement(const std::string& text) { WriteTextLine(file_, text, *ok_); }

void EssiWriter::BeginOutput(const std::string& ncPath, bool& ok) {
    ok_ = &ok;
    x_ = y_ = 0;
    rapidOn_ = cuttingOn_ = false;
    if (!ok) return;
    OpenTextForWrite(ncPath, file_, ok);
    Statement("1");
    Statement("ESSI Upload");
    Statement("Part Number 1");
}

void EssiWriter::RapidMove(double dx, double dy) {
    std::string line;
    if (!EssiValue(dx, line) || !EssiValue(dy, line)) {
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

void EssiWriter::Cut(double dx, double dy) {
    std::string line;
    if (!EssiValue(dx, line) || !EssiValue(dy, line)) {
        *ok_ = false;
        return;
    }
    StartCut();
    Statement(line);
}

void EssiWriter::ArcCut(char sign, double dxEnd, double dyEnd, double dxCentre, double dyCentre) {
    std::string line;
    if (!EssiValue(dxEnd, line) || !EssiValue(dyEnd, line) || !EssiValue(dxCentre, line) ||
        !EssiValue(dyCentre, line)) {
        *ok_ = false;
        return;
    }
    line += sign;
    StartCut();
    Statement(line);
}

void EssiWriter::WriteLineEntity(const NcPoint& start, const NcPoint& end) {
    if (!ok_ || !*ok_) return;
    if (!Same(x_, y_, start.x, start.y)) RapidMove(start.x - x_, start.y - y_);
    // The cut is measured from the entity's own start point.
    Cut(end.x - start.x, end.y - start.y);
    x_ = end.x;
    y_ = end.y;
}

void EssiWriter::WritePointEntity(const NcPoint& at) {
    if (!ok_ || !*ok_) return;
    if (Same(x_, y_, at.x, at.y)) return;
    RapidMove(at.x - x_, at.y - y_);
    x_ = at.x;
    y_ = at.y;
}

void EssiWriter::WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& centre) {
    if (!ok_ || !*ok_) return;
    double sx = start.x, sy = start.y, ex = end.x, ey = end.y;
    char sign = '+';
    if (Same(x_, y_, ex, ey)) {
        std::swap(sx, ex);
        std::swap(sy, ey);
        sign = '-';
    }
    if (!Same(x_, y_, sx, sy)) RapidMove(sx - x_, sy - y_);
    ArcCut(sign, ex - sx, ey - sy, centre.x - sx, centre.y - sy);
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
