// The questionnaire model on its own: weights from the on-screen order, the
// score, the unit word and the score bands.

#include "Exception.h"
#include "Questionnaire.h"

#include <QTest>

#include <set>

namespace {
std::array<QString, 4> texts() {
    return {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"), QStringLiteral("four")};
}
} // namespace

class TestQuestionnaire : public QObject {
    Q_OBJECT
private slots:
    void weightsFollowTheOnScreenOrderNotTheGivenOrder() {
        Questionnaire q(texts());
        // Handed over as 2, 3, 4, 1, but 1 stands on top.
        q.addQuestion({{2, 32}, {3, 48}, {4, 64}, {1, 16}});
        QCOMPARE(q.weight(1), 4);
        QCOMPARE(q.weight(2), 3);
        QCOMPARE(q.weight(3), 2);
        QCOMPARE(q.weight(4), 1);
        QCOMPARE(q.answersOf(0), (std::vector<int>{1, 2, 3, 4}));
    }

    void threeAnswerQuestionWeighsThreeTwoOne() {
        Questionnaire q(texts());
        q.addQuestion({{7, 48}, {5, 16}, {6, 32}});
        QCOMPARE(q.weight(5), 3);
        QCOMPARE(q.weight(6), 2);
        QCOMPARE(q.weight(7), 1);
    }

    void bottomAnswerWeighsOneWhateverTheGapsBetweenAnswers() {
        Questionnaire q(texts());
        q.addQuestion({{1, 0}, {2, 100}, {3, 101}, {4, 5000}});
        QCOMPARE(q.weight(4), 1);
        QCOMPARE(q.weight(1), 4);
    }

    void answerOutsideEveryQuestionWeighsNothing() {
        Questionnaire q(texts());
        q.addQuestion({{1, 0}, {3, 10}});
        QCOMPARE(q.weight(2), 0);
        QCOMPARE(q.weight(0), 0);
        QCOMPARE(q.weight(-3), 0);
        QCOMPARE(q.weight(99), 0);
        QCOMPARE(q.answerCount(), 2);
    }

    void badQuestionsAreRefused() {
        Questionnaire q(texts());
        QVERIFY_THROWS_EXCEPTION(Exception, q.addQuestion({}));
        QVERIFY_THROWS_EXCEPTION(Exception, q.addQuestion({{1, 10}, {2, 10}}));
        QVERIFY_THROWS_EXCEPTION(Exception, q.addQuestion({{0, 10}}));
        q.addQuestion({{1, 0}, {2, 10}});
        QVERIFY_THROWS_EXCEPTION(Exception, q.addQuestion({{2, 0}, {3, 10}}));
        QCOMPARE(q.questionCount(), 1);
    }

    void scoreAddsTheWeightsOfSelectedAnswersOnly() {
        Questionnaire q(texts());
        q.addQuestion({{1, 0}, {2, 1}, {3, 2}, {4, 3}});
        q.addQuestion({{5, 0}, {6, 1}, {7, 2}});
        QCOMPARE(q.score([](int) { return false; }), 0);
        QCOMPARE(q.score([](int n) { return n == 1; }), 4);
        QCOMPARE(q.score([](int n) { return n == 4 || n == 7; }), 2);
        QCOMPARE(q.score([](int n) { return n == 2 || n == 5; }), 6);
        // Every answer counted once, in number order.
        std::vector<int> asked;
        const int all = q.score([&](int n) {
            asked.push_back(n);
            return true;
        });
        QCOMPARE(all, 4 + 3 + 2 + 1 + 3 + 2 + 1);
        QCOMPARE(asked, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    }

    void unitWord_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<bool>("hasWord");
        QTest::addColumn<QString>("word");
        QTest::newRow("0") << 0 << true << QStringLiteral("баллов");
        QTest::newRow("1") << 1 << true << QStringLiteral("балл");
        QTest::newRow("2") << 2 << true << QStringLiteral("балла");
        QTest::newRow("3") << 3 << true << QStringLiteral("балла");
        QTest::newRow("4") << 4 << true << QStringLiteral("балла");
        for (int s = 5; s <= 16; ++s)
            QTest::newRow(qPrintable(QString::number(s))) << s << false << QString();
        QTest::newRow("-1") << -1 << false << QString();
    }
    void unitWord() {
        QFETCH(int, score);
        QFETCH(bool, hasWord);
        QFETCH(QString, word);
        const auto got = Questionnaire::unitWord(score);
        QCOMPARE(got.has_value(), hasWord);
        if (hasWord)
            QCOMPARE(*got, word);
    }

    void bands_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<int>("band");
        const int expected[] = {1, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4};
        for (int s = 0; s <= 16; ++s)
            QTest::newRow(qPrintable(QString::number(s))) << s << expected[s];
    }
    void bands() {
        QFETCH(int, score);
        QFETCH(int, band);
        QCOMPARE(Questionnaire::band(score), band);
    }

    void resultTextFollowsTheBand() {
        const Questionnaire q(texts());
        QCOMPARE(q.resultText(0), QStringLiteral("one"));
        QCOMPARE(q.resultText(4), QStringLiteral("one"));
        QCOMPARE(q.resultText(5), QStringLiteral("two"));
        QCOMPARE(q.resultText(8), QStringLiteral("two"));
        QCOMPARE(q.resultText(9), QStringLiteral("three"));
        QCOMPARE(q.resultText(12), QStringLiteral("three"));
        QCOMPARE(q.resultText(13), QStringLiteral("four"));
        QCOMPARE(q.resultText(16), QStringLiteral("four"));
        // Out of reach with four questions, but never out of bounds.
        QCOMPARE(q.resultText(1000), QStringLiteral("four"));
        QCOMPARE(q.resultText(-5), QStringLiteral("one"));
    }
};

QTEST_GUILESS_MAIN(TestQuestionnaire)
#include "test_questionnaire.moc"
