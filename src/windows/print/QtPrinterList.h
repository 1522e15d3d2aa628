#pragma once
// The printers Qt's print support lists (the CUPS printers on Linux), and the printer
// selection over them that the program start and every print make.
#include "print/PrinterSelect.h"

class QtPrinterList : public PrinterList {
public:
    std::vector<std::string> Names() const override;
    std::string DefaultName() const override;
};

void VelgDefaultSkriver();
