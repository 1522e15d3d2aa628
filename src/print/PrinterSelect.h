#pragma once
// The printer that prints go to. "Program"/"Skriver" names it by its 1-based number among the
// installed printers; otherwise, and in raw mode, the system's default printer is used. A
// printer chosen in the print dialog holds for one print: VelgDefaultSkriver runs again after
// every print.
#include <string>
#include <vector>

inline constexpr const char* kVelgSkriverCaption = "VelgDefaultSkriver, Exception - ";  // + Skriver

// The printers of the system (names in Windows-1252).
class PrinterList {
public:
    virtual ~PrinterList() = default;
    virtual std::vector<std::string> Names() const = 0;
    virtual std::string DefaultName() const = 0;  // empty when the system names none
};

// Chooses the printer of the next print among the printers given (the windows' own
// VelgDefaultSkriver() passes the system's printers).
void VelgDefaultSkriver(const PrinterList& printers);

// The printer of the next print; empty for the system's default.
std::string SelectedPrinter();
void SelectPrinter(const std::string& name);

// Error text when "Skriver" names a printer that is not installed.
std::string PrinterNumberErrorText(int number, int installed);
