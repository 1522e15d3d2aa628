#pragma once
// Line-oriented text files with an ok flag: once a step has failed, the caller's following
// steps do nothing. Lines are written with CR LF; on reading a line ends at LF, a CR not
// followed by LF is dropped, and Ctrl-Z ends the file.
#include <cstdio>
#include <string>

struct TextFile {
    std::FILE* file = nullptr;
    bool forWrite = false;
    bool atEnd = true;
    bool error = false;
    std::string buffer;   // read-ahead
    size_t bufferPos = 0;
    std::string name;
    ~TextFile();
};

inline constexpr const char* kOpenCaption = "Åpne ";   // + file name
inline constexpr const char* kIoResultText = "IOResult = ";  // + error number

// "TextUtil"/"Debug", read once at start-up by InitTextDebug.
extern bool TextDebug;
void InitTextDebug();

void OpenTextForWrite(const std::string& name, TextFile& f, bool& ok);
void OpenTextForRead(const std::string& name, TextFile& f, bool& ok);
void WriteTextLine(TextFile& f, const std::string& text, bool& ok);
void WriteText(TextFile& f, const std::string& text, bool& ok);
void ReadTextLine(TextFile& f, std::string& text, bool& ok);
bool MoreText(TextFile& f);
// Byte-wise reading for readers with rules of their own: the next byte (0-255) without
// taking it, or -1 at the end of the file (Ctrl-Z ends it here too) or after an error.
int PeekTextByte(TextFile& f);
// Takes the byte PeekTextByte has shown.
void SkipTextByte(TextFile& f);
int CloseText(TextFile& f, bool& ok);

// Test hook: the next write operation on any text file fails as a full disk would.
void FailNextTextWrite();
