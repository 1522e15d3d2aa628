#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "TestSupport.h"
#include "ScriptedPrompter.h"
#include "windows/nctools/RenumForm.h"

namespace {
struct RunState {
    int calls = 0;
    RenumRequest request;
    std::vector<std::string> lines;
    BlockModel model;
};

// The main window's part, played over a list of lines.
void Attach(TRenForm& form, RunState& run) {
    form.runner = [&run](const RenumRequest& r, const RenumProgress& progress) {
        ++run.calls;
        run.request = r;
        RenumberText(run.lines, run.model, r, progress);
    };
}
}  // namespace

TEST(TRenForm, DefaultsPerDialectAndMarkedArea) {
    TRenForm form;
    form.heidenhain = true;
    form.lineCount = 42;
    form.selectionStartLine = 2;
    form.selectionEndLine = 5;
    form.Max->setText("500");
    form.show();
    EXPECT_EQ(form.Start->text(), "0");
    EXPECT_EQ(form.Steg->text(), "1");
    EXPECT_EQ(form.Linjer->text(), "42");
    EXPECT_TRUE(form.BareMerketOmraade->isEnabled());
    EXPECT_TRUE(form.BareMerketOmraade->isChecked());
    form.hide();
    // Shown again for an ISO machine with a selection inside one line.
    form.heidenhain = false;
    form.selectionStartLine = 3;
    form.selectionEndLine = 3;
    form.Start->setText("77");
    form.show();
    EXPECT_EQ(form.Start->text(), "10");
    EXPECT_EQ(form.Steg->text(), "10");
    EXPECT_EQ(form.Max->text(), "500");  // Max keeps what it had
    EXPECT_FALSE(form.BareMerketOmraade->isEnabled());
    EXPECT_FALSE(form.BareMerketOmraade->isChecked());
    EXPECT_EQ(form.windowTitle(), u"Renummerering");
}

TEST(TRenForm, AddAndRemoveExcludeEachOther) {
    TRenForm form;
    form.show();
    QTest::mouseClick(form.AddBlockNo, Qt::LeftButton);
    EXPECT_TRUE(form.AddBlockNo->isChecked());
    QTest::mouseClick(form.RemoveBlockNo, Qt::LeftButton);
    EXPECT_TRUE(form.RemoveBlockNo->isChecked());
    EXPECT_FALSE(form.AddBlockNo->isChecked());
    QTest::mouseClick(form.AddBlockNo, Qt::LeftButton);
    EXPECT_TRUE(form.AddBlockNo->isChecked());
    EXPECT_FALSE(form.RemoveBlockNo->isChecked());
    // Unchecking one leaves the other alone.
    QTest::mouseClick(form.AddBlockNo, Qt::LeftButton);
    EXPECT_FALSE(form.AddBlockNo->isChecked());
    EXPECT_FALSE(form.RemoveBlockNo->isChecked());
}

TEST(TRenForm, BadValuesAreReportedAndTheDialogStaysOpen) {
    ScriptedPrompter prompter;
    TRenForm form;
    RunState run;
    run.lines = {"N1"};
    Attach(form, run);
    form.lineCount = 1;
    form.show();
    for (const char* bad : {"abc", "-1"}) {
        form.Start->setText(bad);
        QTest::mouseClick(form.Renummerer, Qt::LeftButton);
    }
    form.Start->setText("10");
    form.Steg->setText("0");
    QTest::mouseClick(form.Renummerer, Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 3u);
    for (const auto& s : prompter.shown) {
        EXPECT_EQ(s.caption, kRenumCaption);
        EXPECT_EQ(s.text, kRenumBadValues);
    }
    EXPECT_EQ(run.calls, 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(run.lines[0], "N1");
}

TEST(TRenForm, RenumberRunsOverTheMarkedLinesWithProgressAndCloses) {
    ScriptedPrompter prompter;
    TRenForm form;
    RunState run;
    run.model.blockChars.set('N');
    run.lines.assign(40, "N1 G0");
    Attach(form, run);
    form.lineCount = 40;
    form.selectionStartLine = 5;
    form.selectionEndLine = 26;
    form.show();
    form.Start->setText("100");
    form.Steg->setText("5");
    form.Max->setText("150");
    QTest::mouseClick(form.Renummerer, Qt::LeftButton);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(run.calls, 1);
    EXPECT_TRUE(form.Renumbered());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(run.request.first, 5);
    EXPECT_EQ(run.request.last, 25);
    EXPECT_EQ(run.lines[4], "N1 G0");
    EXPECT_EQ(run.lines[5], "N100 G0");
    EXPECT_EQ(run.lines[15], "N150 G0");
    EXPECT_EQ(run.lines[25], "N150 G0");
    EXPECT_EQ(run.lines[26], "N1 G0");
    EXPECT_EQ(form.Linjer->text(), "20");  // the last tenth line of the range
}

TEST(TRenForm, WholeTextWhenTheMarkedAreaIsOffAndAvsluttChangesNothing) {
    TRenForm form;
    RunState run;
    run.model.blockChars.set('N');
    run.lines = {"N1", "G0", "N1"};
    Attach(form, run);
    form.lineCount = 3;
    form.selectionStartLine = 0;
    form.selectionEndLine = 2;
    form.show();
    QTest::mouseClick(form.BareMerketOmraade, Qt::LeftButton);  // off again
    QTest::mouseClick(form.AddBlockNo, Qt::LeftButton);
    QTest::mouseClick(form.Renummerer, Qt::LeftButton);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"N10", "N20 G0", "N30"}));
    EXPECT_FALSE(run.request.onlyMarked);
    form.show();
    QTest::mouseClick(form.Avslutt, Qt::LeftButton);
    EXPECT_FALSE(form.Renumbered());
    EXPECT_EQ(run.calls, 1);
    EXPECT_TRUE(form.AddBlockNo->isChecked());  // kept between showings
}

TEST(TRenForm, AClickDuringTheRunIsNotASecondRun) {
    TRenForm form;
    RunState run;
    run.model.blockChars.set('N');
    run.lines.assign(30, "N1");
    int calls = 0;
    form.runner = [&](const RenumRequest& r, const RenumProgress& progress) {
        ++calls;
        // A user's click and Escape arriving while the run lets window messages through.
        form.Renummerer->click();
        form.reject();
        EXPECT_FALSE(form.Renummerer->isEnabled());
        EXPECT_TRUE(form.isVisible());
        RenumberText(run.lines, run.model, r, progress);
    };
    form.lineCount = 30;
    form.show();
    QTest::mouseClick(form.Renummerer, Qt::LeftButton);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(form.Renumbered());
    EXPECT_EQ(run.lines[29], "N300");
    EXPECT_TRUE(form.Renummerer->isEnabled());
}

TEST(TRenForm, AFailingRunIsReportedInTheDialog) {
    ScriptedPrompter prompter;
    TRenForm form;
    form.runner = [](const RenumRequest&, const RenumProgress&) {
        throw std::runtime_error("ikke nok minne");
    };
    form.show();
    QTest::mouseClick(form.Renummerer, Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, kRenumCaption);
    EXPECT_EQ(prompter.shown[0].text, "ikke nok minne");
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.Renumbered());
}
