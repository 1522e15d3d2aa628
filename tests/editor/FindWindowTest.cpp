// Find and replace through the main window's own modeless dialogs, on the real text control:
// the dialogs' options, find next with its scroll and its messages, replace and replace all.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "WindowTest.h"
#include "editor/EditUnit.h"
#include "windows/document/FindDialog.h"
#include "document/FindReplace.h"

namespace {
class FindWindow : public WindowTest {
protected:
    // A shown main window holding text, with the find or replace dialog open.
    void Open(const std::string& text) {
        form = std::make_unique<TTextForm>();
        form->show();
        form->Text().SetText(text);
        form->Text().SetSelStart(0);
    }
    TFindDialog* Find(const std::string& what) {
        form->Seek1Click();
        form->Windows().FindDialog1->SetFindText(what);
        return form->Windows().FindDialog1;
    }
    TFindDialog* Replace(const std::string& what, const std::string& with) {
        form->Erstatt1Click();
        form->Windows().ReplaceDialog1->SetFindText(what);
        form->Windows().ReplaceDialog1->SetReplaceText(with);
        return form->Windows().ReplaceDialog1;
    }
    std::string NotFound(const std::string& what) { return std::string(kNotFoundText) + what; }

    ScopedIni ini{"[Program]\r\nMaskiner=1\r\n[Maskin1]\r\nKatalog=" + dir.Dnc("") + "\r\n"};
    std::unique_ptr<TTextForm> form;
};
}  // namespace

TEST_F(FindWindow, DialogsShowTheFixedOptionsDisabled) {
    Open("N10 G1\r\n");
    form->Seek1Click();
    TFindDialog* f = form->Windows().FindDialog1;
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isVisible());
    EXPECT_FALSE(f->isModal());
    EXPECT_FALSE(f->MatchCase->isEnabled());
    EXPECT_FALSE(f->MatchCase->isChecked());
    EXPECT_FALSE(f->WholeWord->isEnabled());
    EXPECT_FALSE(f->WholeWord->isChecked());
    EXPECT_TRUE(f->Down->isChecked());
    EXPECT_FALSE(f->Down->isEnabled());
    EXPECT_FALSE(f->Up->isEnabled());
    EXPECT_FALSE(f->FindNextButton->isEnabled());  // nothing to search for yet
    f->SetFindText("G1");
    EXPECT_TRUE(f->FindNextButton->isEnabled());

    form->Erstatt1Click();
    TFindDialog* r = form->Windows().ReplaceDialog1;
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->isVisible());
    EXPECT_FALSE(r->MatchCase->isEnabled());
    EXPECT_FALSE(r->WholeWord->isEnabled());
    EXPECT_NE(r->ReplaceEdit, nullptr);
    EXPECT_NE(r->ReplaceAllButton, nullptr);
    // Opening again reuses the dialog.
    form->Seek1Click();
    EXPECT_EQ(form->Windows().FindDialog1, f);
}

TEST_F(FindWindow, FindNextIgnoresCaseFindsAtTheStartAndRepeatsTheFailedSearch) {
    Open("G1 X0\r\nN20 g1 Y5\r\n");
    TFindDialog* f = Find("g1");
    f->FindNextButton->click();
    EXPECT_EQ(form->Text().SelStart(), 0);  // a match at the very start counts
    EXPECT_EQ(form->Text().SelText(), "G1");
    EXPECT_EQ(form->Doc().SearchPos, 1);
    f->FindNextButton->click();
    EXPECT_EQ(form->Text().SelStart(), 11);
    EXPECT_EQ(form->Text().SelText(), "g1");
    EXPECT_TRUE(prompter.shown.empty());
    f->FindNextButton->click();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, kFindCaption);
    EXPECT_EQ(prompter.shown[0].text, NotFound("g1"));
    EXPECT_EQ(form->Doc().SearchPos, 12);  // stays: the same failed search again
    f->FindNextButton->click();
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{NotFound("g1"), NotFound("g1")}));
    EXPECT_EQ(form->Text().SelText(), "g1");

    // Opening the dialog starts at the selection.
    form->Text().SetSelStart(3);
    form->Seek1Click();
    EXPECT_EQ(form->Doc().SearchPos, 3);
    f->FindNextButton->click();
    EXPECT_EQ(form->Text().SelStart(), 11);
}

TEST_F(FindWindow, FoundMatchStandsTenLinesBelowTheTop) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "N" + std::to_string(i * 10) + (i == 150 ? " M30" : " G1") + "\r\n";
    Open(text);
    form->resize(646, 515);
    QApplication::processEvents();
    TFindDialog* f = Find("m30");
    f->FindNextButton->click();
    EXPECT_EQ(form->Text().LineFromChar(form->Text().SelStart()), 150);
    EXPECT_EQ(form->Text().SelText(), "M30");
    EXPECT_EQ(form->Text().FirstVisibleLine(), 140);
    // From further down the view scrolls back up to the same place.
    form->Text().ScrollLines(100);
    form->Seek1Click();
    form->Doc().SearchPos = 0;
    f->FindNextButton->click();
    EXPECT_EQ(form->Text().FirstVisibleLine(), 140);
}

TEST_F(FindWindow, ReplaceDialogFindStartsAgainAtTheTopAfterAFailure) {
    Open("X1 X2\r\n");
    TFindDialog* r = Replace("x", "Y");
    r->FindNextButton->click();
    EXPECT_EQ(form->Text().SelStart(), 0);
    r->FindNextButton->click();
    EXPECT_EQ(form->Text().SelStart(), 3);
    r->FindNextButton->click();
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{NotFound("x")});
    EXPECT_EQ(form->Doc().SearchPos, 0);
    r->FindNextButton->click();
    EXPECT_EQ(form->Text().SelStart(), 0);
    EXPECT_EQ(form->Text().Text(), "X1 X2\r\n");  // finding changes nothing
}

TEST_F(FindWindow, ReplaceTakesASelectionOfTheRightLengthWhateverItHolds) {
    Open("AB CD AB\r\n");
    form->Text().SetModified(false);
    TFindDialog* r = Replace("ab", "XYZ");
    form->Text().SetSelection(3, 2);  // "CD": the length of the search text
    r->ReplaceButton->click();
    EXPECT_EQ(form->Text().Text(), "AB XYZ AB\r\n");
    EXPECT_TRUE(form->Text().Modified());
    // No selection now: the next press finds first, then replaces.
    r->ReplaceButton->click();
    EXPECT_EQ(form->Text().Text(), "XYZ XYZ AB\r\n");
    r->ReplaceButton->click();
    EXPECT_EQ(form->Text().Text(), "XYZ XYZ XYZ\r\n");
    EXPECT_TRUE(prompter.shown.empty());
    r->ReplaceButton->click();
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{NotFound("ab")});
    EXPECT_EQ(form->Text().Text(), "XYZ XYZ XYZ\r\n");
}

TEST_F(FindWindow, ReplaceAllOfX0ByX00EndsWithTheMessage) {
    Open("N10 X0 Z5\r\nN20 X0\r\nN30 x0 Z0\r\n");
    form->Text().SetModified(false);
    TFindDialog* r = Replace("X0", "X00");
    r->ReplaceAllButton->click();
    EXPECT_EQ(form->Text().Text(), "N10 X00 Z5\r\nN20 X00\r\nN30 X00 Z0\r\n");
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{NotFound("X0")});
    EXPECT_EQ(form->Doc().SearchPos, 0);
    EXPECT_TRUE(form->Text().Modified());
    EXPECT_FALSE(form->Doc().Loading);
    EXPECT_FALSE(form->Text().Updating());
    EXPECT_FALSE(r->ReplaceAll());  // the option holds only for the press
    // The caret stands after the last replacement.
    EXPECT_EQ(form->Text().SelStart(), 28);
    EXPECT_EQ(form->Text().SelLength(), 0);
}

TEST_F(FindWindow, ReplaceAllEndsWhenTheReplacementHoldsTheSearchText) {
    Open("A1 A2\r\nBA\r\n");
    TFindDialog* r = Replace("a", "AA");
    r->ReplaceAllButton->click();
    EXPECT_EQ(form->Text().Text(), "AA1 AA2\r\nBAA\r\n");
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{NotFound("a")});

    // A replace all with nothing to find only shows the message.
    prompter.shown.clear();
    Replace("Q", "R")->ReplaceAllButton->click();
    EXPECT_EQ(form->Text().Text(), "AA1 AA2\r\nBAA\r\n");
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{NotFound("Q")});

    // The search goes on from the caret, here at the end: nothing more is found.
    prompter.shown.clear();
    Replace("A", "")->ReplaceAllButton->click();
    EXPECT_EQ(form->Text().Text(), "AA1 AA2\r\nBAA\r\n");
    // From the top, removing text passes nothing over.
    form->Text().SetSelStart(0);
    Replace("A", "")->ReplaceAllButton->click();
    EXPECT_EQ(form->Text().Text(), "1 2\r\nB\r\n");
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{NotFound("A"), NotFound("A")}));
}

TEST_F(FindWindow, ReplaceAllFromTheMiddleLeavesWhatIsBefore) {
    Open("X1 X2 X3\r\n");
    form->Text().SetSelStart(3);
    TFindDialog* r = Replace("X", "Y");
    EXPECT_EQ(form->Doc().SearchPos, 3);
    r->ReplaceAllButton->click();
    EXPECT_EQ(form->Text().Text(), "X1 Y2 Y3\r\n");
}
