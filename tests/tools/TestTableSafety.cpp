// Backup and check on a table another process keeps changing: every backup is
// a sound table holding exactly one state the writer passed through, and check
// finds nothing wrong meanwhile; on damaged tables check names the damage.
#include "PxlibPeer.h"
#include "ToolTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

using namespace enginetest;
using namespace tooltest;

namespace {

// The writer's change number k (from 1), the same in the writer and in the model:
// every fourth deletes the first record, every fourth but one renames the last,
// the others append record k.
enum class Change { Append, Rename, DeleteFirst };
Change changeAt(int k) { return k % 4 == 0 ? Change::DeleteFirst : k % 4 == 3 ? Change::Rename : Change::Append; }
Row renamed(const Row& row, int k)
{
    Row r = row;
    r[1] = "Переименован" + std::to_string(k);
    return r;
}

void applyToModel(std::vector<Row>& model, int k)
{
    switch (changeAt(k)) {
    case Change::Append: model.push_back(clientRow(k)); break;
    case Change::Rename: model.back() = renamed(model.back(), k); break;
    case Change::DeleteFirst: model.erase(model.begin()); break;
    }
}

[[noreturn]] void writeForever(const std::string& path, int changes)
{
    ke::Cursor c(path, {});
    std::vector<uint8_t> rec(c.header().recordSize);
    for (int k = 1; k <= changes; ++k) {
        switch (changeAt(k)) {
        case Change::Append: {
            c.setToEnd();
            const auto r = makeRecord(c.header(), clientRow(k));
            c.insert(r.data(), false);
            break;
        }
        case Change::Rename: {
            c.setToEnd();
            c.prior(false, rec.data());
            const auto r = makeRecord(c.header(), renamed(rowOf(c.header(), rec.data()), k));
            c.modify(r.data(), true);
            break;
        }
        case Change::DeleteFirst:
            c.setToBegin();
            c.next(false, rec.data());
            c.remove();
            break;
        }
    }
    _exit(0);
}

} // namespace

class TestTableSafety : public QObject {
    Q_OBJECT

private slots:
    void backupAndCheckWhileAnotherProcessWrites()
    {
        QTemporaryDir dir(fastTempTemplate());
        const QString table = dir.path() + "/data.DB";
        QCOMPARE(runTool({"create", table}).code, 0);
        constexpr int kChanges = 20000;
        const pid_t writer = fork();
        if (writer == 0)
            writeForever(table.toStdString(), kChanges);

        QStringList backups;
        for (int i = 0; i < 12; ++i) {
            const QString dest = dir.path() + QString("/backup-%1").arg(i);
            const Result b = runTool({"backup", table, dest});
            QVERIFY2(b.code == 0 && b.err.isEmpty(), qPrintable(b.err));
            QVERIFY2(b.out.startsWith("copied " + table + " to " + dest + "/data.DB: ")
                         && b.out.endsWith(" records; read back and verified\n"),
                     qPrintable(b.out));
            backups << dest + "/data.DB";
            const Result c = runTool({"check", table});
            QVERIFY2(c.code == 0 && c.out.startsWith(table + ": sound, "), qPrintable(c.out + c.err));
        }
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);

        // Each backup is one of the writer's states, and the states move on.
        std::vector<Row> model;
        int k = 0, previous = -1;
        QSet<int> states;
        for (const QString& backup : backups) {
            QCOMPARE(modeOf(QFileInfo(backup).path()), 0700u);
            QCOMPARE(modeOf(backup), 0600u);
            QCOMPARE(runTool({"check", backup}).code, 0);
            const QString held = describe(readAll(backup.toStdString()));
            while (describe(model) != held) {
                QVERIFY2(k < kChanges, qPrintable("backup " + backup + " holds no state the writer passed through"));
                applyToModel(model, ++k);
            }
            QVERIFY(k >= previous);
            previous = k;
            states.insert(k);
        }
        QVERIFY2(states.size() > 3, "the writer hardly ran during the backups");
    }

    void backupCopiesCompanionsAndNeverOverwrites()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/Data.db";
        QCOMPARE(runTool({"create", table}).code, 0);
        appendRows(table, {clientRow(1)});
        writeFile(dir.path() + "/DATA.MB", QByteArray(5000, 'm'));
        writeFile(dir.path() + "/data.csv", "not a companion");
        const QString dest = dir.path() + "/copy";
        const Result b = runTool({"backup", table, dest});
        QVERIFY2(b.code == 0, qPrintable(b.err));
        QCOMPARE(b.out, "copied " + table + " to " + dest + "/Data.db: 4096 bytes, 1 records; read back and verified\n"
                     "copied " + dir.path() + "/DATA.MB to " + dest + "/DATA.MB: 5000 bytes; read back and verified\n");
        QCOMPARE(QDir(dest).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase), QStringList({"Data.db", "DATA.MB"}));
        QCOMPARE(fileBytes(dest + "/DATA.MB"), QByteArray(5000, 'm'));
        QCOMPARE(fileBytes(dest + "/Data.db"), fileBytes(table));
        QCOMPARE(modeOf(dest + "/DATA.MB"), 0600u);

        appendRows(table, {clientRow(2)});
        const QByteArray first = fileBytes(dest + "/Data.db");
        const Result again = runTool({"backup", table, dest});
        QCOMPARE(again.code, 1);
        QVERIFY2(again.err.contains("exists already"), qPrintable(again.err));
        QCOMPARE(fileBytes(dest + "/Data.db"), first);
    }

    // A table pxlib made is sound; each damage is reported in words, status 1.
    void checkReportsDamageInPlainWords()
    {
        QTemporaryDir dir;
        const QString pxTable = dir.path() + "/px.DB";
        {
            pxdoc_t* doc = PX_new2(pxError, nullptr, nullptr, nullptr);
            pxfield_t* fields = static_cast<pxfield_t*>(std::calloc(2, sizeof(pxfield_t)));
            fields[0] = {strdup("Name"), pxfAlpha, 20, 0};
            fields[1] = {strdup("Born"), pxfDate, 4, 0};
            QVERIFY(PX_create_file(doc, fields, 2, pxTable.toUtf8().constData(), pxfFileTypNonIndexDB) == 0);
            char data[24];
            for (int n = 0; n < 500; ++n) {
                std::memset(data, 0, sizeof data);
                std::snprintf(data, 20, "Name %d", n);
                const uint32_t day = uint32_t(730000 + n) ^ 0x80000000u; // big-endian, sign bit flipped
                for (int i = 0; i < 4; ++i)
                    data[20 + i] = char(day >> (24 - 8 * i));
                QVERIFY(PX_put_record(doc, data) >= 0);
            }
            PX_close(doc);
            PX_delete(doc);
        }
        QFile::setPermissions(pxTable, QFile::ReadOwner | QFile::WriteOwner); // no privacy note in the report
        const Result sound = runTool({"check", pxTable});
        QCOMPARE(sound.code, 0);
        QCOMPARE(sound.out, pxTable + ": sound, 500 records\n");

        const QString table = dir.path() + "/data.DB";
        QCOMPARE(runTool({"create", table}).code, 0);
        std::vector<Row> rows;
        for (int n = 1; n <= 30; ++n)
            rows.push_back(clientRow(n));
        appendRows(table, rows);
        QByteArray b = fileBytes(table);
        b[0x06] = char(31);                            // the header counts one record too many
        b[2048 + 2048 + 6 + 170 + 10] = char(0x98);    // a byte no character of code page 1251 (record 14, surname)
        writeFile(table, b);
        const Result damaged = runTool({"check", table});
        QCOMPARE(damaged.code, 1);
        QCOMPARE(damaged.out, QString("the header counts 31 records, the blocks of the chain hold 30\n"
                                      "record 14, field \"Фамилия\" holds the byte 0x98, which is no character of code page 1251\n"
                                      "%1: not sound, 2 problems\n")
                                  .arg(table));

        writeFile(table, b.left(100)); // not even a header
        const Result unreadable = runTool({"check", table});
        QCOMPARE(unreadable.code, 1);
        QVERIFY2(unreadable.out.startsWith("the table cannot be read: ") && unreadable.out.endsWith(": not sound\n"),
                 qPrintable(unreadable.out));
    }
};

QTEST_GUILESS_MAIN(TestTableSafety)
#include "TestTableSafety.moc"
