#include "windows/print/QtPrinterList.h"

#include <QPrinterInfo>

#include "widgets/Prompter.h"

std::vector<std::string> QtPrinterList::Names() const {
    std::vector<std::string> names;
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        names.push_back(ToCp1252(name));
    return names;
}

std::string QtPrinterList::DefaultName() const {
    return ToCp1252(QPrinterInfo::defaultPrinterName());
}

void VelgDefaultSkriver() { VelgDefaultSkriver(QtPrinterList()); }
