// A card index replaced while in use: a cursor never writes into the file that
// was moved away but fails and moves on to the new one; a journal left by a
// writer that died on the old file is set aside, never rolled back onto the
// new one, while a table copied together with its journal is still rolled
// back; and `restore` puts a backup back as one change an open cursor sees.
#include "ToolTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using namespace enginetest;
using namespace tooltest;

namespace {

// `from` taken over `table` by rename, as `mv` does; `from` stays.
void moveCopyOver(const QString& from, const QString& table)
{
    QFile::remove(table + ".new");
    QVERIFY(QFile::copy(from, table + ".new"));
    QCOMPARE(std::rename(QFile::encodeName(table + ".new"), QFile::encodeName(table)), 0);
}

// dir/data.DB with `kept` cards backed up to dir/b/data.DB, then `added` more.
void tableAndBackup(const QString& dir, int kept, int added)
{
    QCOMPARE(runTool({"create", dir + "/data.DB"}).code, 0);
    appendRows(dir + "/data.DB", clients(1, kept));
    QCOMPARE(runTool({"backup", dir + "/data.DB", dir + "/b"}).code, 0);
    appendRows(dir + "/data.DB", clients(40, 39 + added));
}

} // namespace

class TestTableReplacement : public QObject {
    Q_OBJECT

private slots:
    void aReplacedTableIsNeverWrittenBlind()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB", old = dir.path() + "/old.DB", backup = dir.path() + "/b/data.DB";
        tableAndBackup(dir.path(), 5, 3);

        // The program shows card 2 when the backup is moved over the table.
        ke::Cursor program(table.toStdString(), {});
        std::vector<uint8_t> rec(program.header().recordSize);
        program.setToBegin();
        program.next(false, rec.data());
        program.next(false, rec.data());
        QCOMPARE(::link(QFile::encodeName(table), QFile::encodeName(old)), 0); // to see the nameless file
        moveCopyOver(backup, table);
        const QByteArray oldBytes = fileBytes(old), newBytes = fileBytes(table);
        std::vector<Row> expected = clients(1, 5);
        expected[1][1] = "Исправлена";
        const auto changed = makeRecord(program.header(), expected[1]);
        const ke::EngineError refused = failureOf([&] { program.modify(changed.data(), true); });
        QCOMPARE(refused.code, KE_ERR_TABLE_REPLACED);
        QVERIFY2(refused.context.find(table.toStdString() + ": the table file was replaced") == 0, refused.context.c_str());
        QCOMPARE(fileBytes(old), oldBytes);
        QCOMPARE(fileBytes(table), newBytes);
        // Now on the new file, as after another user's changes: the change can be repeated there.
        program.current(false, rec.data());
        QCOMPARE(rowOf(program.header(), rec.data()), clientRow(2));
        QCOMPARE(int(program.recordCount()), 5);
        program.modify(changed.data(), true);
        QCOMPARE(describe(readAll(table.toStdString())), describe(expected));
        QCOMPARE(fileBytes(old), oldBytes);

        // A writer dies halfway through a change of this file, which is then
        // replaced: its journal is set aside, not rolled back onto the backup.
        QCOMPARE(dieWhileChanging(table, 3), 0);
        const QByteArray journal = fileBytes(table + "-journal");
        QVERIFY(!journal.isEmpty());
        moveCopyOver(backup, table);
        const ke::EngineError kept = failureOf([&] { readAll(table.toStdString()); });
        QCOMPARE(kept.code, KE_ERR_JOURNAL_NOT_APPLIED);
        const QString aside = table + "-journal.not-applied", why = QString::fromStdString(kept.context);
        QVERIFY2(why.contains("written for another file") && why.contains("moved to " + aside), kept.context.c_str());
        QCOMPARE(fileBytes(aside), journal);
        QCOMPARE(fileBytes(table), fileBytes(backup));
        QCOMPARE(describe(readAll(table.toStdString())), describe(clients(1, 5)));
        QVERIFY(!QFile::exists(table + "-journal"));

        // A table copied together with the journal of its unfinished change
        // (new files, other inodes) is rolled back all the same.
        const QByteArray sound = fileBytes(table);
        QCOMPARE(dieWhileChanging(table, 2), 0);
        const QString copy = dir.path() + "/b/copy.DB";
        QVERIFY(QFile::copy(table, copy) && QFile::copy(table + "-journal", copy + "-journal"));
        QVERIFY(fileBytes(copy) != sound);
        QCOMPARE(describe(readAll(copy.toStdString())), describe(clients(1, 5)));
        QCOMPARE(fileBytes(copy), sound);
        QVERIFY(!QFile::exists(copy + "-journal") && !QFile::exists(copy + "-journal.not-applied"));
    }

    void restorePutsABackupBackWhileTheTableIsInUse()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB", backup = dir.path() + "/b/data.DB";
        tableAndBackup(dir.path(), 30, 2);
        ke::Cursor program(table.toStdString(), {});
        std::vector<uint8_t> rec(program.header().recordSize);
        program.setToEnd();
        program.prior(false, rec.data()); // on card 41, which the backup lacks

        const Result r = runTool({"restore", backup, table});
        QCOMPARE(r.out, "restored " + table + " from " + backup + ": 30 records; read back and verified\n");
        QCOMPARE(describe(readAll(table.toStdString())), describe(clients(1, 30)));
        // Its blocks the backup's, counted as one more change of the table.
        const QByteArray restored = fileBytes(table), saved = fileBytes(backup);
        QCOMPARE(restored.mid(0x58), saved.mid(0x58));
        QCOMPARE(uint8_t(restored[0x2D]), uint8_t(saved[0x2D] + 2 + 1));
        // The open cursor sees the restored cards like another user's changes.
        QVERIFY(errorOf([&] { program.current(false, rec.data()); }) != KE_OK);
        std::vector<Row> seen;
        for (program.setToBegin(); errorOf([&] { program.next(false, rec.data()); }) == KE_OK;)
            seen.push_back(rowOf(program.header(), rec.data()));
        QCOMPARE(describe(seen), describe(clients(1, 30)));

        // Refused, the table untouched: another table's file; a backup with a journal beside it.
        ke::NewTable other;
        other.fields = {{"Имя", KE_FIELD_ALPHA, 20}};
        ke::createTable((dir.path() + "/other.DB").toStdString(), other);
        QVERIFY(runTool({"restore", dir.path() + "/other.DB", table}).err.contains("not a copy of " + table));
        leaveJournal(backup, saved);
        QVERIFY(runTool({"restore", backup, table}).err.contains(backup + "-journal lies beside the backup"));
        QCOMPARE(fileBytes(table), restored);
    }
};

QTEST_GUILESS_MAIN(TestTableReplacement)
#include "TestTableReplacement.moc"
