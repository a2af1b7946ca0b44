// Who may do what with the client table cursor: a closed cursor and the
// browse state refuse, Close and the session end drop pending changes, two
// cursors share one connection, an edit lock holds off the other cursor and a
// read-only table opens read-only. Runs against the test engine, or the real
// engine when KARTOTEKA_TEST_ENGINE=real.
#include "CursorTestSupport.h"
#include "TDatabase.h"
#include "TSession.h"
#include "TableTestKit.h"
#include "TestSupport.h"

#include <QFile>
#include <QTest>

using namespace CursorTest;
using namespace TableTest;

class TestTTableAccess : public QObject {
    Q_OBJECT
    TestTable::Engine engine_ = TestTable::engineFromEnvironment();

private slots:
    void initTestCase() {
        qInfo("engine: %s", engine_ == TestTable::Real ? "real" : "test");
    }

    void closedCursorRefusesOperations() {
        TestTable t(engine_);
        Window w;
        const QString closed = QStringLiteral("Table1: Cannot perform this operation on a closed dataset");
        QCOMPARE(errorOf([&] { w.table.First(); }), closed);
        QCOMPARE(errorOf([&] { w.table.Prior(); }), closed);
        QCOMPARE(errorOf([&] { w.table.Next(); }), closed);
        QCOMPARE(errorOf([&] { w.table.Last(); }), closed);
        QCOMPARE(errorOf([&] { w.table.Insert(); }), closed);
        QCOMPARE(errorOf([&] { w.table.Edit(); }), closed);
        QCOMPARE(errorOf([&] { w.table.Delete(); }), closed);
        QCOMPARE(errorOf([&] { w.table.Refresh(); }), closed);
        QCOMPARE(errorOf([&] { w.table.Post(); }), QStringLiteral("Table1: Dataset not in edit or insert mode"));
        QCOMPARE(errorOf([&] { w.fields[1]->SetAsString("x"); }),
                 QStringLiteral("Table1: Dataset not in edit or insert mode"));
        w.table.Cancel();
        w.table.Close();
        QCOMPARE(w.take().join(u'|'), QString());
        QCOMPARE(w.fields[1]->AsString(), QString());
        QCOMPARE(errorOf([&] { w.table.FieldByName(QStringLiteral("Адрес")); }),
                 QStringLiteral("Table1: Field 'Адрес' not found"));
        QCOMPARE(w.table.FieldByName(QStringLiteral("фамилия")), w.fields[1]);
    }

    void browseStateRefusesFieldWrites() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        QCOMPARE(errorOf([&] { w.fields[1]->SetAsString("x"); }),
                 QStringLiteral("Table1: Dataset not in edit or insert mode"));
        QCOMPARE(errorOf([&] { w.table.Post(); }), QStringLiteral("Table1: Dataset not in edit or insert mode"));
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));
    }

    void pendingChangesAreDroppedAtClose() {
        TestTable t(engine_);
        t.append(kThree);
        {
            Window w;
            w.table.Open();
            w.table.Edit();
            w.fields[1]->SetAsString(QStringLiteral("Несохранённый"));
            w.take();
            w.table.Close();
            QCOMPARE(w.take().join(u'|'), QStringList({"inactive", "browsing"}).join(u'|'));
            QVERIFY(!w.table.Active());
            QVERIFY(w.table.Bof() && w.table.Eof());
            QCOMPARE(w.surname(), QString());
        }
        QCOMPARE(t.stored(), kThree);
        {
            Window w;
            w.table.Open();
            w.table.Insert();
            w.fields[1]->SetAsString(QStringLiteral("Новый"));
        } // destroyed with a pending insert
        QCOMPARE(t.stored(), kThree);
        // The edit lock went with the cursor: the record can be edited again.
        Window again;
        again.table.Open();
        again.table.Edit();
        QCOMPARE(again.table.State(), dsEdit);
        // The session end closes a cursor that is still open, dropping its edit.
        again.fields[1]->SetAsString(QStringLiteral("Тоже нет"));
        TSession::Default().Close();
        QVERIFY(!again.table.Active());
        QCOMPARE(t.stored(), kThree);
    }

    void twoCursorsShareOneConnectionAndAreIndependent() {
        TestTable t(engine_);
        t.append(kThree);
        Window a, b;
        b.table.setDatabaseName(QStringLiteral("e:\\зурбелин\\PROGA")); // the same database, other case
        a.table.Open();
        b.table.Open();
        QCOMPARE(TSession::Default().DatabaseCount(), 1);
        TDatabase* db = TSession::Default().FindDatabase(QString::fromUtf16(kClientDatabaseName));
        QVERIFY(db);
        QCOMPARE(db->Users(), 2);
        a.table.Edit();
        a.fields[1]->SetAsString(QStringLiteral("Изменённый"));
        a.table.Post();
        QCOMPARE(b.surname(), QStringLiteral("Антонов")); // b still shows what it read
        b.take();
        b.table.Refresh();
        QCOMPARE(b.take().join(u'|'), QStringList({"check", "changed"}).join(u'|'));
        QCOMPARE(b.surname(), QStringLiteral("Изменённый"));
        b.table.Close();
        a.table.Close();
        QCOMPARE(db->Users(), 0);
        QCOMPARE(TSession::Default().DatabaseCount(), 1); // the connection stays until the session ends
        QVERIFY(db->Connected());
    }

    void editLockHoldsOffTheOtherCursor() {
        TestTable t(engine_);
        t.append(kThree);
        Window a, b;
        a.table.Open();
        b.table.Open();
        a.table.Edit();
        b.take();
        const QString error = errorOf([&] { b.source.Edit(); });
        QVERIFY2(error != QStringLiteral("(no error)"), "the second writer got the lock");
        QVERIFY(!error.startsWith(QStringLiteral("Table1:"))); // the engine's own text
        QCOMPARE(b.table.State(), dsBrowse);
        QCOMPARE(b.take().join(u'|'), QStringLiteral("check"));
        // Another record is free.
        b.table.Next();
        b.table.Edit();
        QCOMPARE(b.table.State(), dsEdit);
        b.table.Cancel();
        b.table.First();
        a.fields[1]->SetAsString(QStringLiteral("Занят"));
        a.table.Post(); // posting frees the lock
        b.table.Edit(); // the card changed since b read it: b shows it, no edit yet
        QCOMPARE(b.table.State(), dsBrowse);
        QCOMPARE(b.surname(), QStringLiteral("Занят"));
        b.table.Edit();
        QCOMPARE(b.table.State(), dsEdit);
        b.table.Cancel();
    }

    void readOnlyTableOpensReadOnly() {
        TestTable t(engine_);
        t.append(kThree);
        if (engine_ == TestTable::Real) {
            // A validity file next to the table makes the engine refuse writing.
            QFile val(QString(t.tableFile()).replace(QStringLiteral("data.DB"), QStringLiteral("data.VAL")));
            QVERIFY(val.open(QIODevice::WriteOnly));
            val.write("x");
        } else {
            FakeEngine::instance().set_option("read_only_file", 1);
        }
        Window w;
        w.table.Open();
        QVERIFY(w.table.Active());
        QVERIFY(!w.table.CanModify());
        QVERIFY(!w.fields[1]->CanModify());
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));
        const QString readOnly = QStringLiteral("Table1: Cannot modify a read-only dataset");
        QCOMPARE(errorOf([&] { w.table.Edit(); }), readOnly);
        QCOMPARE(errorOf([&] { w.table.Insert(); }), readOnly);
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(errorOf([&] { w.source.Edit(); }), readOnly); // a bound box asking to edit
        QCOMPARE(w.table.State(), dsBrowse);
    }
};

KARTOTEKA_TEST_MAIN(TestTTableAccess)
#include "test_TTableAccess.moc"
