// The bound edit box's length limits: the field's size and a narrower column
// limit what is typed, pasted, composed or dropped, never what is shown.
#include "EditTestKit.h"
#include "Forms.h"
#include "TForm1.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>

using namespace CursorTest;
using namespace ControlsTest;
using namespace EditTest;

class TDBEditLengthTest : public QObject {
    Q_OBJECT

private slots:
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
};

KARTOTEKA_TEST_MAIN(TDBEditLengthTest)
#include "TDBEditLengthTest.moc"
