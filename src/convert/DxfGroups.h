#pragma once
// The group pairs of a DXF file: a group code and its value. Text files give the value as the
// line stands; binary files (the "AutoCAD Binary DXF" form, with one-byte codes in the older
// releases and two-byte codes from R13 on) give numbers written out as text, so one reader
// serves both forms.
#include <string>
#include <string_view>

struct DxfGroup {
    int code = 0;
    std::string value;
};

// What a group code's value is, as the DXF releases define it.
enum class DxfValueKind { Text, Real, Int16, Int32, Int64, Bool, Bytes };
DxfValueKind DxfValueKindOf(int code);

class DxfGroupReader {
public:
    explicit DxfGroupReader(std::string_view bytes);

    // The next group; false at the end of the file. In a text file a line that cannot be a
    // group code is passed over, so a damaged line costs the group it stands in and no more.
    bool Next(DxfGroup& group);
    bool Binary() const { return binary_; }
    // A binary file ended inside a group, or a text file ended after a group code.
    bool Broken() const { return broken_; }

private:
    bool NextText(DxfGroup& group);
    bool NextBinary(DxfGroup& group);
    bool TextLine(std::string_view& line);

    std::string_view bytes_;
    size_t pos_ = 0;
    bool binary_ = false;
    bool wideCodes_ = false;
    bool broken_ = false;
};

// A text value read as a number the way the settings read one: blanks around it are allowed,
// the first "," counts as the decimal point, and anything that is not a finite number is 0.
double DxfNumber(std::string_view text);
// The shortest text that reads back as exactly the same number.
void AppendExactNumber(std::string& out, double v);
