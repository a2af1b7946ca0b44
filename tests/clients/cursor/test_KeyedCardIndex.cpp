// A keyed card index in the client table, on the real engine: browsed in key
// order, changed and pruned whatever its key; with a card number key, a new
// card lands at its place and a key stored twice is refused with "Key
// violation.", the cursor keeping the typed card in insert state; with a text
// key, adding a card or changing its key is refused with a message naming the
// sort order, and the typed key stays for the user to correct or cancel.
#include "CursorTestSupport.h"
#include "CodePage.h"
#include "Cursor.h"
#include "FieldCodec.h"
#include "TableTestKit.h"
#include "TestSupport.h"

#include <QFile>
#include <QTest>

using namespace CursorTest;
using namespace TableTest;

namespace {

// Fills the table through the engine (numbers first when the table has a
// number column), then makes it keyed on its first field and builds its index.
void fillKeyed(const QString& tableFile, const QList<QStringList>& records, const QList<int>& numbers)
{
    const std::string path = QFile::encodeName(tableFile).toStdString();
    {
        ke::Cursor c(path, {});
        const ke::TableHeader& h = c.header();
        const ke::CodePage* cp = ke::CodePage::get(h.textCodePage());
        const size_t text = numbers.isEmpty() ? 0 : 1;
        for (int i = 0; i < records.size(); ++i) {
            std::vector<uint8_t> r(h.recordSize, 0);
            if (text)
                ke::codec::encodeInteger(r.data(), 4, numbers[i]);
            for (int f = 0; f < records[i].size(); ++f) {
                const std::string native = cp->fromUtf8(records[i][f].toStdString());
                std::memcpy(r.data() + h.fields[size_t(f) + text].offset, native.data(), native.size());
            }
            c.setToEnd();
            c.insert(r.data(), false);
        }
    }
    QFile f(tableFile);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(ke::hdr::FileType) || !f.putChar(char(ke::KeyedTable))
        || !f.seek(ke::hdr::KeyFields) || !f.putChar(1))
        qFatal("cannot make the table keyed");
    f.close();
    ke::OpenOptions alone;
    alone.exclusive = true;
    alone.indexRebuild = true;
    ke::Cursor(path, alone).rebuildIndex();
}

QStringList surnames(Window& w)
{
    QStringList out;
    w.table.First();
    while (!w.table.Eof()) {
        out << w.surname();
        w.table.Next();
    }
    return out;
}

} // namespace

class TestKeyedCardIndex : public QObject {
    Q_OBJECT

private slots:
    void numberKeyedCardIndex()
    {
        QList<Column> columns = clientColumns();
        columns.prepend({QStringLiteral("Номер"), KE_FIELD_LONG, 4});
        TestTable t(TestTable::Real, columns);
        fillKeyed(t.tableFile(), {rec("1", "Антонов"), rec("2", "Борисов"), rec("3", "Васильев")}, {10, 20, 30});
        Window w;
        w.table.Open();
        QVERIFY(w.table.CanModify());
        QCOMPARE(surnames(w), QStringList({"Антонов", "Борисов", "Васильев"}));

        // A new card has no number (the program shows no such column): blank sorts first.
        w.table.Last();
        w.table.Insert();
        w.fields[1]->SetAsString(QStringLiteral("Новиков"));
        w.table.Post();
        QCOMPARE(w.surname(), QStringLiteral("Новиков"));
        w.table.Prior();
        QVERIFY(w.table.Bof());
        w.table.Next();
        QCOMPARE(w.surname(), QStringLiteral("Антонов"));

        // A second card without a number: its key is stored already.
        w.table.Insert();
        w.fields[1]->SetAsString(QStringLiteral("Повторов"));
        const QString refused = errorOf([&] { w.table.Post(); });
        QVERIFY2(refused.startsWith(QStringLiteral("Key violation.\n")), qPrintable(refused));
        QVERIFY2(refused.contains(QStringLiteral("a record with the key Номер = blank is stored already")), qPrintable(refused));
        QCOMPARE(w.table.State(), dsInsert);
        QCOMPARE(w.surname(), QStringLiteral("Повторов"));
        QCOMPARE(errorOf([&] { w.table.Next(); }), refused); // a move posts again, and stays
        QCOMPARE(w.table.State(), dsInsert);
        w.table.Cancel();
        QCOMPARE(surnames(w), QStringList({"Новиков", "Антонов", "Борисов", "Васильев"}));
        w.table.First();
        w.table.Delete();
        QCOMPARE(surnames(w), QStringList({"Антонов", "Борисов", "Васильев"}));
    }

    void textKeyedCardIndex()
    {
        TestTable t(TestTable::Real);
        fillKeyed(t.tableFile(), {rec("1", "Антонов"), rec("2", "Борисов"), rec("3", "Васильев")}, {});
        Window w;
        w.table.Open();
        QVERIFY(w.table.CanModify());
        w.table.Next();
        w.table.Edit(); // not the key: stored in place
        w.fields[1]->SetAsString(QStringLiteral("Быстров"));
        w.table.Post();
        QCOMPARE(surnames(w), QStringList({"Антонов", "Быстров", "Васильев"}));

        const QString unknown = errorOf([&] { w.table.Insert(); });
        QVERIFY2(unknown.startsWith(QStringLiteral("The table's key order is unknown: records cannot be added, nor keys "
                                                   "changed.\n")),
                 qPrintable(unknown));
        QVERIFY(unknown.contains(QStringLiteral("the key field \"Клиент №\" is text ordered by the sort order \"ascii\"")));
        QVERIFY(unknown.contains(QStringLiteral("Records can still be changed, apart from their key, and deleted.")));
        QCOMPARE(w.table.State(), dsBrowse);

        // A new key typed into a card: refused, kept for the user to correct or cancel.
        w.table.First();
        w.table.Edit();
        w.fields[0]->SetAsString(QStringLiteral("9"));
        const QString rekey = errorOf([&] { w.table.Post(); });
        QVERIFY2(rekey.contains(QStringLiteral("records cannot be given a new key")), qPrintable(rekey));
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(w.fields[0]->AsString(), QStringLiteral("9"));
        w.table.Cancel();
        QCOMPARE(w.fields[0]->AsString(), QStringLiteral("1"));
        w.table.Delete();
        QCOMPARE(surnames(w), QStringList({"Быстров", "Васильев"}));
    }
};

KARTOTEKA_TEST_MAIN(TestKeyedCardIndex)
#include "test_KeyedCardIndex.moc"
