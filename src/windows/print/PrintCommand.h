#pragma once
// The main window's print command (menu item "Skriv &ut" and the tool button "Skriv ut"):
// the print dialog from the menu item only, then the formatted print through the text
// control or the plain print in one to three columns, and the printer selection again.
#include <Qsci/qsciprinter.h>

#include <functional>

#include "print/Clock.h"
#include "print/Utskrift.h"

// The text control's formatted print of the whole document, with its colours, onto the
// printer (already pointed at the selected printer, titled and with the copies asked for):
// typically printer.printRange(editor) > 0. False, or an exception, when it failed.
using FormattedPrint = std::function<bool(QsciPrinter& printer)>;

// The printer selection over the system's printers, made at the program start and after
// every print.
void VelgDefaultSkriver();

// The clock whose dates follow the system's short date format (QLocale::system()).
const Clock& LocaleClock();

// Runs the command; fromMenu shows the print dialog first (cancel: nothing happens).
// Returns true when something was printed.
bool RunSkrivut(const PrintCommand& command, bool fromMenu, const FormattedPrint& printFormatted,
                const Clock& clock = LocaleClock());
