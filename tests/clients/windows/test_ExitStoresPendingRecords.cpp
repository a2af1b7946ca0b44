// Ending the program never loses a typed card: each client window's pending
// record is settled as a move would settle it, whatever ends the program
// ("Выход", the main window's close box, SIGTERM). A record that cannot be
// stored stops the exit with the report and stays pending; asked again right
// away, or while that report is still up, the program ends without storing;
// after more work, it stores again.
#include "ClientWindowTestSupport.h"
#include "Forms.h"
#include "TApplication.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TTable.h"
#include "TestSupport.h"

#include <csignal>
#include <utility>

using namespace ClientWindowTest;
using CursorTest::FakeEngine;
using CursorTest::TestTable;

class TestExitStoresPendingRecords : public QObject {
    Q_OBJECT
    std::unique_ptr<TestTable> table_;
    QStringList reports_;
    bool requestDuringReport_ = false; // another exit request comes during the next report

    TForm3* clients() const { return static_cast<TForm3*>(Form3); }
    QString storedSurname(int row) const {
        char value[128] = {};
        FakeEngine::instance().record_value(row, 1, value, sizeof value);
        return QString::fromUtf8(value);
    }
    void typeInSurname(const QString& text) {
        TDBEdit* box = clients()->EditDBEdit2;
        box->setFocus();
        QTest::keyClick(box, Qt::Key_End);
        TestSupport::typeText(box, text);
    }

private slots:
    void initTestCase() {
        table_ = std::make_unique<TestTable>(TestTable::Fake);
        table_->append(threeClients());
        Application->setErrorPresenter([this](const QString& m) {
            reports_ << m;
            if (std::exchange(requestDuringReport_, false))
                Application->Terminate();
        });
        Application->CreateForm<TForm1>(Form1);
        Application->CreateForm<TForm3>(Form3);
        QVERIFY(clients()->Table1->Active());
        clients()->setVisibleFlag(true);
    }

    void exitStoresWhatWasTypedAndNeverLosesIt() {
        FakeEngine& fake = FakeEngine::instance();
        typeInSurname(QStringLiteral("а"));
        QCOMPARE(clients()->Table1->State(), dsEdit);

        // The store fails: the report says why, the program stays, the edit is kept.
        fake.fail("modify_record", KE_ERR_IO, 2);
        Application->Terminate();
        QCOMPARE(reports_.size(), 1);
        QVERIFY(!Application->Terminated());
        QCOMPARE(clients()->Table1->State(), dsEdit);
        QCOMPARE(clients()->EditDBEdit2->text(), QStringLiteral("Петрова"));
        QCOMPARE(storedSurname(0), QStringLiteral("Петров"));

        // Back at work, the exit fails again; asked again while that report
        // is still up (several SIGTERMs): no more reports, ended without storing.
        typeInSurname(QStringLiteral("а"));
        requestDuringReport_ = true;
        Application->Terminate();
        QCOMPARE(reports_.size(), 2);
        QVERIFY(Application->Terminated());
        QCOMPARE(storedSurname(0), QStringLiteral("Петров"));

        // Asked again right away: the user has been told; the program ends without storing.
        Application->Terminate();
        QVERIFY(Application->Terminated());
        QCOMPARE(reports_.size(), 2);
        QCOMPARE(storedSurname(0), QStringLiteral("Петров"));

        // Back at work in the window, the next end stores again, here through SIGTERM.
        typeInSurname(QStringLiteral("б"));
        ::raise(SIGTERM);
        QTRY_COMPARE(clients()->Table1->State(), dsBrowse);
        QCOMPARE(storedSurname(0), QStringLiteral("Петровааб"));
        QCOMPARE(reports_.size(), 2);

        // A new record typed into is stored; one left untouched is dropped.
        click(clients()->DBNavigator, nbInsert);
        TestSupport::typeText(clients()->EditDBEdit2, QStringLiteral("Новикова"));
        clients()->Close(); // hiding keeps it pending
        QCOMPARE(clients()->Table1->State(), dsInsert);
        Form1->close(); // the main window's close box
        QCOMPARE(clients()->Table1->State(), dsBrowse);
        QCOMPARE(fake.record_count(), 4);
        clients()->setVisibleFlag(true);
        click(clients()->DBNavigator, nbInsert);
        QCOMPARE(clients()->Table1->State(), dsInsert);
        Application->Terminate();
        QCOMPARE(fake.record_count(), 4);
        QCOMPARE(reports_.size(), 2);
    }
};

KARTOTEKA_TEST_MAIN(TestExitStoresPendingRecords)
#include "test_ExitStoresPendingRecords.moc"
