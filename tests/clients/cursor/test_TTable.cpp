// The client table cursor on a table of the engine: opening, moves, edit,
// insert, post, cancel, delete, the flags and the notifications of each
// operation. Runs against the test engine, or the real engine when
// KARTOTEKA_TEST_ENGINE=real.
#include "ClientFields.h"
#include "CursorTestSupport.h"
#include "EDatabaseError.h"
#include "TDataSource.h"
#include "TDatabase.h"
#include "TField.h"
#include "TSession.h"
#include "TTable.h"
#include "TestSupport.h"

#include <QFile>
#include <QTest>

using namespace CursorTest;

namespace {

QStringList rec(const QString& number, const QString& surname, const QString& name = QStringLiteral("Иван")) {
    return {number, surname, name, QStringLiteral("Петрович"), QStringLiteral("30"), QStringLiteral("женат"),
            QStringLiteral("2")};
}

const QList<QStringList> kThree = {rec("1", "Антонов"), rec("2", "Борисов"), rec("3", "Васильев")};

template <class F> QString errorOf(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

// One client window's worth: the cursor, its fields, a data source and a recording link.
struct Window {
    TTable table;
    ClientFieldSet fields;
    TDataSource source;
    RecordingLink link;

    Window() {
        fields = setUpClientTable(&table);
        source.setDataSet(&table);
        link.setDataSource(&source);
    }
    QStringList current() const {
        QStringList values;
        for (TStringField* f : fields)
            values << f->AsString();
        return values;
    }
    QString surname() const { return fields[1]->AsString(); }
    QStringList take() {
        QStringList e = link.events;
        link.events.clear();
        return e;
    }
};

} // namespace

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

    void textsAreCutToTheFieldSize() {
        TestTable t(engine_);
        t.append(kThree);
        Window w;
        w.table.Open();
        w.table.Edit();
        w.fields[0]->SetAsString(QStringLiteral("1234567890"));
        w.fields[1]->SetAsString(QString(50, QChar(u'Щ')));
        w.fields[2]->SetAsString(QString(30, QChar(u'я')));
        w.fields[6]->SetAsString(QStringLiteral("0123456789012345678901234567"));
        QCOMPARE(w.fields[0]->AsString(), QStringLiteral("12345"));
        QCOMPARE(w.fields[1]->AsString(), QString(40, QChar(u'Щ')));
        QCOMPARE(w.fields[2]->AsString(), QString(25, QChar(u'я')));
        QCOMPARE(w.fields[6]->AsString(), QStringLiteral("0123456789012345678901234"));
        w.table.Post();
        const QStringList stored = t.stored()[0];
        QCOMPARE(stored[0], QStringLiteral("12345"));
        QCOMPARE(stored[1], QString(40, QChar(u'Щ')));
        QCOMPARE(stored[2], QString(25, QChar(u'я')));
        QCOMPARE(stored[6].size(), 25);
    }

    void textRoundTripAndBlankValues() {
        TestTable t(engine_);
        QStringList r = rec("№1", "Ёлкин", "Фёдор");
        r[3] = QString(); // blank
        t.append({r});
        Window w;
        w.table.Open();
        QCOMPARE(w.fields[0]->AsString(), QStringLiteral("№1"));
        QCOMPARE(w.fields[1]->AsString(), QStringLiteral("Ёлкин"));
        QCOMPARE(w.fields[2]->AsString(), QStringLiteral("Фёдор"));
        QVERIFY(w.fields[3]->IsNull());
        QCOMPARE(w.fields[3]->AsString(), QString());
        QVERIFY(!w.fields[1]->IsNull());
        w.table.Edit();
        w.fields[1]->SetAsString(QString()); // writing the empty text makes the field blank
        QVERIFY(w.fields[1]->IsNull());
        w.table.Post();
        QCOMPARE(t.stored()[0][1], QString());
        QVERIFY(w.fields[1]->IsValidChar(QChar(u'Я')));
        QVERIFY(w.fields[1]->IsValidChar(QChar(u'1')));
        QVERIFY(!w.fields[1]->IsValidChar(QChar(0x4E2D))); // no such character in the table's code page
    }

    void wideAndNarrowTextColumnsAreAccepted() {
        QList<Column> columns = clientColumns();
        columns[1].size = 60; // surname wider than the field's 40
        columns[2].size = 10; // first name narrower than 25
        TestTable t(engine_, columns);
        t.append({rec("1", QString(60, QChar(u'Ш')), "Иван")});
        Window w;
        w.table.Open();
        QVERIFY(w.table.Active());
        QCOMPARE(w.fields[1]->Size(), 40);
        QCOMPARE(w.fields[1]->AsString(), QString(60, QChar(u'Ш'))); // reading is not cut
        w.table.Edit();
        w.fields[1]->SetAsString(QString(55, QChar(u'Л')));
        w.fields[2]->SetAsString(QStringLiteral("Константинъ"));
        w.table.Post();
        QCOMPARE(t.stored()[0][1], QString(40, QChar(u'Л')));
        QCOMPARE(t.stored()[0][2], QStringLiteral("Константин")); // the column holds only 10
    }

    void nonTextColumnStopsOpen_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("name");
        QTest::newRow("short") << int(KE_FIELD_SHORT) << 2 << "Smallint";
        QTest::newRow("long") << int(KE_FIELD_LONG) << 4 << "Integer";
        QTest::newRow("number") << int(KE_FIELD_NUMBER) << 8 << "Float";
        QTest::newRow("money") << int(KE_FIELD_MONEY) << 8 << "Currency";
        QTest::newRow("date") << int(KE_FIELD_DATE) << 4 << "Date";
        QTest::newRow("time") << int(KE_FIELD_TIME) << 4 << "Time";
        QTest::newRow("timestamp") << int(KE_FIELD_TIMESTAMP) << 8 << "DateTime";
        QTest::newRow("logical") << int(KE_FIELD_LOGICAL) << 1 << "Boolean";
        QTest::newRow("autoinc") << int(KE_FIELD_AUTOINC) << 4 << "AutoInc";
        QTest::newRow("bcd") << int(KE_FIELD_BCD) << 2 << "BCD";
        QTest::newRow("bytes") << int(KE_FIELD_BYTES) << 8 << "Bytes";
        QTest::newRow("memo") << int(KE_FIELD_MEMO) << 10 << "Memo";
        QTest::newRow("fmtmemo") << int(KE_FIELD_FMTMEMO) << 10 << "FmtMemo";
        QTest::newRow("blob") << int(KE_FIELD_BLOB) << 10 << "Blob";
        QTest::newRow("graphic") << int(KE_FIELD_GRAPHIC) << 10 << "Graphic";
        QTest::newRow("ole") << int(KE_FIELD_OLE) << 10 << "ParadoxOle";
    }
    void nonTextColumnStopsOpen() {
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(QString, name);
        QList<Column> columns = clientColumns();
        columns[4] = Column{QStringLiteral("Возраст"), static_cast<uint8_t>(type), static_cast<uint16_t>(size)};
        std::unique_ptr<TestTable> t;
        try {
            t = std::make_unique<TestTable>(engine_, columns);
        } catch (const std::exception& e) {
            QSKIP(qPrintable(QStringLiteral("the engine cannot create this column: ") + QString::fromUtf8(e.what())));
        }
        Window w;
        QCOMPARE(errorOf([&] { w.table.Open(); }),
                 QStringLiteral("Table1: Type mismatch for field 'Возраст', expecting: String actual: ") + name);
        QVERIFY(!w.table.Active());
        QCOMPARE(w.take().join(u'|'), QString()); // never announced as open
        QCOMPARE(TSession::Default().FindDatabase(QString::fromUtf16(kClientDatabaseName))->Users(), 0);
    }

    void missingColumnStopsOpen() {
        QList<Column> columns = clientColumns();
        columns.removeAt(3);
        columns << Column{QStringLiteral("Примечание"), KE_FIELD_ALPHA, 20};
        TestTable t(engine_, columns);
        Window w;
        QCOMPARE(errorOf([&] { w.table.Open(); }), QStringLiteral("Table1: Field 'Отчество' not found"));
        QVERIFY(!w.table.Active());
        QCOMPARE(w.fields[3]->FieldNo(), 0);
        QCOMPARE(w.fields[0]->FieldNo(), 0); // nothing stays bound after a failed Open
    }

    void fieldsMatchColumnsByNameInAnyOrder() {
        QList<Column> columns = clientColumns();
        std::reverse(columns.begin(), columns.end());
        columns.insert(2, Column{QStringLiteral("Лишний"), KE_FIELD_LONG, 4});
        columns[0].name = columns[0].name.toUpper(); // "КОЛИЧЕСТВО ДЕТЕЙ"
        TestTable t(engine_, columns);
        QStringList values = {"4", "холост", "", "50", "Сергеевич", "Олег", "Дмитриев", "12"};
        values[2] = QString(); // the extra integer column stays blank
        t.append({values});
        Window w;
        w.table.Open();
        QCOMPARE(w.fields[0]->AsString(), QStringLiteral("12"));
        QCOMPARE(w.fields[1]->AsString(), QStringLiteral("Дмитриев"));
        QCOMPARE(w.fields[6]->AsString(), QStringLiteral("4"));
        QCOMPARE(w.fields[0]->FieldNo(), 8);
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
        b.table.Edit();
        QCOMPARE(b.table.State(), dsEdit);
        QCOMPARE(b.surname(), QStringLiteral("Занят")); // Edit re-reads the stored values
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

KARTOTEKA_TEST_MAIN(TestTTable)
#include "test_TTable.moc"
