#pragma once
// The font the text control draws with. Qt draws the bytes of an 8-bit Scintilla text as
// Latin-1, so 0x80-0x9F would come out as empty boxes; the display font is the wanted
// family with those code points mapped to the Windows-1252 glyphs (€ Š Œ Ž ‘ ’ “ ” ...).
#include <QString>

#include <string>

// The family to give Scintilla for a wanted family ("Courier New"). Falls back to the
// wanted family itself when no suitable font file is found.
QString DisplayFontFamily(const std::string& wanted);
