#pragma once
// Reading a DXF file, text or binary, into a drawing. The library (dxflib) interprets the
// entities; the pairs it is given come from our own group reader, which reads both file
// forms, keeps the sections the conversion needs, and hands the library only pairs it is
// known to handle safely (counts that match the data that follows, numbers it can read).
#include <string_view>

#include "convert/Drawing.h"

enum class DrawingRead {
    Ok,
    NotADrawing,  // no HEADER, ENTITIES or BLOCKS section
    Broken,       // the file stops inside a section or inside a group
};

DrawingRead ReadDrawing(std::string_view bytes, Drawing& drawing);
