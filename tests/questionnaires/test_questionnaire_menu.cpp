// The questionnaire windows inside the running program: shown from the main
// menu, hidden by closing with everything kept, and Ctrl+C in the result text
// box running the main menu's command instead of copying.

#include "Forms.h"
#include "QuestionnaireTestKit.h"
#include "TForm1.h"

#include <QAction>
#include <QClipboard>

class TestQuestionnaireMenu : public QObject {
    Q_OBJECT

    static TForm6* subordination() { return static_cast<TForm6*>(Form6); }
    static TForm7* weaknesses() { return static_cast<TForm7*>(Form7); }

private slots:
    void initTestCase() {
        Application->CreateForm<TForm1>(Form1);
        Application->CreateForm<TForm>(Form3); // an empty window in place of the client base
        Form3->setObjectName(QStringLiteral("Form3"));
        Application->CreateForm<TForm6>(Form6);
        Application->CreateForm<TForm7>(Form7);
        Form1->setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(Form1));
    }

    void createdByTheApplicationInTheirInitialState() {
        // The application ran each create handler: TForm7's placeholders are gone.
        QCOMPARE(weaknesses()->Label2->text(), QStringLiteral("0"));
        QCOMPARE(weaknesses()->Memo1->toPlainText(), QString());
        QCOMPARE(subordination()->Label2->text(), QStringLiteral("0"));
        QVERIFY(!Form6->isVisible());
        QVERIFY(!Form7->isVisible());
    }

    void menuCommandsShowTheTestsWhereTheyWereDesigned() {
        Form1->N6->trigger();
        QTRY_VERIFY(Form6->isVisible());
        QCOMPARE(Form6->pos(), QPoint(185, 209));
        Form1->N7->trigger();
        QTRY_VERIFY(Form7->isVisible());
        QCOMPARE(Form7->pos(), QPoint(223, 258));
    }

    void closedTestComesBackFromTheMenuUnchanged() {
        QuestionnaireWindow w(Form7);
        Form1->N7->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(Form7));
        w.pressReset();
        for (const char* a : {"RadioButton2", "RadioButton6", "RadioButton11"})
            w.click(a);
        w.pressResult();
        QCOMPARE(w.score()->text(), QStringLiteral("7"));
        Form7->move(400, 120);
        Form7->Close();
        QVERIFY(!Form7->isVisible());
        QVERIFY(!Application->Terminated());

        Form1->N7->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(Form7));
        QCOMPARE(Form7->pos(), QPoint(400, 120));
        QCOMPARE(w.selected(14), (std::vector<int>{2, 6, 11}));
        QCOMPARE(w.score()->text(), QStringLiteral("7"));
        QCOMPARE(w.unit()->text(), QStringLiteral("баллов"));
        QCOMPARE(w.memo()->toPlainText(), expectedWeaknesses().texts[1]);
    }

    void ctrlCInTheResultBoxRunsTheMenuCommand() {
        Form3->setVisibleFlag(false);
        TForm6* f = subordination();
        Form1->N6->trigger();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        f->Memo1->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f->Memo1));
        TestSupport::typeText(f->Memo1, QStringLiteral("мой текст"));
        f->Memo1->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));

        QTest::keyClick(f->Memo1, Qt::Key_C, Qt::ControlModifier);
        QTRY_VERIFY(Form3->isVisible());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        QCOMPARE(f->Memo1->toPlainText(), QStringLiteral("мой текст"));
    }
};

KARTOTEKA_TEST_MAIN(TestQuestionnaireMenu)
#include "test_questionnaire_menu.moc"
