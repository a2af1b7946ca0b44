// A keyed card index through kartoteka-table: what info and check say about
// its key, its primary index and what keeps it read-only, and reindex
// repairing a damaged or missing index the way pxlib would have built it.
#include "KeyedPxlibPeer.h"
#include "ToolTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace enginetest;
using namespace tooltest;

namespace {

// The client card index's columns as pxlib is given them (names in code page 1251).
std::vector<PeerField> clientColumns()
{
    static std::vector<std::string> names;
    names.clear();
    std::vector<PeerField> spec;
    const ke::CodePage* cp = ke::CodePage::get(1251);
    for (const ke::NewField& f : ke::clientTableLayout().fields)
        names.push_back(cp->fromUtf8(f.name));
    for (size_t i = 0; i < names.size(); ++i)
        spec.push_back({names[i].c_str(), 'A', ke::clientTableLayout().fields[i].size});
    return spec;
}

// Cards numbered as given, each with a surname.
std::vector<std::vector<uint8_t>> cards(const std::vector<int>& numbers)
{
    std::vector<std::vector<uint8_t>> records;
    ke::TableHeader h;
    int offset = 0;
    for (const ke::NewField& f : ke::clientTableLayout().fields) {
        h.fields.push_back({f.type, f.size, f.size, uint16_t(offset), {}});
        offset += f.size;
    }
    h.recordSize = uint16_t(offset);
    h.codePage = 1251;
    for (int n : numbers) {
        char number[8];
        std::snprintf(number, sizeof number, "%05d", n);
        records.push_back(makeRecord(h, {number, "Фамилия" + std::to_string(n)}));
    }
    return records;
}

} // namespace

class TestKeyedTool : public QObject {
    Q_OBJECT

private slots:
    void keyedCardIndexIsDescribedCheckedAndReindexed()
    {
        QTemporaryDir dir;
        const QString made = dir.path() + "/made.DB";
        QCOMPARE(runTool({"create", "--key", "1", made}).code, 0);
        QVERIFY(QFile::exists(dir.path() + "/made.PX"));
        Result r = runTool({"info", made});
        QVERIFY2(r.out.contains("keyed: 1 field (Клиент №), sort order \"ascii\"\n"), qPrintable(r.out));
        QVERIFY(r.out.contains("key order: unknown: the key field \"Клиент №\" is text ordered by the sort order "
                               "\"ascii\", whose order this program cannot reproduce exactly; cards can be changed "
                               "(apart from their key) and deleted, not added\n"));
        QVERIFY(r.out.contains("primary index: 0 levels\n"));
        QVERIFY(r.out.contains("access: read-write\n"));
        QCOMPARE(runTool({"check", made}).code, 0);
        QCOMPARE(runTool({"create", "--key", "8", dir.path() + "/eight.DB"}).code, 2);

        // A card index made by pxlib, keyed on its card number: 150 cards in two 16 KiB blocks.
        const QString path = dir.path() + "/data.DB", index = dir.path() + "/data.PX";
        std::vector<int> numbers;
        for (int n = 1; n <= 150; ++n)
            numbers.push_back(n * 3);
        makeKeyedWithPxlib((dir.path() + "/data").toStdString(), clientColumns(), 1, cards(numbers));
        const QByteArray theirs = fileBytes(index);
        r = runTool({"check", path});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(": sound, 150 records"), qPrintable(r.out));
        QVERIFY(runTool({"info", path}).out.contains("primary index: 1 level\naccess: read-write\n"));

        // One count of the index off by one: the totals disagree, the table is only read.
        QByteArray damaged = theirs;
        damaged[0x800 + 6 + 5 + 2 + 1] = char(damaged[0x800 + 6 + 5 + 2 + 1] + 1);
        writeFile(index, damaged);
        r = runTool({"info", path});
        QVERIFY2(r.out.contains("access: read-only: its primary index data.PX does not match it: the index counts 151 "
                                "records, the table holds 150\n"),
                 qPrintable(r.out));
        r = runTool({"check", path});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("the entry for data block 1 counts 97 records, the block holds 96"), qPrintable(r.out));
        QVERIFY(r.out.contains("\"kartoteka-table reindex\" builds the primary index again"));
        r = runTool({"reindex", path});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(": primary index rebuilt, 150 records, 1 level\n"));
        QCOMPARE(indexDifferences(fileBytes(index), theirs), QStringList());
        QCOMPARE(runTool({"check", path}).code, 0);

        // The index gone: named, and rebuilt the same.
        QVERIFY(QFile::remove(index));
        QVERIFY(runTool({"info", path}).out.contains("access: read-only: its primary index data.PX is missing\n"));
        r = runTool({"check", path});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains("data.PX: the primary index is missing"));
        QCOMPARE(runTool({"reindex", path}).code, 0);
        QCOMPARE(indexDifferences(fileBytes(index), theirs), QStringList());

        // A backup takes the index with the table, as one state.
        r = runTool({"backup", path, dir.path() + "/saved"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("copied its primary index with it"));
        QCOMPARE(fileBytes(dir.path() + "/saved/data.PX"), fileBytes(index));
        QVERIFY(runTool({"check", dir.path() + "/saved/data.DB"}).out.contains(": sound, 150 records"));
        // Put back after cards were deleted: the index follows the restored cards.
        {
            ke::Cursor c(path.toStdString(), {});
            std::vector<uint8_t> rec(c.header().recordSize);
            for (int k = 0; k < 100; ++k) {
                c.setToBegin();
                c.next(false, rec.data());
                c.remove();
            }
        }
        QCOMPARE(runTool({"restore", dir.path() + "/saved/data.DB", path}).code, 0);
        r = runTool({"check", path});
        QVERIFY2(r.out.contains(": sound, 150 records"), qPrintable(r.out));
        QCOMPARE(indexDifferences(fileBytes(index), theirs), QStringList({"0x2c: cb against 66"})); // 100 deletes and the restore counted

        // Files this program does not keep up to date: named with the reason, not damage.
        writeFile(dir.path() + "/DATA.X02", "x");
        writeFile(dir.path() + "/data.val", "v");
        r = runTool({"info", path});
        QVERIFY2(r.out.contains("access: read-only: DATA.X02 is a secondary index, which this program does not keep up "
                                "to date: another program would find it out of date and could miss records or read "
                                "the wrong ones; data.val holds validity checks"),
                 qPrintable(r.out));
        r = runTool({"check", path});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("the program opens this table read-only: DATA.X02 is a secondary index"));
        QVERIFY(!r.out.contains("reindex"));

        // Records out of key order: check names the record, reindex refuses.
        makeKeyedWithPxlib((dir.path() + "/mixed").toStdString(), clientColumns(), 1, cards({5, 9, 7, 9}));
        r = runTool({"check", dir.path() + "/mixed.DB"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains("record 4 repeats the key of an earlier record (Клиент № = 00009)"));
        r = runTool({"reindex", dir.path() + "/mixed.DB"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("record 4 repeats the key of an earlier record (Клиент № = 00009); the index cannot be "
                                "rebuilt"),
                 qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestKeyedTool)
#include "TestKeyedTool.moc"
