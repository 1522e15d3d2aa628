#pragma once
// Byte-string helpers shared by the whole core: Windows-1252 case mapping and the number
// syntax of the settings.
#include <cstdint>
#include <string>
#include <string_view>

unsigned char UpperChar1252(unsigned char c);
unsigned char LowerChar1252(unsigned char c);
std::string UpperCase1252(std::string_view s);
std::string LowerCase1252(std::string_view s);
bool EqualsNoCase1252(std::string_view a, std::string_view b);
bool StartsWithNoCase1252(std::string_view s, std::string_view prefix);
bool EndsWithNoCase1252(std::string_view s, std::string_view suffix);

// Blanks and control bytes (<= 32) removed at both ends.
std::string_view TrimBlanks(std::string_view s);

// Integer text: leading blanks, an optional sign, then decimal digits, or hexadecimal digits
// after "$", "x", "X", "0x" or "0X". Anything else, an empty text or a value outside the
// 32-bit range fails. Hexadecimal texts give the 32-bit pattern ($FFFFFFFF is -1).
bool ParseInt32(std::string_view s, int32_t& value);

// Floating-point text with "." as decimal separator, optional blanks around, optional
// exponent. A comma or any other stray character fails; so do inf and nan.
bool ParseFloat(std::string_view s, double& value);

// A TCP port number: one to five decimal digits, 1 to 65535.
bool IsPortNumber(std::string_view s);

// Decimal text of a value.
std::string IntToText(long long v);
