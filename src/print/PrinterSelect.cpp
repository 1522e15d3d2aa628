#include "print/PrinterSelect.h"

#include "print/Utskrift.h"
#include "settings/MessageSink.h"
#include "settings/Strings.h"

namespace {
std::string g_selectedPrinter;
}

std::string SelectedPrinter() { return g_selectedPrinter; }

void SelectPrinter(const std::string& name) { g_selectedPrinter = name; }

std::string PrinterNumberErrorText(int number, int installed) {
    return "Skriver nummer " + std::to_string(number) + " finnes ikke, " +
           std::to_string(installed) + " skrivere er installert";
}

void VelgDefaultSkriver(const PrinterList& printers) {
    const PrinterChoice choice = ReadPrinterChoice();
    const std::string& skriver = choice.skriver;
    std::vector<std::string> names = printers.Names();
    std::string chosen = printers.DefaultName();
    if (chosen.empty() && names.size() == 1) chosen = names.front();
    if (names.size() > 1) {
        int32_t number = 0;
        if (ParseInt32(skriver, number) && number >= 1 &&
            !RawModeInForce(skriver, choice.matrise)) {
            if (static_cast<size_t>(number) > names.size()) {
                // Printing goes on with the printer selected before.
                ShowMessageBox(kVelgSkriverCaption + skriver,
                               PrinterNumberErrorText(number, static_cast<int>(names.size())));
                return;
            }
            chosen = names[static_cast<size_t>(number - 1)];
        }
    }
    g_selectedPrinter = chosen;
}
