// The bound edit box on a real cursor: what it shows, its length limits, how
// typing, pasting, cutting, undoing and dropping start an edit first, Esc,
// writing on leaving, and the failure paths (on the scriptable test engine).
#include "ControlsTestWindow.h"
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

namespace {

QList<QStringList> three()
{
    return {client("1", "R01"), client("2", "R02"), client("3", "R03")};
}

void focusBox(QWidget* box)
{
    box->setFocus(Qt::MouseFocusReason);
    QVERIFY(box->hasFocus());
}

QAction* menuItem(TDBEdit* box, const char* name)
{
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(4, 4), box->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(box, &event);
    auto* menu = box->findChild<QMenu*>(QStringLiteral("editMenu"));
    if (!menu)
        return nullptr;
    for (QAction* a : menu->actions())
        if (a->objectName() == QLatin1String(name))
            return a;
    return nullptr;
}

void closeMenu(TDBEdit* box)
{
    if (auto* menu = box->findChild<QMenu*>(QStringLiteral("editMenu"))) {
        menu->close();
        delete menu;
    }
}

// The box with its drag handlers reachable from the test.
class DropBox : public TDBEdit {
public:
    using TDBEdit::TDBEdit;
    using TDBEdit::dragEnterEvent;
    using TDBEdit::dropEvent;
};

} // namespace

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

    void lengthLimits()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        focusBox(w.edits[0]);
        w.edits[0]->selectAll();
        TestSupport::typeText(w.edits[0], QStringLiteral("1234567"));
        QCOMPARE(w.edits[0]->text(), QStringLiteral("12345"));
        // Pasting beyond the limit is cut as well.
        focusBox(w.edits[1]);
        w.edits[1]->selectAll();
        QApplication::clipboard()->setText(QString(50, QChar(u'Ж')));
        QTest::keyClick(w.edits[1], Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.edits[1]->text(), QString(40, QChar(u'Ж')));
        focusBox(w.edits[2]);
        w.edits[2]->selectAll();
        TestSupport::typeText(w.edits[2], QString(30, QChar(u'й')));
        QCOMPARE(w.edits[2]->text().size(), 25);
        w.table.Next();
        const QStringList stored = t.stored().at(0);
        QCOMPARE(stored.at(0), QStringLiteral("12345"));
        QCOMPARE(stored.at(1), QString(40, QChar(u'Ж')));
        QCOMPARE(stored.at(2), QString(25, QChar(u'й')));
    }

    // Columns wider and narrower than the fields' sizes: a long stored value
    // is shown whole and is never cut by the box; what is typed, pasted,
    // composed or dropped fits the narrower of field and column, so it is
    // stored exactly as it stands in the box.
    void storedTextShownWholeTypingFitsTheColumn()
    {
        QList<Column> columns = clientColumns();
        columns[1].size = 60; // surname: wider than the field's 40
        columns[2].size = 10; // first name: narrower than the field's 25
        columns[3].size = 12;
        TestTable t(TestTable::Real, columns);
        const QString longName = QString(55, QChar(u'Щ'));
        t.append({{"1", longName, "Иван", "Петрович", "30", "", ""}, client("2", "R02")});
        Window w;
        w.show();
        w.table.Open();
        QCOMPARE(w.edits[1]->text(), longName);
        QCOMPARE(w.edits[1]->MaxLength(), 40);
        QCOMPARE(w.edits[1]->TypingLimit(), 40);
        QCOMPARE(w.edits[2]->TypingLimit(), 10);

        // The full box takes no more characters, but keys that shorten it work.
        focusBox(w.edits[1]);
        QTest::keyClick(w.edits[1], Qt::Key_End);
        TestSupport::typeText(w.edits[1], QStringLiteral("ж"));
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(w.edits[1]->text(), longName);
        QTest::keyClick(w.edits[1], Qt::Key_Backspace);
        TestSupport::typeText(w.edits[1], QStringLiteral("ж"));
        QCOMPARE(w.edits[1]->text(), QString(54, QChar(u'Щ')));
        // Pasting over a selection takes the selection away, but adds nothing
        // while the rest is still too long.
        QApplication::clipboard()->setText(QStringLiteral("абв"));
        w.edits[1]->setSelection(0, 2);
        QTest::keyClick(w.edits[1], Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.edits[1]->text(), QString(52, QChar(u'Щ')));
        // Select all and type: the new text counts alone.
        w.edits[1]->selectAll();
        TestSupport::typeText(w.edits[1], QStringLiteral("Кузнецов"));
        QCOMPARE(w.edits[1]->text(), QStringLiteral("Кузнецов"));

        // The narrow first name: typing, pasting and composing stop at 10.
        focusBox(w.edits[2]);
        w.edits[2]->selectAll();
        TestSupport::typeText(w.edits[2], QStringLiteral("Александрина"));
        QCOMPARE(w.edits[2]->text(), QStringLiteral("Александри"));
        w.edits[2]->setSelection(4, 6);
        QApplication::clipboard()->setText(QStringLiteral("ЭЮЯЭЮЯЭЮЯ"));
        QTest::keyClick(w.edits[2], Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.edits[2]->text(), QStringLiteral("АлекЭЮЯЭЮЯ"));
        w.edits[2]->setSelection(0, 3);
        QInputMethodEvent composed;
        composed.setCommitString(QStringLiteral("ФХЦЧ"));
        QApplication::sendEvent(w.edits[2], &composed);
        QCOMPARE(w.edits[2]->text(), QStringLiteral("ФХЦкЭЮЯЭЮЯ"));
        // The menu's paste and a drop from elsewhere fit the narrow patronymic
        // as well (a drop reaches the handler directly: no drag runs here).
        DropBox box(&w.host);
        box.setDataSource(&w.source);
        box.setDataField(w.fields[3]->FieldName());
        box.show();
        focusBox(&box);
        box.selectAll();
        QApplication::clipboard()->setText(QStringLiteral("Константинович"));
        QAction* paste = menuItem(&box, "edit-paste");
        QVERIFY(paste);
        paste->trigger();
        closeMenu(&box);
        QCOMPARE(box.text(), QStringLiteral("Константинов"));
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&box, Qt::Key_Backspace);
        QMimeData data;
        data.setText(QStringLiteral("новичей"));
        QDropEvent drop(QPointF(box.width() - 2, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        box.dropEvent(&drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(box.text(), QStringLiteral("Константинов"));

        // Stored exactly as shown: nothing typed was cut.
        const QStringList shown{w.edits[1]->text(), w.edits[2]->text(), box.text()};
        w.table.Next();
        QCOMPARE(t.stored().at(0).mid(1, 3), shown);
        // A record that keeps its long value keeps it whole.
        w.table.Close();
        t.append({{"3", longName, "", "", "", "", ""}});
        w.table.Open();
        w.table.Last();
        QCOMPARE(w.edits[1]->text(), longName);
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

    void dropGoesThroughTheEditRequest()
    {
        TestTable t(TestTable::Real);
        t.append(three());
        Window w;
        w.show();
        w.table.Open();
        // Outside a real drag the application does not deliver drop events,
        // so the box's handlers are called directly.
        DropBox box(&w.host);
        box.setDataSource(&w.source);
        box.setDataField(w.fields[2]->FieldName());
        QCOMPARE(box.text(), QStringLiteral("Иван"));
        QMimeData data;
        data.setText(QStringLiteral("брошено"));
        const QPointF at(box.width() - 3, 5);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        box.dragEnterEvent(&enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        box.dropEvent(&drop);
        QCOMPARE(w.table.State(), dsEdit);
        QVERIFY(box.text().contains(QStringLiteral("брошено")));
        QVERIFY(box.Modified());
        w.table.Post();
        QVERIFY(t.stored().at(0).at(2).contains(QStringLiteral("брошено")));

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
