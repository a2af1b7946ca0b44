// The client entry window, the never-shown client-details window, and both
// client windows on a table that cannot be opened.
#include "ClientWindowTestSupport.h"
#include "Guarded.h"
#include "TForm2.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TScrollBox.h"
#include "TTable.h"
#include "TestSupport.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace ClientWindowTest;
using CursorTest::TestTable;

class TestTForm4 : public QObject {
    Q_OBJECT
private slots:
    void layoutAsStored();
    void cancelRestoresAChangedRecord();
    void insertTypeInsertThenCancelDiscardsOnlyTheSecond();
    void closingKeepsTheNewRecordPendingUntilTheEnd();
    void twoWindowsHaveIndependentCursors();
    void closedTableLeavesBothWindowsEmptyAndDisabled();
    void clientDetailsWindowIsNeverOpened();
};

void TestTForm4::layoutAsStored() {
    TForm4 f;
    QCOMPARE(f.windowTitle(), QStringLiteral("Form4"));
    QCOMPARE(f.size(), QSize(592, 273));
    QCOMPARE(f.Panel1->geometry(), QRect(0, 0, 592, 35));
    QCOMPARE(f.DBNavigator->geometry(), QRect(16, 0, 222, 25));
    QCOMPARE(f.DBNavigator->VisibleButtons(), (TButtonSet{nbInsert, nbCancel}));
    QCOMPARE(f.DBNavigator->ButtonWidth(), 111);
    QCOMPARE(f.DBNavigator->Hints(), QStringList());
    QCOMPARE(f.Label8->text(), QStringLiteral("ДОБАВИТЬ"));
    QCOMPARE(f.Label9->text(), QStringLiteral("УДАЛИТЬ"));
    // The words start one pixel above the bar's bottom edge, under the bar,
    // and run past the strip's bottom.
    QCOMPARE(f.Label8->y(), 24);
    QVERIFY(f.Label8->geometry().bottom() >= f.Panel1->height());
    const QList<QObject*> order = f.Panel1->children();
    QVERIFY(order.indexOf(f.Label8) < order.indexOf(f.DBNavigator)); // painted below the bar
    QVERIFY(f.Label9->x() >= 16 + 111 && f.Label9->x() < 16 + 222); // under Cancel
    QCOMPARE(f.EditDBEdit5->geometry(), QRect(6, 129, 140, 21));
    QCOMPARE(f.EditDBEdit7->geometry(), QRect(414, 127, 51, 21));
    QCOMPARE(f.ScrollBox->scrollRange(), QSize(298, 160));
    QCOMPARE(f.activeControl(), f.Panel1);
}

void TestTForm4::cancelRestoresAChangedRecord() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm4 f;
    f.FormCreate();
    QCOMPARE(boxTexts(f), threeClients()[0]);
    QVERIFY(f.DBNavigator->Button(nbInsert)->isEnabled());
    QVERIFY(!f.DBNavigator->Button(nbCancel)->isEnabled());
    f.setVisibleFlag(true);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    f.EditDBEdit2->setFocus();
    QTest::keyClick(f.EditDBEdit2, Qt::Key_End);
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("ский"));
    f.EditDBEdit3->setFocus(); // the text reaches the field
    QVERIFY(f.Table1->Modified());
    QVERIFY(f.DBNavigator->Button(nbCancel)->isEnabled());
    click(f.DBNavigator, nbCancel);
    QCOMPARE(f.Table1->State(), dsBrowse);
    QCOMPARE(boxTexts(f), threeClients()[0]);
    QVERIFY(!f.DBNavigator->Button(nbCancel)->isEnabled());
    QCOMPARE(normalized(table.stored()), threeClients());
}

void TestTForm4::insertTypeInsertThenCancelDiscardsOnlyTheSecond() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm4 f;
    f.FormCreate();
    click(f.DBNavigator, nbInsert);
    TestSupport::typeText(f.EditDBEdit, QStringLiteral("7"));
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Первая"));
    click(f.DBNavigator, nbInsert);
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Вторая"));
    click(f.DBNavigator, nbCancel);
    QCOMPARE(f.Table1->State(), dsBrowse);
    QList<QStringList> expected = threeClients();
    expected.prepend({"7", "Первая", "", "", "", "", ""});
    QCOMPARE(normalized(table.stored()), expected);
    // After Cancel the record that was current before the second Insert shows.
    QCOMPARE(boxTexts(f), expected[0]);
}

void TestTForm4::closingKeepsTheNewRecordPendingUntilTheEnd() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    {
        TForm4 f;
        f.FormCreate();
        f.setVisibleFlag(true);
        click(f.DBNavigator, nbInsert);
        TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Ожидающий"));
        f.close();
        QVERIFY(!f.isVisible());
        QCOMPARE(f.Table1->State(), dsInsert);
        QCOMPARE(normalized(table.stored()), threeClients());
        f.setVisibleFlag(true);
        QCOMPARE(f.EditDBEdit2->text(), QStringLiteral("Ожидающий"));
    } // the program ends: the window and its cursor go
    QCOMPARE(normalized(table.stored()), threeClients());
}

void TestTForm4::twoWindowsHaveIndependentCursors() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 base;
    base.FormCreate();
    TForm4 entry;
    entry.FormCreate();
    click(base.DBNavigator, nbLast);
    QCOMPARE(boxTexts(base), threeClients()[2]);
    QCOMPARE(boxTexts(entry), threeClients()[0]);
    // A record stored through the entry window is seen by the base window
    // only once its cursor reads that part of the table again.
    click(entry.DBNavigator, nbInsert);
    TestSupport::typeText(entry.EditDBEdit2, QStringLiteral("Новый"));
    click(entry.DBNavigator, nbInsert);
    click(entry.DBNavigator, nbCancel);
    QCOMPARE(table.stored().size(), 4);
    QCOMPARE(boxTexts(base), threeClients()[2]);
    click(base.DBNavigator, nbFirst);
    QCOMPARE(base.EditDBEdit2->text(), QStringLiteral("Новый"));
}

void TestTForm4::closedTableLeavesBothWindowsEmptyAndDisabled() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    QVERIFY(QFile::remove(table.tableFile()));
    TestSupport::ErrorReports reports;
    TForm3 base;
    guarded([&] { base.FormCreate(); });
    TForm4 entry;
    guarded([&] { entry.FormCreate(); });
    QCOMPARE(reports.messages.size(), 2);
    QVERIFY(!base.Table1->Active());
    QVERIFY(!entry.Table1->Active());
    for (TDBEdit* box : boxes(base) + boxes(entry)) {
        QVERIFY(box->text().isEmpty());
        QVERIFY(box->isReadOnly());
    }
    for (int k = 0; k < NavigateBtnCount; ++k) {
        QVERIFY(!base.DBNavigator->Button(TNavigateBtn(k))->isEnabled());
        QVERIFY(!entry.DBNavigator->Button(TNavigateBtn(k))->isEnabled());
    }
    // Typing changes nothing and asks nothing of the closed cursor.
    TestSupport::typeText(base.EditDBEdit2, QStringLiteral("абв"));
    TestSupport::typeText(entry.EditDBEdit2, QStringLiteral("абв"));
    QVERIFY(base.EditDBEdit2->text().isEmpty());
    QVERIFY(entry.EditDBEdit2->text().isEmpty());
    QCOMPARE(reports.messages.size(), 2);
}

void TestTForm4::clientDetailsWindowIsNeverOpened() {
    TForm2 f;
    QCOMPARE(f.windowTitle(), QStringLiteral("Form2"));
    QCOMPARE(f.GroupBox1->geometry(), QRect(8, 8, 337, 185));
    QCOMPARE(f.GroupBox1->title(), QStringLiteral("Общие сведения о клиенте"));
    QCOMPARE(f.Edit1->text(), QStringLiteral("Edit1"));
    QCOMPARE(f.Edit2->geometry(), QRect(8, 64, 129, 21));
    f.FormCreate();
    QVERIFY(!f.Table1->Active());
    QVERIFY(!f.isVisible());
}

KARTOTEKA_TEST_MAIN(TestTForm4)
#include "test_TForm4.moc"
