#pragma once
// The printer driver's text stream: lines drawn in "Courier New" at FontSizePrn points on a
// QPrinter, line by line from the top of the page; a form feed starts a new page, and a page
// that runs out of room continues on the next one.
#include <QFont>
#include <QPainter>
#include <QPrinter>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "print/Utskrift.h"

class PrinterStream : public PrintStream {
public:
    PrinterStream(QPrinter& printer, int fontSizePrn);
    PrinterStream(std::unique_ptr<QPrinter> printer, int fontSizePrn);
    ~PrinterStream() override;
    bool Open() override;
    bool Write(std::string_view bytes) override;
    bool Close() override;
    int Pages() const { return pages_; }
    QFont Font() const { return font_; }

private:
    bool EmitLine();
    bool NewPage();

    std::unique_ptr<QPrinter> owned_;
    QPrinter* printer_;
    int fontSize_;
    QFont font_;
    QPainter painter_;
    std::string line_;
    double y_ = 0;
    double lineHeight_ = 0;
    double ascent_ = 0;
    double pageHeight_ = 0;
    bool breakPending_ = false;
    bool failed_ = false;
    int pages_ = 0;
};

// Points a printer at the selected printer (SelectedPrinter), with the job title and the
// number of copies.
void ConfigureDriverPrinter(QPrinter& printer, const std::string& jobTitle, int copies);
std::unique_ptr<QPrinter> MakeDriverPrinter(const std::string& jobTitle, int copies);
// Runs on every driver printer after ConfigureDriverPrinter has set it up: a print to a
// file instead of the printer (tests, where no printer exists). Empty: nothing.
void SetDriverPrinterSetup(std::function<void(QPrinter&)> setup);
