// Keyed tables made by pxlib, changed through the engine, checked by pxlib:
// the record chain in key order, every level-1 and level-2 entry matching its
// blocks, the pair accepted and every record read through the index. The
// engine's index is compared byte for byte with pxlib's own rebuild of it: the
// same while the layout of the tree is unchanged (apart from the change counter
// the engine raises), laid out differently once blocks split or leave, and the
// same again once the engine rebuilds it.
#include "EngineTestSupport.h"
#include "FieldCodec.h"
#include "KeyedPxlibPeer.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace enginetest;

namespace {

const std::vector<PeerField> kTextKeyed = {{"Code", 'A', 10}, {"Name", 'A', 20}, {"Qty", 'I', 4}};
const std::vector<PeerField> kNumberKeyed = {{"Num", 'I', 4}, {"Name", 'A', 26}, {"Qty", 'I', 4}};

std::vector<uint8_t> record(const std::string& code, int number, const std::string& name, int qty,
                            bool textKey) {
    std::vector<uint8_t> r(34, 0);
    if (textKey) {
        std::memcpy(r.data(), code.data(), code.size());
        std::memcpy(r.data() + 10, name.data(), name.size());
    } else {
        ke::codec::encodeInteger(r.data(), 4, number);
        std::memcpy(r.data() + 4, name.data(), name.size());
    }
    ke::codec::encodeInteger(r.data() + 30, 4, qty);
    return r;
}

QByteArray bytesOf(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Our index against pxlib's rebuild of it from a copy of our table. pxlib's
// rebuild takes every block of the file, free ones too, so it is only a
// reference while the table has no free blocks.
QStringList againstPxlib(const std::string& base) {
    QFile::remove(QString::fromStdString(base + ".theirs.DB"));
    QFile::copy(QString::fromStdString(base + ".DB"), QString::fromStdString(base + ".theirs.DB"));
    rebuildIndexWithPxlib(base + ".theirs", base + ".theirs.PX");
    return indexDifferences(bytesOf(base + ".PX"), bytesOf(base + ".theirs.PX"));
}

// The change counter at 0x2C after n records added or deleted or key fields
// changed, against pxlib's constant: it runs through 1..255 from pxlib's 102.
QString counted(int n) {
    return QString("0x2c: %1 against 66").arg((102 - 1 + n) % 255 + 1, 2, 16, QChar('0'));
}

// The engine's rebuild of a table's index, the table opened alone for it.
void rebuild(const std::string& path) {
    ke::OpenOptions alone;
    alone.exclusive = true;
    alone.indexRebuild = true;
    ke::Cursor(path, alone).rebuildIndex();
}

// Stands the cursor on the n-th record (from 0).
void standOn(ke::Cursor& c, int n) {
    std::vector<uint8_t> rec(c.header().recordSize);
    c.setToBegin();
    for (int k = 0; k <= n; ++k)
        c.next(false, rec.data());
}

} // namespace

class TestKeyedInterop : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir{fastTempTemplate()};

private slots:
    void init() { g_pxErrors = 0; }
    void cleanup() { QCOMPARE(g_pxErrors, 0); }

    // Text keys under a sort order no one publishes: changes and deletes only.
    void textKeyedTableChangedAndPruned() {
        const std::string base = (m_dir.path() + "/codes").toStdString(), path = base + ".DB";
        std::vector<std::vector<uint8_t>> rows;
        char code[16];
        for (int i = 1; i <= 8000; ++i) { // 134 blocks of 60 records: two index levels
            std::snprintf(code, sizeof code, "K%05d", i);
            rows.push_back(record(code, 0, "name " + std::to_string(i), i, true));
        }
        makeKeyedWithPxlib(base, kTextKeyed, 1, rows);
        const QByteArray pxlibIndex = bytesOf(base + ".PX");
        rebuild(path);
        QCOMPARE(indexDifferences(bytesOf(base + ".PX"), pxlibIndex), QStringList());
        const QByteArray ours = bytesOf(base + ".PX");

        {
            ke::Cursor c(path, {});
            std::vector<uint8_t> rec(c.header().recordSize);
            for (int n : {0, 59, 60, 4000, 7999}) { // other fields only: the index is not touched
                standOn(c, n);
                c.current(false, rec.data());
                std::memcpy(rec.data() + 10, "changed", 7);
                c.modify(rec.data(), true);
            }
            QCOMPARE(bytesOf(base + ".PX"), ours);
            for (int n : {7000, 3000, 120, 1}) { // inside blocks: counts and first keys change
                standOn(c, n);
                c.remove();
            }
            QCOMPARE(againstPxlib(base), QStringList({counted(4)})); // four deletes
            QCOMPARE(verifyWithPxlib(base), QStringList());

            // A whole block, then the first block itself (the second takes its place).
            for (int k = 0; k < 60; ++k) {
                standOn(c, 600);
                c.remove();
            }
            for (int k = 0; k < 59; ++k) {
                standOn(c, 0);
                c.remove();
            }
            // Adding a record or changing a key would need the sort order's collation.
            const int before = int(c.recordCount());
            standOn(c, 5);
            c.current(false, rec.data());
            rec[5] = 'x';
            QCOMPARE(errorOf([&] { c.modify(rec.data(), true); }),
                     uint16_t(KE_ERR_KEY_ORDER_UNKNOWN));
            QCOMPARE(errorOf([&] { c.insert(rec.data(), false); }),
                     uint16_t(KE_ERR_KEY_ORDER_UNKNOWN));
            QCOMPARE(errorOf([&] { c.makeInsertionPoint(); }), uint16_t(KE_ERR_KEY_ORDER_UNKNOWN));
            QCOMPARE(int(c.recordCount()), before);
            QCOMPARE(verifyWithPxlib(base), QStringList());
        }
        // Two entries left their level-1 block, whose later entries did not move: a
        // rebuild fills the blocks again.
        const QByteArray kept = bytesOf(base + ".PX");
        rebuild(path);
        QCOMPARE(verifyWithPxlib(base), QStringList());
        const QStringList layout = indexDifferences(kept, bytesOf(base + ".PX"));
        qInfo("after two blocks left the chain, %lld bytes differ from a rebuild: %s",
              qlonglong(layout.size()), qPrintable(layout.mid(0, 6).join("; ")));
        QVERIFY(!layout.isEmpty());
    }

    // Number keys: records added between others split full blocks and index
    // blocks, keys change, records go.
    void numberKeyedTableExtended() {
        const std::string base = (m_dir.path() + "/numbers").toStdString(), path = base + ".DB";
        std::vector<std::vector<uint8_t>> rows;
        for (int i = 1; i <= 7620; ++i) // exactly 127 full blocks: a full level-1 index block
            rows.push_back(record("", i * 10, "n" + std::to_string(i), i, false));
        makeKeyedWithPxlib(base, kNumberKeyed, 1, rows);
        QCOMPARE(verifyWithPxlib(base), QStringList());

        int added = 0;
        {
            ke::Cursor c(path, {});
            std::vector<uint8_t> rec(c.header().recordSize);
            for (int k = 1; k <= 300;
                 ++k) { // spread over the table, each block split at least once
                const int number = (k * 2543) % 7620 * 10 + 5; // between two stored numbers

                try {
                    c.insert(record("", number, "added", k, false).data(), false);
                } catch (const ke::EngineError& e) {
                    QFAIL(qPrintable(QString("adding %1: %2")
                                         .arg(number)
                                         .arg(QString::fromStdString(e.context))));
                }
                c.current(false, rec.data());
                QCOMPARE(int(*ke::codec::decodeInteger(rec.data(), 4)), number);
                ++added;
            }
            QCOMPARE(errorOf([&] { c.insert(record("", 50, "again", 0, false).data(), false); }),
                     uint16_t(KE_ERR_KEY_VIOLATION));
            // One key to the end, another to the start (no block empties: pxlib's
            // rebuild below would index a free block).
            for (const auto& [n, key] : {std::pair{10, 999999}, std::pair{11, 7}}) {
                standOn(c, n);
                c.current(false, rec.data());
                ke::codec::encodeInteger(rec.data(), 4, key);
                c.modify(rec.data(), true);
            }
            for (int k = 1; k <= 200; ++k) {
                standOn(c, (k * 37) % int(c.recordCount()));
                c.remove();
            }
            QCOMPARE(int(c.recordCount()), 7620 + added - 200);
            QCOMPARE(verifyWithPxlib(base), QStringList());
            std::vector<uint8_t> first(c.header().recordSize);
            c.setToBegin();
            c.next(false, first.data());
            QCOMPARE(int(*ke::codec::decodeInteger(first.data(), 4)), 7);
        }

        const QStringList layout = againstPxlib(base);
        qInfo("after %d records were added, %lld bytes differ from pxlib's rebuild: %s", added,
              qlonglong(layout.size()), qPrintable(layout.mid(0, 6).join("; ")));
        QVERIFY(layout.contains(counted(502))); // 300 added, 2 keys changed, 200 deleted
        // The engine's own rebuild lays it out as pxlib does.
        rebuild(path);
        QCOMPARE(againstPxlib(base), QStringList({counted(502)}));
        QCOMPARE(verifyWithPxlib(base), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestKeyedInterop)
#include "TestKeyedInterop.moc"
