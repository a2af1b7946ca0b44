// The subordination test window: its layout, its create handler, the text and
// weight of every answer, and its scores, driven by mouse clicks.

#include "QuestionnaireTestKit.h"

#include <memory>

class TestTForm6 : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm6> form;
    ExpectedQuestionnaire e = expectedSubordination();

    QuestionnaireWindow fresh() {
        form = std::make_unique<TForm6>();
        form->FormCreate();
        QuestionnaireWindow w(form.get());
        w.show();
        return w;
    }

private slots:
    void cleanup() { form.reset(); }

    void window() {
        TForm6 f;
        QCOMPARE(f.objectName(), QStringLiteral("TForm6"));
        QCOMPARE(f.windowTitle(), QStringLiteral("Тест на подчиненность"));
        QCOMPARE(f.borderStyle(), TBorderStyle::bsSizeable);
        QCOMPARE(f.designedOuterSize(), QSize(626, 343));
        QVERIFY(!f.isVisible());
        checkFont(&f, 'W');
        f.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        // Placed where it was designed, on a 1024 x 768 screen too.
        QCOMPARE(f.pos(), QPoint(185, 209));
        QCOMPARE(f.position(), TPosition::poDesigned);
    }

    void layout_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(controls)); ++i)
            QTest::newRow(controls[i].name) << i;
    }
    void layout() {
        QFETCH(int, row);
        TForm6 f; // as loaded, before its create handler
        checkControl(&f, controls[row]);
    }

    void questionsTwoByTwoWithTheirAnswersInside() {
        TForm6 f;
        for (const ExpectedQuestion& q : e.questions) {
            auto* box = f.findChild<QGroupBox*>(QString::fromLatin1(q.box));
            QVERIFY(box);
            QCOMPARE(box->title(), QString::fromUtf8(q.caption));
            int lastTop = -1;
            for (const ExpectedAnswer& a : q.answers) {
                auto* r = f.findChild<QRadioButton*>(QString::fromLatin1(a.name));
                QVERIFY(r);
                QCOMPARE(r->parentWidget(), box);
                QVERIFY2(r->y() > lastTop, a.name); // listed top to bottom
                lastTop = r->y();
            }
        }
        // Question 3 below left, question 4 below right.
        QVERIFY(f.GroupBox10->x() < f.GroupBox9->x());
        QVERIFY(f.GroupBox10->y() > f.GroupBox1->y());
        QCOMPARE(f.GroupBox10->y(), f.GroupBox9->y());
    }

    void tabOrderTakesQuestionFourBeforeThree() {
        TForm6 f;
        const QStringList expected = {"RadioButton1", "RadioButton2",  "RadioButton3",  "RadioButton4",
                                      "RadioButton5", "RadioButton6",  "RadioButton7",  "RadioButton11",
                                      "RadioButton12", "RadioButton13", "RadioButton8", "RadioButton9",
                                      "RadioButton10", "Button1",       "Memo1",        "Button2"};
        QCOMPARE(focusChain(&f, expected), expected);
    }

    void createHandlerLeavesTheInitialState() {
        TForm6 f;
        f.RadioButton3->setChecked(true);
        f.RadioButton6->setChecked(true);
        f.RadioButton13->setChecked(true);
        f.FormCreate();
        for (QRadioButton* r : f.findChildren<QRadioButton*>())
            QVERIFY2(!r->isChecked(), qPrintable(r->objectName()));
        QCOMPARE(f.Label2->text(), QStringLiteral("0"));
        QCOMPARE(f.Label3->text(), QStringLiteral("баллов"));
        QCOMPARE(f.Memo1->toPlainText(), QString());
    }

    void everyAnswerAloneScoresItsWeight_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("weight");
        for (const ExpectedQuestion& q : e.questions)
            for (const ExpectedAnswer& a : q.answers)
                QTest::newRow(a.name) << QString::fromLatin1(a.name) << QString::fromUtf8(a.caption) << a.weight;
    }
    void everyAnswerAloneScoresItsWeight() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, weight);
        QuestionnaireWindow w = fresh();
        QRadioButton* r = w.answer(qPrintable(name));
        QCOMPARE(r->text(), caption);
        QuestionnaireWindow::clickAnswer(r);
        QVERIFY(r->isChecked());
        w.pressResult();
        QCOMPARE(w.score()->text(), QString::number(weight));
        QCOMPARE(w.memo()->toPlainText(), e.texts[0]);
    }

    void namedCombinations_data() {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("score");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("band");
        QTest::newRow("top answers") << QStringList{"RadioButton1", "RadioButton5", "RadioButton8", "RadioButton11"}
                                     << 13 << QStringLiteral("баллов") << 4;
        QTest::newRow("bottom answers")
            << QStringList{"RadioButton4", "RadioButton7", "RadioButton10", "RadioButton13"} << 4
            << QStringLiteral("балла") << 1;
        QTest::newRow("Да") << QStringList{"RadioButton1"} << 4 << QStringLiteral("балла") << 1;
        QTest::newRow("Да, Способ") << QStringList{"RadioButton1", "RadioButton5"} << 7 << QStringLiteral("баллов")
                                    << 2;
        QTest::newRow("Да, Необходимость, Промолчите")
            << QStringList{"RadioButton1", "RadioButton6", "RadioButton9"} << 8 << QStringLiteral("баллов") << 2;
        QTest::newRow("Да, Способ, Промолчите")
            << QStringList{"RadioButton1", "RadioButton5", "RadioButton9"} << 9 << QStringLiteral("баллов") << 3;
        QTest::newRow("Да, Способ, Будете, Надо")
            << QStringList{"RadioButton1", "RadioButton5", "RadioButton8", "RadioButton12"} << 12
            << QStringLiteral("баллов") << 3;
    }
    void namedCombinations() {
        QFETCH(QStringList, answers);
        QFETCH(int, score);
        QFETCH(QString, unit);
        QFETCH(int, band);
        QuestionnaireWindow w = fresh();
        for (const QString& a : answers)
            w.click(qPrintable(a));
        w.pressResult();
        QCOMPARE(w.score()->text(), QString::number(score));
        QCOMPARE(w.unit()->text(), unit);
        QCOMPARE(w.memo()->toPlainText(), e.texts[band - 1]);
    }

    void captionsFitWithTheProgramFonts() {
        fresh();
        checkCaptionsFit(form.get());
    }

    void everyCombinationOfAnswers() {
        QuestionnaireWindow w = fresh();
        checkEveryCombination(w, e);
    }

    void resultTextsEndWithoutFullStop() {
        QuestionnaireWindow w = fresh();
        for (int score : {0, 5, 13}) {
            w.pressReset();
            for (const char* a : answersForScore(e, score))
                if (a)
                    w.click(a);
            w.pressResult();
            QVERIFY(!w.memo()->toPlainText().endsWith(QLatin1Char('.')));
            QVERIFY(!w.memo()->toPlainText().contains(QLatin1Char('\n')));
        }
    }

private:
    static constexpr ExpectedControl controls[] = {
        {"Label1", "QLabel", "window", 8, 226, 106, 19, "Ваш результат", 'T'},
        {"Label2", "QLabel", "window", 120, 227, 10, 19, "0", 'S'},
        {"Label3", "QLabel", "window", 144, 227, 51, 19, "баллов", 'T'},
        {"GroupBox1", "QGroupBox", "window", 8, 8, 297, 89, "№1. Легко ли вас вывести из себя", 'W'},
        {"RadioButton1", "QRadioButton", "GroupBox1", 16, 16, 113, 17, "Да", 'W'},
        {"RadioButton2", "QRadioButton", "GroupBox1", 16, 32, 241, 17, "Если кто-то сильно давит", 'W'},
        {"RadioButton3", "QRadioButton", "GroupBox1", 16, 48, 153, 17, "Иногда выхожу из себя", 'W'},
        {"RadioButton4", "QRadioButton", "GroupBox1", 16, 64, 113, 17, "Нет", 'W'},
        {"GroupBox3", "QGroupBox", "window", 312, 8, 297, 89, "№2. Что для вас гнев?", 'W'},
        {"RadioButton5", "QRadioButton", "GroupBox3", 16, 16, 209, 17, "Способ выместить злобу на других", 'W'},
        {"RadioButton6", "QRadioButton", "GroupBox3", 16, 32, 257, 17, "Необходимость, иначе весь день на смарку", 'W'},
        {"RadioButton7", "QRadioButton", "GroupBox3", 16, 48, 249, 17, "Я не знаю что это такое", 'W'},
        {"GroupBox9", "QGroupBox", "window", 312, 104, 297, 73, "№4. Начальство заставляет выполнять чужую работу...", 'W'},
        {"RadioButton11", "QRadioButton", "GroupBox9", 16, 16, 265, 17, "Я сам себе начальство", 'W'},
        {"RadioButton12", "QRadioButton", "GroupBox9", 16, 32, 265, 17, "Надо делать, но я еще припомню им", 'W'},
        {"RadioButton13", "QRadioButton", "GroupBox9", 16, 48, 249, 17, "Пошел выполнять ПРИКАЗ", 'W'},
        {"GroupBox10", "QGroupBox", "window", 8, 104, 297, 73, "№3. Если на вас давят, вы...", 'W'},
        {"RadioButton8", "QRadioButton", "GroupBox10", 8, 16, 217, 17, "Будете давить в ответ", 'W'},
        {"RadioButton9", "QRadioButton", "GroupBox10", 8, 32, 241, 17, "Промолчите, а про себя пошлете его", 'W'},
        {"RadioButton10", "QRadioButton", "GroupBox10", 8, 48, 273, 17, "Промолчите и попросите извинения", 'W'},
        {"Button1", "QPushButton", "window", 8, 192, 609, 25, "ВЫВЕСТИ РЕЗУЛЬТАТЫ", 'G'},
        {"Memo1", "QPlainTextEdit", "window", 8, 256, 609, 57, "", 'W'},
        {"Button2", "QPushButton", "window", 440, 224, 177, 25, "Обнулить", 'G'},
    };
};

KARTOTEKA_TEST_MAIN(TestTForm6)
#include "test_tform6.moc"
