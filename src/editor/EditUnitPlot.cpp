#include "editor/EditUnitPlot.h"

#include <QAction>
#include <QEvent>
#include <QDockWidget>
#include <QMainWindow>
#include <QTimer>

#include <algorithm>

#include "plot/PlotWorker.h"
#include "settings/Settings.h"
#include "widgets/Prompter.h"
#include "widgets/TextControl.h"
#include "windows/plot/ToolpathView.h"

namespace {
// The copy of the text goes in slices of this size, each between the window's events: a
// few milliseconds each, however large the program.
constexpr size_t kCopySlice = size_t{8} << 20;
// While the program holds the text in its update bracket (a dialog rewriting it), the copy
// looks again this often.
constexpr int kUpdateRetryMs = 20;
// The beginning of the text that tells a Heidenhain program by its BEGIN PGM.
constexpr int kTextStart = 4096;
}  // namespace

ToolpathLink::ToolpathLink(QMainWindow& window, TextControl& text, QAction& onOff, Window borrowed)
    : QObject(&window), window_(window), text_(text), onOff_(onOff), borrowed_(std::move(borrowed)) {
    worker_ = std::make_unique<PlotWorker>(
        [this](std::shared_ptr<const PlotModel> model, uint64_t generation) {
            // On the worker's thread: the model goes over to the window's thread.
            QMetaObject::invokeMethod(
                this, [this, model = std::move(model), generation]() mutable {
                    Arrived(std::move(model), generation);
                },
                Qt::QueuedConnection);
        });
    typing_ = new QTimer(this);
    typing_->setSingleShot(true);
    typing_->setInterval(kTypingPauseMs);
    connect(typing_, &QTimer::timeout, this, &ToolpathLink::StartCopy);
    copier_ = new QTimer(this);
    copier_->setSingleShot(true);
    connect(copier_, &QTimer::timeout, this, &ToolpathLink::CopySlice);

    connect(&text, &TextControl::TextChanged, this, [this] { Request(false); });
    connect(&text, &TextControl::TextRewritten, this, [this] { Request(true); });
    connect(&text, &TextControl::SelectionChanged, this, &ToolpathLink::CaretMoved);
}

ToolpathLink::~ToolpathLink() {
    // The reading under way is called off and its thread waited for before the rest goes.
    worker_.reset();
}

bool ToolpathLink::Shown() const { return onOff_.isChecked(); }

bool ToolpathLink::Pending() const {
    return startCopy_ || copying_ || typing_->isActive() || worker_->Busy() ||
           (submitted_.generation != 0 && submitted_.generation != shownGeneration_);
}

// ------------------------------------------------------------------ showing
void ToolpathLink::SetShown(bool on) {
    onOff_.setChecked(on);
    if (on) {
        EnsurePanel();
        dock_->show();
        if (stale_ || !view_->Model()) Request(true);
        CaretMoved();
        return;
    }
    // Hidden: nothing is read, and the model and the copies are let go.
    typing_->stop();
    copier_->stop();
    copying_ = false;
    std::string().swap(copy_);
    worker_->Cancel();
    stale_ = true;
    fitNext_ = true;
    if (dock_) {
        dock_->hide();
        view_->SetModel(nullptr, 0, true);
    }
}

void ToolpathLink::SwitchChosen() {
    const bool on = onOff_.isChecked();
    WritePersonalInt(kToolpathSettingName, on ? 1 : 0);
    SetShown(on);
}

bool ToolpathLink::eventFilter(QObject* watched, QEvent* event) {
    // The panel's own close button: as the menu item.
    if (watched == dock_ && event->type() == QEvent::Close && Shown()) {
        onOff_.setChecked(false);
        SwitchChosen();
    }
    return QObject::eventFilter(watched, event);
}

void ToolpathLink::EnsurePanel() {
    if (dock_) return;
    dock_ = new QDockWidget(Q(kToolpathCaption), &window_);
    dock_->setObjectName(QStringLiteral("VerktoybaneDokk"));
    dock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                       QDockWidget::DockWidgetFloatable);
    dock_->installEventFilter(this);
    view_ = new TToolpathView(dock_);
    dock_->setWidget(view_);
    window_.addDockWidget(Qt::RightDockWidgetArea, dock_);
    window_.resizeDocks({dock_}, {std::max(260, window_.width() * 9 / 20)}, Qt::Horizontal);
    connect(view_, &TToolpathView::GoToLine, this, &ToolpathLink::GoToLine);
    connect(view_, &TToolpathView::PrintRequested, this, &ToolpathLink::Print);
}

// ------------------------------------------------------------------ reading anew
void ToolpathLink::Request(bool rewritten) {
    stale_ = true;
    if (rewritten) fitNext_ = true;
    if (!Shown()) return;
    // A copy under way is no longer the text: it begins again; a reading under way is of a
    // text that is gone, and gives the cores back to the user.
    copier_->stop();
    copying_ = false;
    worker_->Cancel();
    if (rewritten) {
        typing_->stop();
        // After the command that rewrote the text has ended.
        copier_->start(0);
        startCopy_ = true;
    } else {
        typing_->start();  // begins again at each keystroke
    }
}

void ToolpathLink::SettingsChanged() {
    if (!Shown()) return;
    PlotSettings now = borrowed_.settings(text_.TextView(0, kTextStart));
    const PlotSettings& last = copying_ || startCopy_ ? copySettings_ : submitted_.settings;
    if (haveSettings_ && now == last) return;
    Request(true);
}

void ToolpathLink::StartCopy() {
    startCopy_ = false;
    if (!Shown()) return;
    copying_ = true;
    copy_.clear();
    copyLength_ = static_cast<size_t>(std::max(text_.TextLength(), 0));
    copyCount_ = text_.ChangeCount();
    copy_.reserve(copyLength_);
    copyLines_ = text_.LineCount();
    copySettings_ = borrowed_.settings(text_.TextView(0, kTextStart));
    haveSettings_ = true;
    CopySlice();
}

void ToolpathLink::CopySlice() {
    if (startCopy_) {
        StartCopy();
        return;
    }
    if (!copying_) return;
    if (text_.Updating()) {
        copier_->start(kUpdateRetryMs);
        return;
    }
    if (text_.ChangeCount() != copyCount_) {
        StartCopy();  // changed under the copy without a word
        return;
    }
    const size_t n = std::min(kCopySlice, copyLength_ - copy_.size());
    if (n > 0) {
        std::string_view bytes = text_.TextView(static_cast<int>(copy_.size()), static_cast<int>(n));
        copy_.append(bytes.data(), bytes.size());
        if (bytes.size() != n) {  // the control could not give them: once more from the start
            copier_->start(kUpdateRetryMs);
            copy_.clear();
            return;
        }
    }
    if (copy_.size() < copyLength_) {
        copier_->start(0);
        return;
    }
    copying_ = false;
    submitted_.lines = copyLines_;
    submitted_.fit = fitNext_;
    submitted_.settings = copySettings_;
    ++requests_;
    submitted_.generation = worker_->Submit(std::move(copy_), copySettings_);
    copy_ = std::string();
}

void ToolpathLink::Arrived(std::shared_ptr<const PlotModel> model, uint64_t generation) {
    // Overtaken on its way here, or the panel was closed meanwhile.
    if (!worker_->IsLatest(generation) || generation != submitted_.generation || !Shown() ||
        !view_)
        return;
    shownGeneration_ = generation;
    view_->SetModel(std::move(model), submitted_.lines, submitted_.fit);
    if (submitted_.fit) fitNext_ = false;
    stale_ = copying_ || startCopy_ || typing_->isActive();
    CaretMoved();
    emit ModelShown();
}

// ------------------------------------------------------------------ the caret and the path
void ToolpathLink::CaretMoved() {
    if (!view_ || !Shown()) return;
    const int lines = text_.LineCount();
    const int line = lines > 0 ? text_.LineFromChar(-1) + 1 : 0;
    view_->SetCaretLine(static_cast<uint32_t>(std::max(line, 0)));
}

void ToolpathLink::GoToLine(uint32_t line) {
    if (line == 0) return;
    const int at = text_.LineIndex(static_cast<int>(line) - 1);
    if (at < 0) return;
    text_.SetSelStart(at);
    text_.setFocus(Qt::OtherFocusReason);
}

void ToolpathLink::Print() {
    if (view_) view_->PrintPicture(borrowed_.title ? borrowed_.title() : std::string());
}
