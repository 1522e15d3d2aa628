// The question dialog, shown modally and answered with key events from inside its loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "widgets/Prompter.h"
#include "windows/transfer/AskDlg.h"

namespace {
// Runs the user's part once the dialog is up; a watchdog closes a dialog left open.
void AnswerAs(TAskForm& form, std::function<void()> user) {
    QTimer::singleShot(0, &form, [&form, user] {
        ASSERT_TRUE(form.isVisible());
        user();
    });
    QTimer::singleShot(3000, &form, [&form] {
        if (form.isVisible()) form.reject();
    });
}
}  // namespace

TEST(AskForm, EnterConfirmsTheTextAsTyped) {
    TAskForm form;
    EXPECT_EQ(ToCp1252(form.windowTitle()), "Sp\xF8rsm\xE5l");
    EXPECT_EQ(form.size(), QSize(244, 121));
    std::string caption, heading, shown;
    bool focused = false;
    AnswerAs(form, [&] {
        caption = ToCp1252(form.windowTitle());
        heading = ToCp1252(form.Heading->text());
        shown = ToCp1252(form.Answer->text());
        focused = form.focusWidget() == form.Answer;
        form.Answer->clear();
        QTest::keyClicks(form.Answer, "S1200 ");
        QTest::sendKeyEvent(QTest::Click, form.Answer, Qt::Key_unknown, QStringLiteral(u"ø"),
                            Qt::NoModifier);
        QTest::keyClick(form.Answer, Qt::Key_Return);
    });
    bool ok = false;
    std::string answer = "S2000";
    form.Ask("Starte overf\xF8ring", "Oppgi eventuell startsekvens", ok, answer);
    EXPECT_TRUE(ok);
    EXPECT_EQ(answer, "S1200 \xF8");
    EXPECT_EQ(caption, "Starte overf\xF8ring");
    EXPECT_EQ(heading, "Oppgi eventuell startsekvens");
    EXPECT_EQ(shown, "S2000");
    EXPECT_TRUE(focused);
    EXPECT_FALSE(form.isVisible());
}

TEST(AskForm, CancellingHandsBackTheEditedText) {
    TAskForm form;
    AnswerAs(form, [&] {
        QTest::keyClick(form.Answer, Qt::Key_End);
        QTest::keyClicks(form.Answer, "9");
        form.Avbryt->click();
    });
    bool ok = true;
    std::string answer = "S2000";
    form.Ask("C", "H", ok, answer);
    EXPECT_FALSE(ok);
    EXPECT_EQ(answer, "S20009");

    // The close box and Esc count as cancelling too.
    AnswerAs(form, [&] { form.close(); });
    ok = true;
    form.Ask("C", "H", ok, answer);
    EXPECT_FALSE(ok);
    AnswerAs(form, [&] { QTest::keyClick(form.Answer, Qt::Key_Escape); });
    ok = true;
    form.Ask("C", "H", ok, answer);
    EXPECT_FALSE(ok);
}

TEST(AskForm, AnEmptyProposalConfirmedIsAnEmptyAnswer) {
    TAskForm form;
    std::string shown = "?";
    AnswerAs(form, [&] {
        shown = ToCp1252(form.Answer->text());
        form.OK->click();
    });
    bool ok = false;
    std::string answer;
    form.Ask("C", "H", ok, answer);
    EXPECT_EQ(shown, "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(answer, "");
}
