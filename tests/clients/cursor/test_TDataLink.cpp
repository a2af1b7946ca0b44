// Data links and the data source: how the cursor's notifications reach the
// bound controls, the active and editing flags, the "ask to edit", and the
// field link of a bound edit box.
#include "ClientFields.h"
#include "CursorTestSupport.h"
#include "EDatabaseError.h"
#include "TDataSource.h"
#include "TField.h"
#include "TFieldDataLink.h"
#include "TTable.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QTest>

using namespace CursorTest;

namespace {

QStringList rec(const QString& number, const QString& surname) {
    return {number, surname, "Олег", "Олегович", "25", "холост", "0"};
}

struct Cursor {
    TTable table;
    ClientFieldSet fields;
    TDataSource source;
    Cursor() {
        fields = setUpClientTable(&table);
        source.setDataSet(&table);
    }
};

// A field link with counters on its callbacks, as a bound edit box uses it.
struct CountingFieldLink : TFieldDataLink {
    QStringList calls;
    CountingFieldLink() {
        OnActiveChange = [this] { calls << "active"; };
        OnDataChange = [this] { calls << QStringLiteral("data ") + (Field() ? Field()->AsString() : QString("-")); };
        OnEditingChange = [this] { calls << (Editing() ? "editing" : "browsing"); };
        OnUpdateData = [this] { calls << "update"; };
    }
};

} // namespace

class TestDataLinks : public QObject {
    Q_OBJECT
    std::unique_ptr<TestTable> table_;

private slots:
    void init() {
        table_ = std::make_unique<TestTable>(TestTable::Fake);
        table_->append({rec("1", "Андреев"), rec("2", "Быков")});
    }
    void cleanup() { table_.reset(); }

    void linkFollowsItsDataSource() {
        Cursor c;
        RecordingLink link;
        QVERIFY(!link.Active());
        QCOMPARE(link.DataSet(), nullptr);
        link.setDataSource(&c.source);
        QCOMPARE(link.DataSet(), &c.table);
        QVERIFY(!link.Active());
        QCOMPARE(link.events.join(u'|'), QString());
        c.table.Open();
        QVERIFY(link.Active());
        link.events.clear();
        link.setDataSource(nullptr);
        QCOMPARE(link.events.join(u'|'), QStringList({"inactive"}).join(u'|'));
        link.setDataSource(&c.source); // attaching to an open cursor makes the link active at once
        QCOMPARE(link.events.join(u'|'), QStringList({"inactive", "active"}).join(u'|'));
        c.table.Next();
        QCOMPARE(link.events.last(), QStringLiteral("scrolled 1"));
    }

    void editingFlagFollowsStateAndReadOnly() {
        Cursor c;
        RecordingLink link;
        link.setDataSource(&c.source);
        c.table.Open();
        link.events.clear();
        QVERIFY(!link.Editing());
        QVERIFY(link.Edit()); // browse state, AutoEdit on: Edit runs
        QCOMPARE(c.table.State(), dsEdit);
        QVERIFY(link.Editing());
        link.setReadOnly(true);
        QVERIFY(!link.Editing());
        QCOMPARE(link.events.join(u'|'), QStringList({"check", "editing", "record", "browsing"}).join(u'|'));
        c.table.Cancel();
        QVERIFY(!link.Edit()); // a read-only link does not start an edit
        QCOMPARE(c.table.State(), dsBrowse);
        link.setReadOnly(false);
        c.source.setAutoEdit(false);
        QVERIFY(!link.Edit()); // nor does anyone without AutoEdit
        QCOMPARE(c.table.State(), dsBrowse);
        QCOMPARE(c.source.State(), dsBrowse);
    }

    void linksAreToldInAttachOrder() {
        Cursor c;
        RecordingLink a, b;
        QStringList order;
        a.setDataSource(&c.source);
        b.setDataSource(&c.source);
        c.table.Open();
        a.events.clear();
        b.events.clear();
        c.table.Edit();
        a.onUpdateData = [&] { order << "a"; };
        b.onUpdateData = [&] { order << "b"; };
        c.table.Post();
        QCOMPARE(order.join(u'|'), QStringList({"a", "b"}).join(u'|'));
        QCOMPARE(a.events, b.events);
    }

    void fieldLinkFindsItsFieldWhileOpen() {
        Cursor c;
        CountingFieldLink link;
        link.setFieldName(QStringLiteral("Фамилия"));
        link.setDataSource(&c.source);
        QCOMPARE(link.Field(), nullptr);
        QCOMPARE(link.calls.join(u'|'), QString());
        c.table.Open();
        QCOMPARE(link.Field(), c.fields[1]);
        // Opening: the field is bound (reload), the link turns active, the records are read.
        QCOMPARE(link.calls.join(u'|'), QStringList({"data Андреев", "active", "data Андреев"}).join(u'|'));
        link.calls.clear();
        c.table.Next();
        QCOMPARE(link.calls.join(u'|'), QStringList({"data Быков"}).join(u'|'));
        link.calls.clear();
        c.table.Close();
        QCOMPARE(link.Field(), nullptr);
        QCOMPARE(link.calls.join(u'|'), QStringList({"data -", "active"}).join(u'|'));
    }

    void fieldLinkEditingAndUpdates() {
        Cursor c;
        CountingFieldLink link;
        link.setFieldName(QStringLiteral("Имя"));
        link.setDataSource(&c.source);
        c.table.Open();
        link.calls.clear();
        QVERIFY(link.CanModify());
        QVERIFY(link.Edit());
        QCOMPARE(link.calls.join(u'|'), QStringList({"editing", "data Олег"}).join(u'|'));
        link.calls.clear();
        c.fields[1]->SetAsString(QStringLiteral("Другой")); // another field: this link does not reload
        QCOMPARE(link.calls.join(u'|'), QString());
        c.fields[2]->SetAsString(QStringLiteral("Пётр"));
        QCOMPARE(link.calls.join(u'|'), QStringList({"data Пётр"}).join(u'|'));
        link.calls.clear();
        // Only a modified link writes its text.
        c.table.UpdateRecord();
        QCOMPARE(link.calls.join(u'|'), QString());
        link.SetModified();
        QVERIFY(link.Modified());
        c.table.UpdateRecord();
        QCOMPARE(link.calls.join(u'|'), QStringList({"update"}).join(u'|'));
        QVERIFY(!link.Modified());
        link.SetModified();
        link.Reset(); // reload and forget the mark
        QVERIFY(!link.Modified());
        QCOMPARE(link.calls.last(), QStringLiteral("data Пётр"));
        link.calls.clear();
        c.table.Post();
        QCOMPARE(link.calls.join(u'|'), QStringList({"browsing", "data Пётр"}).join(u'|'));
    }

    void fieldLinkOnAReadOnlyField() {
        Cursor c;
        c.fields[2]->setReadOnly(true);
        CountingFieldLink link;
        link.setFieldName(QStringLiteral("Имя"));
        link.setDataSource(&c.source);
        c.table.Open();
        QVERIFY(!link.CanModify());
        QVERIFY(!link.Edit());
        QCOMPARE(c.table.State(), dsBrowse);
        c.table.Edit(); // another box starts the edit: this one stays read-only
        QVERIFY(!link.Editing());
        QVERIFY(!link.calls.contains(QStringLiteral("editing")));
        QCOMPARE(link.calls.count(QStringLiteral("data Олег")) >= 1, true);
        QVERIFY(errorOf([&] { c.fields[2]->SetAsString("x"); }).contains(QStringLiteral("cannot be modified")));
    }

    void fieldLinkOnAnEmptyTableStartsAnInsert() {
        table_ = std::make_unique<TestTable>(TestTable::Fake);
        Cursor c;
        CountingFieldLink link;
        link.setFieldName(QStringLiteral("Фамилия"));
        link.setDataSource(&c.source);
        c.table.Open();
        QVERIFY(link.Edit());
        QCOMPARE(c.table.State(), dsInsert);
    }

    void destroyedDataSourceOrTableIsLetGo() {
        auto c = std::make_unique<Cursor>();
        RecordingLink link;
        {
            auto source = std::make_unique<TDataSource>();
            source->setDataSet(&c->table);
            link.setDataSource(source.get());
            c->table.Open();
            QVERIFY(link.Active());
            link.events.clear();
        }
        QCOMPARE(link.DataSource(), nullptr);
        QCOMPARE(link.events.join(u'|'), QStringList({"inactive"}).join(u'|'));
        c->table.Next(); // the table no longer tells the destroyed source
        // The table goes first: the source and its link are told.
        auto table = std::make_unique<TTable>();
        setUpClientTable(table.get());
        TDataSource source;
        source.setDataSet(table.get());
        RecordingLink second;
        second.setDataSource(&source);
        table->Open();
        QVERIFY(second.Active());
        second.events.clear();
        table.reset();
        QCOMPARE(source.DataSet(), nullptr);
        QVERIFY(!second.Active());
        QCOMPARE(second.events.join(u'|'), QStringList({"inactive"}).join(u'|'));
    }

    void focusControlReachesTheFieldsControl() {
        Cursor c;
        QWidget window;
        auto* edit = new QLineEdit(&window);
        auto* other = new QLineEdit(&window);
        TFieldDataLink link;
        link.setFieldName(QStringLiteral("Возраст"));
        link.setControl(edit);
        link.setDataSource(&c.source);
        c.table.Open();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        c.fields[4]->FocusControl();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        other->setFocus();
        c.fields[1]->FocusControl(); // another field: nothing
        QTest::qWait(20);
        QCOMPARE(QApplication::focusWidget(), other);
    }

private:
    template <class F> static QString errorOf(F&& f) {
        try {
            f();
        } catch (const Exception& e) {
            return e.message();
        }
        return QStringLiteral("(no error)");
    }
};

KARTOTEKA_TEST_MAIN(TestDataLinks)
#include "test_TDataLink.moc"
