#include "windows/transfer/EditTran.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "widgets/Prompter.h"
#include "widgets/TextControl.h"
#include "settings/MessageSink.h"
#include "settings/Settings.h"
#include "settings/Visual.h"
#include "windows/transfer/AskDlg.h"
#include "windows/transfer/EditComT.h"
#include "transfer/SerialTransfer.h"
#include "transfer/TapeLoops.h"

namespace {
// A label that clicks its command, as the dialog's captions beside the buttons do.
class ClickLabel : public QLabel {
public:
    ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
        setCursor(Qt::PointingHandCursor);
    }
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->pos()) && onClick)
            onClick();
    }
};

enum class TransferGlyph { Send, SendFromLine, Receive };

// The pictures of the three speed buttons: a program sheet and the machine, with an arrow
// towards the machine (send), from a marked line (send from line), or back (receive).
QIcon MakeGlyph(TransferGlyph kind) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor outline(40, 40, 40);
    // The sheet with its lines.
    p.setPen(QPen(outline, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 4.5, 11, 15));
    for (int i = 0; i < 4; ++i) {
        QColor c = (kind == TransferGlyph::SendFromLine && i == 2) ? QColor(200, 40, 40) : outline;
        p.setPen(QPen(c, kind == TransferGlyph::SendFromLine && i == 2 ? 2.0 : 1.0));
        p.drawLine(QPointF(4.5, 8 + i * 3), QPointF(11.5, 8 + i * 3));
    }
    // The machine.
    p.setPen(QPen(outline, 1.2));
    p.setBrush(QColor(150, 170, 190));
    p.drawRect(QRectF(20.5, 10.5, 10, 17));
    p.setBrush(QColor(60, 70, 80));
    p.drawRect(QRectF(22.5, 13.5, 6, 4));
    // The arrow.
    QPainterPath arrow;
    const bool back = kind == TransferGlyph::Receive;
    const double y = 24, x0 = back ? 19 : 7, x1 = back ? 7 : 19, dir = back ? -1 : 1;
    arrow.moveTo(x0, y - 1.5);
    arrow.lineTo(x1 - dir * 4, y - 1.5);
    arrow.lineTo(x1 - dir * 4, y - 4.5);
    arrow.lineTo(x1, y);
    arrow.lineTo(x1 - dir * 4, y + 4.5);
    arrow.lineTo(x1 - dir * 4, y + 1.5);
    arrow.lineTo(x0, y + 1.5);
    arrow.closeSubpath();
    p.setPen(QPen(outline, 0.8));
    p.setBrush(back ? QColor(40, 140, 60) : QColor(30, 90, 200));
    p.drawPath(arrow);
    return QIcon(pm);
}

QFrame* MakePanel(QWidget* parent, const char* name) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::StyledPanel);
    f->setFrameShadow(QFrame::Raised);
    return f;
}
}  // namespace

TTransForm::TTransForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TransForm");
    setWindowTitle(Q(kTransCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(282, 247);

    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setBold(true);
    labelFont.setPixelSize(27);

    auto commandRow = [&](const char* panelName, QFrame*& panel, QToolButton*& button,
                          const char* buttonName, QLabel*& label, const char* labelName,
                          const char* caption, TransferGlyph glyph, void (TTransForm::*click)()) {
        panel = MakePanel(this, panelName);
        button = new QToolButton(panel);
        button->setObjectName(buttonName);
        button->setIcon(MakeGlyph(glyph));
        button->setIconSize(QSize(32, 32));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);  // a speed button takes no focus
        auto* l = new ClickLabel(Q(caption), panel);
        l->setObjectName(labelName);
        l->setFont(labelFont);
        l->onClick = [this, click] { (this->*click)(); };
        l->setBuddy(button);  // the underlined letter with Alt clicks the button
        label = l;
        auto* row = new QHBoxLayout(panel);
        row->setContentsMargins(6, 4, 6, 4);
        row->addWidget(button);
        row->addWidget(label, 1);
        connect(button, &QToolButton::clicked, this, [this, click] { (this->*click)(); });
    };

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(41);
    Avbryt = new QPushButton(Q("&Avbryt"), Panel1);
    Avbryt->setObjectName("Avbryt");
    Avbryt->setAutoDefault(false);
    QFont avbrytFont(QStringLiteral("Arial"));
    avbrytFont.setBold(true);
    Avbryt->setFont(avbrytFont);
    Vis = new QCheckBox(Q("Vis"), Panel1);
    Vis->setObjectName("Vis");
    QFont visFont = Vis->font();
    visFont.setBold(true);
    Vis->setFont(visFont);
    auto* bottom = new QHBoxLayout(Panel1);
    bottom->setContentsMargins(8, 4, 8, 4);
    bottom->addWidget(Vis);
    bottom->addStretch(1);
    bottom->addWidget(Avbryt);

    commandRow("Panel2", Panel2, Send, "Send", SendLabel, "SendLabel", "&Send til CNC",
               TransferGlyph::Send, &TTransForm::SendClick);
    commandRow("Panel3", Panel3, SendLinje, "SendLinje", SendLinjeLabel, "SendLinjeLabel",
               "Send fra &linje", TransferGlyph::SendFromLine, &TTransForm::SendLinjeClick);
    commandRow("Panel4", Panel4, Hent, "Hent", HentLabel, "HentLabel", "&Hent fra CNC",
               TransferGlyph::Receive, &TTransForm::HentClick);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(6, 6, 6, 0);
    top->setSpacing(6);
    top->addWidget(Panel2, 1);
    top->addWidget(Panel3, 1);
    top->addWidget(Panel4, 1);
    top->addWidget(Panel1);

    ThreadTimer = new QTimer(this);
    ThreadTimer->setObjectName("ThreadTimer");
    ThreadTimer->setInterval(250);

    connect(Avbryt, &QPushButton::clicked, this, [this] { AvbrytClick(); });
    connect(Vis, &QCheckBox::clicked, this, [this] { VisClick(); });
    connect(ThreadTimer, &QTimer::timeout, this, [this] { ThreadTimerTimer(); });

    // Key preview: the form sees the keys of its controls first.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

TTransForm::~TTransForm() {
    if (Thread && Thread->isRunning()) {
        AbortTransfer = true;
        Thread->requestInterruption();
        Thread->wait();
    }
}

// ------------------------------------------------------------------ showing and closing
void TTransForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        FormShow();
    }
}

void TTransForm::FormShow() {
    Busy = false;
    Aborted = false;
    const int lines = TargetEditor ? TargetEditor->LineCount() : 0;
    CaretLine = TargetEditor ? TargetEditor->LineFromChar(TargetEditor->SelStart()) : 0;
    const bool anyLine = TargetEditor && lines >= 1;
    Send->setEnabled(anyLine);
    SendLabel->setEnabled(anyLine);
    const bool middle = TargetEditor && CaretLine > 0 && lines > CaretLine + 1;
    SendLinje->setEnabled(middle);
    SendLinjeLabel->setEnabled(middle);
    // Receiving never overwrites a program.
    const bool empty = TargetEditor && lines == 0;
    Hent->setEnabled(empty);
    HentLabel->setEnabled(empty);
    Avbryt->setEnabled(true);
    Vis->setChecked(ReadIniBool(kEditorSection, "Vis", false));
    Avbryt->setFocus();
}

bool TTransForm::FormCloseQuery() { return !Busy; }

void TTransForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TTransForm::reject() {
    if (!FormCloseQuery()) return;
    QDialog::reject();
}

void TTransForm::CloseDialog() {
    ThreadTimer->stop();
    done(QDialog::Rejected);
}

// ------------------------------------------------------------------ keys
bool TTransForm::FormKeyPress(char key) {
    const char k = (key >= 'a' && key <= 'z') ? char(key - 'a' + 'A') : key;
    if (k == 'S' && Send->isEnabled()) {
        SendClick();
        return true;
    }
    if (k == 'L' && SendLinje->isEnabled()) {
        SendLinjeClick();
        return true;
    }
    if (k == 'H' && Hent->isEnabled()) {
        HentClick();
        return true;
    }
    return false;
}

bool TTransForm::KeyFromEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const QString text = event->text();
    if (text.size() != 1) return false;
    const std::string bytes = ToCp1252(text);
    return bytes.size() == 1 && FormKeyPress(bytes[0]);
}

void TTransForm::keyPressEvent(QKeyEvent* event) {
    if (KeyFromEvent(event)) return;
    QDialog::keyPressEvent(event);
}

bool TTransForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && KeyFromEvent(static_cast<QKeyEvent*>(event))) return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ------------------------------------------------------------------ commands
void TTransForm::DisableCommands() {
    Busy = true;
    for (QWidget* w : std::initializer_list<QWidget*>{Send, SendLabel, SendLinje, SendLinjeLabel, Hent, HentLabel})
        w->setEnabled(false);
    ProcessMessages();
}

void TTransForm::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TTransForm::AvbrytClick() {
    if (!Busy) {
        close();
        return;
    }
    Aborted = true;
    AbortTransfer = true;
    // A thread that has not begun yet clears AbortTransfer when it starts; the request to
    // stop reaches it all the same.
    if (Thread) Thread->requestInterruption();
    Avbryt->setEnabled(false);
}

void TTransForm::VisClick() {
    if (TargetEditor) TargetEditor->SetHideSelection(!Vis->isChecked());
    if (ThreadTimerTag == 1) {
        if (Busy && Vis->isChecked())
            ThreadTimer->start();
        else
            ThreadTimer->stop();
    }
}

void TTransForm::SelectLine(int32_t line) {
    if (!TargetEditor) return;
    const int count = TargetEditor->LineCount();
    if (count <= 0) return;
    // Once the counter has reached the end, the last line is the one going out.
    if (line >= count) line = count - 1;
    if (line < 0) line = 0;
    TargetEditor->SetSelection(TargetEditor->LineIndex(line), int(TargetEditor->Line(line).size()));
}

void TTransForm::ThreadTimerTimer() { SelectLine(LinesQueued.load(std::memory_order_relaxed)); }

void TTransForm::SendClick() {
    if (Busy || !TargetEditor) return;
    try {
        const std::vector<std::string> lines = TargetEditor->AllLines();
        StartTransfer(WholeProgramStartIndex(lines), std::string());
    } catch (const std::exception& e) {
        ReportFault(e.what());
    }
}

void TTransForm::SendLinjeClick() {
    if (Busy || !TargetEditor) return;
    try {
        std::string sequence = ReadIniString(kEditorSection, "StartSekvens", kDefaultStartSequence);
        if (!sequence.empty()) {
            if (sequence == "*") sequence.clear();
            if (!AskForm) AskForm = new TAskForm(this);
            bool ok = false;
            AskForm->Ask(kStartCaption, kStartHeading, ok, sequence);
            if (!ok) return;
            sequence = VisualToString(sequence);
        }
        StartTransfer(CaretLine, sequence);
    } catch (const std::exception& e) {
        ReportFault(e.what());
    }
}

void TTransForm::StartTransfer(int32_t startIndex, const std::string& startSequence) {
    const std::string device = ReadPortDevice();
    if (!IsSerialDevice(device)) {
        TapeSendLoop(startIndex, startSequence);
        return;
    }
    SerialSend(startIndex, startSequence, device);
}

void TTransForm::SerialSend(int32_t startIndex, const std::string& startSequence,
                            const std::string& device) {
    const std::string section = PortSettingsSection(device, MachineSectionName);
    const bool threaded = ReadIniBool(kEditorSection, "Thread", true);
    ThreadTimerTag = threaded ? 1 : 0;
    // The dialog is modal, so the text cannot change while the program goes out; the
    // transfer reads a copy taken now.
    auto lines = std::make_shared<const std::vector<std::string>>(TargetEditor->AllLines());

    if (threaded) {
        DisableCommands();
        LinesQueued = 0;
        auto* thread = new TEditThread(true, lines, startIndex, startSequence, section);
        Thread = thread;
        connect(thread, &QThread::finished, this, &TTransForm::ThreadDone);
        thread->SetPriority(ReadThreadPriority());
        thread->SetFreeOnTerminate(true);
        thread->Resume();
        if (Vis->isChecked()) {
            TargetEditor->SetHideSelection(false);
            ThreadTimer->start();
        }
        return;  // ThreadDone closes the dialog
    }

    DialogLoopHooks hooks;
    hooks.disableCommands = [this] {
        DisableCommands();
        TargetEditor->SetHideSelection(!Vis->isChecked());
    };
    hooks.processMessages = [this] { ProcessMessages(); };
    hooks.aborted = [this] { return Aborted; };
    hooks.selectLine = [this](int32_t line) {
        if (Vis->isChecked()) SelectLine(line);
    };
    hooks.hideSelection = [this] { TargetEditor->SetHideSelection(true); };
    ThreadlessSendProgram(*lines, startIndex, startSequence, section, device, hooks);
    Busy = false;
    CloseDialog();
}

void TTransForm::TapeSendLoop(int32_t startIndex, const std::string& startSequence) {
    const std::vector<std::string> lines = TargetEditor->AllLines();
    TapeLoopHooks hooks;
    hooks.disableCommands = [this] { DisableCommands(); };
    hooks.passMessages = [this] {
        ProcessMessages();
        return Aborted;
    };
    hooks.showSelection = [this](bool show) { TargetEditor->SetHideSelection(!show); };
    hooks.selectLine = [this](int line, int caretLine) {
        // The caret goes ten lines ahead first, so the lines to come stay in view.
        if (caretLine >= 0) TargetEditor->SetSelStart(TargetEditor->LineIndex(caretLine));
        SelectLine(line);
    };
    TapeSend(lines, startIndex, startSequence, Vis->isChecked(), hooks);
    Busy = false;
    CloseDialog();
}

void TTransForm::HentClick() {
    if (Busy || !TargetEditor) return;
    try {
        const std::string device = ReadPortDevice();
        if (!IsSerialDevice(device)) {
            TapeLoopHooks hooks;
            hooks.disableCommands = [this] { DisableCommands(); };
            hooks.passMessages = [this] {
                ProcessMessages();
                return Aborted;
            };
            hooks.clearText = [this] { TargetEditor->Clear(); };
            hooks.addLine = [this](const std::string& line) { TargetEditor->AddLine(line); };
            TapeReceive(hooks);
        } else {
            DialogLoopHooks hooks;
            hooks.disableCommands = [this] {
                DisableCommands();
                TargetEditor->Clear();
            };
            hooks.processMessages = [this] { ProcessMessages(); };
            hooks.aborted = [this] { return Aborted; };
            hooks.lineReceived = [this](const std::string& line) { TargetEditor->AddLine(line); };
            ReceiveProgram(PortSettingsSection(device, MachineSectionName), device, hooks);
        }
        Busy = false;
        CloseDialog();
    } catch (const std::exception& e) {
        ReportFault(e.what());
    }
}

void TTransForm::ThreadDone() {
    Busy = false;
    ThreadTimer->stop();
    Thread = nullptr;
    // The editor hides its selection again when it is not in focus, as it normally does.
    if (TargetEditor) TargetEditor->SetHideSelection(true);
    CloseDialog();
}

void TTransForm::ReportFault(const char* what) {
    ShowMessageBox(kTransCaption, what);
    if (Thread) return;  // a running thread still ends the transfer through ThreadDone
    Busy = false;
    CloseDialog();
}
