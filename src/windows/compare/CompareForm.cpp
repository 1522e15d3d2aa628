#include "windows/compare/CompareForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

#include "settings/Settings.h"
#include "widgets/DisplayFont.h"
#include "widgets/Prompter.h"
#include "widgets/TextControl.h"

TCompareForm::TCompareForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(kCompareCaption));
    resize(1000, 640);
    auto* layout = new QVBoxLayout(this);
    auto* options = new QHBoxLayout;
    IgnorerBlokknummer = new QCheckBox(Q(kIgnoreNumbersText), this);
    IgnorerMellomrom = new QCheckBox(Q(kIgnoreBlanksText), this);
    TallEtterVerdi = new QCheckBox(Q(kByValueText), this);
    for (QCheckBox* box : {IgnorerBlokknummer, IgnorerMellomrom, TallEtterVerdi}) {
        options->addWidget(box);
        connect(box, &QCheckBox::clicked, this, &TCompareForm::OptionClick);
    }
    options->addStretch();
    Antall = new QLabel(this);
    options->addWidget(Antall);
    layout->addLayout(options);

    auto* panes = new QSplitter(Qt::Horizontal, this);
    auto pane = [&](QLabel*& name, TextControl*& text) {
        auto* box = new QWidget(panes);
        auto* v = new QVBoxLayout(box);
        v->setContentsMargins(0, 0, 0, 0);
        name = new QLabel(box);
        text = new TextControl(box);
        text->SetReadOnlyText(true);
        text->SetHideSelection(false);
        v->addWidget(name);
        v->addWidget(text);
        panes->addWidget(box);
    };
    pane(VenstreNavn, Venstre);
    pane(HoyreNavn, Hoyre);
    layout->addWidget(panes, 1);
    // The panes scroll together: their rows are aligned.
    auto follow = [this](TextControl* from, TextControl* to, Qt::Orientation o) {
        QScrollBar* bar = o == Qt::Vertical ? from->verticalScrollBar() : from->horizontalScrollBar();
        QScrollBar* other = o == Qt::Vertical ? to->verticalScrollBar() : to->horizontalScrollBar();
        connect(bar, &QScrollBar::valueChanged, this, [this, from, to, other, o](int value) {
            if (syncing_) return;
            syncing_ = true;
            if (o == Qt::Vertical) to->SetFirstVisibleLine(from->FirstVisibleLine());
            else other->setValue(value);
            syncing_ = false;
        });
    };
    for (Qt::Orientation o : {Qt::Vertical, Qt::Horizontal}) {
        follow(Venstre, Hoyre, o);
        follow(Hoyre, Venstre, o);
    }

    auto* buttons = new QHBoxLayout;
    ForrigeForskjell = new QPushButton(Q(kPreviousDifferenceText), this);
    ForrigeForskjell->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));
    NesteForskjell = new QPushButton(Q(kNextDifferenceText), this);
    NesteForskjell->setShortcut(QKeySequence(Qt::Key_F8));
    KopierTilVenstre = new QPushButton(Q(kCopyLeftText), this);
    Lukk = new QPushButton(QStringLiteral("Lukk"), this);
    for (QPushButton* b : {ForrigeForskjell, NesteForskjell, KopierTilVenstre, Lukk}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->insertStretch(3);
    layout->addLayout(buttons);
    connect(NesteForskjell, &QPushButton::clicked, this, &TCompareForm::NesteForskjellClick);
    connect(ForrigeForskjell, &QPushButton::clicked, this, &TCompareForm::ForrigeForskjellClick);
    connect(KopierTilVenstre, &QPushButton::clicked, this, &TCompareForm::KopierTilVenstreClick);
    connect(Lukk, &QPushButton::clicked, this, &QDialog::accept);
}

CompareOptions TCompareForm::Options() const {
    CompareOptions o;
    o.ignoreNumbers = IgnorerBlokknummer->isChecked();
    o.ignoreBlanks = IgnorerMellomrom->isChecked();
    o.byValue = TallEtterVerdi->isChecked();
    return o;
}

void TCompareForm::showEvent(QShowEvent* event) {
    IgnorerBlokknummer->setChecked(ReadPersonalInt(kIgnoreNumbersKey, 0) == 1);
    IgnorerMellomrom->setChecked(ReadPersonalInt(kIgnoreBlanksKey, 0) == 1);
    TallEtterVerdi->setChecked(ReadPersonalInt(kByValueKey, 0) == 1);
    VenstreNavn->setText(FromCp1252(leftName));
    HoyreNavn->setText(FromCp1252(rightName));
    current_ = -1;
    Compare();
    QDialog::showEvent(event);
}

void TCompareForm::keyPressEvent(QKeyEvent* event) {
    // F8 and Shift+F8 wherever the focus is in the window (the panes pass them on).
    if (event->key() == Qt::Key_F8) {
        if (event->modifiers() & Qt::ShiftModifier) ForrigeForskjellClick();
        else NesteForskjellClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TCompareForm::OptionClick() {
    WritePersonalInt(kIgnoreNumbersKey, IgnorerBlokknummer->isChecked() ? 1 : 0);
    WritePersonalInt(kIgnoreBlanksKey, IgnorerMellomrom->isChecked() ? 1 : 0);
    WritePersonalInt(kByValueKey, TallEtterVerdi->isChecked() ? 1 : 0);
    Compare();
}

void TCompareForm::Compare() {
    left_ = leftText ? leftText() : std::string();
    leftLines_ = LineViews(left_);
    rightLines_ = LineViews(rightText);
    result_ = CompareLines(leftLines_, rightLines_, model, Options());
    Antall->setText(FromCp1252(CountsText(result_)));
    if (current_ >= static_cast<int>(result_.hunks.size())) current_ = static_cast<int>(result_.hunks.size()) - 1;
    Fill();
    KopierTilVenstre->setEnabled(!result_.Equal() && static_cast<bool>(copyLeft));
    if (current_ >= 0) Go(current_);
}

void TCompareForm::Fill() {
    SideBySide panes = AlignSideBySide(leftLines_, rightLines_, result_);
    hunkRow_.assign(panes.hunkRows.begin(), panes.hunkRows.end());
    for (TextControl* t : {Venstre, Hoyre}) {
        t->SetReadOnlyText(false);
        t->ClearMarks();
        t->SetText(t == Venstre ? panes.left : panes.right);
        t->SetReadOnlyText(true);
        t->SetModified(false);
    }
    using LM = TextControl::LineMark;
    const CompareOptions options = Options();
    for (const SideBySide::Row& r : panes.rows) {
        const int row = static_cast<int>(r.row);
        if (r.kind != RowKind::Changed) {
            Venstre->MarkLine(row, r.kind == RowKind::Removed ? LM::Removed : LM::Filler);
            Hoyre->MarkLine(row, r.kind == RowKind::Removed ? LM::Filler : LM::Added);
            continue;
        }
        Venstre->MarkLine(row, LM::Changed);
        Hoyre->MarkLine(row, LM::Changed);
        WordMarks words = ChangedWords(leftLines_[r.leftLine], rightLines_[r.rightLine], model, options);
        const int ls = Venstre->LineIndex(row), rs = Hoyre->LineIndex(row);
        for (const ByteSpan& w : words.left)
            Venstre->MarkBytes(ls + static_cast<int>(w.start), static_cast<int>(w.length));
        for (const ByteSpan& w : words.right)
            Hoyre->MarkBytes(rs + static_cast<int>(w.start), static_cast<int>(w.length));
    }
}

void TCompareForm::Go(int difference) {
    if (difference < 0 || difference >= static_cast<int>(hunkRow_.size())) return;
    current_ = difference;
    int row = hunkRow_[difference];
    syncing_ = true;
    for (TextControl* t : {Venstre, Hoyre}) {
        t->SetSelection(t->LineIndex(row), 0);
        t->SetFirstVisibleLine(std::max(0, row - 3));
    }
    syncing_ = false;
}

void TCompareForm::NesteForskjellClick() {
    if (current_ + 1 < static_cast<int>(hunkRow_.size())) Go(current_ + 1);
}

void TCompareForm::ForrigeForskjellClick() {
    if (current_ > 0) Go(current_ - 1);
}

void TCompareForm::KopierTilVenstreClick() {
    if (result_.Equal() || !copyLeft) return;
    int k = current_ < 0 ? 0 : current_;
    const DiffHunk h = result_.hunks[k];
    std::string lines;
    for (size_t i = 0; i < h.rightCount; ++i) {
        lines.append(rightLines_[h.rightFirst + i]);
        lines += "\r\n";
    }
    copyLeft(h.leftFirst, h.leftCount, lines);
    // The difference is gone: the next one takes its number.
    current_ = k;
    Compare();
    if (current_ < 0 && !result_.Equal()) current_ = -1;
}
