// A card index replaced while in use: a cursor never writes into the file that
// was moved away but fails and moves on to the new one; a journal left by a
// writer that died on the old file is set aside, never rolled back onto the
// new one, while a table copied together with its journal is still rolled
// back; and `restore` puts a backup back as one change that an open cursor
// sees like another user's.
#include "ToolTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using namespace enginetest;
using namespace tooltest;

namespace {

void standOn(ke::Cursor& c, int index)
{
    std::vector<uint8_t> rec(c.header().recordSize);
    c.setToBegin();
    for (int k = 0; k <= index; ++k)
        c.next(false, rec.data());
}

std::vector<Row> clients(int from, int to)
{
    std::vector<Row> rows;
    for (int n = from; n <= to; ++n)
        rows.push_back(clientRow(n));
    return rows;
}

ino_t inodeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

ke::EngineError failureOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ke::EngineError& e) {
        return e;
    }
    return {KE_OK, 0, {}};
}

} // namespace

class TestTableReplacement : public QObject {
    Q_OBJECT

private slots:
    void aReplacedTableIsNeverWrittenBlind()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB", old = dir.path() + "/old.DB";
        QCOMPARE(runTool({"create", table}).code, 0);
        appendRows(table, clients(1, 5));
        const QString backup = dir.path() + "/backup/data.DB";
        QCOMPARE(runTool({"backup", table, dir.path() + "/backup"}).code, 0);
        appendRows(table, clients(6, 8));

        // The program shows card 2; the table is then replaced by the backup, moved over it.
        ke::Cursor program(table.toStdString(), {});
        std::vector<uint8_t> rec(program.header().recordSize);
        standOn(program, 1);
        QCOMPARE(::link(QFile::encodeName(table), QFile::encodeName(old)), 0); // to look at the nameless file
        QVERIFY(QFile::copy(backup, dir.path() + "/restored.DB"));
        QCOMPARE(std::rename(QFile::encodeName(dir.path() + "/restored.DB"), QFile::encodeName(table)), 0);
        const QByteArray oldBytes = fileBytes(old), newBytes = fileBytes(table);

        Row edited = clientRow(2);
        edited[1] = "Исправлена";
        const auto changed = makeRecord(program.header(), edited);
        const ke::EngineError refused = failureOf([&] { program.modify(changed.data(), true); });
        QCOMPARE(refused.code, KE_ERR_TABLE_REPLACED);
        QVERIFY2(QString::fromStdString(refused.context).startsWith(table + ": the table file was replaced by another one"),
                 refused.context.c_str());
        QCOMPARE(fileBytes(old), oldBytes);
        QCOMPARE(fileBytes(table), newBytes);
        // It now reads the new file, as after another user's changes; the change can be repeated there.
        program.current(false, rec.data());
        QCOMPARE(rowOf(program.header(), rec.data()), clientRow(2));
        QCOMPARE(int(program.recordCount()), 5);
        program.modify(changed.data(), true);
        std::vector<Row> expected = clients(1, 5);
        expected[1] = edited;
        QCOMPARE(describe(readAll(table.toStdString())), describe(expected));
        QCOMPARE(fileBytes(old), oldBytes);

        // A writer dies halfway through a change of this file, which is then
        // replaced by the backup: its journal is set aside, not rolled back onto the backup.
        QCOMPARE(dieWhileChanging(table, 3), 0);
        QVERIFY(QFile::exists(table + "-journal"));
        const QByteArray journal = fileBytes(table + "-journal");
        QVERIFY(QFile::copy(backup, dir.path() + "/restored.DB"));
        QCOMPARE(std::rename(QFile::encodeName(dir.path() + "/restored.DB"), QFile::encodeName(table)), 0);
        const ke::EngineError kept = failureOf([&] { readAll(table.toStdString()); });
        QCOMPARE(kept.code, KE_ERR_JOURNAL_NOT_APPLIED);
        const QString aside = table + "-journal.not-applied";
        QVERIFY2(QString::fromStdString(kept.context).contains("written for another file")
                     && QString::fromStdString(kept.context).contains("moved to " + aside),
                 kept.context.c_str());
        QCOMPARE(fileBytes(aside), journal);
        QVERIFY(!QFile::exists(table + "-journal"));
        QCOMPARE(fileBytes(table), fileBytes(backup));
        QCOMPARE(describe(readAll(table.toStdString())), describe(clients(1, 5)));
        QCOMPARE(runTool({"check", table}).code, 0);
        QCOMPARE(fileBytes(aside), journal);

        // A table copied together with the journal of its unfinished change
        // (new files, other inodes) is rolled back all the same.
        const QByteArray sound = fileBytes(table);
        QCOMPARE(dieWhileChanging(table, 2), 0);
        QVERIFY(QFile::exists(table + "-journal"));
        QVERIFY(fileBytes(table) != sound);
        QVERIFY(QDir().mkdir(dir.path() + "/copy"));
        const QString copy = dir.path() + "/copy/data.DB";
        QVERIFY(QFile::copy(table, copy) && QFile::copy(table + "-journal", copy + "-journal"));
        QCOMPARE(describe(readAll(copy.toStdString())), describe(clients(1, 5)));
        QCOMPARE(fileBytes(copy), sound);
        QCOMPARE(QDir(dir.path() + "/copy").entryList(QDir::Files), QStringList{"data.DB"});
        QCOMPARE(describe(readAll(table.toStdString())), describe(clients(1, 5)));
        QCOMPARE(fileBytes(table), sound);
    }

    void restorePutsABackupBackWhileTheTableIsInUse()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB";
        QCOMPARE(runTool({"create", table}).code, 0);
        appendRows(table, clients(1, 30));
        const QString backup = dir.path() + "/backup/data.DB";
        QCOMPARE(runTool({"backup", table, dir.path() + "/backup"}).code, 0);
        {
            ke::Cursor other(table.toStdString(), {});
            for (int k = 0; k < 25; ++k) {
                standOn(other, 0);
                other.remove();
            }
        }
        appendRows(table, clients(40, 41));
        ke::Cursor program(table.toStdString(), {});
        std::vector<uint8_t> rec(program.header().recordSize);
        standOn(program, 5); // on card 40
        const ino_t inode = inodeOf(table);

        const Result r = runTool({"restore", backup, table});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out, "restored " + table + " from " + backup + ": 30 records; read back and verified\n");
        QCOMPARE(describe(readAll(table.toStdString())), describe(clients(1, 30)));
        const QByteArray restored = fileBytes(table), saved = fileBytes(backup);
        QCOMPARE(restored.size(), saved.size());
        QCOMPARE(restored.mid(0x58), saved.mid(0x58));
        QCOMPARE(int(uint8_t(restored[0x2D])), (int(uint8_t(saved[0x2D])) + 25 + 2 + 1) % 256);
        QCOMPARE(runTool({"check", table}).code, 0);
        QCOMPARE(inodeOf(table), inode); // the same file, changed in place

        // The open cursor sees the restored cards like another user's changes.
        QVERIFY(errorOf([&] { program.current(false, rec.data()); }) != KE_OK);
        std::vector<Row> seen;
        program.setToBegin();
        while (errorOf([&] { program.next(false, rec.data()); }) == KE_OK)
            seen.push_back(rowOf(program.header(), rec.data()));
        QCOMPARE(describe(seen), describe(clients(1, 30)));

        // Refused, the table untouched: a file of another table, a backup with a journal beside it.
        const QByteArray before = fileBytes(table);
        ke::NewTable other;
        other.fields = {{"Имя", KE_FIELD_ALPHA, 20}};
        ke::createTable((dir.path() + "/other.DB").toStdString(), other);
        const Result foreign = runTool({"restore", dir.path() + "/other.DB", table});
        QCOMPARE(foreign.code, 1);
        QVERIFY2(foreign.err.contains("not a copy of " + table), qPrintable(foreign.err));
        leaveJournal(backup, saved);
        const Result unfinished = runTool({"restore", backup, table});
        QCOMPARE(unfinished.code, 1);
        QVERIFY2(unfinished.err.contains(backup + "-journal lies beside the backup"), qPrintable(unfinished.err));
        QCOMPARE(fileBytes(table), before);
    }
};

QTEST_GUILESS_MAIN(TestTableReplacement)
#include "TestTableReplacement.moc"
