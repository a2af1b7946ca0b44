// Two windows on one card index: Delete and an edit act only on the card the
// window shows. When another user changed that card or put another in its
// place, nothing is deleted and no edit starts: the window shows the card now
// stored there, and the key that asked for the edit is dropped. Runs against
// the test engine (whose cursors keep a place, not a record, so only the
// table layer stands in the way) and against the real engine.
#include "CursorTestSupport.h"
#include "TDBEdit.h"
#include "TableTestKit.h"
#include "TestSupport.h"

#include <QTest>

using namespace CursorTest;
using namespace TableTest;

namespace {

QString surnames(TestTable& t) {
    QStringList names;
    for (const QStringList& r : t.stored())
        names << r[1];
    return names.join(u',');
}

void post(Window& w, const QStringList& values) {
    for (int i = 0; i < values.size(); ++i)
        w.fields[i]->SetAsString(values[i]);
    w.table.Post();
}

} // namespace

class TestTTableSharedCards : public QObject {
    Q_OBJECT
    TestTable::Engine engine_ = TestTable::engineFromEnvironment();

private slots:
    void initTestCase() { qInfo("engine: %s", engine_ == TestTable::Real ? "real" : "test"); }

    void changesActOnlyOnTheCardShown() {
        TestTable t(engine_);
        t.append({rec("1", "Антонов"), rec("2", "Борисов"), rec("3", "Васильев"), rec("4", "Григорьев")});
        Window a, b;
        a.table.Open();
        b.table.Open();
        for (Window* w : {&a, &b}) {
            w->table.Next();
            w->table.Next();
        }
        // Through b, Васильев goes and a new card takes his place between the same neighbours.
        b.table.Delete();
        b.table.Insert();
        const QStringList fresh = rec("5", "Новиков", "Пётр");
        post(b, fresh);
        QCOMPARE(surnames(t), QStringLiteral("Антонов,Борисов,Новиков,Григорьев"));

        QCOMPARE(a.surname(), QStringLiteral("Васильев"));
        a.take();
        a.table.Delete();
        QCOMPARE(surnames(t), QStringLiteral("Антонов,Борисов,Новиков,Григорьев"));
        QCOMPARE(a.current(), fresh);
        QCOMPARE(a.table.State(), dsBrowse);
        QCOMPARE(a.take().join(u'|'), QStringLiteral("check|changed"));
        a.table.Delete(); // the card now shown
        QCOMPARE(surnames(t), QStringLiteral("Антонов,Борисов,Григорьев"));
        QCOMPARE(a.surname(), QStringLiteral("Григорьев"));

        // Through b, the card a shows is changed; a key typed into a's box
        // brings the stored values and starts no edit.
        TDBEdit box;
        box.setDataSource(&a.source);
        box.setDataField(QStringLiteral("Фамилия"));
        box.show();
        b.table.Refresh();
        QCOMPARE(b.surname(), QStringLiteral("Григорьев"));
        b.table.Edit();
        post(b, rec("4", "Гаврилов"));
        TestSupport::typeText(&box, QStringLiteral("ъ"));
        QCOMPARE(box.text(), QStringLiteral("Гаврилов"));
        QCOMPARE(a.current(), rec("4", "Гаврилов"));
        QCOMPARE(a.table.State(), dsBrowse);
        QVERIFY(box.isReadOnly());
        // The next key edits the card the user now sees, and b's change stays.
        TestSupport::typeText(&box, QStringLiteral("а"));
        QCOMPARE(a.table.State(), dsEdit);
        a.table.Post();
        QCOMPARE(surnames(t), QStringLiteral("Антонов,Борисов,Гаврилова"));
    }
};

KARTOTEKA_TEST_MAIN(TestTTableSharedCards)
#include "test_TTableSharedCards.moc"
