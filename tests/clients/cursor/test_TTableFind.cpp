// Finding a record by a text in some of its fields, on the real engine:
// every start record against every text, compared with a plain model that
// folds Unicode strings (the cursor folds the table's code-page bytes).
#include "TableTestKit.h"
#include "TestSupport.h"

#include <QTest>

using namespace TableTest;

namespace {

using Find = TTable::TFindResult;

// Number, surname, first name, patronymic; the rest of the record is filler.
QStringList card(const QString& number, const QString& surname, const QString& name, const QString& patronymic,
                 const QString& age = QStringLiteral("Ёлка")) {
    return {number, surname, name, patronymic, age, QStringLiteral("женат"), QStringLiteral("1")};
}

const QList<QStringList> kCards = {
    card("1", "Ёжиков", "Пётр", "Семёнович"),
    card("2", "Смирнова", "Анна", "Ивановна"),
    card("12", "ежова", "Алёна", QString()),
    card("3", "Smith", "JOHN", "ЕЛЬЦОВ"),
    card("45", "Петров", "Ёлкин", "Петрович"),
    card("6", "Смирнова", "Анна", "Ивановна"), // the same card again
    card("7", "Кузнецов", "Иван", "Сергеевич", "ПЁТР"), // "пётр" only in a field not searched
};

// Lower case, ё as е: what the search ignores.
QString folded(const QString& text) {
    QString out = text.toLower();
    out.replace(QChar(0x0451), QChar(0x0435));
    return out;
}

bool modelMatches(const QStringList& record, const QString& text) {
    for (int field = 0; field < 4; ++field)
        if (folded(record[field]).contains(folded(text)))
            return true;
    return false;
}

} // namespace

class TestTTableFind : public QObject {
    Q_OBJECT
private slots:
    void everyStartEveryText();
    void pendingChangesEmptyTablesAndUnstorableTexts();
};

void TestTTableFind::everyStartEveryText() {
    TestTable t(TestTable::Real);
    t.append(kCards);
    Window w;
    w.table.Open();
    const QList<TField*> searched{w.fields[0], w.fields[1], w.fields[2], w.fields[3]};
    const QStringList texts{"ЕЖ", "ёж", "анна", "смирн", "1", "2", "john", "ель", "пётр", "петр", "ИВАНОВНА",
                            "zz", "Ё", "45", "ва"};
    const int n = int(kCards.size());
    for (const QString& text : texts) {
        for (int start = 0; start < n; ++start) {
            const QString where = QStringLiteral("text \"%1\" from record %2").arg(text).arg(start);
            w.table.First();
            for (int i = 0; i < start; ++i)
                w.table.Next();
            QCOMPARE(w.current(), kCards[start]);
            w.take();

            int expected = -1;
            for (int step = 1; step < n && expected < 0; ++step)
                if (modelMatches(kCards[(start + step) % n], text))
                    expected = (start + step) % n;
            const Find result = w.table.FindNext(searched, text);
            if (expected >= 0) {
                QVERIFY2(result == Find::Found, qPrintable(where));
                QCOMPARE(w.current(), kCards[expected]);
                QCOMPARE(w.take(), (QStringList{QStringLiteral("check"), QStringLiteral("changed")}));
            } else {
                QVERIFY2(result == (modelMatches(kCards[start], text) ? Find::OnlyCurrent : Find::NotFound),
                         qPrintable(where));
                QCOMPARE(w.current(), kCards[start]);
                // Nothing moved, nothing announced beyond the settling every move starts with.
                QCOMPARE(w.take(), QStringList{QStringLiteral("check")});
                expected = start;
            }
            // The engine's cursor stands where the view does: the neighbours are the model's.
            QCOMPARE(w.table.State(), dsBrowse);
            w.table.Next();
            QCOMPARE(w.current(), kCards[std::min(expected + 1, n - 1)]);
            if (expected + 1 < n) {
                w.table.Prior();
                QCOMPARE(w.current(), kCards[expected]);
            }
        }
    }
}

void TestTTableFind::pendingChangesEmptyTablesAndUnstorableTexts() {
    TestTable t(TestTable::Real);
    Window w;
    w.table.Open();
    const QList<TField*> searched{w.fields[1]};
    QVERIFY(w.table.FindNext(searched, QStringLiteral("а")) == Find::NotFound);
    t.append(kCards);
    w.table.First();
    // An edit that makes the current card the only match is stored, then found as the current one.
    w.table.Edit();
    w.fields[1]->SetAsString(QStringLiteral("Яковлев"));
    QVERIFY(w.table.FindNext(searched, QStringLiteral("яковлев")) == Find::OnlyCurrent);
    QCOMPARE(t.stored()[0][1], QStringLiteral("Яковлев"));
    // A new card being typed is stored, and the search goes on after it; an
    // untouched new card is dropped, as a move drops it.
    w.table.Last();
    w.table.Insert();
    w.fields[1]->SetAsString(QStringLiteral("Новиков"));
    QVERIFY(w.table.FindNext(searched, QStringLiteral("смирнова")) == Find::Found);
    QCOMPARE(w.current(), kCards[1]);
    w.table.Insert();
    QVERIFY(w.table.FindNext(searched, QStringLiteral("новиков")) == Find::Found);
    QCOMPARE(t.stored().size(), kCards.size() + 1);
    w.take();
    // A character the table's code page cannot hold is in no card.
    QVERIFY(w.table.FindNext(searched, QStringLiteral("Нов中")) == Find::NotFound);
    QCOMPARE(w.surname(), QStringLiteral("Новиков"));
    QCOMPARE(w.take(), QStringList{QStringLiteral("check")});
    // A closed table refuses, as a move does.
    w.table.Close();
    QVERIFY(errorOf([&] { w.table.FindNext(searched, QStringLiteral("а")); }) != QStringLiteral("(no error)"));
}

KARTOTEKA_TEST_MAIN(TestTTableFind)
#include "test_TTableFind.moc"
