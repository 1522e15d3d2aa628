#pragma once
// A style writer for the colouring's seam that fails as a text control out of memory does:
// after `calls` successful writes the next one fails; the writes after it succeed again.
#include "editor/EditUnitColour.h"
#include "widgets/TextControl.h"

inline Colouring::StyleWriter FailingStylesAfter(TextControl& control, int calls) {
    return [&control, calls](int start, const unsigned char* styles, int length) mutable {
        if (length > 0 && calls-- == 0) return false;
        return control.SetStyleBytes(start, styles, length);
    };
}
