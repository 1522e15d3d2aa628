#pragma once
// The control-code notation of byte-valued settings: "[CR][LF]" names the bytes 13 10.
#include <string>
#include <string_view>

inline constexpr const char* kVisualErrorCaption = "Feil med visuell string";

// The text of one byte in the notation.
std::string CharToVisual(unsigned char b);
// The concatenation of CharToVisual of each byte (at most the first 65535 bytes).
std::string StringToVisual(std::string_view s);
// One token including its brackets, already upper-cased. Returns false on failure.
bool ParseVisualToken(std::string_view token, unsigned char& byte);
// The bytes the text names. A faulty text is reported once through ShowMessageBox (caption
// "Feil med visuell string", the text as it was); faulty tokens are left out. When ok is
// given it tells whether the text was free of faults.
std::string VisualToString(std::string_view s, bool* ok = nullptr);
