#include "windows/print/PrinterStream.h"

#include <QFontMetricsF>

#include "widgets/Prompter.h"
#include "print/PrinterSelect.h"

namespace {
constexpr int kTabWidth = 8;
}

PrinterStream::PrinterStream(QPrinter& printer, int fontSizePrn)
    : printer_(&printer), fontSize_(fontSizePrn) {}

PrinterStream::PrinterStream(std::unique_ptr<QPrinter> printer, int fontSizePrn)
    : owned_(std::move(printer)), printer_(owned_.get()), fontSize_(fontSizePrn) {}

PrinterStream::~PrinterStream() {
    if (painter_.isActive()) painter_.end();
}

bool PrinterStream::Open() {
    if (!printer_ || fontSize_ < 1 || !painter_.begin(printer_)) {
        failed_ = true;
        return false;
    }
    font_ = QFont(QString::fromLatin1(kPrintFontName));
    font_.setStyleHint(QFont::Monospace);
    font_.setFixedPitch(true);
    font_.setPointSize(fontSize_);
    painter_.setFont(font_);
    painter_.setPen(Qt::black);
    QFontMetricsF metrics(font_, printer_);
    lineHeight_ = metrics.lineSpacing();
    ascent_ = metrics.ascent();
    pageHeight_ = printer_->height();
    y_ = 0;
    pages_ = 1;
    return true;
}

bool PrinterStream::NewPage() {
    if (!printer_->newPage()) {
        failed_ = true;
        return false;
    }
    ++pages_;
    y_ = 0;
    return true;
}

bool PrinterStream::EmitLine() {
    if (breakPending_) {
        breakPending_ = false;
        if (!NewPage()) return false;
    } else if (y_ > 0 && y_ + lineHeight_ > pageHeight_) {
        if (!NewPage()) return false;
    }
    if (!line_.empty()) painter_.drawText(QPointF(0, y_ + ascent_), FromCp1252(line_));
    line_.clear();
    y_ += lineHeight_;
    return true;
}

bool PrinterStream::Write(std::string_view bytes) {
    if (failed_ || !painter_.isActive()) return false;
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            if (!EmitLine()) return false;
        } else if (c == kFormFeed) {
            if (!line_.empty() && !EmitLine()) return false;
            // A form feed on a page that already waits for its break is an empty page.
            if (breakPending_ && !NewPage()) return false;
            breakPending_ = true;
        } else if (c == '\t') {
            do line_ += ' ';
            while (line_.size() % kTabWidth != 0);
        } else if (c >= 32) {
            line_ += ch;
        }
        // Other control bytes (CR, printer escapes) have no picture.
    }
    return true;
}

bool PrinterStream::Close() {
    if (!painter_.isActive()) return false;
    bool ok = !failed_;
    if (ok && !line_.empty()) ok = EmitLine();
    if (!painter_.end()) ok = false;
    return ok;
}

namespace {
std::function<void(QPrinter&)>& DriverPrinterSetup() {
    static std::function<void(QPrinter&)> setup;
    return setup;
}
}  // namespace

void SetDriverPrinterSetup(std::function<void(QPrinter&)> setup) {
    DriverPrinterSetup() = std::move(setup);
}

void ConfigureDriverPrinter(QPrinter& printer, const std::string& jobTitle, int copies) {
    std::string name = SelectedPrinter();
    if (!name.empty()) printer.setPrinterName(FromCp1252(name));
    printer.setDocName(FromCp1252(jobTitle));
    printer.setCopyCount(copies < 1 ? 1 : copies);
    if (DriverPrinterSetup()) DriverPrinterSetup()(printer);
}

std::unique_ptr<QPrinter> MakeDriverPrinter(const std::string& jobTitle, int copies) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    ConfigureDriverPrinter(*printer, jobTitle, copies);
    return printer;
}
