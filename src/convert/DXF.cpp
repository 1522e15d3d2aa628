#include "convert/DXF.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

#include "convert/ESSI.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/Strings.h"

namespace {
constexpr double kTolerance = 0.0005;
constexpr const char* kEntitySeparator = "  0";

// A group-code line is a space followed by a positive code in decimal (" 10"; "  0" and
// "100" are not).
bool IsGroupCodeLine(const std::string& line, int& code) {
    // Only a short line starting with a space can be one: a quick test before DigitsToInt.
    if (line.size() < 2 || line.size() > 11 || line[0] != ' ') return false;
    int32_t v = DigitsToInt(line);
    if (v <= 0) return false;
    if (line.compare(1, std::string::npos, std::to_string(v)) != 0) return false;
    code = v;
    return true;
}

bool SamePoint(const NcPoint& a, const NcPoint& b) {
    return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z) < kTolerance;
}

bool Finite(const NcPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

void RemoveFile(const std::string& dncPath) { std::remove(ResolvePath(dncPath).c_str()); }
}  // namespace

// ---------------------------------------------------------------------------------------
// Reader

void DxfReader::ReadLine() {
    if (!*ok) return;
    std::string line;
    ReadTextLine(file, line, *ok);  // clears ok at the end of the file
    if (!*ok) return;
    for (char& c : line) c = static_cast<char>(UpperChar1252(static_cast<unsigned char>(c)));
    currentLine = std::move(line);
}

bool FindGroupCode(DxfReader& r, int code) {
    if (!*r.ok) return false;
    int found = 0;
    bool isCode = IsGroupCodeLine(r.currentLine, found);
    while (*r.ok && !isCode) {
        if (r.currentLine == kEntitySeparator) break;
        r.ReadLine();
        if (!*r.ok) break;
        isCode = IsGroupCodeLine(r.currentLine, found);
    }
    if (!*r.ok || !isCode || found != code) return false;
    r.currentLine.clear();
    return true;
}

double ReadGroupValue(DxfReader& r, int code) {
    if (!FindGroupCode(r, code)) return 0.0;
    std::string value;
    ReadTextLine(r.file, value, *r.ok);
    if (!*r.ok) return 0.0;
    return TextToFloat(value, 0, 0);
}

void SkipToMarker(DxfReader& r, const std::string& marker, const std::string& codeLine) {
    while (*r.ok && r.currentLine != marker && r.currentLine != codeLine) r.ReadLine();
}

namespace {
NcPoint ReadPoint(DxfReader& r, int xCode) {
    NcPoint p;
    p.x = ReadGroupValue(r, xCode);
    p.y = ReadGroupValue(r, xCode + 10);
    p.z = ReadGroupValue(r, xCode + 20);
    return p;
}
}  // namespace

void ReadLineEntity(DxfReader& r, NcWriter& w) {
    SkipToMarker(r, "ACDBLINE", " 10");
    NcPoint start = ReadPoint(r, 10);
    NcPoint end = ReadPoint(r, 11);
    if (*r.ok) w.WriteLineEntity(start, end);
}

void ReadCircleEntity(DxfReader& r, NcWriter& w) {
    SkipToMarker(r, "ACDBCIRCLE", " 10");
    NcPoint centre = ReadPoint(r, 10);
    double radius = ReadGroupValue(r, 40);
    if (*r.ok) w.WriteCircleEntity(centre, radius);
}

void ReadArcEntity(DxfReader& r, NcWriter& w) {
    SkipToMarker(r, "ACDBCIRCLE", " 10");
    NcPoint centre = ReadPoint(r, 10);
    double radius = ReadGroupValue(r, 40);
    SkipToMarker(r, "ACDBARC", " 50");
    double a50 = ReadGroupValue(r, 50) * std::numbers::pi / 180.0;
    double a51 = ReadGroupValue(r, 51) * std::numbers::pi / 180.0;
    if (!*r.ok) return;
    NcPoint start{centre.x + radius * std::cos(a50), centre.y + radius * std::sin(a50), centre.z};
    NcPoint end{centre.x + radius * std::cos(a51), centre.y + radius * std::sin(a51), centre.z};
    w.WriteArcEntity(start, end, centre);
}

// ---------------------------------------------------------------------------------------
// Conversion

OutputFormat ReadDxfFormat(const std::string& section) {
    std::string value = ReadIniString(section, "DXFFormat", "STANDARD");
    if (value == "ESSI") return OutputFormat::Essi;
    if (value != "STANDARD") ShowMessageBox(kDxfFormatCaption, value);
    return OutputFormat::Standard;
}

void ConvertDxfToNc(int machineNumber, const std::string& dxfPath, const std::string& ncPath,
                    bool& ok) {
    OutputFormat format = ReadDxfFormat("Maskin" + std::to_string(machineNumber));
    ConvertDxfToNcAs(format, dxfPath, ncPath, ok);
}

void ConvertDxfToNcAs(OutputFormat format, const std::string& dxfPath, const std::string& ncPath,
                      bool& ok) {
    ok = true;
    DxfReader reader;
    reader.ok = &ok;
    OpenTextForRead(dxfPath, reader.file, ok);
    if (!ok) return;

    // The program is written beside the NC file and takes its place only when the whole
    // conversion succeeded: a failed conversion never destroys a program that was there.
    const std::string tmpPath = ncPath + ".skarv-tmp";
    StandardWriter standard;
    EssiWriter essi;
    NcWriter& writer = format == OutputFormat::Essi ? static_cast<NcWriter&>(essi) : standard;
    writer.BeginOutput(tmpPath, ok);

    std::string line;
    while (ok && MoreText(reader.file)) {
        ReadTextLine(reader.file, line, ok);
        if (!ok) break;
        if (line.size() < 3 || line.size() > 6) continue;  // none of the three names
        std::string name = UpperCase1252(line);
        if (name == "LINE") ReadLineEntity(reader, writer);
        else if (name == "CIRCLE") ReadCircleEntity(reader, writer);
        else if (name == "ARC") ReadArcEntity(reader, writer);
    }

    bool closedOk = true;
    CloseText(reader.file, closedOk);
    if (!closedOk) ok = false;
    bool endOk = ok;
    writer.EndOutput(endOk);
    ok = ok && endOk;

    if (ok && std::rename(ResolvePath(tmpPath).c_str(), ResolvePath(ncPath).c_str()) != 0)
        ok = false;
    if (!ok) RemoveFile(tmpPath);
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
    if (!SamePoint(pos_, start)) LinearMove(0, start);
    LinearMove(1, end);
}

void StandardWriter::WriteArcEntity(const NcPoint& start, const NcPoint& end, const NcPoint& centre) {
    if (!ok_ || !*ok_) return;
    NcPoint s = start;
    NcPoint e = end;
    int g = 3;
    if (SamePoint(pos_, e)) {
        std::swap(s, e);  // cut backwards, clockwise, from where the tool stands
        g = 2;
    }
    if (!SamePoint(pos_, s)) LinearMove(0, s);
    ArcMove(g, e, centre);
    if (*ok_) pos_ = e;
}

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
