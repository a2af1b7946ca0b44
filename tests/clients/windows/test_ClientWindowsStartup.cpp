// Start-up of the two client windows on the cursor layer: each window's
// FormCreate opens its own Table1; without an engine both report the
// initialisation failure, first the base window, then the entry window, and
// stay usable with closed cursors; with a table both open on one connection.
#include "CursorTestSupport.h"
#include "EngineLibrary.h"
#include "TDatabase.h"
#include "TField.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TSession.h"
#include "TTable.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

using namespace CursorTest;

class TestClientWindowsStartup : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        TSession::Default().Close();
        EngineLibrary::setProgramDirectoryForTests(QString(), true);
    }

    void withoutEngineBothWindowsReportInOrder() {
        QTemporaryDir empty;
        useEngine(empty.path());
        TestSupport::ErrorReports reports;
        QStringList order;
        // The report is made by the application from each create handler, in creation order.
        TForm3* base = nullptr;
        TForm4* entry = nullptr;
        Application->CreateForm<TForm3>(base);
        order << QString::number(reports.messages.size());
        Application->CreateForm<TForm4>(entry);
        order << QString::number(reports.messages.size());
        const QString message =
            QStringLiteral("An error occurred while attempting to initialize the table engine (error $2108)");
        QCOMPARE(reports.messages, QStringList({message, message}));
        QCOMPARE(order, QStringList({"1", "2"})); // one report after each window's creation
        QVERIFY(!base->Table1->Active());
        QVERIFY(!entry->Table1->Active());
        QCOMPARE(base->Table1StringField2->AsString(), QString());
        QVERIFY(!base->Table1StringField2->CanModify());
        // The windows stay with the application until it ends.
    }

    void withATableBothWindowsOpenOnOneConnection() {
        TestTable t(TestTable::engineFromEnvironment());
        t.append({{"1", "Зурбелин", "Фёдор", "Ильич", "40", "женат", "3"}});
        TestSupport::ErrorReports reports;
        TForm3* base = nullptr;
        TForm4* entry = nullptr;
        Application->CreateForm<TForm3>(base);
        Application->CreateForm<TForm4>(entry);
        QCOMPARE(reports.messages, QStringList());
        QVERIFY(base->Table1->Active());
        QVERIFY(entry->Table1->Active());
        QCOMPARE(base->Table1StringField2->AsString(), QStringLiteral("Зурбелин"));
        QCOMPARE(entry->Table1StringField3->AsString(), QStringLiteral("Фёдор"));
        QCOMPARE(TSession::Default().DatabaseCount(), 1);
        QCOMPARE(TSession::Default().FindDatabase(QStringLiteral("E:\\ЗУРБЕЛИН\\proga"))->Users(), 2);
        entry->Table1->Close();
        base->Table1->Close();
        QCOMPARE(TSession::Default().FindDatabase(QStringLiteral("E:\\ЗУРБЕЛИН\\proga"))->Users(), 0);
    }
};

KARTOTEKA_TEST_MAIN(TestClientWindowsStartup)
#include "test_ClientWindowsStartup.moc"
