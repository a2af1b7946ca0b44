// What both questionnaire windows do alike: results and unit words, score
// bands, reset, answer groups, the result text box, tab stops, and closing
// and reopening. Every test runs on both windows.

#include "QuestionnaireSheet.h"
#include "QuestionnaireTestKit.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <memory>

class TestQuestionnaireWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm> form;
    ExpectedQuestionnaire e;

    // A freshly created and shown window of the kind the current row names.
    QuestionnaireWindow open() {
        QFETCH(int, kind);
        if (kind == 6) {
            auto f = std::make_unique<TForm6>();
            f->FormCreate();
            form = std::move(f);
            e = expectedSubordination();
        } else {
            auto f = std::make_unique<TForm7>();
            f->FormCreate();
            form = std::move(f);
            e = expectedWeaknesses();
        }
        QuestionnaireWindow w(form.get());
        w.show();
        return w;
    }
    static void bothWindows() {
        QTest::addColumn<int>("kind");
        QTest::newRow("TForm6") << 6;
        QTest::newRow("TForm7") << 7;
    }
    void choose(QuestionnaireWindow& w, int score) {
        for (const char* a : answersForScore(e, score))
            if (a)
                w.click(a);
    }
    int answerCount() const {
        int n = 0;
        for (const auto& q : e.questions)
            n += int(q.answers.size());
        return n;
    }
    void showResultFor(QuestionnaireWindow& w, int score) {
        w.pressReset();
        choose(w, score);
        w.pressResult();
    }

private slots:
    void cleanup() { form.reset(); }

    void initialState_data() { bothWindows(); }
    void initialState() {
        QuestionnaireWindow w = open();
        QVERIFY(w.selected(answerCount()).empty());
        QCOMPARE(w.score()->text(), QStringLiteral("0"));
        QCOMPARE(w.unit()->text(), QStringLiteral("баллов"));
        QCOMPARE(w.memo()->toPlainText(), QString());
    }

    void resultWithNoAnswer_data() { bothWindows(); }
    void resultWithNoAnswer() {
        QuestionnaireWindow w = open();
        w.pressResult();
        QCOMPARE(w.score()->text(), QStringLiteral("0"));
        QCOMPARE(w.unit()->text(), QStringLiteral("баллов"));
        QCOMPARE(w.memo()->toPlainText(), e.texts[0]);
    }

    void bottomAnswerOfAnyQuestionAloneScoresOnePoint_data() { bothWindows(); }
    void bottomAnswerOfAnyQuestionAloneScoresOnePoint() {
        QuestionnaireWindow w = open();
        for (const ExpectedQuestion& q : e.questions) {
            w.pressReset();
            w.click(q.answers.back().name);
            w.pressResult();
            QCOMPARE(w.score()->text(), QStringLiteral("1"));
            QCOMPARE(w.unit()->text(), QStringLiteral("балл"));
            QCOMPARE(w.memo()->toPlainText(), e.texts[0]);
        }
    }

    void scoresTwoToFourSayBalla_data() { bothWindows(); }
    void scoresTwoToFourSayBalla() {
        QuestionnaireWindow w = open();
        for (int score : {2, 3, 4}) {
            showResultFor(w, score);
            QCOMPARE(w.score()->text(), QString::number(score));
            QCOMPARE(w.unit()->text(), QStringLiteral("балла"));
            QCOMPARE(w.memo()->toPlainText(), e.texts[0]);
        }
    }

    void firstResultOfSevenKeepsTheInitialUnit_data() { bothWindows(); }
    void firstResultOfSevenKeepsTheInitialUnit() {
        QuestionnaireWindow w = open();
        choose(w, 7);
        w.pressResult();
        QCOMPARE(w.score()->text(), QStringLiteral("7"));
        QCOMPARE(w.unit()->text(), QStringLiteral("баллов"));
        QCOMPARE(w.memo()->toPlainText(), e.texts[1]);
    }

    void unitLabelKeepsItsWordAboveFour_data() { bothWindows(); }
    void unitLabelKeepsItsWordAboveFour() {
        QuestionnaireWindow w = open();
        showResultFor(w, 3);
        QCOMPARE(w.unit()->text(), QStringLiteral("балла"));
        showResultFor(w, 9);
        QCOMPARE(w.score()->text(), QStringLiteral("9"));
        QCOMPARE(w.unit()->text(), QStringLiteral("балла"));
        QCOMPARE(w.memo()->toPlainText(), e.texts[2]);
        showResultFor(w, 1);
        QCOMPARE(w.unit()->text(), QStringLiteral("балл"));
        showResultFor(w, e.maxScore);
        QCOMPARE(w.score()->text(), QString::number(e.maxScore));
        QCOMPARE(w.unit()->text(), QStringLiteral("балл"));
        QCOMPARE(w.memo()->toPlainText(), e.texts[3]);
        showResultFor(w, 0);
        QCOMPARE(w.unit()->text(), QStringLiteral("баллов"));
    }

    void bandLimits_data() { bothWindows(); }
    void bandLimits() {
        QuestionnaireWindow w = open();
        const std::pair<int, int> limits[] = {{4, 0}, {5, 1}, {8, 1}, {9, 2}, {12, 2}, {13, 3}};
        for (auto [score, band] : limits) {
            showResultFor(w, score);
            QCOMPARE(w.score()->text(), QString::number(score));
            QCOMPARE(w.memo()->toPlainText(), e.texts[std::size_t(band)]);
        }
    }

    void resultIsRepeatableAndAnswersAloneShowNothing_data() { bothWindows(); }
    void resultIsRepeatableAndAnswersAloneShowNothing() {
        QuestionnaireWindow w = open();
        choose(w, 7);
        w.pressResult();
        w.pressResult();
        QCOMPARE(w.score()->text(), QStringLiteral("7"));
        QCOMPARE(w.memo()->toPlainText(), e.texts[1]);
        // A changed answer shows nothing until the result button is pressed.
        w.click(e.questions[3].answers[0].name);
        w.click(e.questions[2].answers[0].name);
        QCOMPARE(w.score()->text(), QStringLiteral("7"));
        QCOMPARE(w.memo()->toPlainText(), e.texts[1]);
        w.pressResult();
        QVERIFY(w.score()->text().toInt() > 7);
    }

    void answersAreExclusiveWithinAQuestionOnly_data() { bothWindows(); }
    void answersAreExclusiveWithinAQuestionOnly() {
        QuestionnaireWindow w = open();
        const auto& q1 = e.questions[0].answers;
        const auto& q2 = e.questions[1].answers;
        const auto& q4 = e.questions[3].answers;
        w.click(q2[1].name);
        w.click(q4[2].name);
        w.click(q1[0].name);
        w.click(q1[2].name);
        QVERIFY(!w.answer(q1[0].name)->isChecked());
        QVERIFY(w.answer(q1[2].name)->isChecked());
        QVERIFY(w.answer(q2[1].name)->isChecked());
        QVERIFY(w.answer(q4[2].name)->isChecked());
        QCOMPARE(int(w.selected(answerCount()).size()), 3);
        // Clicking the selected answer again keeps it selected.
        w.click(q1[2].name);
        QVERIFY(w.answer(q1[2].name)->isChecked());
        w.pressResult();
        QCOMPARE(w.score()->text(), QString::number(q1[2].weight + q2[1].weight + q4[2].weight));
    }

    void deselectingByProgramTouchesNoOtherAnswer_data() { bothWindows(); }
    void deselectingByProgramTouchesNoOtherAnswer() {
        QuestionnaireWindow w = open();
        const auto& q1 = e.questions[0].answers;
        const auto& q2 = e.questions[1].answers;
        w.click(q1[1].name);
        w.click(q2[0].name);
        QuestionnaireSheet::deselect(w.answer(q1[1].name));
        QVERIFY(w.selected(answerCount()) == std::vector<int>{w.answer(q2[0].name)->objectName().mid(11).toInt()});
        // Deselecting an answer that is not selected changes nothing either.
        QuestionnaireSheet::deselect(w.answer(q2[2].name));
        QVERIFY(w.answer(q2[0].name)->isChecked());
        // The question is still one exclusive group afterwards.
        w.click(q1[0].name);
        w.click(q1[3 % q1.size()].name);
        QVERIFY(!w.answer(q1[0].name)->isChecked());
        QCOMPARE(int(w.selected(answerCount()).size()), 2);
    }

    void resetAfterAResultOfTwo_data() { bothWindows(); }
    void resetAfterAResultOfTwo() {
        QuestionnaireWindow w = open();
        choose(w, 2);
        w.pressResult();
        QCOMPARE(w.unit()->text(), QStringLiteral("балла"));
        w.click(e.questions[2].answers[0].name);
        w.click(e.questions[3].answers[0].name);
        w.pressReset();
        QVERIFY(w.selected(answerCount()).empty());
        QCOMPARE(w.score()->text(), QStringLiteral("0"));
        QCOMPARE(w.unit()->text(), QStringLiteral("балла"));
        QCOMPARE(w.memo()->toPlainText(), QString());
    }

    void typedTextIsReplacedByTheNextResultAndRemovedByReset_data() { bothWindows(); }
    void typedTextIsReplacedByTheNextResultAndRemovedByReset() {
        QuestionnaireWindow w = open();
        QPlainTextEdit* memo = w.memo();
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::keyClicks(memo->viewport(), QStringLiteral("note"));
        QTest::keyClick(memo->viewport(), Qt::Key_Return);
        QTest::sendKeyEvent(QTest::KeyAction::Click, memo->viewport(), Qt::Key_unknown, QStringLiteral("я"),
                            Qt::NoModifier);
        QCOMPARE(memo->toPlainText(), QStringLiteral("note\nя"));
        choose(w, 5);
        w.pressResult();
        QCOMPARE(memo->toPlainText(), e.texts[1]);
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::keyClicks(memo->viewport(), QStringLiteral("more"));
        QVERIFY(memo->toPlainText() != e.texts[1]);
        w.pressReset();
        QCOMPARE(memo->toPlainText(), QString());
        QTest::keyClicks(memo->viewport(), QStringLiteral("x"));
        w.pressResult();
        QCOMPARE(memo->toPlainText(), e.texts[0]);
    }

    void resultTextBoxWrapsAndNeverShowsScrollBars_data() { bothWindows(); }
    void resultTextBoxWrapsAndNeverShowsScrollBars() {
        QuestionnaireWindow w = open();
        QPlainTextEdit* memo = w.memo();
        QVERIFY(!memo->isReadOnly());
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        for (int i = 0; i < 40; ++i)
            QTest::keyClicks(memo->viewport(), QStringLiteral("wrapping "));
        QApplication::processEvents();
        const QTextBlock block = memo->document()->firstBlock();
        QVERIFY(block.layout()->lineCount() > 1);
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            QVERIFY(block.layout()->lineAt(i).naturalTextWidth() <= memo->viewport()->width());
        // Far more lines than fit: still no scroll bar shows.
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(memo->viewport(), Qt::Key_Return);
        QApplication::processEvents();
        QVERIFY(!memo->verticalScrollBar()->isVisible());
        QVERIFY(!memo->horizontalScrollBar()->isVisible());
    }

    void scoreAndUnitLabelsFitTheirText_data() { bothWindows(); }
    void scoreAndUnitLabelsFitTheirText() {
        QuestionnaireWindow w = open();
        for (int score : {e.maxScore, 1, 3, 0}) {
            showResultFor(w, score);
            for (QLabel* label : {w.score(), w.unit()})
                QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()),
                         qPrintable(label->text()));
        }
        // Growing to the right, never moving.
        QCOMPARE(w.score()->x(), 120);
    }

    void closingHidesAndReopeningShowsTheSameState_data() { bothWindows(); }
    void closingHidesAndReopeningShowsTheSameState() {
        QuestionnaireWindow w = open();
        choose(w, 3);
        w.pressResult();
        choose(w, 9); // changed after the result, not yet shown
        QTest::mouseClick(w.memo()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::keyClick(w.memo()->viewport(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(w.memo()->viewport(), QStringLiteral(" typed"));
        form->move(300, 100);
        const QPoint place = form->pos();
        const std::vector<int> answers = w.selected(answerCount());
        const QString memoText = w.memo()->toPlainText();
        QVERIFY(!answers.empty());

        form->Close();
        QVERIFY(!form->isVisible());
        form->setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        QCOMPARE(w.selected(answerCount()), answers);
        QCOMPARE(w.score()->text(), QStringLiteral("3"));
        QCOMPARE(w.unit()->text(), QStringLiteral("балла"));
        QCOMPARE(w.memo()->toPlainText(), memoText);
        QVERIFY(memoText.endsWith(QStringLiteral(" typed")));
        QCOMPARE(form->pos(), place);
    }

    void arrowKeysSelectTheNextAnswerOfTheSameQuestion_data() { bothWindows(); }
    void arrowKeysSelectTheNextAnswerOfTheSameQuestion() {
        QuestionnaireWindow w = open();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        const auto& q2 = e.questions[1].answers;
        const auto& q3 = e.questions[2].answers;
        w.click(q3[0].name);
        w.click(q2[0].name);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.answer(q2[0].name)));
        QTest::keyClick(w.answer(q2[0].name), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.answer(q2[1].name)));
        QVERIFY(w.answer(q2[1].name)->isChecked());
        QVERIFY(!w.answer(q2[0].name)->isChecked());
        QVERIFY(w.answer(q3[0].name)->isChecked()); // another question: untouched
        QTest::keyClick(w.answer(q2[1].name), Qt::Key_Up);
        QVERIFY(w.answer(q2[0].name)->isChecked());
        QVERIFY(w.answer(q3[0].name)->isChecked());
    }

    void anAnswerIsATabStopOnlyWhileSelected_data() { bothWindows(); }
    void anAnswerIsATabStopOnlyWhileSelected() {
        QuestionnaireWindow w = open();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QStringList all{"Button1", "Memo1", "Button2"};
        for (const auto& q : e.questions)
            for (const auto& a : q.answers)
                all << QString::fromLatin1(a.name);
        const QStringList chain = focusChain(form.get(), all);

        auto walk = [&](int steps) {
            QStringList seen;
            w.resultButton()->setFocus(Qt::OtherFocusReason);
            for (int i = 0; i < steps; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen << QApplication::focusWidget()->objectName();
            }
            return seen;
        };
        auto expectedWalk = [&](const QStringList& stops, int steps) {
            QStringList order;
            for (const QString& name : chain)
                if (stops.contains(name))
                    order << name;
            QStringList seen;
            int at = int(order.indexOf(QStringLiteral("Button1")));
            for (int i = 0; i < steps; ++i)
                seen << order[(at + 1 + i) % order.size()];
            return seen;
        };

        // No answer selected: Tab goes round the buttons and the text box only.
        QCOMPARE(walk(6), expectedWalk({"Button1", "Memo1", "Button2"}, 6));

        const char* second = e.questions[1].answers[1].name;
        const char* fourth = e.questions[3].answers[0].name;
        w.click(second);
        w.click(fourth);
        QCOMPARE(walk(10), expectedWalk({"Button1", "Memo1", "Button2", second, fourth}, 10));

        // Another answer of question 2 takes over the tab stop.
        const char* other = e.questions[1].answers[2].name;
        w.click(other);
        QCOMPARE(walk(10), expectedWalk({"Button1", "Memo1", "Button2", other, fourth}, 10));

        // After a reset no answer is a tab stop.
        w.pressReset();
        QCOMPARE(walk(6), expectedWalk({"Button1", "Memo1", "Button2"}, 6));
    }
};

KARTOTEKA_TEST_MAIN(TestQuestionnaireWindow)
#include "test_questionnaire_window.moc"
