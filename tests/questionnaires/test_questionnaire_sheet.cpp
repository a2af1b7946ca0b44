// The answer sheet over hand-made controls: questions come from the boxes the
// answers stand in, weights from where the answers stand, whatever the order
// of their numbers or of their creation.

#include "Exception.h"
#include "QuestionnaireSheet.h"
#include "TestSupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

#include <memory>

class TestQuestionnaireSheet : public QObject {
    Q_OBJECT

    struct Sheet {
        QWidget window;
        QGroupBox* first = new QGroupBox(&window);
        QGroupBox* second = new QGroupBox(&window);
        QVector<QRadioButton*> answers;
        QLabel* score = new QLabel(QStringLiteral("0"), &window);
        QLabel* unit = new QLabel(QStringLiteral("баллов"), &window);
        QPlainTextEdit* memo = new QPlainTextEdit(&window);
        std::unique_ptr<QuestionnaireSheet> sheet;

        // Answer n of the first box stands at tops[n-1]; the second box holds
        // the numbers after them, top to bottom.
        Sheet(std::vector<int> firstTops, int secondCount) {
            for (std::size_t i = 0; i < firstTops.size(); ++i) {
                auto* r = new QRadioButton(first);
                r->move(8, firstTops[i]);
                answers << r;
            }
            for (int i = 0; i < secondCount; ++i) {
                auto* r = new QRadioButton(second);
                r->move(8, 16 + 16 * i);
                answers << r;
            }
            sheet = std::make_unique<QuestionnaireSheet>(
                answers, score, unit, memo,
                std::array<QString, 4>{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
        }
    };

private slots:
    void weightsComeFromTheHeightInTheBox() {
        // Number 1 stands at the bottom, number 3 on top.
        Sheet s({64, 32, 16, 48}, 3);
        const Questionnaire& q = s.sheet->questionnaire();
        QCOMPARE(q.questionCount(), 2);
        QCOMPARE(q.weight(3), 4);
        QCOMPARE(q.weight(2), 3);
        QCOMPARE(q.weight(4), 2);
        QCOMPARE(q.weight(1), 1);
        QCOMPARE(q.weight(5), 3);
        QCOMPARE(q.weight(7), 1);
        s.answers[2]->setChecked(true); // number 3, the top one
        s.answers[6]->setChecked(true); // number 7, the bottom of the second box
        QCOMPARE(s.sheet->score(), 5);
        s.sheet->showResult();
        QCOMPARE(s.score->text(), QStringLiteral("5"));
        QCOMPARE(s.unit->text(), QStringLiteral("баллов"));
        QCOMPARE(s.memo->toPlainText(), QStringLiteral("b"));
    }

    void answersAtTheSameHeightAreALayoutError() {
        QVERIFY_THROWS_EXCEPTION(Exception, Sheet({16, 16}, 1));
    }

    void everyBoxIsOneExclusiveGroup() {
        Sheet t({16, 32, 48}, 2);
        for (QRadioButton* r : t.answers)
            QVERIFY(r->autoExclusive());
        t.answers[0]->click();
        t.answers[3]->click();
        t.answers[1]->click();
        QVERIFY(!t.answers[0]->isChecked());
        QVERIFY(t.answers[1]->isChecked());
        QVERIFY(t.answers[3]->isChecked());
    }

    void resetDeselectsAllAndKeepsTheUnitWord() {
        Sheet s({16, 32}, 2);
        s.answers[1]->click();
        s.answers[3]->click();
        s.sheet->showResult();
        QCOMPARE(s.unit->text(), QStringLiteral("балла"));
        s.sheet->reset();
        for (QRadioButton* r : s.answers)
            QVERIFY(!r->isChecked());
        QCOMPARE(s.score->text(), QStringLiteral("0"));
        QCOMPARE(s.unit->text(), QStringLiteral("балла"));
        QVERIFY(s.memo->toPlainText().isEmpty());
    }
};

KARTOTEKA_TEST_MAIN(TestQuestionnaireSheet)
#include "test_questionnaire_sheet.moc"
