#pragma once
// The interpreters of the three dialects, behind InterpretProgram.
#include "plot/PathBuilder.h"

// Word-address programs (G and M codes) for mills and, with the lathe rules, lathes.
void InterpretIso(ProgramText& text, PathBuilder& b);
// Heidenhain conversational programs (L, C, CC, CR, CT, LP, CP, RND, CHF, LBL, CYCL ...).
void InterpretHeidenhain(ProgramText& text, PathBuilder& b);
// ESSI programs of cutting machines: function codes and signed increments in tenths.
void InterpretEssi(ProgramText& text, PathBuilder& b);
