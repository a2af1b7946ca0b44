// The bound edit box on a real cursor: what it shows, how
// typing, pasting, cutting, undoing and dropping start an edit first, Esc,
// writing on leaving, and the failure paths (on the scriptable test engine).
#include "ControlsTestWindow.h"
#include "EditTestKit.h"
#include "CursorTestSupport.h"
#include "Forms.h"
#include "TForm1.h"
#include "TNavButton.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>

using namespace CursorTest;
using namespace ControlsTest;
using namespace EditTest;


class TDBEditTest : public QObject {
    Q_OBJECT

private slots:
    void closedCursorShowsNothingAndStaysReadOnly()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        for (TDBEdit* e : w.edits) {
            QVERIFY(e->isReadOnly());
            QCOMPARE(e->text(), QString());
            QCOMPARE(e->MaxLength(), 0);
            QVERIFY(!e->Field());
        }
        focusBox(w.edits[1]);
        TestSupport::typeText(w.edits[1], QStringLiteral("abc"));
        QCOMPARE(w.edits[1]->text(), QString());
        QCOMPARE(w.table.State(), dsInactive);
    }

    void showsTheCurrentRecordAndTakesTheFieldSize()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.table.Open();
        QCOMPARE(w.edits[0]->text(), QStringLiteral("1"));
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        QCOMPARE(w.edits[6]->text(), QStringLiteral("2"));
        const int sizes[7] = {5, 40, 25, 25, 25, 25, 25};
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(w.edits[i]->MaxLength(), sizes[i]);
            QVERIFY(w.edits[i]->isReadOnly());
        }
        w.table.Next();
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R02"));
        w.table.Last();
        QCOMPARE(w.edits[0]->text(), QStringLiteral("3"));
        w.table.Close();
        QCOMPARE(w.edits[1]->text(), QString());
        QCOMPARE(w.edits[1]->MaxLength(), 40); // taken once, kept
    }

    void typingIntoAStoredRecordStartsAnEdit()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[1]);
        QVERIFY(w.edits[1]->isReadOnly());
        TestSupport::typeText(w.edits[1], QStringLiteral("ы"));
        QCOMPARE(w.table.State(), dsEdit);
        QVERIFY(!w.edits[1]->isReadOnly());
        QVERIFY(!w.edits[2]->isReadOnly()); // every box of the window follows the state
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01ы"));
        QVERIFY(w.edits[1]->Modified());
        QVERIFY(!w.table.Modified()); // still only in the box
        // The navigator's button does not take the focus, and the post still
        // collects the box's text.
        QTest::mouseClick(w.navigator->Button(nbNext), Qt::LeftButton);
        QVERIFY(w.edits[1]->hasFocus());
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R02"));
        QVERIFY(!w.edits[1]->Modified());
        QCOMPARE(t.stored().at(0).at(1), QStringLiteral("R01ы"));
    }

    void editingKeysAskForTheEdit_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("after");
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << "R0";
        QTest::newRow("Delete") << int(Qt::Key_Delete) << int(Qt::NoModifier) << "R1";
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier) << "R01";
        QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier) << "вставкаR01";
        QTest::newRow("Shift+Insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << "вставкаR01";
    }
    void editingKeysAskForTheEdit()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, after);
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        QApplication::clipboard()->setText(QStringLiteral("вставка"));
        focusBox(w.edits[1]);
        w.edits[1]->setCursorPosition(key == Qt::Key_Backspace ? 3 : key == Qt::Key_Delete ? 1 : 0);
        if (key == Qt::Key_X) {
            w.edits[1]->setSelection(1, 2); // "01" goes to the clipboard
            QTest::keyClick(w.edits[1], Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("01"));
            after = QStringLiteral("R");
        } else {
            QTest::keyClick(w.edits[1], Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        }
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(w.edits[1]->text(), after);
        // Moving and selecting keys start nothing.
        w.table.Cancel();
        focusBox(w.edits[2]);
        QTest::keyClick(w.edits[2], Qt::Key_Left);
        QTest::keyClick(w.edits[2], Qt::Key_Home, Qt::ShiftModifier);
        QTest::keyClick(w.edits[2], Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(w.table.State(), dsBrowse);
    }

    void typingIntoAnEmptyTableStartsAnInsert()
    {
        TestTable t(TestTable::Real);
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[3]);
        TestSupport::typeText(w.edits[3], QStringLiteral("Щ"));
        QCOMPARE(w.table.State(), dsInsert);
        QCOMPARE(w.edits[3]->text(), QStringLiteral("Щ"));
        w.table.Next(); // moving away posts it
        QCOMPARE(w.table.State(), dsBrowse);
        const auto stored = t.stored();
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.at(0).at(3), QStringLiteral("Щ"));
        QCOMPARE(w.edits[3]->text(), QStringLiteral("Щ"));
    }

    void escBeforeLeavingTheBox()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[1]);
        TestSupport::typeText(w.edits[1], QStringLiteral("xyz"));
        QCOMPARE(w.table.State(), dsEdit);
        QTest::keyClick(w.edits[1], Qt::Key_Escape);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        QCOMPARE(w.edits[1]->selectedText(), QStringLiteral("R01"));
        QVERIFY(!w.edits[1]->Modified());
        QCOMPARE(w.table.State(), dsEdit); // the cursor stays in its state
        QVERIFY(!w.table.Modified());
        // The next move cancels the unmodified edit and frees the record.
        w.table.Next();
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(t.stored().at(0).at(1), QStringLiteral("R01"));
        Window other;
        other.table.Open();
        other.table.Edit(); // the lock is gone
        QCOMPARE(other.table.State(), dsEdit);
        other.table.Cancel();
    }

    void escAfterLeavingTheBox()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[1]);
        TestSupport::typeText(w.edits[1], QStringLiteral("xyz"));
        focusBox(w.edits[2]); // leaving writes the field
        QVERIFY(!w.edits[1]->Modified());
        QCOMPARE(w.surname(), QStringLiteral("R01xyz"));
        QVERIFY(w.table.Modified());
        focusBox(w.edits[1]);
        QTest::keyClick(w.edits[1], Qt::Key_Escape);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01xyz")); // only Cancel undoes it now
        QCOMPARE(w.table.State(), dsEdit);
        w.table.Cancel();
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
    }

    void enteringTheBoxReloadsIt()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        w.table.Edit();
        w.edits[1]->setText(QStringLiteral("set from outside"));
        focusBox(w.edits[1]);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        w.table.Cancel();
    }

    void failingEditDropsTheKey()
    {
        TestTable t(TestTable::Fake);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        FakeEngine::instance().set_option("lock_refused", 1);
        TestSupport::ErrorReports reports;
        focusBox(w.edits[1]);
        TestSupport::typeText(w.edits[1], QStringLiteral("Z"));
        QCOMPARE(reports.messages.size(), 1);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        QCOMPARE(w.table.State(), dsBrowse);
        QVERIFY(w.edits[1]->isReadOnly());
        // Paste by key and by the box's menu are dropped the same way.
        QApplication::clipboard()->setText(QStringLiteral("paste"));
        QTest::keyClick(w.edits[1], Qt::Key_V, Qt::ControlModifier);
        QAction* paste = menuItem(w.edits[1], "edit-paste");
        QVERIFY(paste);
        QVERIFY(paste->isEnabled());
        paste->trigger();
        closeMenu(w.edits[1]);
        QCOMPARE(reports.messages.size(), 3);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        FakeEngine::instance().set_option("lock_refused", 0);
        TestSupport::typeText(w.edits[1], QStringLiteral("Z"));
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01Z"));
        QCOMPARE(reports.messages.size(), 3);
    }

    void readOnlyTableNeverTurnsWritable()
    {
        TestTable t(TestTable::Fake);
        t.append(three());
        FakeEngine::instance().set_option("read_only_file", 1);
        Window w;
        w.show();
        w.table.Open();
        TestSupport::ErrorReports reports;
        focusBox(w.edits[1]);
        TestSupport::typeText(w.edits[1], QStringLiteral("Z"));
        QTest::keyClick(w.edits[1], Qt::Key_Backspace);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        QCOMPARE(w.table.State(), dsBrowse);
        QVERIFY(w.edits[1]->isReadOnly());
        QVERIFY(reports.messages.isEmpty());
        QAction* paste = menuItem(w.edits[1], "edit-paste");
        QVERIFY(paste && !paste->isEnabled());
        closeMenu(w.edits[1]);
    }

    void contextMenuGoesThroughTheEditRequest()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[1]);
        w.edits[1]->selectAll();
        QAction* undo = menuItem(w.edits[1], "edit-undo");
        QVERIFY(undo && !undo->isEnabled()); // nothing to undo yet
        closeMenu(w.edits[1]);
        QAction* cut = menuItem(w.edits[1], "edit-cut");
        QVERIFY(cut && cut->isEnabled());
        cut->trigger();
        closeMenu(w.edits[1]);
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(w.edits[1]->text(), QString());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("R01"));

        undo = menuItem(w.edits[1], "edit-undo");
        QVERIFY(undo && undo->isEnabled());
        undo->trigger();
        closeMenu(w.edits[1]);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        w.table.Cancel();

        // Paste from the menu in browse state starts the edit and pastes.
        QApplication::clipboard()->setText(QStringLiteral("+"));
        w.edits[2]->setFocus();
        w.edits[2]->setCursorPosition(0);
        QAction* paste = menuItem(w.edits[2], "edit-paste");
        QVERIFY(paste && paste->isEnabled());
        paste->trigger();
        closeMenu(w.edits[2]);
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(w.edits[2]->text(), QStringLiteral("+Иван"));
        w.table.Post();
        QCOMPARE(t.stored().at(0).at(2), QStringLiteral("+Иван"));
    }

    // A drop into a box without the focus starts the edit and is stored like
    // typed text, also when the box is clicked into next (entering it does
    // not reload it). Letters spelled as a base and a combining mark are
    // taken composed from drops and pastes.
    void dropGoesThroughTheEditRequest()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[1]);
        // Outside a real drag the application does not deliver drop events,
        // so the box's handlers are called directly.
        DropBox box(&w.host);
        box.setDataSource(&w.source);
        box.setDataField(w.fields[2]->FieldName());
        box.show();
        QCOMPARE(box.text(), QStringLiteral("Иван"));
        QMimeData data;
        data.setText(QStringLiteral(" Е\u0308")); // Ё as E and a diaeresis
        const QPointF at(box.width() - 3, 5);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        box.dragEnterEvent(&enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        box.dropEvent(&drop);
        QCOMPARE(w.table.State(), dsEdit);
        focusBox(&box);
        QCOMPARE(box.text(), QStringLiteral("Иван Ё"));
        QApplication::clipboard()->setText(QStringLiteral("-и\u0306"));
        QTest::keyClick(&box, Qt::Key_End);
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
        w.table.Post();
        QCOMPARE(t.stored().at(0).at(2), QStringLiteral("Иван Ё-й"));

        // A drop holding a character the table cannot hold starts nothing.
        QMimeData bad;
        bad.setText(QStringLiteral("中"));
        QDropEvent refused(at, Qt::CopyAction, &bad, Qt::LeftButton, Qt::NoModifier);
        box.dropEvent(&refused);
        QCOMPARE(w.table.State(), dsBrowse);
    }

    void charactersTheTableCannotHoldAreRefused()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        QVERIFY(!w.table.CanEncode(QStringLiteral("中")));
        focusBox(w.edits[1]);
        TestSupport::typeText(w.edits[1], QStringLiteral("中"));
        QCOMPARE(w.table.State(), dsBrowse); // refused before any edit starts
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01"));
        TestSupport::typeText(w.edits[1], QStringLiteral("я中ё"));
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01яё"));
        // A paste holding such a character is refused whole.
        QApplication::clipboard()->setText(QStringLiteral("a中b"));
        QTest::keyClick(w.edits[1], Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.edits[1]->text(), QStringLiteral("R01яё"));
        w.table.Post();
        QCOMPARE(t.stored().at(0).at(1), QStringLiteral("R01яё"));
    }

    void failedWriteOnLeavingKeepsTheFocus()
    {
        TestTable t(TestTable::Fake);
        t.append(three());
        FakeEngine::instance().set_option("constraints", 1);
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[1]);
        TestSupport::typeText(w.edits[1], QStringLiteral("Q"));
        FakeEngine::instance().fail("verify_field", 0x2F03, 1);
        TestSupport::ErrorReports reports;
        w.edits[2]->setFocus(Qt::TabFocusReason);
        QCOMPARE(reports.messages.size(), 1);
        QVERIFY(w.edits[1]->hasFocus());
        QCOMPARE(w.edits[1]->selectedText(), QStringLiteral("R01Q"));
        QCOMPARE(w.surname(), QStringLiteral("R01")); // the field keeps its value
        QVERIFY(w.edits[1]->Modified());
        // The second attempt passes.
        w.edits[2]->setFocus(Qt::TabFocusReason);
        QVERIFY(w.edits[2]->hasFocus());
        QCOMPARE(w.surname(), QStringLiteral("R01Q"));
        QCOMPARE(reports.messages.size(), 1);
    }

    void ctrlCGoesToTheMainMenu()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Application->CreateForm<TForm1>(Form1);
        TForm base;
        Form3 = &base;
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[1]);
        w.edits[1]->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(w.edits[1], Qt::Key_C, Qt::ControlModifier);
        QVERIFY(base.isVisible()); // the menu command ran
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before")); // the box never saw it
        Form3 = nullptr;
    }
};

KARTOTEKA_TEST_MAIN(TDBEditTest)
#include "TDBEditTest.moc"
