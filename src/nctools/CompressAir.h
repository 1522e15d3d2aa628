#pragma once
// Compress and air: make an NC program shorter, or easier to read, without changing what it
// means to the control. Compress removes the single blank between a number and the next
// address letter (or at the end of the line after a number) and every tab but one in the
// first position; air puts a separator between a number and the next address letter.
// Comments, from "(" to the next ")" on the same line, are left alone (tabs excepted).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "nctools/LineList.h"

// "0".."9" and ".".
inline bool IsNumberByte(char c) { return (c >= '0' && c <= '9') || c == '.'; }
// "A".."Z", upper case only.
inline bool IsAddressLetter(char c) { return c >= 'A' && c <= 'Z'; }

std::string CompressLine(std::string_view line);
std::string AirLine(std::string_view line, char separator);
// The same into out (cleared first), for loops that reuse one buffer.
void CompressLineInto(std::string_view line, std::string& out);
void AirLineInto(std::string_view line, char separator, std::string& out);

// "Tab" of the machine section: a tab (true) or a blank (false, the default).
char ReadAirSeparator(const std::string& section);

// The common frame over a whole text: every line is transformed, and only a line whose
// length changed the expected way (shorter for compress, longer for air) is replaced.
// Returns the indexes of the replaced lines, ascending: the editor writes back these.
// The TextLines forms return how many lines were replaced.
size_t CompressLines(TextLines& lines);
size_t AirLines(TextLines& lines, char separator);
std::vector<size_t> CompressLines(std::vector<std::string>& lines);
std::vector<size_t> AirLines(std::vector<std::string>& lines, char separator);
