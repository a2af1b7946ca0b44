// Password-protected tables: the key and the block scrambling reproduce the
// format's published vectors, pxlib's protected tables open with their password
// (and with no other), every kind of change keeps the table protected under the
// same key and readable by pxlib, and a password is set or removed all or nothing.
#include "EngineTestSupport.h"
#include "WriteFaults.h"
#include "Journal.h"
#include "PxlibPeer.h"
#include "Scramble.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace enginetest;

namespace {

QByteArray hex(const char* h) { return QByteArray::fromHex(h); }
QByteArray bytes(const uint8_t* p, int n) { return QByteArray(reinterpret_cast<const char*>(p), n); }

ke::OpenOptions withPasswords(std::vector<std::string> passwords, bool exclusive = false)
{
    ke::OpenOptions o;
    o.passwords = std::move(passwords);
    o.exclusive = exclusive;
    return o;
}

std::vector<Row> readAllWith(const QString& path, const std::string& password)
{
    ke::OpenOptions o = withPasswords({password});
    o.readOnly = true;
    ke::Cursor c(path.toStdString(), o);
    std::vector<uint8_t> rec(c.header().recordSize);
    std::vector<Row> rows;
    c.setToBegin();
    try {
        for (;;) {
            c.next(false, rec.data());
            rows.push_back(rowOf(c.header(), rec.data()));
        }
    } catch (const ke::EngineError& e) {
        if (e.code != KE_ERR_EOF)
            throw;
    }
    return rows;
}

uint32_t problemsOf(const QString& path, const std::string& password)
{
    ke::Cursor c(path.toStdString(), withPasswords({password}));
    return c.check([](const std::string& p) { qWarning("%s", p.c_str()); });
}

// Stands the cursor on record `at` (0-based), walking from the nearer end.
void standOn(ke::Cursor& c, int at, int size)
{
    std::vector<uint8_t> buf(c.header().recordSize);
    if (at < size / 2) {
        c.setToBegin();
        for (int k = 0; k <= at; ++k)
            c.next(false, buf.data());
    } else {
        c.setToEnd();
        for (int k = size - 1; k >= at; --k)
            c.prior(false, buf.data());
    }
}

} // namespace

class TestProtectedTables : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir {fastTempTemplate()};

private slots:
    void initTestCase() { QCOMPARE(ke_init(nullptr), KE_OK); }
    void cleanupTestCase() { ke_exit(); }
    void init() { g_pxErrors = 0; }
    void cleanup() { ke::faults::failWritesAfter(-1); }

    void keysAndBlocksMatchTheFormat()
    {
        const struct {
            const char* passwordHex;
            uint32_t key;
        } keys[] = {{"736563726574", 0x6E25449A}, {"536563726574", 0xAF2EC438}, {"78", 0x3C81B221},
                    {"6162636465666768696A6B6C6D6E6F", 0x5B31E8E6}, {"EFE0F0EEEBFC", 0x70D89157},
                    {"CFE0F0EEEBFCC4EBE8EDEDFBE93135", 0xF45D50DC}, {"636F6366", 0x0001765C}, {"", 0}};
        for (const auto& k : keys)
            QCOMPARE(QString::number(ke::scramble::keyOf(hex(k.passwordHex).toStdString()), 16),
                     QString::number(k.key, 16));
        QCOMPARE(ke::scramble::keyOf(std::string(256, 'a')), 0u); // too long to have a key

        uint8_t zeros[256] = {}, out[256], back[256];
        ke::scramble::scrambleChunk(zeros, out, 0, 0, 0, 0);
        QCOMPARE(bytes(out, 16), hex("75951801E051537C9D3C57277F56D044"));
        ke::scramble::unscrambleChunk(out, back, 0, 0, 0, 0);
        QCOMPARE(bytes(back, 256), QByteArray(256, 0));

        std::vector<uint8_t> block(512);
        for (int i = 0; i < 512; ++i)
            block[size_t(i)] = uint8_t(7 * i + 3);
        const std::vector<uint8_t> plain = block;
        const ke::scramble::BlockScrambler k1234(0x1234);
        k1234.scramble(block.data(), block.size(), 300);
        QCOMPARE(bytes(block.data() + 256, 16), hex("B133FEC727E407C6F20247A37F4D1C88"));
        k1234.unscramble(block.data(), block.size(), 300);
        QVERIFY(block == plain);

        // The first data block of a two-record table protected with "secret".
        std::vector<uint8_t> b(2048, 0);
        b[4] = 0x1E;
        std::memcpy(&b[6], "Alice", 5);
        std::memcpy(&b[26], "x1", 2);
        std::memcpy(&b[36], "Bob", 3);
        std::memcpy(&b[56], "x2", 2);
        std::vector<uint8_t> asBlock2 = b;
        const ke::scramble::BlockScrambler secret(0x6E25449A);
        secret.scramble(b.data(), b.size(), 1);
        QCOMPARE(bytes(b.data(), 32), hex("75ABF224F65A15CABF459D78A67FBA570097577862E5C1739F4530434C1DBD2B"));
        QCOMPARE(bytes(b.data() + 256, 16), hex("84A0FE860918DD2B01328446CD51B294"));
        secret.scramble(asBlock2.data(), asBlock2.size(), 2);
        QCOMPARE(bytes(asBlock2.data(), 16), hex("91718293F8D671AD7D8C528143264BE4"));
    }

    void pxlibTableOpensWithItsPasswordOnly()
    {
        const QString path = m_dir.path() + "/px.DB";
        std::vector<Row> model;
        // Enough 2-KiB blocks that block numbers wrap past 255.
        for (int i = 0; i < 3200; ++i)
            model.push_back(clientRow(i));
        createWithPxlib(path.toStdString(), 1251, model, "secret");
        QCOMPARE(g_pxErrors, 0);
        QCOMPARE(storedKey(path), 0x6E25449Au);
        const QByteArray asMade = fileBytes(path);
        const int headerSize = uint8_t(asMade[2]) | uint8_t(asMade[3]) << 8;
        const QByteArray surname("\xD4\xE0\xEC\xE8\xEB\xE8\xFF\x31\x32", 9); // "Фамилия12" as stored
        QVERIFY(!asMade.mid(headerSize).contains(surname));

        QCOMPARE(errorOf([&] { ke::Cursor c(path.toStdString(), {}); }), KE_ERR_INSUFFICIENT_RIGHTS);
        QCOMPARE(errorOf([&] { ke::Cursor c(path.toStdString(), withPasswords({"Secret", "secret "})); }),
                 KE_ERR_INSUFFICIENT_RIGHTS);
        QCOMPARE(fileBytes(path), asMade);
        QCOMPARE(describe(readAllWith(path, "secret")), describe(model));
        // Among other passwords of the session, the right one opens it.
        ke::Cursor c(path.toStdString(), withPasswords({"other", "secret"}));

        // Inserts, modifies and deletes at random places: block splits and
        // takeovers on blocks numbered past 255.
        QRandomGenerator rng(11);
        int serial = 50000; // numbers that fit the five-character column
        for (int step = 0; step < 300; ++step) {
            const int size = int(model.size());
            const int at = step % 3 == 0 ? int(rng.bounded(std::min(size, 40))) : int(rng.bounded(size));
            standOn(c, at, size);
            const int op = int(rng.bounded(3));
            if (op == 0) {
                auto r = makeRecord(c.header(), clientRow(++serial));
                c.insert(r.data(), false);
                model.insert(model.begin() + at, clientRow(serial));
            } else if (op == 1) {
                Row row = model[size_t(at)];
                row[1] = "Изменённая" + std::to_string(step);
                auto r = makeRecord(c.header(), row);
                c.modify(r.data(), true);
                model[size_t(at)] = row;
            } else {
                c.remove();
                model.erase(model.begin() + at);
            }
        }
        QCOMPARE(storedKey(path), 0x6E25449Au);
        QCOMPARE(describe(readWithPxlib(path.toStdString(), 1251)), describe(model));
        QCOMPARE(g_pxErrors, 0);
        QCOMPARE(problemsOf(path, "secret"), 0u);

        // A change cut short leaves its journal; the next reader rolls it back
        // to the protected bytes as they were.
        const QByteArray before = fileBytes(path);
        ke::faults::failWritesAfter(2, true); // the journal and one block reach the disk
        standOn(c, 5, int(model.size()));
        auto r = makeRecord(c.header(), clientRow(999999));
        QCOMPARE(errorOf([&] { c.insert(r.data(), false); }), KE_ERR_IO);
        ke::faults::failWritesAfter(-1);
        QVERIFY(QFile::exists(QString::fromStdString(ke::journalPathFor(path.toStdString()))));
        QCOMPARE(describe(readAllWith(path, "secret")), describe(model));
        QCOMPARE(fileBytes(path), before);
    }

    void passwordIsSetAndRemovedAllOrNothing()
    {
        const QString path = m_dir.path() + "/own.DB";
        ke::createTable(path.toStdString(), ke::clientTableLayout());
        std::vector<Row> model;
        {
            ke::Cursor c(path.toStdString(), {});
            std::vector<uint8_t> all;
            for (int i = 0; i < 700; ++i) {
                model.push_back(clientRow(i));
                const auto r = makeRecord(c.header(), model.back());
                all.insert(all.end(), r.begin(), r.end());
            }
            c.append(all.data(), model.size());
        }
        const QByteArray plain = fileBytes(path);

        // Only with the table to itself.
        {
            ke::Cursor shared(path.toStdString(), {});
            QCOMPARE(errorOf([&] { shared.storeUnderKey(ke::scramble::keyOf("x")); }), KE_ERR_TABLE_IN_USE);
            ke_database* db = nullptr;
            QCOMPARE(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_OK);
            QCOMPARE(ke_set_directory(db, m_dir.path().toUtf8().constData()), KE_OK);
            ke_cursor* own = nullptr;
            QCOMPARE(ke_open_table(db, "own.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_EXCLUSIVE, &own),
                     KE_ERR_TABLE_IN_USE);
            ke_close_database(db);
        }

        // A password typed in Cyrillic is stored through the table's code page,
        // the same key pxlib makes from its Windows-1251 bytes.
        ke_database* db = nullptr;
        QCOMPARE(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_OK);
        QCOMPARE(ke_set_directory(db, m_dir.path().toUtf8().constData()), KE_OK);
        ke_cursor* own = nullptr;
        QCOMPARE(ke_open_table(db, "own.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_EXCLUSIVE, &own), KE_OK);

        // Cut short at every point of the rewrite (the journal, the first, a middle
        // and the last block, the key, the counters): the table is as it was.
        ke_table_info asIs {};
        QCOMPARE(ke_get_table_info(own, &asIs, nullptr, 0), KE_OK);
        const int blocks = asIs.file_blocks;
        QVERIFY(blocks > 50);
        for (int budget : {0, 1, blocks / 2, blocks, blocks + 1, blocks + 2}) {
            ke::faults::failWritesAfter(budget, true);
            QCOMPARE(ke_set_table_password(own, "пароль"), KE_ERR_IO);
            ke::faults::failWritesAfter(-1);
            ke_table_info facts {};
            QCOMPARE(ke_get_table_info(own, &facts, nullptr, 0), KE_OK); // rolls the change back
            QCOMPARE(facts.password_protected, uint8_t(0));
            QCOMPARE(fileBytes(path), plain);
        }
        QCOMPARE(ke_set_table_password(own, "пароль"), KE_OK);
        QCOMPARE(storedKey(path), 0x70D89157u);
        const QByteArray surname("\xD4\xE0\xEC\xE8\xEB\xE8\xFF\x31\x32", 9); // "Фамилия12" as stored
        QVERIFY(plain.contains(surname));
        QVERIFY(!fileBytes(path).contains(surname));
        QCOMPARE(describe(readWithPxlib(path.toStdString(), 1251)), describe(model));
        QCOMPARE(g_pxErrors, 0);
        // The cursor that set it goes on reading and changing the table.
        std::vector<uint8_t> rec(170);
        QCOMPARE(ke_set_to_end(own), KE_OK);
        QCOMPARE(ke_get_prior_record(own, KE_LOCK_NONE, rec.data(), rec.size()), KE_OK);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(rec.data()), 3), QByteArray("699"));
        QCOMPARE(ke_close_cursor(own), KE_OK);
        QCOMPARE(ke_close_database(db), KE_OK);

        QCOMPARE(errorOf([&] { ke::Cursor c(path.toStdString(), withPasswords({"parol"})); }), KE_ERR_INSUFFICIENT_RIGHTS);
        QCOMPARE(describe(readAllWith(path, "пароль")), describe(model));
        QCOMPARE(problemsOf(path, "пароль"), 0u);

        // Removed again: the very bytes the table had before.
        {
            ke::Cursor c(path.toStdString(), withPasswords({"пароль"}, true));
            c.storeUnderKey(0);
        }
        QCOMPARE(storedKey(path), 0u);
        QCOMPARE(describe(readWithPxlib(path.toStdString(), 1251)), describe(model));
        QCOMPARE(describe(readAll(path.toStdString())), describe(model));
    }

    void damagedProtectedBlocksGiveErrors()
    {
        const QString path = m_dir.path() + "/damaged.DB";
        std::vector<Row> rows;
        for (int i = 0; i < 200; ++i)
            rows.push_back(clientRow(i));
        createWithPxlib(path.toStdString(), 1251, rows, "secret");
        const QByteArray good = fileBytes(path);
        const int headerSize = uint8_t(good[2]) | uint8_t(good[3]) << 8;
        QRandomGenerator rng(5);
        for (int round = 0; round < 60; ++round) {
            QByteArray bad = good;
            // A scrambled byte changes one plain byte somewhere in its chunk: hit the links and counts too.
            for (int k = 0; k < 1 + round % 4; ++k) {
                const int at = headerSize + int(rng.bounded(bad.size() - headerSize));
                bad[at] = char(bad[at] ^ char(1 + rng.bounded(255)));
            }
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bad);
            f.close();
            // Forwards and backwards, a bounded walk ends with an answer: records, end of table or an error.
            for (bool forwards : {true, false}) {
                const uint16_t result = errorOf([&] {
                    ke::Cursor c(path.toStdString(), withPasswords({"secret"}));
                    std::vector<uint8_t> buf(c.header().recordSize);
                    forwards ? c.setToBegin() : c.setToEnd();
                    for (int i = 0; i < 1000; ++i)
                        forwards ? c.next(false, buf.data()) : c.prior(false, buf.data());
                });
                QVERIFY2(result == (forwards ? KE_ERR_EOF : KE_ERR_BOF) || result == KE_ERR_CORRUPT_TABLE,
                         qPrintable(QString("round %1: result %2").arg(round).arg(result, 0, 16)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestProtectedTables)
#include "TestProtectedTables.moc"
