#include "TestSupport.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

// The helpers other tests rely on must themselves work, and must not hang.
class TestTestSupport : public QObject {
    Q_OBJECT
private slots:
    void typesCyrillicAndLatinText() {
        QLineEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        TestSupport::typeText(&edit, QStringLiteral("Иванов Ёж, Smith-2"));
        QCOMPARE(edit.text(), QStringLiteral("Иванов Ёж, Smith-2"));
    }

    void answersTheNextModalWindow() {
        auto answer = TestSupport::answerNextModal([](QWidget* modal) {
            static_cast<QDialog*>(modal)->done(7);
        });
        QDialog dialog;
        QCOMPARE(dialog.exec(), 7);
        QVERIFY(answer->answered);
        QVERIFY(!answer->timedOut);
        QCOMPARE(answer->modalClass, QStringLiteral("QDialog"));
    }

    void noModalWindowEndsTheWatch() {
        auto answer = TestSupport::answerNextModal([](QWidget*) {}, 100);
        QTRY_VERIFY_WITH_TIMEOUT(answer->timedOut, 2000);
        QVERIFY(!answer->answered);
        // A modal window opened afterwards is not touched by the ended watch.
        bool stillOpen = false;
        auto second = TestSupport::answerNextModal([&](QWidget* modal) {
            stillOpen = modal->isVisible();
            static_cast<QDialog*>(modal)->accept();
        });
        QDialog dialog;
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(stillOpen);
    }

    void aModalLeftOpenIsClosedAfterTheTimeout() {
        auto answer = TestSupport::answerNextModal([](QWidget*) { /* forgets to close it */ }, 200);
        QDialog dialog;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(answer->answered);
        QVERIFY(answer->timedOut);
    }

    void errorReportsAreCollectedWhileTheCatcherLives() {
        {
            TestSupport::ErrorReports reports;
            Application->ShowException(QStringLiteral("one"));
            QCOMPARE(reports.messages, QStringList{QStringLiteral("one")});
        }
        // Afterwards the real box is back.
        bool boxShown = false;
        auto answer = TestSupport::answerNextModal([&](QWidget* modal) {
            boxShown = true;
            modal->close();
        });
        Application->ShowException(QStringLiteral("two"));
        QVERIFY(boxShown);
    }
};

KARTOTEKA_TEST_MAIN(TestTestSupport)
#include "test_test_support.moc"
