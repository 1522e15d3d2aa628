// The main window's print command: the menu item asks for the printer first, the tool button
// prints at once; coloured text is printed by the text control, plain text in columns.
#include <exception>
#include <string>
#include <vector>

#include "editor/EditUnit.h"
#include "widgets/Prompter.h"
#include "windows/print/PrintCommand.h"
#include "print/Utskrift.h"

// Printing
void TTextForm::Skrivut1Click() { SkrivutFrom(sender() != actions_.SkrivUtButton); }

void TTextForm::SkrivutFrom(bool fromMenu) {
    PrintCommand command;
    command.machine = CurrentMachine();
    command.title = doc_.FileName;
    command.colouringOn = colour_->On();
    command.printFormatert = doc_.PrintFormatert;
    const int selStart = RichEdit1->SelStart();
    const int selLength = RichEdit1->SelLength();
    command.hasSelection = selLength > 0;
    command.selectionStartLine = RichEdit1->LineFromChar(selStart);
    command.selectionEndLine = RichEdit1->LineFromChar(selStart + selLength);
    // The plain print needs the lines; the formatted one prints from the control itself.
    std::vector<std::string> lines;
    if (!UseFormattedPrint(command.colouringOn, command.printFormatert))
        lines = RichEdit1->AllLines();
    command.lines = &lines;
    try {
        RunSkrivut(command, fromMenu,
                   [this](QsciPrinter& printer) { return RichEdit1->PrintFormatted(printer); });
    } catch (const std::exception&) {
        ReportPrintFailed();
        VelgDefaultSkriver();
    }
}
