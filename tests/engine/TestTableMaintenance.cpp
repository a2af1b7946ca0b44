// Whole-table entries of the interface: a bulk append is one change (a write
// failing anywhere leaves the table as it was), a copy is taken between changes
// and is never left half-made, and the structural check names each kind of
// damage while finding nothing wrong with a sound table.
#include "EngineTestSupport.h"
#include "WriteFaults.h"
#include "Journal.h"
#include "TableChecker.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <cstring>

using namespace enginetest;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The client layout as the interface's field descriptions.
std::vector<ke_field_desc> clientFields()
{
    std::vector<ke_field_desc> fields;
    for (const ke::NewField& f : ke::clientTableLayout().fields) {
        ke_field_desc d {};
        std::snprintf(d.name, sizeof d.name, "%s", f.name.c_str());
        d.type = f.type;
        d.size = f.size;
        fields.push_back(d);
    }
    return fields;
}

std::vector<uint8_t> recordsOf(const ke::TableHeader& h, int from, int count)
{
    std::vector<uint8_t> all;
    for (int n = from; n < from + count; ++n) {
        const auto r = makeRecord(h, clientRow(n));
        all.insert(all.end(), r.begin(), r.end());
    }
    return all;
}

std::vector<Row> clientRows(int from, int count)
{
    std::vector<Row> rows;
    for (int n = from; n < from + count; ++n)
        rows.push_back(clientRow(n));
    return rows;
}

struct Problems {
    ke_result result = KE_OK;
    uint32_t count = 0;
    QStringList texts;
};

Problems checkTable(const QString& path)
{
    Problems p;
    ke_database* db = nullptr;
    ke_cursor* c = nullptr;
    if (ke_open_database(QFileInfo(path).absolutePath().toUtf8().constData(), KE_OPEN_READ_ONLY, KE_SHARE_SHARED,
                         nullptr, &db) != KE_OK)
        qFatal("cannot open the folder");
    p.result = ke_open_table(db, QFileInfo(path).fileName().toUtf8().constData(), "PARADOX", nullptr, 0,
                             KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &c);
    if (p.result == KE_OK) {
        p.result = ke_check_table(
            c, [](void* ctx, const char* text) { static_cast<QStringList*>(ctx)->append(QString::fromUtf8(text)); },
            &p.texts, &p.count);
        ke_close_cursor(c);
    }
    ke_close_database(db);
    return p;
}

} // namespace

class TestTableMaintenance : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    ke_database* m_db = nullptr;
    int m_serial = 0;

    // A new client table of `records` records made through the interface; its host path.
    QString newTable(int records, ke_cursor** keepOpen = nullptr)
    {
        const QString name = QString("m%1.DB").arg(++m_serial);
        const auto fields = clientFields();
        if (ke_create_table(m_db, name.toUtf8().constData(), fields.data(), uint16_t(fields.size()), 1251) != KE_OK)
            qFatal("ke_create_table failed");
        ke_cursor* c = nullptr;
        if (ke_open_table(m_db, name.toUtf8().constData(), "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c)
            != KE_OK)
            qFatal("cannot open the new table");
        const QString path = m_dir.path() + "/" + name;
        const ke::Cursor probe(path.toStdString(), {});
        const auto recs = recordsOf(probe.header(), 1, records);
        if (ke_append_records(c, recs.data(), size_t(records)) != KE_OK)
            qFatal("ke_append_records failed");
        if (keepOpen)
            *keepOpen = c;
        else
            ke_close_cursor(c);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ke_init(nullptr) == KE_OK);
        QVERIFY(ke_open_database(m_dir.path().toUtf8().constData(), KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &m_db)
                == KE_OK);
    }

    void cleanupTestCase() { ke_exit(); }

    // 1000 records fill many blocks in one call; a second append that fails at
    // any of its writes changes nothing, the one that gets through adds all.
    // A record lock held by another cursor is untouched by the append.
    void appendIsOneChange()
    {
        ke_cursor* c = nullptr;
        const QString path = newTable(1000, &c);
        QCOMPARE(describe(readAll(path.toStdString())), describe(clientRows(1, 1000)));
        QCOMPARE(checkStructure(path), QString());

        ke::Cursor holder(path.toStdString(), {});
        std::vector<uint8_t> held(holder.header().recordSize);
        holder.setToBegin();
        holder.next(true, held.data()); // an edit in progress on record 1

        const auto more = recordsOf(holder.header(), 1001, 500);
        const QByteArray before = fileBytes(path);
        int failures = 0;
        for (int budget = 0;; ++budget) {
            QVERIFY2(budget < 500, "the append never got through");
            ke::faults::failWritesAfter(budget);
            const ke_result r = ke_append_records(c, more.data(), 500);
            ke::faults::failWritesAfter(-1);
            if (r == KE_OK)
                break;
            ++failures;
            QCOMPARE(r, ke_result(KE_ERR_IO));
            QVERIFY2(fileBytes(path) == before, qPrintable(QString("write %1 failed, the table changed").arg(budget)));
            QVERIFY(!QFile::exists(QString::fromStdString(ke::journalPathFor(path.toStdString()))));
        }
        QVERIFY(failures > 40); // the change wrote the journal, many blocks and the header
        QCOMPARE(describe(readAll(path.toStdString())), describe(clientRows(1, 1500)));
        QCOMPARE(checkStructure(path), QString());
        // The appending cursor stands on the last record.
        std::vector<uint8_t> rec(held.size());
        QCOMPARE(ke_get_record(c, KE_LOCK_NONE, rec.data(), rec.size()), ke_result(KE_OK));
        QCOMPARE(rowOf(holder.header(), rec.data()), clientRow(1500));
        // The edit lock survived: another cursor cannot take it, its holder can post.
        QCOMPARE(ke_set_to_begin(c), ke_result(KE_OK));
        QCOMPARE(ke_get_next_record(c, KE_LOCK_WRITE, rec.data(), rec.size()), ke_result(KE_ERR_RECORD_LOCKED));
        auto changed = makeRecord(holder.header(), Row{"1", "Изменено"});
        holder.modify(changed.data(), true);
        ke_close_cursor(c);

        ke_cursor* reader = nullptr;
        QCOMPARE(ke_open_table(m_db, QFileInfo(path).fileName().toUtf8().constData(), "PARADOX", nullptr, 0,
                               KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &reader),
                 ke_result(KE_OK));
        QCOMPARE(ke_append_records(reader, more.data(), 1), ke_result(KE_ERR_TABLE_READ_ONLY));
        ke_table_info info {};
        char where[4096];
        QCOMPARE(ke_get_table_info(reader, &info, where, sizeof where), ke_result(KE_OK));
        QCOMPARE(info.record_count, 1500u);
        QCOMPARE(QString::fromUtf8(where), path);
        QCOMPARE(ke_get_table_info(reader, &info, where, 4), ke_result(KE_ERR_BUFFER_TOO_SMALL));
        ke_close_cursor(reader);
    }

    // The copy: the table's bytes, owner-only, never over an existing file,
    // removed when a write fails, and without a change a crash left half-done.
    void copyIsVerifiedAndPrivate()
    {
        ke_cursor* c = nullptr;
        const QString path = newTable(300, &c);
        const QByteArray sound = fileBytes(path);
        const mode_t oldMask = ::umask(022);
        const QString copy = m_dir.path() + "/copy.DB";
        uint64_t bytes = 0;
        QCOMPARE(ke_copy_table(c, copy.toUtf8().constData(), &bytes), ke_result(KE_OK));
        ::umask(oldMask);
        QCOMPARE(qint64(bytes), qint64(sound.size()));
        QVERIFY(fileBytes(copy) == sound);
        struct stat st {};
        QCOMPARE(::stat(copy.toUtf8().constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));

        QCOMPARE(ke_copy_table(c, copy.toUtf8().constData(), &bytes), ke_result(KE_ERR_INVALID_PARAMETER));
        QVERIFY(fileBytes(copy) == sound);

        const QString failed = m_dir.path() + "/failed.DB";
        ke::faults::failWritesAfter(0);
        const ke_result r = ke_copy_table(c, failed.toUtf8().constData(), &bytes);
        ke::faults::failWritesAfter(-1);
        QCOMPARE(r, ke_result(KE_ERR_IO));
        QVERIFY(!QFile::exists(failed));

        // A change interrupted after its journal was written: the copy is of
        // the table before it, and so is the table afterwards.
        const auto more = recordsOf(ke::Cursor(path.toStdString(), {}).header(), 301, 40);
        QCOMPARE(ke_append_records(c, more.data(), 40), ke_result(KE_OK));
        leaveJournal(path, sound);
        const QString rolledBack = m_dir.path() + "/rolled-back.DB";
        QCOMPARE(ke_copy_table(c, rolledBack.toUtf8().constData(), &bytes), ke_result(KE_OK));
        QVERIFY(fileBytes(rolledBack) == sound);
        QVERIFY(fileBytes(path) == sound);
        ke_close_cursor(c);
    }

    // Each damage is found and named; the sound table has no problem.
    void checkNamesEachDamage_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sound") << "" << "";
        QTest::newRow("record count") << "records+1" << "the header counts 37 records, the blocks of the chain hold 36";
        QTest::newRow("back link") << "prev2=3" << "block 2 follows block 1 but links back to block 3";
        QTest::newRow("circle") << "next2=1" << "runs in a circle";
        QTest::newRow("link outside") << "next2=99" << "block 2 links to block 99, which lies outside the file";
        QTest::newRow("bad count") << "count2" << "block 2 has an invalid record count";
        QTest::newRow("cut short") << "truncate" << "the file ends before block 3";
        QTest::newRow("free list") << "free=2" << "block 2 is on the list of free blocks and holds records";
        QTest::newRow("blocks in use") << "used+1" << "the header counts 4 blocks in use, the chain of record blocks has 3";
    }

    void checkNamesEachDamage()
    {
        QFETCH(QString, damage);
        QFETCH(QString, expected);
        const QString path = newTable(36); // 12 records a block: three full blocks
        QByteArray b = fileBytes(path);
        const int headerSize = uint8_t(b[2]) | (uint8_t(b[3]) << 8), blockSize = 2048;
        auto put16 = [&](qsizetype at, int v) {
            b[at] = char(v & 0xFF);
            b[at + 1] = char(v >> 8);
        };
        auto blockAt = [&](int n) { return qsizetype(headerSize + (n - 1) * blockSize); };
        if (damage == "records+1")
            put16(0x06, 37);
        else if (damage == "prev2=3")
            put16(blockAt(2) + 2, 3);
        else if (damage == "next2=1")
            put16(blockAt(2), 1);
        else if (damage == "next2=99")
            put16(blockAt(2), 99);
        else if (damage == "count2")
            put16(blockAt(2) + 4, 7);
        else if (damage == "truncate")
            b.truncate(blockAt(3) + 100);
        else if (damage == "free=2")
            put16(0x4D, 2);
        else if (damage == "used+1")
            put16(0x0A, 4);
        writeBytes(path, b);

        const Problems p = checkTable(path);
        QCOMPARE(p.result, ke_result(KE_OK));
        QCOMPARE(int(p.count), p.texts.size());
        if (expected.isEmpty()) {
            QVERIFY2(p.texts.isEmpty(), qPrintable(p.texts.join('\n')));
        } else {
            QVERIFY2(!p.texts.filter(expected).isEmpty(), qPrintable(p.texts.join('\n')));
        }
    }
};

QTEST_GUILESS_MAIN(TestTableMaintenance)
#include "TestTableMaintenance.moc"
