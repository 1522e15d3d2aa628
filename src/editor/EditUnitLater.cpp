// Handlers of the main window that other areas fill in. Each group below is one area's; the
// developer of that area replaces exactly that group (and may move it to the area's own
// file). Bodies marked "to be completed" already do the part the window's start-up needs.
#include <QString>

#include <fstream>
#include <iterator>

#include "editor/EditUnit.h"
#include "editor/Prompter.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Recent.h"
#include "settings/Settings.h"

// Document files: EditUnitDocs.cpp

// Syntax colouring: EditUnitColour.cpp

