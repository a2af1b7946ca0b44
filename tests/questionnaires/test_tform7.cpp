// The weaknesses test window: its layout, its create handler, the text and
// weight of every answer, and its scores, driven by mouse clicks.

#include "QuestionnaireTestKit.h"

#include <memory>

class TestTForm7 : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm7> form;
    ExpectedQuestionnaire e = expectedWeaknesses();

    QuestionnaireWindow fresh() {
        form = std::make_unique<TForm7>();
        form->FormCreate();
        QuestionnaireWindow w(form.get());
        w.show();
        return w;
    }

private slots:
    void cleanup() { form.reset(); }

    void window() {
        TForm7 f;
        QCOMPARE(f.objectName(), QStringLiteral("TForm7"));
        QCOMPARE(f.windowTitle(), QStringLiteral("Тест на слабости"));
        QCOMPARE(f.borderStyle(), TBorderStyle::bsSizeable);
        QCOMPARE(f.designedOuterSize(), QSize(709, 356));
        QVERIFY(!f.isVisible());
        checkFont(&f, 'W');
        f.setVisibleFlag(true);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.pos(), QPoint(223, 258));
        QCOMPARE(f.position(), TPosition::poDesigned);
    }

    void layout_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(controls)); ++i)
            QTest::newRow(controls[i].name) << i;
    }
    void layout() {
        QFETCH(int, row);
        TForm7 f; // as loaded, before its create handler
        checkControl(&f, controls[row]);
    }

    void layoutDataKeepsQuestionOneOutOfNumberOrder() {
        TForm7 f;
        // The answers of question 1 are created as 2, 3, 4, 1 ...
        QStringList created;
        for (QObject* child : f.GroupBox1->children())
            if (qobject_cast<QRadioButton*>(child))
                created << child->objectName();
        QCOMPARE(created, (QStringList{"RadioButton2", "RadioButton3", "RadioButton4", "RadioButton1"}));
        // ... yet RadioButton1 stands on top and weighs most.
        QVERIFY(f.RadioButton1->y() < f.RadioButton2->y());
    }

    void questionsTwoByTwoWithTheirAnswersInside() {
        TForm7 f;
        for (const ExpectedQuestion& q : e.questions) {
            auto* box = f.findChild<QGroupBox*>(QString::fromLatin1(q.box));
            QVERIFY(box);
            QCOMPARE(box->title(), QString::fromUtf8(q.caption));
            int lastTop = -1;
            for (const ExpectedAnswer& a : q.answers) {
                auto* r = f.findChild<QRadioButton*>(QString::fromLatin1(a.name));
                QVERIFY(r);
                QCOMPARE(r->parentWidget(), box);
                QVERIFY2(r->y() > lastTop, a.name);
                lastTop = r->y();
                QCOMPARE(r->x(), 8);
            }
        }
    }

    void tabOrderPutsTheButtonsAndTextBoxFirst() {
        TForm7 f;
        const QStringList expected = {"Button1",       "Memo1",         "Button2",       "RadioButton2",
                                      "RadioButton3",  "RadioButton4",  "RadioButton1",  "RadioButton5",
                                      "RadioButton6",  "RadioButton7",  "RadioButton8",  "RadioButton9",
                                      "RadioButton10", "RadioButton11", "RadioButton12", "RadioButton13",
                                      "RadioButton14"};
        QCOMPARE(focusChain(&f, expected), expected);
    }

    void createHandlerReplacesThePlaceholderTexts() {
        TForm7 f;
        QCOMPARE(f.Label2->text(), QStringLiteral("La"));
        QCOMPARE(f.Memo1->toPlainText(), QStringLiteral("Memo1"));
        f.RadioButton5->setChecked(true);
        f.FormCreate();
        QCOMPARE(f.Label2->text(), QStringLiteral("0"));
        QVERIFY(f.Label2->width() >= f.Label2->fontMetrics().horizontalAdvance(QStringLiteral("0")));
        QCOMPARE(f.Label3->text(), QStringLiteral("баллов"));
        QCOMPARE(f.Memo1->toPlainText(), QString());
        // It touches no answer.
        QVERIFY(f.RadioButton5->isChecked());
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
        QTest::newRow("top answers") << QStringList{"RadioButton1", "RadioButton5", "RadioButton9", "RadioButton12"}
                                     << 14 << QStringLiteral("баллов") << 4;
        QTest::newRow("bottom answers")
            << QStringList{"RadioButton4", "RadioButton8", "RadioButton11", "RadioButton14"} << 4
            << QStringLiteral("балла") << 1;
        QTest::newRow("будильник") << QStringList{"RadioButton14"} << 1 << QStringLiteral("балл") << 1;
        QTest::newRow("Лишний часик") << QStringList{"RadioButton13"} << 2 << QStringLiteral("балла") << 1;
        QTest::newRow("Ой") << QStringList{"RadioButton12"} << 3 << QStringLiteral("балла") << 1;
        QTest::newRow("Возьму, Конечно пойду")
            << QStringList{"RadioButton1", "RadioButton5"} << 8 << QStringLiteral("баллов") << 2;
        QTest::newRow("Возьму, Конечно пойду, Никогда")
            << QStringList{"RadioButton1", "RadioButton5", "RadioButton11"} << 9 << QStringLiteral("баллов") << 3;
        QTest::newRow("tops of 1, 2, Ну иногда, Лишний часик")
            << QStringList{"RadioButton1", "RadioButton5", "RadioButton10", "RadioButton13"} << 12
            << QStringLiteral("баллов") << 3;
        QTest::newRow("tops of 1, 2, 3, Лишний часик")
            << QStringList{"RadioButton1", "RadioButton5", "RadioButton9", "RadioButton13"} << 13
            << QStringLiteral("баллов") << 4;
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

    void resetClearsEveryAnswerWhateverWasSelected() {
        QuestionnaireWindow w = fresh();
        for (const char* set : {"RadioButton1 RadioButton5 RadioButton9 RadioButton12",
                                "RadioButton4 RadioButton8 RadioButton11 RadioButton14",
                                "RadioButton3 RadioButton13", "RadioButton7"}) {
            for (const QString& name : QString::fromLatin1(set).split(QLatin1Char(' ')))
                w.click(qPrintable(name));
            QVERIFY(!w.selected(14).empty());
            w.pressReset();
            QVERIFY(w.selected(14).empty());
        }
    }

    void bandThreeTextKeepsItsQuotesAndTrailingSpace() {
        QuestionnaireWindow w = fresh();
        for (const char* a : {"RadioButton1", "RadioButton5", "RadioButton11"})
            w.click(a);
        w.pressResult();
        QCOMPARE(w.score()->text(), QStringLiteral("9"));
        const QString text = w.memo()->toPlainText();
        QVERIFY(text.endsWith(QStringLiteral("НЕТ!!! ")));
        QVERIFY(text.contains(QStringLiteral("\"хочу\"")));
        QVERIFY(text.contains(QStringLiteral("\"надо\"")));
    }

private:
    static constexpr ExpectedControl controls[] = {
        {"Label1", "QLabel", "window", 8, 224, 106, 18, "Ваш результат", 'G'},
        {"Label2", "QLabel", "window", 120, 224, 19, 19, "La", 'S'},
        {"Label3", "QLabel", "window", 145, 224, 46, 18, "баллов", 'G'},
        {"Button1", "QPushButton", "window", 8, 184, 689, 33, "Вывести результаты", 'G'},
        {"Memo1", "QPlainTextEdit", "window", 8, 248, 689, 73, "Memo1", 'W'},
        {"Button2", "QPushButton", "window", 360, 221, 337, 25, "Обнулить", 'G'},
        {"GroupBox1", "QGroupBox", "window", 8, 0, 305, 97, "№1. Если вам предложат конфетку, вы...", 'W'},
        {"RadioButton2", "QRadioButton", "GroupBox1", 8, 32, 273, 17, "Посомневаюсь, поломаюсь, но все равно возьму", 'W'},
        {"RadioButton3", "QRadioButton", "GroupBox1", 8, 48, 281, 17, "Откажусь, но про себя пожалею об этом", 'W'},
        {"RadioButton4", "QRadioButton", "GroupBox1", 8, 64, 185, 17, "Нет, вы что я на диете", 'W'},
        {"RadioButton1", "QRadioButton", "GroupBox1", 8, 16, 249, 17, "Возьму конечно, конфеты моя слабость", 'W'},
        {"GroupBox2", "QGroupBox", "window", 320, 0, 377, 97,
         "№2. Ваши сослуживцы предложили устроить внеочередной обед, вы...", 'W'},
        {"RadioButton5", "QRadioButton", "GroupBox2", 8, 16, 305, 17, "Конечно пойду, замечания начальства я игнорирую", 'W'},
        {"RadioButton6", "QRadioButton", "GroupBox2", 8, 32, 345, 17,
         "Пойду, а когда выдастся еще возможность немного отдохнуть", 'W'},
        {"RadioButton7", "QRadioButton", "GroupBox2", 8, 48, 337, 17, "\"А если начальство заметит?\"", 'W'},
        {"RadioButton8", "QRadioButton", "GroupBox2", 8, 64, 337, 17, "\"Нет, что вы у меня еще очень много работы\"", 'W'},
        {"GroupBox3", "QGroupBox", "window", 8, 104, 329, 73, "№3. Вы едите по ночам?", 'W'},
        {"RadioButton9", "QRadioButton", "GroupBox3", 8, 16, 313, 17, "Конечно, холодильник ночью как-то по особому светится ", 'W'},
        {"RadioButton10", "QRadioButton", "GroupBox3", 8, 32, 281, 17, "Ну иногда заглядываю", 'W'},
        {"RadioButton11", "QRadioButton", "GroupBox3", 8, 48, 313, 17, "Никогда, у меня там висельница для мышей", 'W'},
        {"GroupBox4", "QGroupBox", "window", 344, 104, 353, 73, "№4. Любите ли вы спать?", 'W'},
        {"RadioButton12", "QRadioButton", "GroupBox4", 8, 16, 329, 17, "Ой, я очень люблю поспать, все на свете просплю", 'W'},
        {"RadioButton13", "QRadioButton", "GroupBox4", 8, 32, 329, 17,
         "Лишний часик для меня как глоток свежего воздуха в жару", 'W'},
        {"RadioButton14", "QRadioButton", "GroupBox4", 8, 48, 305, 17, "Ну если будильник звенит, значит пора вставать", 'W'},
    };
};

KARTOTEKA_TEST_MAIN(TestTForm7)
#include "test_tform7.moc"
