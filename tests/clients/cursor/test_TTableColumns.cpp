// The client table cursor and the columns of the table: texts cut to the
// field size (a longer stored value keeps its length), code-page round trips
// and blank values, wider and narrower text columns, and the columns that
// stop Open. Runs against the test engine, or
// the real engine when KARTOTEKA_TEST_ENGINE=real.
#include "CursorTestSupport.h"
#include "TSession.h"
#include "TDatabase.h"
#include "TableTestKit.h"
#include "TestSupport.h"

#include <QTest>
#include <algorithm>
#include <memory>

using namespace CursorTest;
using namespace TableTest;

class TestTTableColumns : public QObject {
    Q_OBJECT
    TestTable::Engine engine_ = TestTable::engineFromEnvironment();

private slots:
    void initTestCase() {
        qInfo("engine: %s", engine_ == TestTable::Real ? "real" : "test");
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

    // A wider and a narrower column are accepted. Every pair of a stored
    // surname length and a written length, on a 60-letter column behind the
    // 40-letter field: new text is cut to the field, a stored value already
    // longer keeps its length, nothing goes beyond the column. Letters
    // spelled as a base and a combining mark are written composed.
    void textLimitsFollowFieldStoredValueAndColumn() {
        QList<Column> columns = clientColumns();
        columns[1].size = 60; // surname wider than the field's 40
        columns[2].size = 10; // first name narrower than 25
        TestTable t(engine_, columns);
        const QList<int> storedLengths{0, 39, 40, 41, 56, 60}, writtenLengths{39, 40, 41, 55, 56, 57, 61};
        QList<QStringList> records;
        QStringList expected;
        for (int stored : storedLengths)
            for (int written : writtenLengths) {
                records << rec(QString::number(written), stored ? QString(stored, QChar(u'Ш')) : QString());
                expected << QString(std::min({written, 60, std::max(40, stored)}), QChar(u'Л'));
            }
        t.append(records);
        Window w;
        w.table.Open();
        for (const QStringList& r : records) {
            QCOMPARE(w.fields[1]->AsString(), r[1]); // reading is never cut
            w.table.Edit();
            w.fields[1]->SetAsString(QString(r[0].toInt(), QChar(u'Л')));
            w.fields[2]->SetAsString(QStringLiteral("И\u0306е\u0308ИЕ\u0308и\u0306").repeated(3));
            w.table.Next();
        }
        const QList<QStringList> stored = t.stored();
        QCOMPARE(stored.size(), records.size());
        for (const QStringList& r : stored) {
            QCOMPARE(r[1], expected.takeFirst());
            QCOMPARE(r[2], QStringLiteral("ЙёИЁй").repeated(2)); // composed, cut to the column's 10
        }
        w.table.Insert(); // new text: the field's size
        w.fields[1]->SetAsString(QString(45, QChar(u'Н')));
        QCOMPARE(w.fields[1]->AsString(), QString(40, QChar(u'Н')));
        w.table.Cancel();
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

};

KARTOTEKA_TEST_MAIN(TestTTableColumns)
#include "test_TTableColumns.moc"
