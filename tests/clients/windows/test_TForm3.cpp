// The client base window on the real engine, on tables in temporary directories.
#include "ClientWindowTestSupport.h"
#include "TDataSource.h"
#include "TForm3.h"
#include "TScrollBox.h"
#include "TTable.h"
#include "TestSupport.h"

#include "TMessageForm.h"

#include <QLabel>
#include <QScrollBar>

using namespace ClientWindowTest;
using CursorTest::TestTable;

namespace {
const TButtonSet kBaseButtons{nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete};
}

class TestTForm3 : public QObject {
    Q_OBJECT
private slots:
    void layoutAsStored();
    void firstRecordShownAtOpen();
    void emptyTableOnlyInsertAndTypingStartsARecord();
    void singleRecordKeepsNextEnabledAfterFirst();
    void boxesTakeTheFieldLengths();
    void typeThenNextStores();
    void typeThenEscStoresNothing();
    void insertTypeInsertStoresFirstStartsSecond();
    void insertThenDeleteDiscardsOnlyTheNewRecord();
    void deleteAnsweredCancelKeepsTheRecord();
    void hidingDuringAnEditKeepsIt();
    void pendingEditDroppedWhenTheWindowGoes();
    void narrowWindowScrollsOnlyWithinTheFixedRange();
};

void TestTForm3::layoutAsStored() {
    TForm3 f;
    QCOMPARE(f.windowTitle(), QStringLiteral("База клиентов"));
    QCOMPARE(f.size(), QSize(592, 304));
    QCOMPARE(f.Panel1->geometry(), QRect(0, 0, 592, 65));
    QCOMPARE(f.DBNavigator->geometry(), QRect(8, 4, 516, 25));
    QCOMPARE(f.DBNavigator->VisibleButtons(), kBaseButtons);
    QCOMPARE(f.DBNavigator->ButtonWidth(), 86);
    QVERIFY(f.DBNavigator->Flat());
    QCOMPARE(f.DBNavigator->Button(nbInsert)->Hint(), QStringLiteral("Delete record"));
    QCOMPARE(f.DBNavigator->Button(nbNext)->Hint(), QStringLiteral("Next"));
    QCOMPARE(f.DBNavigator->Button(nbDelete)->Hint(), QStringLiteral("Delete record"));
    // Each word stands under its button.
    const QList<QLabel*> words{f.Label9, f.Label10, f.Label11, f.Label12, f.Label8, f.Label13};
    const QStringList texts{"Первый", "Предыдущий", "Следующий", "Последний", "Добавить", "Удалить"};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(words[i]->text(), texts[i]);
        const int buttonLeft = 8 + 86 * i;
        QVERIFY2(words[i]->x() >= buttonLeft && words[i]->x() < buttonLeft + 86, qPrintable(texts[i]));
        QCOMPARE(words[i]->y(), 32);
    }
    QCOMPARE(f.ScrollBox->geometry(), QRect(4, 69, 584, 231).translated(0, -65)); // inside Panel2
    QCOMPARE(f.Panel2->geometry(), QRect(0, 65, 592, 239));
    QCOMPARE(f.ScrollBox->scrollRange(), QSize(298, 160));
    QCOMPARE(f.EditDBEdit->geometry(), QRect(61, 15, 40, 28));
    QCOMPARE(f.EditDBEdit4->geometry(), QRect(409, 61, 140, 21));
    QCOMPARE(f.EditDBEdit7->geometry(), QRect(409, 105, 51, 21));
    QCOMPARE(f.EditDBEdit->parentWidget(), f.ScrollBox->contents());
    QVERIFY(f.EditDBEdit->font().bold());
    QCOMPARE(f.EditDBEdit->font().pointSize(), 12);
    QVERIFY(!f.EditDBEdit2->font().bold());
    QCOMPARE(f.EditDBEdit6->DataField(), QStringLiteral("Семейное положение"));
    QCOMPARE(f.activeControl(), f.Panel1);
    // No scroll bar at the stored size.
    f.setVisibleFlag(true);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    // Activated, the window gives the focus to the panel, which takes no input.
    QCOMPARE(QApplication::focusWidget(), f.Panel1);
    QVERIFY(!(f.Panel1->focusPolicy() & Qt::TabFocus));
    QVERIFY(!f.ScrollBox->horizontalScrollBar()->isVisible());
    QVERIFY(!f.ScrollBox->verticalScrollBar()->isVisible());
    // Tab visits the boxes in order; the bar is never a tab stop.
    f.EditDBEdit->setFocus();
    const QList<TDBEdit*> order = boxes(f);
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), order[i]);
    }
}

void TestTForm3::firstRecordShownAtOpen() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    QCOMPARE(boxTexts(f), threeClients()[0]);
    QCOMPARE(enabledButtons(f.DBNavigator, kBaseButtons), (TButtonSet{nbNext, nbLast, nbInsert, nbDelete}));
    for (TDBEdit* box : boxes(f))
        QVERIFY(box->isReadOnly());
    click(f.DBNavigator, nbLast);
    QCOMPARE(boxTexts(f), threeClients()[2]);
    QCOMPARE(enabledButtons(f.DBNavigator, kBaseButtons), (TButtonSet{nbFirst, nbPrior, nbInsert, nbDelete}));
}

void TestTForm3::emptyTableOnlyInsertAndTypingStartsARecord() {
    TestTable table(TestTable::Real);
    TForm3 f;
    f.FormCreate();
    QCOMPARE(boxTexts(f), QStringList(7, QString()));
    QCOMPARE(enabledButtons(f.DBNavigator, kBaseButtons), TButtonSet{nbInsert});
    TestSupport::typeText(f.EditDBEdit3, QStringLiteral("Ольга"));
    QCOMPARE(f.Table1->State(), dsInsert);
    QCOMPARE(f.EditDBEdit3->text(), QStringLiteral("Ольга"));
    QCOMPARE(enabledButtons(f.DBNavigator, kBaseButtons), TButtonSet{nbInsert});
    // Insert posts the typed record and starts another.
    click(f.DBNavigator, nbInsert);
    QCOMPARE(normalized(table.stored()), (QList<QStringList>{{"", "", "Ольга", "", "", "", ""}}));
}

void TestTForm3::singleRecordKeepsNextEnabledAfterFirst() {
    TestTable table(TestTable::Real);
    TForm3 f;
    f.FormCreate();
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Один"));
    // On the empty table the moves stay disabled while the record is typed:
    // a press of Next does nothing.
    click(f.DBNavigator, nbNext);
    QCOMPARE(f.Table1->State(), dsInsert);
    QCOMPARE(table.stored().size(), 0);
    // Insert stores it and starts a blank one, which First drops.
    click(f.DBNavigator, nbInsert);
    QCOMPARE(normalized(table.stored()), (QList<QStringList>{{"", "Один", "", "", "", "", ""}}));
    click(f.DBNavigator, nbFirst);
    QCOMPARE(f.Table1->State(), dsBrowse);
    QCOMPARE(f.EditDBEdit2->text(), QStringLiteral("Один"));
    QCOMPARE(table.stored().size(), 1);
    // Only BOF is set on a single record, so Next and Last are enabled.
    QCOMPARE(enabledButtons(f.DBNavigator, kBaseButtons), (TButtonSet{nbNext, nbLast, nbInsert, nbDelete}));
    click(f.DBNavigator, nbNext);
    QCOMPARE(enabledButtons(f.DBNavigator, kBaseButtons), (TButtonSet{nbFirst, nbPrior, nbInsert, nbDelete}));
    QCOMPARE(f.EditDBEdit2->text(), QStringLiteral("Один"));
}

void TestTForm3::boxesTakeTheFieldLengths() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    const QList<int> limits{5, 40, 25, 25, 25, 25, 25};
    const QList<TDBEdit*> all = boxes(f);
    for (int i = 0; i < all.size(); ++i)
        QCOMPARE(all[i]->MaxLength(), limits[i]);
    f.EditDBEdit->setFocus();
    QTest::keyClick(f.EditDBEdit, Qt::Key_End);
    TestSupport::typeText(f.EditDBEdit, QStringLiteral("123456789"));
    QCOMPARE(f.EditDBEdit->text(), QStringLiteral("11234"));
    f.EditDBEdit2->setFocus();
    QTest::keyClick(f.EditDBEdit2, Qt::Key_End);
    TestSupport::typeText(f.EditDBEdit2, QString(50, QChar(u'я')));
    QCOMPARE(f.EditDBEdit2->text(), QStringLiteral("Петров") + QString(34, QChar(u'я')));
    click(f.DBNavigator, nbNext);
    QCOMPARE(table.stored()[0][0], QStringLiteral("11234"));
    QCOMPARE(table.stored()[0][1].size(), 40);
}

void TestTForm3::typeThenNextStores() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    f.EditDBEdit2->setFocus();
    QTest::keyClick(f.EditDBEdit2, Qt::Key_End);
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("а"));
    QCOMPARE(f.Table1->State(), dsEdit);
    QCOMPARE(table.stored()[0][1], QStringLiteral("Петров")); // not yet stored
    // The focus never left the box: the bar's button collects its text.
    click(f.DBNavigator, nbNext);
    QCOMPARE(f.Table1->State(), dsBrowse);
    QCOMPARE(table.stored()[0][1], QStringLiteral("Петрова"));
    QCOMPARE(boxTexts(f), threeClients()[1]);
}

void TestTForm3::typeThenEscStoresNothing() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    f.EditDBEdit3->setFocus();
    TestSupport::typeText(f.EditDBEdit3, QStringLiteral("ZZ"));
    QVERIFY(f.EditDBEdit3->text().contains(QStringLiteral("ZZ")));
    QTest::keyClick(f.EditDBEdit3, Qt::Key_Escape);
    QCOMPARE(f.EditDBEdit3->text(), QStringLiteral("Пётр"));
    QVERIFY(!f.Table1->Modified());
    click(f.DBNavigator, nbNext);
    QCOMPARE(normalized(table.stored()), threeClients());
    QCOMPARE(boxTexts(f), threeClients()[1]);
}

void TestTForm3::insertTypeInsertStoresFirstStartsSecond() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    click(f.DBNavigator, nbNext);
    click(f.DBNavigator, nbInsert);
    QCOMPARE(f.Table1->State(), dsInsert);
    QCOMPARE(boxTexts(f), QStringList(7, QString()));
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Новикова"));
    click(f.DBNavigator, nbInsert);
    QCOMPARE(f.Table1->State(), dsInsert);
    QCOMPARE(boxTexts(f), QStringList(7, QString()));
    QList<QStringList> expected = threeClients();
    expected.insert(1, {"", "Новикова", "", "", "", "", ""});
    QCOMPARE(normalized(table.stored()), expected);
    // The second blank record, never typed into, leaves nothing behind.
    click(f.DBNavigator, nbFirst);
    QCOMPARE(normalized(table.stored()), expected);
}

void TestTForm3::insertThenDeleteDiscardsOnlyTheNewRecord() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    click(f.DBNavigator, nbNext);
    click(f.DBNavigator, nbInsert);
    TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Лишний"));
    QString question;
    auto answer = TestSupport::answerNextModal([&question](QWidget* modal) {
        const auto* dialog = qobject_cast<TMessageForm*>(modal);
        if (dialog)
            question = dialog->Message()->text();
        QTest::keyClick(modal, Qt::Key_Return); // OK is the default button
    });
    click(f.DBNavigator, nbDelete);
    QVERIFY(answer->answered);
    QCOMPARE(question, QStringLiteral("Delete record?"));
    QCOMPARE(f.Table1->State(), dsBrowse);
    QCOMPARE(normalized(table.stored()), threeClients());
    QCOMPARE(boxTexts(f), threeClients()[1]);
}

void TestTForm3::deleteAnsweredCancelKeepsTheRecord() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    auto answer = TestSupport::answerNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    click(f.DBNavigator, nbDelete);
    QVERIFY(answer->answered);
    QCOMPARE(normalized(table.stored()), threeClients());
    // And OK deletes it; the next one becomes current.
    answer = TestSupport::answerNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
    click(f.DBNavigator, nbDelete);
    QVERIFY(answer->answered);
    QCOMPARE(normalized(table.stored()), threeClients().mid(1));
    QCOMPARE(boxTexts(f), threeClients()[1]);
}

void TestTForm3::hidingDuringAnEditKeepsIt() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    f.setVisibleFlag(true);
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.EditDBEdit5->setFocus();
    QTest::keyClick(f.EditDBEdit5, Qt::Key_End);
    TestSupport::typeText(f.EditDBEdit5, QStringLiteral("1"));
    f.close();
    QVERIFY(!f.isVisible());
    f.setVisibleFlag(true);
    QVERIFY(f.isVisible());
    QCOMPARE(f.Table1->State(), dsEdit);
    QCOMPARE(f.EditDBEdit5->text(), QStringLiteral("401"));
    QCOMPARE(normalized(table.stored()), threeClients());
}

void TestTForm3::pendingEditDroppedWhenTheWindowGoes() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    {
        TForm3 f;
        f.FormCreate();
        click(f.DBNavigator, nbInsert);
        TestSupport::typeText(f.EditDBEdit2, QStringLiteral("Пропавший"));
        f.close();
    }
    QCOMPARE(normalized(table.stored()), threeClients());
}

void TestTForm3::narrowWindowScrollsOnlyWithinTheFixedRange() {
    TestTable table(TestTable::Real);
    table.append(threeClients());
    TForm3 f;
    f.FormCreate();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.resize(250, 304);
    QApplication::processEvents();
    QScrollBar* bar = f.ScrollBox->horizontalScrollBar();
    QVERIFY(bar->isVisible());
    QVERIFY(!f.ScrollBox->verticalScrollBar()->isVisible());
    const int visibleWidth = f.ScrollBox->viewport()->width();
    QVERIFY(visibleWidth < 298);
    QCOMPARE(bar->maximum(), 298 - visibleWidth);
    bar->setValue(bar->maximum());
    auto shownPart = [&](QWidget* w) {
        return QRect(w->mapTo(f.ScrollBox->viewport(), QPoint(0, 0)), w->size())
            .intersected(f.ScrollBox->viewport()->rect());
    };
    // Scrolled to the end, the view reaches x = 298 of the box and no further.
    QCOMPARE(f.ScrollBox->contents()->mapTo(f.ScrollBox->viewport(), QPoint(298, 0)).x(), visibleWidth);
    QVERIFY(shownPart(f.EditDBEdit4).isEmpty());
    QVERIFY(shownPart(f.EditDBEdit7).isEmpty());
    QVERIFY(!shownPart(f.EditDBEdit3).isEmpty());
    // Focusing a box beyond the range does not scroll it into view either.
    f.EditDBEdit4->setFocus();
    QApplication::processEvents();
    QVERIFY(shownPart(f.EditDBEdit4).isEmpty());
    // Back at the stored size the bar goes and every box shows.
    f.resize(592, 304);
    QApplication::processEvents();
    QVERIFY(!bar->isVisible());
    QVERIFY(!shownPart(f.EditDBEdit4).isEmpty());
}

KARTOTEKA_TEST_MAIN(TestTForm3)
#include "test_TForm3.moc"
