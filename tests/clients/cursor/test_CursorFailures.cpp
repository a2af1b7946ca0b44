// The cursor's failure paths on the test engine: the password step, refused
// locks, refused posts, read-only tables, a success without a cursor, failed
// connections, rejected values, and the messages built from the engine's
// texts and error stack; on the real engine, text cut to a table's shorter
// column before the engine would refuse it.
#include "ClientFields.h"
#include "CursorTestSupport.h"
#include "EDatabaseError.h"
#include "TDataSource.h"
#include "TDatabase.h"
#include "TField.h"
#include "TPasswordDialog.h"
#include "TSession.h"
#include "TTable.h"
#include "TableCreator.h"
#include "TableTestKit.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace CursorTest;
using TableTest::Window;
using TableTest::errorOf;

namespace {

QStringList rec(const QString& number, const QString& surname) {
    return {number, surname, "Анна", "Ивановна", "41", "замужем", "1"};
}
const QList<QStringList> kTwo = {rec("1", "Антонова"), rec("2", "Белова")};

} // namespace

class TestCursorFailures : public QObject {
    Q_OBJECT
    FakeEngine& fake = FakeEngine::instance();
    std::unique_ptr<TestTable> table_;

private slots:
    void init() {
        table_ = std::make_unique<TestTable>(TestTable::Fake);
        table_->append(kTwo);
    }
    void cleanup() {
        table_.reset();
    }

    void passwordDialogRetriesUntilCancelled() {
        fake.set_password("секрет");
        Window w;
        // First a wrong password with OK, then Cancel.
        auto first = TestSupport::answerNextModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TPasswordDialog*>(modal);
            QVERIFY(dialog);
            TestSupport::typeText(dialog->Edit, QStringLiteral("неверный"));
            dialog->OKButton->click();
        });
        std::shared_ptr<const TestSupport::ModalAnswer> second;
        fake.clear_log();
        QString error;
        // The second dialog is answered once the first has closed.
        QObject watcher;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &watcher, [&] {
            if (first->answered && !second) {
                second = TestSupport::answerNextModal([](QWidget* modal) {
                    QVERIFY(qobject_cast<TPasswordDialog*>(modal));
                    static_cast<TPasswordDialog*>(modal)->CancelButton->click();
                });
            }
        });
        poll.start(10);
        error = errorOf([&] { w.table.Open(); });
        poll.stop();
        QVERIFY(first->answered);
        QVERIFY(second && second->answered);
        QCOMPARE(error, QStringLiteral("Insufficient table rights for operation. Password required.\nTable: data.DB"));
        QVERIFY(!w.table.Active());
        const QStringList log = fake.log();
        QCOMPARE(log.filter(QStringLiteral("open_table")).size(), 2); // tried again once after OK
        QVERIFY(log.contains(QStringLiteral("add_password неверный")));
    }

    void rightPasswordOpensTheTable() {
        fake.set_password("секрет");
        Window w;
        auto answer = TestSupport::answerNextModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TPasswordDialog*>(modal);
            QVERIFY(dialog);
            TestSupport::typeText(dialog->Edit, QStringLiteral("секрет"));
            QTest::keyClick(dialog->Edit, Qt::Key_Return); // Enter presses the default button
        });
        w.table.Open();
        QVERIFY(answer->answered);
        QVERIFY(w.table.Active());
        QCOMPARE(w.surname(), QStringLiteral("Антонова"));
    }

    void escapeInThePasswordDialogReports2902() {
        fake.set_password("секрет");
        Window w;
        auto answer = TestSupport::answerNextModal(
            [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        const QString error = errorOf([&] { w.table.Open(); });
        QVERIFY(answer->answered);
        QVERIFY(error.startsWith(QStringLiteral("Insufficient table rights")));
        QVERIFY(!w.table.Active());
        QCOMPARE(fake.open_cursors(), 0);
    }

    void readOnlyFileIsReopenedReadOnly() {
        fake.set_option("read_only_file", 1);
        fake.clear_log();
        Window w;
        w.table.Open();
        QVERIFY(w.table.Active());
        QVERIFY(!w.table.CanModify());
        QCOMPARE(fake.log().filter(QStringLiteral("open_table")),
                 QStringList({"open_table data.DB PARADOX rw", "open_table data.DB PARADOX ro"}));
    }

    void cursorReportedReadOnlyCannotModify() {
        fake.set_option("read_only_cursor", 1);
        Window w;
        w.table.Open();
        QVERIFY(!w.table.CanModify());
        QCOMPARE(errorOf([&] { w.table.Insert(); }), QStringLiteral("Table1: Cannot modify a read-only dataset"));
    }

    void successWithoutCursorIsAnError() {
        fake.set_option("null_cursor", 1);
        Window w;
        QCOMPARE(errorOf([&] { w.table.Open(); }), QStringLiteral("Error creating cursor handle"));
        QVERIFY(!w.table.Active());
        QCOMPARE(TSession::Default().FindDatabase(QString::fromUtf16(kClientDatabaseName))->Users(), 0);
    }

    void failureAfterTheCursorOpenedClosesIt() {
        fake.fail("get_next_record", 0x2113, 1);
        fake.add_failure_entry(0x2113, 5, "data.DB: Input/output error");
        fake.set_error_text(0x2113, "I/O error.");
        Window w;
        QCOMPARE(errorOf([&] { w.table.Open(); }), QStringLiteral("I/O error.\ndata.DB: Input/output error"));
        QVERIFY(!w.table.Active());
        QCOMPARE(fake.open_cursors(), 0);
        QCOMPARE(fake.open_databases(), 1); // the connection stays
        w.table.Open(); // and the next try works
        QVERIFY(w.table.Active());
    }

    void failedConnectionIsNotKept() {
        fake.fail("set_directory", 0x2111, 1);
        fake.add_failure_entry(0x2111, 0, "E:\\ЗУРБЕЛИН\\proga");
        Window w;
        QCOMPARE(errorOf([&] { w.table.Open(); }), QStringLiteral("Engine failure.\nE:\\ЗУРБЕЛИН\\proga"));
        QCOMPARE(TSession::Default().DatabaseCount(), 0);
        QCOMPARE(fake.open_databases(), 0);
        w.table.Open();
        QCOMPARE(TSession::Default().DatabaseCount(), 1);
    }

    void refusedLockLeavesBrowseState() {
        Window w;
        w.table.Open();
        fake.set_option("lock_refused", 1);
        w.link.events.clear();
        QCOMPARE(errorOf([&] { w.source.Edit(); }), QStringLiteral("Record locked by another user."));
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(w.link.events.join(u'|'), QStringList({"check"}).join(u'|'));
        QCOMPARE(fake.locks_held(), 0);
        fake.set_option("lock_refused", 0);
        w.source.Edit();
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(fake.locks_held(), 1);
        w.table.Cancel();
        QCOMPARE(fake.locks_held(), 0);
    }

    void refusedPostKeepsEditStateAndValues() {
        Window w;
        w.table.Open();
        w.table.Edit();
        w.fields[1]->SetAsString(QStringLiteral("Новая"));
        fake.fail("modify_record", 0x2F02, 1);
        fake.add_failure_entry(0x2F02, 0, "Фамилия");
        fake.set_error_text(0x2F02, "Field value out of range.");
        w.link.events.clear();
        QCOMPARE(errorOf([&] { w.table.Post(); }), QStringLiteral("Field value out of range.\nФамилия"));
        QCOMPARE(w.link.events.join(u'|'), QStringList({"update", "check"}).join(u'|'));
        QCOMPARE(w.table.State(), dsEdit);
        QVERIFY(w.table.Modified());
        QCOMPARE(w.surname(), QStringLiteral("Новая"));
        QCOMPARE(table_->stored()[0][1], QStringLiteral("Антонова"));
        // A move retries the post.
        w.table.Next();
        QCOMPARE(w.table.State(), dsBrowse);
        QCOMPARE(table_->stored()[0][1], QStringLiteral("Новая"));
        QCOMPARE(w.surname(), QStringLiteral("Белова"));
    }

    void valuesAreCutToShorterColumnsBeforeTheEngine() {
        // The edit boxes let the user type a field's Size; the program's own
        // table has columns exactly that long.
        Window layout;
        for (const ke::NewField& column : ke::clientTableLayout().fields) {
            TField* field = layout.table.FindField(QString::fromStdString(column.name));
            QVERIFY(field);
            QCOMPARE(field->Size(), int(column.size));
        }
        // An older card index may have shorter columns. The engine refuses a
        // value longer than its column, so the cursor cuts the typed text to
        // the column and the post goes through.
        QList<Column> columns = clientColumns();
        columns[1].size = 12;
        table_ = std::make_unique<TestTable>(TestTable::Real, columns);
        table_->append({rec("1", "Антонова")});
        Window w;
        w.table.Open();
        w.table.Edit();
        const QString typed = QStringLiteral("Александрова-Загорская-Вишневецкая-Иванова").left(40);
        QCOMPARE(typed.size(), 40);
        w.fields[1]->SetAsString(typed);
        w.fields[2]->SetAsString(QString(25, u'Я'));
        QCOMPARE(w.surname(), typed.left(12));
        QCOMPARE(errorOf([&] { w.table.Post(); }), QStringLiteral("(no error)"));
        QCOMPARE(table_->stored()[0][1], typed.left(12));
        QCOMPARE(table_->stored()[0][2], QString(25, u'Я'));
    }

    void refusedInsertStopsTheMove() {
        Window w;
        w.table.Open();
        w.table.Insert();
        w.fields[1]->SetAsString(QStringLiteral("Вставка"));
        fake.fail("insert_record", 0x2F02, 1);
        QVERIFY(errorOf([&] { w.table.Next(); }) != QStringLiteral("(no error)"));
        QCOMPARE(w.table.State(), dsInsert);
        QCOMPARE(w.surname(), QStringLiteral("Вставка"));
        QCOMPARE(table_->stored().size(), 2);
        w.table.Cancel();
        QCOMPARE(w.surname(), QStringLiteral("Антонова"));
        QCOMPARE(table_->stored().size(), 2);
    }

    void failingPendingTextStopsTheMove() {
        Window w;
        w.table.Open();
        w.table.Edit();
        w.fields[1]->SetAsString(QStringLiteral("Правка"));
        w.link.onUpdateData = [] { throw EDatabaseError(QStringLiteral("bad text")); };
        QCOMPARE(errorOf([&] { w.table.Next(); }), QStringLiteral("bad text"));
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(w.surname(), QStringLiteral("Правка"));
        QCOMPARE(errorOf([&] { w.table.Insert(); }), QStringLiteral("bad text"));
        QCOMPARE(errorOf([&] { w.table.Post(); }), QStringLiteral("bad text"));
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(table_->stored()[0][1], QStringLiteral("Антонова"));
        w.link.onUpdateData = nullptr;
        w.table.Post();
        QCOMPARE(table_->stored()[0][1], QStringLiteral("Правка"));
    }

    void failedDeleteChangesNothing() {
        Window w;
        w.table.Open();
        w.table.Edit();
        fake.fail("delete_record", 0x2903, 1);
        QCOMPARE(errorOf([&] { w.table.Delete(); }), QStringLiteral("Record locked by another user."));
        QCOMPARE(w.table.State(), dsEdit);
        QCOMPARE(table_->stored().size(), 2);
        // A record someone else removed already counts as deleted.
        fake.fail("delete_record", 0x2204, 1);
        w.table.Delete();
        QCOMPARE(w.table.State(), dsBrowse);
    }

    void verifyFieldRejectionLeavesTheFieldUnchanged() {
        Window w;
        fake.set_option("constraints", 1);
        w.table.Open();
        w.table.Edit();
        fake.clear_log();
        w.fields[2]->SetAsString(QStringLiteral("Мария"));
        QVERIFY(fake.log().contains(QStringLiteral("verify_field 3")));
        fake.fail("verify_field", 0x2F03, 1);
        fake.set_error_text(0x2F03, "Value does not pass the table's check.");
        w.link.events.clear();
        QCOMPARE(errorOf([&] { w.fields[1]->SetAsString(QStringLiteral("Плохая")); }),
                 QStringLiteral("Value does not pass the table's check."));
        QCOMPARE(w.surname(), QStringLiteral("Антонова"));
        QCOMPARE(w.link.events.join(u'|'), QString()); // no record-changed for a refused value
    }

    void verifyFieldIsSkippedWithoutConstraints() {
        Window w;
        w.table.Open();
        w.table.Edit();
        fake.clear_log();
        w.fields[2]->SetAsString(QStringLiteral("Мария"));
        QVERIFY(fake.log().filter(QStringLiteral("verify_field")).isEmpty());
    }

    void characterOutsideTheCodePageIsRefused() {
        Window w;
        w.table.Open();
        w.table.Edit();
        QVERIFY(!w.fields[1]->IsValidChar(QChar(0x4E2D)));
        QVERIFY(!w.table.CanEncode(QStringLiteral("Ива中")));
        QVERIFY(w.table.CanEncode(QStringLiteral("Иванов №5")));
        const QString error = errorOf([&] { w.fields[1]->SetAsString(QStringLiteral("Ива中")); });
        QCOMPARE(error, QStringLiteral("The table's character set cannot hold this character."));
        QCOMPARE(w.surname(), QStringLiteral("Антонова"));
        QVERIFY(!w.table.Modified());
    }

    void engineMessagesFromTextsAndStack() {
        TSession& session = TSession::Default();
        session.Start();
        fake.set_error_text(0x2113, "I/O error.");
        fake.set_error_text(0x2114, "  Corrupt table.  ");
        fake.set_error_text(0x2115, "");
        fake.fail("open_table", 0x2113, 1);
        fake.add_failure_entry(0x2113, 13, "  data.DB: Permission denied ");  // native code: no code text
        fake.add_failure_entry(0x2114, 0, "");                               // code text, empty context
        fake.add_failure_entry(0x2113, 0, "DATA.db: permission DENIED");     // both already present
        fake.add_failure_entry(0x2115, 0, "last words");                     // empty code text
        Window w;
        QCOMPARE(errorOf([&] { w.table.Open(); }),
                 QStringLiteral("I/O error.\ndata.DB: Permission denied\nCorrupt table.\nlast words"));
    }

    void resultWithoutEngineTexts() {
        TSession& session = TSession::Default();
        session.Start();
        fake.fail("open_table", 0x2EC4, 1);
        fake.add_failure_entry(0x2113, 0, "only the context");
        fake.set_error_text(0x2EC4, "left out");
        fake.set_error_text(0x2113, "left out too");
        Window w;
        QCOMPARE(errorOf([&] { w.table.Open(); }), QStringLiteral("only the context"));

        fake.fail("open_table", 0x2ABC, 1);
        fake.set_error_text(0x2ABC, "   ");
        QCOMPARE(errorOf([&] { w.table.Open(); }), QStringLiteral("Engine error $2abc"));
        // No component prefix on engine messages.
        fake.fail("open_table", 0x2113, 1);
        QVERIFY(!errorOf([&] { w.table.Open(); }).startsWith(QStringLiteral("Table1")));
    }

    void messagesBeforeTheSessionRuns() {
        TSession::Default().Close();
        QCOMPARE(TSession::Default().ErrorMessage(0x2108),
                 QStringLiteral("An error occurred while attempting to initialize the table engine (error $2108)"));
        QCOMPARE(TSession::Default().ErrorMessage(0x2F01), QStringLiteral("Engine error $2f01"));
    }
};

KARTOTEKA_TEST_MAIN(TestCursorFailures)
#include "test_CursorFailures.moc"
