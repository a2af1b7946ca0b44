// The client table cursor on a table of the engine: opening, moves, edit,
// insert, post, cancel, delete, the flags and the notifications of each
// operation. Runs against the test engine, or the real engine when
// KARTOTEKA_TEST_ENGINE=real.
#include "CursorTestSupport.h"
#include "EDatabaseError.h"
#include "TableTestKit.h"
#include "TestSupport.h"

#include <QTest>

using namespace CursorTest;
using namespace TableTest;

class TestTTable : public QObject {
    Q_OBJECT
    TestTable::Engine engine_ = TestTable::engineFromEnvironment();

private slots:
    void initTestCase() {
        qInfo("engine: %s", engine_ == TestTable::Real ? "real" : "test");
    }

    void openWithRecordsShowsTheFirst() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        QVERIFY(!w.table.Active());
        QVERIFY(w.table.Bof() && w.table.Eof());
        w.table.Open();
        QCOMPARE(w.take().join(u'|'), QStringList({"active", "changed"}).join(u'|'));
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(w.current(), kThree[0]);
        QVERIFY(w.table.Bof());
        QVERIFY(!w.table.Eof());
        QVERIFY(w.table.CanModify());
        QVERIFY(!w.table.IsEmpty());
        w.table.Open(); // a second Open does nothing
        QCOMPARE(w.take().join(u'|'), QString());
    }

    void singleRecordEofOnlyAfterNext() {
        TestTable t(engine_);
        t.append({rec("7", "Одинцов")});
        Window w;
        w.table.Open();
        QVERIFY(w.table.Bof());
        QVERIFY(!w.table.Eof());
        w.take();
        w.table.Next();
        QVERIFY(w.table.Eof());
        QVERIFY(!w.table.Bof());
        QCOMPARE(w.surname(), QStringLiteral("Одинцов"));
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "scrolled 0"}).join(u'|'));
        w.table.Next(); // EOF already set: nothing moves, nothing is announced after the check
        QCOMPARE(w.take().join(u'|'), QStringList({"check"}).join(u'|'));
        QCOMPARE(w.surname(), QStringLiteral("Одинцов"));
        w.table.Last();
        QVERIFY(w.table.Eof());
        QVERIFY(!w.table.Bof());
    }

    void emptyTableTypingStartsAnInsert() {
        TestTable t(engine_);
        Window w;
        w.table.Open();
        QCOMPARE(w.take().join(u'|'), QStringList({"active", "changed"}).join(u'|'));
        QVERIFY(w.table.Bof() && w.table.Eof());
        QVERIFY(w.table.IsEmpty());
        QCOMPARE(w.current(), QStringList(7, QString()));
        QVERIFY(w.fields[0]->IsNull());
        // The bound box asks its link to edit: on an empty table that starts a new record.
        w.source.Edit();
        QCOMPARE(w.table.State(), dsInsert);
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "editing", "changed"}).join(u'|'));
        QVERIFY(w.table.Bof() && w.table.Eof()); // Insert leaves the flags alone
        w.fields[1]->SetAsString(QStringLiteral("Ж"));
        QCOMPARE(w.surname(), QStringLiteral("Ж"));
        QVERIFY(w.table.Modified());
        QCOMPARE(t.stored().size(), 0);
        w.table.Next(); // moving away posts it
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(t.stored().size(), 1);
        QCOMPARE(t.stored()[0][1], QStringLiteral("Ж"));
        QCOMPARE(w.surname(), QStringLiteral("Ж"));
    }

    void movesSetTheFlagsAndNotify() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.take();
        w.table.Prior(); // BOF already set: nothing
        QCOMPARE(w.take().join(u'|'), QStringList({"check"}).join(u'|'));
        w.table.Next();
        QCOMPARE(w.surname(), QStringLiteral("Борисов"));
        QVERIFY(!w.table.Bof() && !w.table.Eof());
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "scrolled 1"}).join(u'|'));
        w.table.Last();
        QCOMPARE(w.surname(), QStringLiteral("Васильев"));
        QVERIFY(w.table.Eof() && !w.table.Bof());
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "changed"}).join(u'|'));
        w.table.Prior();
        QCOMPARE(w.surname(), QStringLiteral("Борисов"));
        QVERIFY(!w.table.Bof() && !w.table.Eof());
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "scrolled -1"}).join(u'|'));
        w.table.Prior();
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));
        QVERIFY(!w.table.Bof()); // found a record: BOF stays clear
        w.take();
        w.table.Prior(); // on the first record with BOF clear: nothing moves, BOF is set
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));
        QVERIFY(w.table.Bof() && !w.table.Eof());
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "scrolled 0"}).join(u'|'));
        w.table.Next();
        QCOMPARE(w.surname(), QStringLiteral("Борисов"));
        w.take();
        w.table.First();
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));
        QVERIFY(w.table.Bof() && !w.table.Eof());
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "changed"}).join(u'|'));
        // Walk to the end and back again.
        for (int i = 0; i < 5; ++i)
            w.table.Next();
        QVERIFY(w.table.Eof());
        QCOMPARE(w.surname(), QStringLiteral("Васильев"));
        w.table.Prior();
        QCOMPARE(w.surname(), QStringLiteral("Борисов"));
    }

    void editAfterFindingTheEndsChangesTheShownRecord() {
        // After a move that found the end, Edit and Post must still reach the shown record.
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Last();
        w.table.Next(); // finds the end
        w.table.Edit();
        w.fields[1]->SetAsString(QStringLiteral("Последний"));
        w.table.Post();
        QCOMPARE(t.stored()[2][1], QStringLiteral("Последний"));
        QCOMPARE(t.stored()[1][1], QStringLiteral("Борисов"));
        w.table.First();
        w.table.Prior(); // BOF set: nothing
        w.table.Next();
        w.table.Prior();
        w.table.Prior(); // finds the start
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));
        w.table.Edit();
        w.fields[1]->SetAsString(QStringLiteral("Первый"));
        w.table.Post();
        QCOMPARE(t.stored()[0][1], QStringLiteral("Первый"));
        QCOMPARE(w.surname(), QStringLiteral("Первый"));
    }

    void editPostSequence() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Next();
        w.take();
        w.table.Edit();
        QCOMPARE(w.table.State(), dsEdit);
        QVERIFY(!w.table.Modified());
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "editing", "record"}).join(u'|'));
        w.table.Edit(); // already editing: nothing
        QCOMPARE(w.take().join(u'|'), QString());
        w.fields[2]->SetAsString(QStringLiteral("Пётр"));
        QCOMPARE(w.take().join(u'|'), QStringList({"record Имя"}).join(u'|'));
        QVERIFY(w.table.Modified());
        QCOMPARE(t.stored()[1][2], QStringLiteral("Иван")); // nothing stored yet
        w.table.Post();
        QCOMPARE(w.take().join(u'|'), QStringList({"update", "check", "browsing", "changed"}).join(u'|'));
        QCOMPARE(w.table.State(), dsBrowse);
        QVERIFY(!w.table.Modified());
        QCOMPARE(t.stored()[1][2], QStringLiteral("Пётр"));
        QCOMPARE(w.fields[2]->AsString(), QStringLiteral("Пётр"));
        QVERIFY(!w.table.Bof() && !w.table.Eof());
        QCOMPARE(t.stored().size(), 3);
    }

    void cancelEditShowsStoredValues() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Edit();
        w.fields[1]->SetAsString(QStringLiteral("Изменён"));
        w.take();
        w.table.Cancel();
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "browsing", "changed"}).join(u'|'));
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));
        QCOMPARE(t.stored(), kThree);
        w.table.Cancel(); // in browse state: nothing
        QCOMPARE(w.take().join(u'|'), QString());
        // The lock was released: a second cursor can edit the same record.
        Window other;
        other.table.Open();
        other.table.Edit();
        QCOMPARE(other.table.State(), dsEdit);
        other.table.Cancel();
    }

    void settleCancelsAnUnmodifiedEdit() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Edit();
        w.take();
        w.table.Next();
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "update", "check", "browsing", "changed", "scrolled 1"}).join(u'|'));
        QCOMPARE(w.surname(), QStringLiteral("Борисов"));
        QCOMPARE(t.stored(), kThree);
    }

    void settleCollectsPendingTextsAndPosts() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Edit();
        // A bound box writes its text when asked to update the record.
        w.link.onUpdateData = [&w] {
            if (w.table.State() == dsEdit && w.fields[1]->AsString() != QStringLiteral("Собран"))
                w.fields[1]->SetAsString(QStringLiteral("Собран"));
        };
        w.take();
        w.table.Next();
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "update", "record Фамилия", "update", "check", "browsing", "changed",
                                        "scrolled 1"}).join(u'|'));
        QCOMPARE(t.stored()[0][1], QStringLiteral("Собран"));
        QCOMPARE(w.surname(), QStringLiteral("Борисов"));
    }

    void insertTwiceWithoutTypingLeavesNothing() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Next();
        w.take();
        w.table.Insert();
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "editing", "changed"}).join(u'|'));
        QCOMPARE(w.table.State(), dsInsert);
        QCOMPARE(w.current(), QStringList(7, QString()));
        w.table.Insert();
        QCOMPARE(w.table.State(), dsInsert);
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "update", "check", "browsing", "changed", "editing", "changed"}).join(u'|'));
        QCOMPARE(t.stored(), kThree);
        w.table.Cancel();
        QCOMPARE(w.surname(), QStringLiteral("Борисов")); // the record current before Insert
        QCOMPARE(t.stored(), kThree);
    }

    void insertTypeNextPostsAndMovesOn() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Next(); // on Борисов
        w.table.Insert();
        w.fields[0]->SetAsString(QStringLiteral("9"));
        w.fields[1]->SetAsString(QStringLiteral("Новиков"));
        w.table.Next();
        QCOMPARE(w.table.State(), dsBrowse);
        const QList<QStringList> stored = t.stored();
        QCOMPARE(stored.size(), 4);
        // The new record went in at the cursor's place, before Борисов...
        QCOMPARE(stored[1][1], QStringLiteral("Новиков"));
        QCOMPARE(stored[1][0], QStringLiteral("9"));
        QCOMPARE(stored[1][2], QString()); // untouched fields are blank
        // ...and Next moved on from the posted record.
        QCOMPARE(w.surname(), QStringLiteral("Борисов"));
        QVERIFY(!w.table.Bof() && !w.table.Eof());
    }

    void secondInsertPostsTheTypedRecord() {
        TestTable t(engine_);
        Window w;
        w.table.Open();
        w.table.Insert();
        w.fields[1]->SetAsString(QStringLiteral("Первая"));
        w.table.Insert();
        QCOMPARE(w.table.State(), dsInsert);
        QCOMPARE(t.stored().size(), 1);
        QCOMPARE(t.stored()[0][1], QStringLiteral("Первая"));
        w.fields[1]->SetAsString(QStringLiteral("Вторая"));
        w.table.Post();
        QCOMPARE(w.surname(), QStringLiteral("Вторая"));
        QCOMPARE(t.stored().size(), 2);
        QVERIFY(!w.table.Bof() && !w.table.Eof());
    }

    void postOfANewRecordMakesItCurrent() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Last();
        w.table.Insert();
        w.fields[1]->SetAsString(QStringLiteral("Гаврилов"));
        w.take();
        w.table.Post();
        QCOMPARE(w.take().join(u'|'), QStringList({"update", "check", "browsing", "changed"}).join(u'|'));
        QCOMPARE(w.surname(), QStringLiteral("Гаврилов"));
        w.table.Next();
        QCOMPARE(w.surname(), QStringLiteral("Васильев"));
    }

    void deleteMakesTheNextOrPriorCurrent() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Next();
        w.take();
        w.table.Delete(); // the middle one: the following becomes current
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "changed"}).join(u'|'));
        QCOMPARE(w.surname(), QStringLiteral("Васильев"));
        QVERIFY(!w.table.Bof() && !w.table.Eof());
        QCOMPARE(t.stored(), QList<QStringList>({kThree[0], kThree[2]}));
        w.table.Delete(); // the last one: the one before it becomes current
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));
        QCOMPARE(t.stored(), QList<QStringList>({kThree[0]}));
        w.table.Delete(); // the only one: the view empties
        QVERIFY(w.table.Bof() && w.table.Eof());
        QVERIFY(w.table.IsEmpty());
        QCOMPARE(w.current(), QStringList(7, QString()));
        QCOMPARE(t.stored().size(), 0);
        QCOMPARE(errorOf([&] { w.table.Delete(); }),
                 QStringLiteral("Table1: Cannot perform this operation on an empty dataset"));
    }

    void deleteWhileEditingDeletesTheRecord() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Edit();
        w.fields[1]->SetAsString(QStringLiteral("Потеряно"));
        w.take();
        w.table.Delete();
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "browsing", "changed"}).join(u'|'));
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(t.stored(), QList<QStringList>({kThree[1], kThree[2]}));
        QCOMPARE(w.surname(), QStringLiteral("Борисов"));
    }

    void deleteDuringInsertDiscardsTheNewRecord() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Last();
        w.table.Insert();
        w.fields[1]->SetAsString(QStringLiteral("Новый"));
        w.take();
        w.table.Delete();
        QCOMPARE(w.take().join(u'|'), QStringList({"check", "browsing", "changed"}).join(u'|'));
        QCOMPARE(t.stored(), kThree);
        QCOMPARE(w.surname(), QStringLiteral("Васильев"));
        // On an empty table too.
        TestTable empty(engine_);
        Window e;
        e.table.Open();
        e.table.Insert();
        e.fields[1]->SetAsString(QStringLiteral("Новый"));
        e.table.Delete();
        QVERIFY(e.table.Bof() && e.table.Eof());
        QCOMPARE(empty.stored().size(), 0);
    }
};

KARTOTEKA_TEST_MAIN(TestTTable)
#include "test_TTable.moc"
