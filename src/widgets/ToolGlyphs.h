#pragma once
// The tool bar's glyphs, drawn in one style: dark outlines, white paper, one accent colour
// per kind of command.
#include <QIcon>

enum class Glyph {
    New, Open, Save, SaveAs, Events, Print, Cut, Copy, Paste, Delete, Undo, Find, Replace,
    Compress, Air, Renumber, Trig, Exit
};

QIcon ToolGlyph(Glyph glyph);
