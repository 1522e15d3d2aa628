#include "convert/DXF.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "convert/ContourOrder.h"
#include "convert/Drawing.h"
#include "convert/DrawingPieces.h"
#include "convert/DxfDrawing.h"
#include "convert/ESSI.h"
#include "settings/MessageSink.h"
#include "settings/InputFile.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

namespace {
constexpr double kTolerance = 0.0005;
// Below this a chord tolerance only multiplies the pieces of a curve.
constexpr double kSmallestTolerance = 1e-6;

bool Coincide(const NcPoint& a, const NcPoint& b) {
    return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z) < kTolerance;
}

bool Finite(const NcPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

void RemoveFile(const std::string& dncPath) { std::remove(ResolvePath(dncPath).c_str()); }
}  // namespace

// ---------------------------------------------------------------------------------------
// Conversion

OutputFormat ReadDxfFormat(const std::string& section) {
    std::string value = ReadIniString(section, "DXFFormat", "STANDARD");
    if (value == "ESSI") return OutputFormat::Essi;
    if (value != "STANDARD") ShowMessageBox(kDxfFormatCaption, value);
    return OutputFormat::Standard;
}

DxfOptions ReadDxfOptions(const std::string& section) {
    DxfOptions options;
    options.format = ReadDxfFormat(section);
    if (ReadIniString(section, "DXFRekkefolge", "FIL") == "KORTEST") options.order = DxfOrder::Shortest;
    double t = ReadIniFloat(section, "DXFToleranse", kDefaultDxfTolerance);
    if (t > 0 && std::isfinite(t)) options.tolerance = t;
    return options;
}

void ConvertDxfToNc(int machineNumber, const std::string& dxfPath, const std::string& ncPath,
                    bool& ok, std::string* leftOut) {
    DxfOptions options = ReadDxfOptions("Maskin" + std::to_string(machineNumber));
    ConvertDrawing(options, dxfPath, ncPath, ok, leftOut);
}

void ConvertDxfToNcAs(OutputFormat format, const std::string& dxfPath, const std::string& ncPath,
                      bool& ok) {
    DxfOptions options;
    options.format = format;
    ConvertDrawing(options, dxfPath, ncPath, ok, nullptr);
}

void ConvertDrawing(const DxfOptions& options, const std::string& dxfPath, const std::string& ncPath,
                    bool& ok, std::string* leftOut) {
    ok = false;
    if (leftOut) leftOut->clear();
    // Only a regular file that can be read whole: a folder, a FIFO or a device is no drawing.
    std::string bytes;
    InputFault fault;
    if (!ReadInputFile(dxfPath, bytes, fault)) return;
    Drawing drawing;
    if (ReadDrawing(bytes, drawing) != DrawingRead::Ok) return;
    std::string().swap(bytes);

    // The program is written beside the NC file and takes its place only when the whole
    // conversion succeeded: a failed conversion never destroys a program that was there.
    ok = true;
    const std::string tmpPath = ncPath + ".skarv-tmp";
    StandardWriter standard;
    EssiWriter essi;
    NcWriter& writer = options.format == OutputFormat::Essi ? static_cast<NcWriter&>(essi) : standard;
    writer.BeginOutput(tmpPath, ok);

    PieceOptions pieceOptions;
    pieceOptions.tolerance = std::max(options.tolerance, kSmallestTolerance);
    pieceOptions.maxPieces = options.maxPieces;
    LeftOutCounts counts;
    bool whole;
    if (options.order == DxfOrder::Shortest) {
        std::vector<Piece> pieces;
        whole = DrawingPieces(drawing, pieceOptions, [&](const Piece& p) { pieces.push_back(p); }, counts);
        Drawing().entities.swap(drawing.entities);
        for (const Piece& p : OrderShortest(std::move(pieces), writer)) WritePiece(writer, p);
    } else {
        whole = DrawingPieces(drawing, pieceOptions, [&](const Piece& p) { WritePiece(writer, p); }, counts);
    }
    if (!whole) ok = false;  // more than a program can sensibly hold: damage, not a drawing

    bool endOk = ok;
    writer.EndOutput(endOk);
    ok = ok && endOk;

    if (ok && std::rename(ResolvePath(tmpPath).c_str(), ResolvePath(ncPath).c_str()) != 0)
        ok = false;
    if (!ok) RemoveFile(tmpPath);
    if (ok && leftOut) *leftOut = LeftOutText(counts);
}

std::string LeftOutText(const LeftOutCounts& counts) {
    if (counts.Empty()) return std::string();
    auto list = counts.counts;
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    // A damaged file can name thousands of types: the most frequent are told, the rest hinted.
    constexpr size_t kTypesTold = 12;
    constexpr size_t kNameLength = 40;
    std::string text = kLeftOutText;
    for (size_t i = 0; i < list.size() && i < kTypesTold; ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(list[i].second) + " " + list[i].first.substr(0, kNameLength);
    }
    if (list.size() > kTypesTold) text += ", ...";
    return text;
}

std::string DxfToNcName(const std::string& dxfPath) {
    std::string upper = UpperCase1252(dxfPath);
    int dot = FileExtPos(dxfPath);
    if (dot > 0 && upper.compare(static_cast<size_t>(dot - 1), std::string::npos, ".DXF") == 0)
        return dxfPath.substr(0, static_cast<size_t>(dot)) + "NC";
    // Otherwise the first ".DXF" of the file name, or ".NC" appended.
    size_t nameStart = dxfPath.size() - FileNamePart(dxfPath).size();
    size_t p = upper.find(".DXF", nameStart);
    if (p != std::string::npos) return dxfPath.substr(0, p + 1) + "NC";
    return dxfPath + ".NC";
}

// ---------------------------------------------------------------------------------------
// Word-address writer

void AppendFixed3(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += FormatFixed(0, 3, v);
        return;
    }
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    const char* b = buf;
    if (buf[0] == '-') {
        bool zero = true;
        for (const char* p = buf + 1; p < res.ptr; ++p)
            if (*p != '0' && *p != '.') zero = false;
        if (zero) ++b;  // a value that rounds to zero has no sign
    }
    out.append(b, static_cast<size_t>(res.ptr - b));
}

void StandardWriter::BeginOutput(const std::string& ncPath, bool& ok) {
    ok_ = &ok;
    pos_ = NcPoint();
    lastG_ = -1;
    counter_ = 0;
    if (!ok) return;
    OpenTextForWrite(ncPath, file_, ok);
    Line("%");
}

void StandardWriter::Line(const std::string& text) { WriteTextLine(file_, text, *ok_); }

void StandardWriter::BlockNumber(std::string& line) {
    counter_ += 10;
    std::string n = std::to_string(counter_);
    line += 'N';
    if (n.size() < 4) line.append(4 - n.size(), '0');
    line += n;
}

void StandardWriter::GWord(std::string& line, int g) {
    if (g == lastG_) return;
    line += " G0";
    line += static_cast<char>('0' + g);
    lastG_ = g;
}

void StandardWriter::AxisWord(std::string& line, char letter, double value, double current) {
    if (!(std::fabs(value - current) >= kTolerance)) return;
    line += ' ';
    line += letter;
    AppendFixed3(line, value);
}

void StandardWriter::LinearMove(int g, const NcPoint& target) {
    if (!*ok_) return;
    if (!Finite(target)) {
        *ok_ = false;  // a number the program cannot hold
        return;
    }
    std::string line;
    BlockNumber(line);
    GWord(line, g);
    AxisWord(line, 'X', target.x, pos_.x);
    AxisWord(line, 'Y', target.y, pos_.y);
    AxisWord(line, 'Z', target.z, pos_.z);
    Line(line);
    pos_ = target;
}

void StandardWriter::ArcMove(int g, const NcPoint& end, const NcPoint& centre) {
    if (!*ok_) return;
    NcPoint offset{centre.x - pos_.x, centre.y - pos_.y, centre.z - pos_.z};
    if (!Finite(end) || !Finite(offset)) {
        *ok_ = false;
        return;
    }
    std::string line;
    BlockNumber(line);
    GWord(line, g);
    AxisWord(line, 'X', end.x, pos_.x);
    AxisWord(line, 'Y', end.y, pos_.y);
    AxisWord(line, 'Z', end.z, pos_.z);
    AxisWord(line, 'I', offset.x, 0);
    AxisWord(line, 'J', offset.y, 0);
    AxisWord(line, 'K', offset.z, 0);
    Line(line);
}

void StandardWriter::WriteLineEntity(const NcPoint& start, const NcPoint& end) {
    if (!ok_ || !*ok_) return;
    if (!Coincide(pos_, start)) LinearMove(0, start);
    LinearMove(1, end);
}

void StandardWriter::WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& centre) {
    if (!ok_ || !*ok_) return;
    NcPoint s = start;
    NcPoint e = end;
    int g = 3;
    if (Coincide(pos_, e)) {
        std::swap(s, e);  // cut backwards, clockwise, from where the tool stands
        g = 2;
    }
    if (!Coincide(pos_, s)) LinearMove(0, s);
    ArcMove(g, e, centre);
    if (*ok_) pos_ = e;
}

void StandardWriter::WritePointEntity(const NcPoint& at) {
    if (!ok_ || !*ok_) return;
    if (!Coincide(pos_, at)) LinearMove(0, at);
}

bool StandardWriter::SamePoint(const NcPoint& a, const NcPoint& b) const { return Coincide(a, b); }

double StandardWriter::SamePointReach() const { return kTolerance; }

void StandardWriter::WriteCircleEntity(const NcPoint& centre, double radius) {
    if (!ok_ || !*ok_) return;
    double d = std::hypot(pos_.x - centre.x, pos_.y - centre.y);
    if (std::fabs(d - radius) < kTolerance) {
        NcPoint here = pos_;
        WriteArcEntity(here, here, centre);
    } else {
        NcPoint p{centre.x + radius, centre.y, centre.z};
        WriteArcEntity(p, p, centre);
    }
}

void StandardWriter::EndOutput(bool& ok) {
    if (!ok_) ok_ = &dummyOk_;
    if (ok && *ok_) {
        std::string line;
        BlockNumber(line);
        line += " M30";
        Line(line);
        Line("%");
        if (!*ok_) ok = false;
    }
    if (!*ok_) ok = false;
    bool closed = true;
    if (file_.file) CloseText(file_, closed);
    else closed = false;
    if (!closed) ok = false;
}
