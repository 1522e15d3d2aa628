#include "windows/print/PrintCommand.h"

#include <QApplication>
#include <QDate>
#include <QLocale>
#include <QPrinterInfo>

#include "print/PrinterSelect.h"
#include "widgets/Prompter.h"
#include "windows/print/PrinterStream.h"

namespace {
// The printers Qt's print support lists (the CUPS printers on Linux).
class QtPrinterList : public PrinterList {
public:
    std::vector<std::string> Names() const override {
        std::vector<std::string> names;
        for (const QString& name : QPrinterInfo::availablePrinterNames())
            names.push_back(ToCp1252(name));
        return names;
    }
    std::string DefaultName() const override {
        return ToCp1252(QPrinterInfo::defaultPrinterName());
    }
};

class SystemLocaleClock : public SystemClock {
public:
    std::string ShortDate(const LocalTime& t) const override {
        QDate date(t.year, t.month, t.day);
        if (!date.isValid()) return Clock::ShortDate(t);
        return ToCp1252(QLocale::system().toString(date, QLocale::ShortFormat));
    }
};
}  // namespace

const Clock& LocaleClock() {
    static SystemLocaleClock clock;
    return clock;
}

bool RunSkrivut(const PrintCommand& command, bool fromMenu, const FormattedPrint& printFormatted,
                const Clock& clock) {
    int copies = 1;
    if (fromMenu) {
        PrintRequest request;
        request.printerName = SelectedPrinter();
        if (!GetPrompter().Print(request)) return false;
        SelectPrinter(request.printerName);  // for this print only
        copies = request.copies;
    }
    PrintHooks hooks;
    hooks.askYesNo = [](const std::string& caption, const std::string& text) {
        return GetPrompter().Question(caption, text, Buttons::YesNo, Answer::Yes) == Answer::Yes;
    };
    hooks.hourglass = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    hooks.printFormatted = [&]() {
        if (!printFormatted) return false;
        QsciPrinter printer(QPrinter::HighResolution);
        ConfigureDriverPrinter(printer, command.title, copies);
        return printFormatted(printer);
    };
    hooks.driverStream = [&](const PrintSettings& settings) -> std::unique_ptr<PrintStream> {
        return std::make_unique<PrinterStream>(MakeDriverPrinter(command.title, copies),
                                               settings.fontSizePrn);
    };
    hooks.afterPrint = [] { VelgDefaultSkriver(); };
    return RunPrintCommand(command, hooks, clock);
}

void VelgDefaultSkriver() { VelgDefaultSkriver(QtPrinterList()); }
