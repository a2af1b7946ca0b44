// The table file format as the engine reads and writes it: every value type,
// levels 3 to 7, code pages 866 and 1251, block splitting and freeing under
// random changes (checked against a plain list and an independent structure
// check), tables that may only be read, and damaged files.
#include "EngineTestSupport.h"
#include "FieldCodec.h"
#include "TableChecker.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace enginetest;

namespace {

QByteArray bytes(const uint8_t* p, int n) { return QByteArray(reinterpret_cast<const char*>(p), n); }

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(data);
}

void patch(const QString& path, qsizetype offset, const QByteArray& data)
{
    QByteArray all = fileBytes(path);
    all.replace(offset, data.size(), data);
    writeFile(path, all);
}

std::vector<uint8_t> rec(ke::Cursor& c, const Row& row) { return makeRecord(c.header(), row); }

void append(ke::Cursor& c, const Row& row)
{
    c.setToEnd();
    auto r = rec(c, row);
    c.insert(r.data(), false);
}

} // namespace

class TestTableFormat : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir {fastTempTemplate()};
    int m_serial = 0;

    QString newPath() { return m_dir.path() + QString("/t%1.DB").arg(++m_serial); }

private slots:
    void storedEncodingsOfValues()
    {
        uint8_t b[8];
        ke::codec::encodeInteger(b, 2, 1);
        QCOMPARE(bytes(b, 2), QByteArray("\x80\x01", 2));
        ke::codec::encodeInteger(b, 2, -2);
        QCOMPARE(bytes(b, 2), QByteArray("\x7F\xFE", 2));
        ke::codec::encodeInteger(b, 4, 256);
        QCOMPARE(bytes(b, 4), QByteArray("\x80\x00\x01\x00", 4));
        ke::codec::encodeInteger(b, 4, -1);
        QCOMPARE(bytes(b, 4), QByteArray("\x7F\xFF\xFF\xFF", 4));
        QCOMPARE(*ke::codec::decodeInteger(reinterpret_cast<const uint8_t*>("\x7F\xFE"), 2), int64_t(-2));
        ke::codec::encodeDouble(b, 12.5);
        QCOMPARE(bytes(b, 8), QByteArray("\xC0\x29\x00\x00\x00\x00\x00\x00", 8));
        ke::codec::encodeDouble(b, -12.5);
        QCOMPARE(bytes(b, 8), QByteArray("\x3F\xD6\xFF\xFF\xFF\xFF\xFF\xFF", 8));
        QCOMPARE(*ke::codec::decodeDouble(b), -12.5);
        QVERIFY(!ke::codec::decodeDouble(reinterpret_cast<const uint8_t*>("\0\0\0\0\0\0\0\0")));
        QCOMPARE(ke::codec::dayNumber(1996, 5, 4), int64_t(728783));
        QCOMPARE(ke::codec::dayNumber(100, 1, 1), int64_t(36160));
        QCOMPARE(ke::codec::dayNumber(1, 1, 1), int64_t(1));
        ke::codec::encodeInteger(b, 4, 728783);
        QCOMPARE(bytes(b, 4), QByteArray("\x80\x0B\x1E\xCF", 4));
        ke::codec::encodeInteger(b, 4, 47655250);
        QCOMPARE(bytes(b, 4), QByteArray("\x82\xD7\x29\x52", 4));
        ke::codec::encodeDouble(b, 728783.0 * 86400000.0 + 47655000.0);
        QCOMPARE(bytes(b, 8), QByteArray("\xC2\xCC\xA2\x4F\xD1\xC6\x2C\x00", 8));
        int y, m, d;
        ke::codec::civilFromDayNumber(728783, y, m, d);
        QCOMPARE(QString("%1-%2-%3").arg(y).arg(m).arg(d), QString("1996-5-4"));
    }

    void everyValueTypeReads()
    {
        ke::NewTable t;
        t.fileVersion = 0x0C;
        t.blockSizeKiB = 4;
        t.fields = {{"Alpha", KE_FIELD_ALPHA, 10},  {"Date", KE_FIELD_DATE, 4},    {"Short", KE_FIELD_SHORT, 2},
                    {"Long", KE_FIELD_LONG, 4},     {"Money", KE_FIELD_MONEY, 8},  {"Number", KE_FIELD_NUMBER, 8},
                    {"Logical", KE_FIELD_LOGICAL, 1}, {"Memo", KE_FIELD_MEMO, 20}, {"Time", KE_FIELD_TIME, 4},
                    {"Stamp", KE_FIELD_TIMESTAMP, 8}, {"Auto", KE_FIELD_AUTOINC, 4}, {"Bcd", KE_FIELD_BCD, 2},
                    {"Bytes", KE_FIELD_BYTES, 3}};
        const QString path = newPath();
        ke::createTable(path.toStdString(), t);
        ke::Cursor c(path.toStdString(), {});
        const auto& h = c.header();
        QCOMPARE(int(h.recordSize), 10 + 4 + 2 + 4 + 8 + 8 + 1 + 20 + 4 + 8 + 4 + 17 + 3);
        QCOMPARE(int(h.fields[11].size), 17);
        std::vector<uint8_t> r(h.recordSize, 0);
        auto at = [&](int i) { return r.data() + h.fields[size_t(i)].offset; };
        std::memcpy(at(0), "Text", 4);
        ke::codec::encodeInteger(at(1), 4, ke::codec::dayNumber(1996, 5, 4));
        ke::codec::encodeInteger(at(2), 2, -2);
        ke::codec::encodeInteger(at(3), 4, 100000);
        ke::codec::encodeDouble(at(4), 12.5);
        ke::codec::encodeDouble(at(5), -0.25);
        ke::codec::encodeInteger(at(6), 1, 1);
        std::memcpy(at(7), "short", 5); // memo leader, location 0 = all in the leader
        at(7)[14] = 5;
        ke::codec::encodeInteger(at(8), 4, 47655250);
        ke::codec::encodeDouble(at(9), 728783.0 * 86400000.0 + 47655000.0);
        ke::codec::encodeInteger(at(10), 4, 7);
        at(12)[0] = 0x01;
        at(12)[1] = 0xFF;
        c.insert(r.data(), false);
        // A second, all-blank record.
        std::vector<uint8_t> blank(h.recordSize, 0);
        append(c, {});

        ke::Cursor rd(path.toStdString(), ke::OpenOptions{true, false, {}});
        std::vector<uint8_t> got(h.recordSize);
        rd.setToBegin();
        rd.next(false, got.data());
        auto text = [&](int i) { return QString::fromStdString(ke::codec::toText(h.fields[size_t(i)], got.data(), 1252)); };
        QCOMPARE(text(0), QString("Text"));
        QCOMPARE(text(1), QString("1996-05-04"));
        QCOMPARE(text(2), QString("-2"));
        QCOMPARE(text(3), QString("100000"));
        QCOMPARE(text(4), QString("12.5"));
        QCOMPARE(text(5), QString("-0.25"));
        QCOMPARE(text(6), QString("true"));
        QCOMPARE(text(8), QString("13:14:15.250"));
        QCOMPARE(text(9), QString("1996-05-04 13:14:15.000"));
        QCOMPARE(text(10), QString("7"));
        QCOMPARE(text(12), QString("01ff00"));
        QCOMPARE(QString(ke::codec::kindName(h.fields[7].type)), QString("Memo"));
        QCOMPARE(QString(ke::codec::kindName(h.fields[3].type)), QString("Integer"));
        QCOMPARE(QString(ke::codec::kindName(h.fields[1].type)), QString("Date"));
        rd.next(false, got.data());
        for (int i = 0; i < int(h.fields.size()); ++i)
            QVERIFY2(text(i).isEmpty(), qPrintable(text(i)));
    }

    void levelsAndCodePages_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("codePage");
        QTest::addColumn<int>("namesAt");
        QTest::newRow("level 3 (DOS page)") << 0x03 << 866 << 0xD5;
        QTest::newRow("level 4, 866") << 0x09 << 866 << 0xF5;
        QTest::newRow("level 4, 1251") << 0x09 << 1251 << 0xF5;
        QTest::newRow("level 5, 1251") << 0x0B << 1251 << 0xF5;
        QTest::newRow("level 7, 866") << 0x0C << 866 << 0x1AB;
    }

    void levelsAndCodePages()
    {
        QFETCH(int, version);
        QFETCH(int, codePage);
        QFETCH(int, namesAt);
        ke::NewTable t = ke::clientTableLayout();
        t.fileVersion = uint8_t(version);
        t.codePage = uint16_t(codePage);
        const QString path = newPath();
        ke::createTable(path.toStdString(), t);
        const QByteArray name = codePage == 866 ? QByteArray("\x8A\xAB\xA8\xA5\xAD\xE2\x20\xFC", 8)
                                                : QByteArray("\xCA\xEB\xE8\xE5\xED\xF2\x20\xB9", 8);
        const QByteArray before = fileBytes(path);
        QCOMPARE(before.mid(namesAt, 8), name);
        {
            ke::Cursor c(path.toStdString(), {});
            QCOMPARE(int(c.header().textCodePage()), codePage);
            for (int i = 0; i < 30; ++i)
                append(c, clientRow(i));
        }
        const QByteArray after = fileBytes(path);
        QCOMPARE(after.at(0x39), before.at(0x39));
        if (version >= 5)
            QCOMPARE(after.mid(0x6A, 2), before.mid(0x6A, 2));
        QCOMPARE(after.mid(0x58, 0x800 - 0x58), before.mid(0x58, 0x800 - 0x58)); // names, sort order
        auto rows = readAll(path.toStdString());
        QCOMPARE(int(rows.size()), 30);
        QCOMPARE(rows[29], clientRow(29));
        // The text really is stored in the table's page.
        const QByteArray surname = codePage == 866 ? QByteArray("\x94\xA0\xAC", 3) : QByteArray("\xD4\xE0\xEC", 3);
        QCOMPARE(after.mid(0x800 + 6 + 5, 3), surname);
        QCOMPARE(checkStructure(path), QString());
    }

    void randomChangesMatchAPlainList()
    {
        ke::NewTable t = ke::clientTableLayout();
        t.blockSizeKiB = 1; // five records a block: many splits and frees
        const QString path = newPath();
        ke::createTable(path.toStdString(), t);
        ke::Cursor c(path.toStdString(), {});
        std::vector<Row> model;
        QRandomGenerator rng(12345);
        std::vector<uint8_t> buf(c.header().recordSize);
        auto standOn = [&](int index) {
            c.setToBegin();
            for (int k = 0; k <= index; ++k)
                c.next(false, buf.data());
        };
        int serial = 0;
        for (int step = 0; step < 1500; ++step) {
            const int op = int(rng.bounded(10));
            const int size = int(model.size());
            if (size == 0 || op < 5) {
                // Insert before a random record, or at the end.
                Row row = clientRow(++serial);
                const int at = int(rng.bounded(size + 1));
                if (at == size)
                    c.setToEnd();
                else
                    standOn(at);
                auto r = rec(c, row);
                c.insert(r.data(), false);
                model.insert(model.begin() + at, row);
                c.current(false, buf.data());
                QCOMPARE(rowOf(c.header(), buf.data()), row);
            } else if (op < 8 || size > 60) {
                const int at = int(rng.bounded(size));
                standOn(at);
                c.remove();
                model.erase(model.begin() + at);
                // The crack: next is the follower, or the end.
                if (at < int(model.size())) {
                    c.next(false, buf.data());
                    QCOMPARE(rowOf(c.header(), buf.data()), model[size_t(at)]);
                } else {
                    QCOMPARE(errorOf([&] { c.next(false, buf.data()); }), KE_ERR_EOF);
                }
            } else {
                const int at = int(rng.bounded(size));
                standOn(at);
                Row row = clientRow(++serial);
                row[1] = "Изменено";
                auto r = rec(c, row);
                c.modify(r.data(), true);
                model[size_t(at)] = row;
            }
            if (step % 50 == 0 || step > 1450) {
                QCOMPARE(checkStructure(path), QString());
                QCOMPARE(describe(readAll(path.toStdString())), describe(model));
                // Backwards from the end gives the same list reversed.
                std::vector<Row> back;
                c.setToEnd();
                while (errorOf([&] { c.prior(false, buf.data()); }) == KE_OK)
                    back.push_back(rowOf(c.header(), buf.data()));
                std::reverse(back.begin(), back.end());
                QCOMPARE(describe(back), describe(model));
            }
        }
        // Down to empty.
        while (!model.empty()) {
            standOn(0);
            c.remove();
            model.erase(model.begin());
        }
        QCOMPARE(checkStructure(path), QString());
        QVERIFY(readAll(path.toStdString()).empty());
        QCOMPARE(errorOf([&] { c.prior(false, buf.data()); }), KE_ERR_BOF);
    }

    void unchangedHeaderBytesArePreserved()
    {
        const QString path = newPath();
        ke::createTable(path.toStdString(), ke::clientTableLayout());
        // Bytes of unknown meaning that other programs may have set.
        patch(path, 0x12, QByteArray("\x34\x12", 2));
        patch(path, 0x29, QByteArray("\x4C", 1));
        patch(path, 0x60, QByteArray("\x11\x22\x33\x44", 4));
        patch(path, 0x74, QByteArray("\x05\x06", 2));
        patch(path, 0x55, QByteArray("\xF0", 1)); // pxlib leaves such values here
        const QByteArray before = fileBytes(path);
        {
            ke::Cursor c(path.toStdString(), {});
            append(c, clientRow(1));
            append(c, clientRow(2));
        }
        const QByteArray after = fileBytes(path);
        const QSet<int> counters = {0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x2D, 0x3A, 0x3B};
        for (int i = 0; i < 0x800; ++i)
            if (!counters.contains(i))
                QVERIFY2(after.at(i) == before.at(i), qPrintable(QString("header byte 0x%1 changed").arg(i, 0, 16)));
        QCOMPARE(uint8_t(after.at(0x2D)), uint8_t(before.at(0x2D) + 2)); // one per change
        QCOMPARE(uint8_t(after.at(0x06)), uint8_t(2));
    }

    void tablesThatMayOnlyBeRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("keyed") << "keyed";
        QTest::newRow("write-protected") << "protected";
        QTest::newRow("primary index file") << ".PX";
        QTest::newRow("secondary index file") << ".x02";
        QTest::newRow("secondary index pair") << ".YG1";
        QTest::newRow("validity file") << ".VAL";
        QTest::newRow("no write permission") << "mode";
    }

    void tablesThatMayOnlyBeRead()
    {
        QFETCH(QString, kind);
        const QString path = newPath();
        ke::createTable(path.toStdString(), ke::clientTableLayout());
        {
            ke::Cursor c(path.toStdString(), {});
            append(c, clientRow(1));
        }
        if (kind == "keyed") {
            patch(path, 0x04, QByteArray("\x00", 1));
            patch(path, 0x23, QByteArray("\x01\x00", 2));
        } else if (kind == "protected") {
            patch(path, 0x38, QByteArray("\x01", 1));
        } else if (kind == "mode") {
            if (geteuid() == 0)
                QSKIP("file permissions do not bind the superuser");
            QFile::setPermissions(path, QFile::ReadOwner);
        } else {
            QString companion = path;
            companion.chop(3);
            writeFile(companion + kind, "x");
        }
        QCOMPARE(errorOf([&] { ke::Cursor c(path.toStdString(), {}); }), KE_ERR_TABLE_READ_ONLY);
        ke::Cursor ro(path.toStdString(), ke::OpenOptions{true, false, {}});
        QVERIFY(ro.readOnly());
        std::vector<uint8_t> buf(ro.header().recordSize);
        ro.setToBegin();
        ro.next(false, buf.data());
        QCOMPARE(rowOf(ro.header(), buf.data()), clientRow(1));
        QCOMPARE(errorOf([&] { ro.modify(buf.data(), true); }), KE_ERR_TABLE_READ_ONLY);
        QCOMPARE(errorOf([&] { ro.remove(); }), KE_ERR_TABLE_READ_ONLY);
        QCOMPARE(errorOf([&] { ro.insert(buf.data(), false); }), KE_ERR_TABLE_READ_ONLY);
        QCOMPARE(errorOf([&] { ro.current(true, buf.data()); }), KE_ERR_TABLE_READ_ONLY);
    }

    void passwordProtectedTables()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/data.DB";
        ke::createTable(path.toStdString(), ke::clientTableLayout());
        patch(path, 0x5C, QByteArray("\x9A\x44\x25\x6E", 4));
        QVERIFY(ke_init(nullptr) == KE_OK || true);
        ke_database* db = nullptr;
        QCOMPARE(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_OK);
        QCOMPARE(ke_set_directory(db, dir.path().toUtf8().constData()), KE_OK);
        ke_cursor* c = nullptr;
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c),
                 KE_ERR_INSUFFICIENT_RIGHTS);
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_ONLY, KE_SHARE_SHARED, &c),
                 KE_ERR_INSUFFICIENT_RIGHTS);
        // A password that makes another key is refused before anything is read.
        QCOMPARE(ke_add_password("Secret"), KE_OK);
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c),
                 KE_ERR_INSUFFICIENT_RIGHTS);
        QCOMPARE(ke_add_password("secret"), KE_OK);
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c), KE_OK);
        QCOMPARE(ke_close_cursor(c), KE_OK);
        c = nullptr;
        QCOMPARE(ke_drop_password(nullptr), KE_OK);
        QCOMPARE(ke_open_table(db, "data.DB", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c),
                 KE_ERR_INSUFFICIENT_RIGHTS);
        QVERIFY(c == nullptr);
        // The file was not touched.
        QCOMPARE(fileBytes(path).size(), qsizetype(0x800));
        ke_exit();
    }

    void damagedFilesGiveErrors_data()
    {
        QTest::addColumn<qsizetype>("offset");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("truncateTo");
        QTest::newRow("header cut short") << qsizetype(0) << QByteArray() << 0x40;
        QTest::newRow("blocks cut short") << qsizetype(0) << QByteArray() << 0x800 + 1000;
        QTest::newRow("empty file") << qsizetype(0) << QByteArray() << 0;
        QTest::newRow("invalid block size") << qsizetype(0x05) << QByteArray("\x07", 1) << -1;
        QTest::newRow("record size mismatch") << qsizetype(0x00) << QByteArray("\xAB\x00", 2) << -1;
        QTest::newRow("header size past the end") << qsizetype(0x02) << QByteArray("\x00\xF0", 2) << -1;
        QTest::newRow("no fields") << qsizetype(0x21) << QByteArray("\x00\x00", 2) << -1;
        QTest::newRow("unknown level") << qsizetype(0x39) << QByteArray("\x63", 1) << -1;
        QTest::newRow("not a table") << qsizetype(0x04) << QByteArray("\x01", 1) << -1;
        QTest::newRow("first block past the end") << qsizetype(0x0E) << QByteArray("\x09\x00", 2) << -1;
        QTest::newRow("next link past the end") << qsizetype(0x800) << QByteArray("\x40\x00", 2) << -1;
        QTest::newRow("chain loops") << qsizetype(0x800 + 2048) << QByteArray("\x01\x00", 2) << -1;
        QTest::newRow("broken back link") << qsizetype(0x800 + 2048 + 2) << QByteArray("\x02\x00", 2) << -1;
        QTest::newRow("record count too large") << qsizetype(0x800 + 4) << QByteArray("\x00\x7F", 2) << -1;
        QTest::newRow("offset not a record boundary") << qsizetype(0x800 + 4) << QByteArray("\x05\x00", 2) << -1;
        QTest::newRow("last block past the end") << qsizetype(0x10) << QByteArray("\xFF\x00", 2) << -1;
        QTest::newRow("field name not terminated") << qsizetype(0xF5) << QByteArray(0x800 - 0xF5, 'x') << -1;
    }

    void damagedFilesGiveErrors()
    {
        QFETCH(qsizetype, offset);
        QFETCH(QByteArray, data);
        QFETCH(int, truncateTo);
        const QString path = newPath();
        ke::createTable(path.toStdString(), ke::clientTableLayout());
        {
            ke::Cursor c(path.toStdString(), {});
            for (int i = 0; i < 30; ++i) // three 2 KiB blocks
                append(c, clientRow(i));
        }
        QCOMPARE(checkStructure(path), QString());
        if (truncateTo >= 0)
            writeFile(path, fileBytes(path).left(truncateTo));
        else
            patch(path, offset, data);
        const QByteArray before = fileBytes(path);
        // Opening and reading every record forwards and backwards ends in an
        // error (or, for damage the reader never meets, normally) without a crash.
        uint16_t result = errorOf([&] {
            ke::Cursor c(path.toStdString(), ke::OpenOptions{true, false, {}});
            std::vector<uint8_t> buf(c.header().recordSize);
            c.setToBegin();
            for (int i = 0; i < 1000; ++i)
                c.next(false, buf.data());
        });
        if (result == KE_ERR_EOF) {
            result = errorOf([&] {
                ke::Cursor c(path.toStdString(), ke::OpenOptions{true, false, {}});
                std::vector<uint8_t> buf(c.header().recordSize);
                c.setToEnd();
                for (int i = 0; i < 1000; ++i)
                    c.prior(false, buf.data());
            });
        }
        QVERIFY2(result == KE_ERR_CORRUPT_TABLE || result == KE_ERR_UNSUPPORTED_TABLE,
                 qPrintable(QString::number(result, 16)));
        QCOMPARE(fileBytes(path), before); // reading never writes
    }
};

QTEST_GUILESS_MAIN(TestTableFormat)
#include "TestTableFormat.moc"
