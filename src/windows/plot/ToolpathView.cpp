#include "windows/plot/ToolpathView.h"

#include <QAbstractListModel>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "plot/PlotFigures.h"
#include "print/Utskrift.h"
#include "widgets/Prompter.h"
#include "windows/plot/ToolpathCanvas.h"
#include "windows/print/PrintCommand.h"
#include "windows/print/PrinterStream.h"

// The notes or the tools of the model as a list, each row with the line it goes to. The
// texts are made as the list shows them: a program with a hundred thousand notes costs no
// more than the rows in sight.
class ToolpathLines : public QAbstractListModel {
public:
    enum class Kind { Tools, Notes };
    ToolpathLines(Kind kind, QObject* parent) : QAbstractListModel(parent), kind_(kind) {}

    void SetModel(std::shared_ptr<const PlotModel> model) {
        beginResetModel();
        model_ = std::move(model);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        if (parent.isValid() || !model_) return 0;
        const Toolpath& p = model_->path;
        return static_cast<int>(kind_ == Kind::Tools ? p.tools.size() : p.notes.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!model_ || !index.isValid() || index.row() >= rowCount()) return {};
        const Toolpath& p = model_->path;
        const size_t row = static_cast<size_t>(index.row());
        if (role == Qt::DisplayRole)
            return FromCp1252(kind_ == Kind::Tools ? ToolText(p.tools[row]) : NoteLine(p.notes[row]));
        if (role == Qt::UserRole)
            return static_cast<uint>(kind_ == Kind::Tools ? p.tools[row].line : p.notes[row].line);
        return {};
    }

private:
    Kind kind_;
    std::shared_ptr<const PlotModel> model_;
};

namespace {
QString ViewName(PlotView view) {
    switch (view) {
        case PlotView::XY: return QStringLiteral("XY");
        case PlotView::XZ: return QStringLiteral("XZ");
        case PlotView::YZ: return QStringLiteral("YZ");
        case PlotView::Orbit: return QStringLiteral("3D");
    }
    return {};
}

QListView* MakeList(QWidget* parent, ToolpathLines* lines) {
    auto* list = new QListView(parent);
    list->setModel(lines);
    list->setUniformItemSizes(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QWidget* Captioned(QWidget* parent, const char* caption, QWidget* inner) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(new QLabel(Q(caption), box));
    layout->addWidget(inner, 1);
    return box;
}

// The extents of the cutting moves; of all moves when none cut.
std::string ExtentsOf(const PlotModel& m) {
    return ExtentsText(m.figures.feedBox.empty ? m.figures.allBox : m.figures.feedBox);
}
}  // namespace

TToolpathView::TToolpathView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Verktoybane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    // The buttons.
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const PlotView views[4] = {PlotView::XY, PlotView::XZ, PlotView::YZ, PlotView::Orbit};
    for (int k = 0; k < 4; ++k) {
        auto* b = new QPushButton(ViewName(views[k]), this);
        b->setCheckable(true);
        b->setFocusPolicy(Qt::TabFocus);
        b->setMinimumWidth(34);
        b->setMaximumWidth(44);
        group->addButton(b, k);
        buttons->addWidget(b);
        viewButtons_[k] = b;
    }
    viewButtons_[0]->setChecked(true);
    buttons->addStretch(1);
    fit_ = new QPushButton(Q(kFitCaption), this);
    print_ = new QPushButton(Q(kPrintViewCaption), this);
    buttons->addWidget(fit_);
    buttons->addWidget(print_);
    layout->addLayout(buttons);

    // The picture, and under it the slider, the figures and the lists.
    canvas_ = new ToolpathCanvas(this);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setChildrenCollapsible(false);
    split->addWidget(canvas_);
    auto* lower = new QWidget(split);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(3);

    auto* sliderRow = new QHBoxLayout;
    sliderRow->addWidget(new QLabel(Q(kShowToLineCaption), lower));
    slider_ = new QSlider(Qt::Horizontal, lower);
    slider_->setRange(0, 0);
    slider_->setTracking(true);
    sliderRow->addWidget(slider_, 1);
    sliderValue_ = new QLabel(lower);
    sliderValue_->setMinimumWidth(QFontMetrics(sliderValue_->font()).horizontalAdvance(QStringLiteral("0000000")));
    sliderValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    sliderRow->addWidget(sliderValue_);
    lowerLayout->addLayout(sliderRow);

    totals_ = new QLabel(lower);
    extents_ = new QLabel(lower);
    totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    extents_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lowerLayout->addWidget(totals_);
    lowerLayout->addWidget(extents_);

    toolLines_ = new ToolpathLines(ToolpathLines::Kind::Tools, this);
    noteLines_ = new ToolpathLines(ToolpathLines::Kind::Notes, this);
    tools_ = MakeList(lower, toolLines_);
    notes_ = MakeList(lower, noteLines_);
    tools_->setMinimumHeight(60);
    notes_->setMinimumHeight(60);
    auto* lists = new QHBoxLayout;
    lists->addWidget(Captioned(lower, kToolsCaption, tools_), 2);
    lists->addWidget(Captioned(lower, kNotesCaption, notes_), 3);
    lowerLayout->addLayout(lists, 1);
    split->addWidget(lower);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({800, 170});  // the picture takes what the figures and lists leave
    layout->addWidget(split, 1);

    connect(group, &QButtonGroup::idClicked, this,
            [this](int id) { canvas_->SetView(static_cast<PlotView>(id)); });
    connect(canvas_, &ToolpathCanvas::ViewChanged, this,
            [this](PlotView view) { viewButtons_[static_cast<int>(view)]->setChecked(true); });
    connect(fit_, &QPushButton::clicked, canvas_, &ToolpathCanvas::Fit);
    connect(print_, &QPushButton::clicked, this, &TToolpathView::PrintRequested);
    connect(slider_, &QSlider::valueChanged, this, &TToolpathView::SliderMoved);
    connect(canvas_, &ToolpathCanvas::LineClicked, this, &TToolpathView::GoToLine);
    for (QListView* list : {tools_, notes_})
        connect(list, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
            uint line = index.data(Qt::UserRole).toUInt();
            if (line > 0) emit GoToLine(line);
        });
}

TToolpathView::~TToolpathView() = default;

const PlotModel* TToolpathView::Model() const { return model_.get(); }

void TToolpathView::SetModel(std::shared_ptr<const PlotModel> model, int lineCount, bool fit) {
    const bool atEnd = !model_ || slider_->value() >= slider_->maximum();
    model_ = std::move(model);
    canvas_->SetModel(model_, fit);
    toolLines_->SetModel(model_);
    noteLines_->SetModel(model_);
    {
        QSignalBlocker quiet(slider_);
        slider_->setRange(lineCount > 0 ? 1 : 0, std::max(lineCount, 0));
        slider_->setPageStep(std::max(1, lineCount / 20));
        if (atEnd) slider_->setValue(slider_->maximum());
    }
    SliderMoved(slider_->value());
    totals_->setText(model_ ? FromCp1252(TotalsText(model_->path.totals)) : QString());
    extents_->setText(model_ ? FromCp1252(ExtentsOf(*model_)) : QString());
}

void TToolpathView::SetCaretLine(uint32_t line) { canvas_->SetHighlightLine(line); }

void TToolpathView::SliderMoved(int value) {
    sliderValue_->setText(QString::number(value));
    if (!model_ || value >= slider_->maximum()) {
        canvas_->SetEndMove(SIZE_MAX);
        return;
    }
    canvas_->SetEndMove(model_->MovesUpToLine(static_cast<uint32_t>(std::max(value, 0))));
}

bool TToolpathView::PrintPicture(const std::string& title) {
    bool ok = false;
    {
        std::unique_ptr<QPrinter> printer = MakeDriverPrinter(title, 1);
        // The page turned as the view is: a wide view on a page lying down.
        if (printer)
            printer->setPageOrientation(canvas_->width() > canvas_->height()
                                            ? QPageLayout::Landscape
                                            : QPageLayout::Portrait);
        QPainter painter;
        if (printer && painter.begin(printer.get())) {
            const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
            const double w = page.width(), h = page.height();
            // The heading (the program and the view) and the figures at the foot, in the
            // printer's own pixels.
            QFont font = painter.font();
            font.setPointSizeF(10);
            painter.setFont(font);
            const double line = QFontMetricsF(font, printer.get()).lineSpacing();
            painter.setPen(Qt::black);
            painter.drawText(QRectF(0, 0, w, line * 1.5), Qt::AlignLeft | Qt::AlignVCenter,
                             FromCp1252(title) + QStringLiteral("  ") + ViewName(canvas_->View()));
            const double foot = model_ ? line * 2.6 : 0;
            if (model_) {
                painter.drawText(QRectF(0, h - foot, w, line), Qt::AlignLeft | Qt::AlignVCenter,
                                 totals_->text());
                painter.drawText(QRectF(0, h - foot + line * 1.3, w, line),
                                 Qt::AlignLeft | Qt::AlignVCenter, extents_->text());
            }
            // The picture as shown, scaled to the room between them, drawn in pixels of
            // 1/150 inch: lines of that width show well on paper, and a picture made of
            // pixels stays a reasonable size.
            const double dots = printer->resolution() / 150.0;
            const QRectF room(0, line * 2, w, h - line * 2.5 - foot);
            const double cw = std::max(1, canvas_->width()), ch = std::max(1, canvas_->height());
            const double f = std::min(room.width() / cw, room.height() / ch) / dots;
            const QRectF area(room.x() + (room.width() - cw * f * dots) / 2, room.y(),
                              cw * f * dots, ch * f * dots);
            painter.setPen(QPen(QColor(120, 120, 120), dots));
            painter.drawRect(area);
            if (model_) {
                Projection p = canvas_->CurrentProjection();
                p.scale *= f, p.tx *= f, p.ty *= f;
                painter.save();
                painter.setClipRect(area);
                painter.translate(area.topLeft());
                painter.scale(dots, dots);
                ToolpathScratch scratch;
                DrawToolpath(painter, *model_, p, cw * f, ch * f, canvas_->EndMove(), scratch);
                canvas_->PaintHighlight(painter, p);
                painter.restore();
            }
            ok = painter.end();
        }
    }
    if (!ok) ReportPrintFailed();
    VelgDefaultSkriver();
    return ok;
}
