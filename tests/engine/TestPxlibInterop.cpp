// Interoperability with pxlib, an independent implementation of the table
// format: tables it creates are read exactly, and tables the engine has changed
// (many blocks, inserts in the middle, modifies, deletes down to empty) are
// read back exactly by it.
#include "EngineTestSupport.h"
#include "TableChecker.h"

#include "PxlibPeer.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <cstring>

using namespace enginetest;


class TestPxlibInterop : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir {fastTempTemplate()};
    int m_serial = 0;

    std::string newPath() { return (m_dir.path() + QString("/p%1.DB").arg(++m_serial)).toStdString(); }

private slots:
    void init() { g_pxErrors = 0; }

    void pxlibTablesReadExactly_data()
    {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<int>("records");
        QTest::newRow("1251, empty") << 1251 << 0;
        QTest::newRow("1251, one") << 1251 << 1;
        QTest::newRow("1251, 1000") << 1251 << 1000;
        QTest::newRow("866, 300") << 866 << 300;
    }

    void pxlibTablesReadExactly()
    {
        QFETCH(int, codePage);
        QFETCH(int, records);
        std::vector<Row> rows;
        for (int i = 0; i < records; ++i) {
            Row r = clientRow(i);
            if (i % 7 == 3)
                r[4].clear(); // blank fields
            if (i % 11 == 0)
                r[1] = std::string(40, 'W'); // full length, no terminator
            rows.push_back(r);
        }
        const std::string path = newPath();
        createWithPxlib(path, uint16_t(codePage), rows);
        QCOMPARE(g_pxErrors, 0);
        ke::Cursor c(path, ke::OpenOptions{});
        QCOMPARE(int(c.header().textCodePage()), codePage);
        QCOMPARE(int(c.recordCount()), records);
        QCOMPARE(QString::fromStdString(
                     ke::CodePage::get(uint16_t(codePage))->toUtf8(reinterpret_cast<const uint8_t*>(c.header().fields[0].rawName.data()),
                                                                   c.header().fields[0].rawName.size())),
                 QString("Клиент №"));
        QCOMPARE(describe(readAll(path)), describe(rows));
        // And the engine can go on changing the pxlib table.
        append(c, clientRow(5000));
        rows.push_back(clientRow(5000));
        QCOMPARE(describe(readWithPxlib(path, uint16_t(codePage))), describe(rows));
        QCOMPARE(g_pxErrors, 0);
    }

    void engineChangesReadByPxlib()
    {
        const std::string path = newPath();
        ke::createTable(path, ke::clientTableLayout());
        ke::Cursor c(path, ke::OpenOptions{});
        std::vector<Row> model;
        std::vector<uint8_t> buf(c.header().recordSize);
        // Thousands of records over many blocks.
        for (int i = 0; i < 3000; ++i) {
            append(c, clientRow(i));
            model.push_back(clientRow(i));
        }
        QCOMPARE(describe(readWithPxlib(path, 1251)), describe(model));
        QCOMPARE(g_pxErrors, 0);
        QCOMPARE(checkStructure(QString::fromStdString(path)), QString());

        // Inserts in the middle, modifies and deletes at random places.
        QRandomGenerator rng(7);
        int serial = 10000;
        for (int step = 0; step < 200; ++step) {
            const int at = int(rng.bounded(int(model.size())));
            // Walk there from the nearer end so the test stays fast.
            if (at < int(model.size()) / 2) {
                c.setToBegin();
                for (int k = 0; k <= at; ++k)
                    c.next(false, buf.data());
            } else {
                c.setToEnd();
                for (int k = int(model.size()) - 1; k >= at; --k)
                    c.prior(false, buf.data());
            }
            const int op = int(rng.bounded(3));
            if (op == 0) {
                auto r = makeRecord(c.header(), clientRow(++serial));
                c.insert(r.data(), false);
                model.insert(model.begin() + at, clientRow(serial));
            } else if (op == 1) {
                Row row = model[size_t(at)];
                row[2] = "Изменённое имя";
                auto r = makeRecord(c.header(), row);
                c.modify(r.data(), true);
                model[size_t(at)] = row;
            } else {
                c.remove();
                model.erase(model.begin() + at);
            }
        }
        QCOMPARE(checkStructure(QString::fromStdString(path)), QString());
        QCOMPARE(describe(readWithPxlib(path, 1251)), describe(model));
        QCOMPARE(g_pxErrors, 0);

        // Deletes down to empty, near either end (blocks empty at both ends
        // and in between as records go).
        while (!model.empty()) {
            const int size = int(model.size());
            int at = int(rng.bounded(std::min(size, 30)));
            if (rng.bounded(2)) {
                at = size - 1 - at;
                c.setToEnd();
                for (int k = size - 1; k >= at; --k)
                    c.prior(false, buf.data());
            } else {
                c.setToBegin();
                for (int k = 0; k <= at; ++k)
                    c.next(false, buf.data());
            }
            c.remove();
            model.erase(model.begin() + at);
            if (model.size() % 500 == 0) {
                QCOMPARE(describe(readWithPxlib(path, 1251)), describe(model));
                QCOMPARE(checkStructure(QString::fromStdString(path)), QString());
            }
        }
        int count = -1;
        QVERIFY(readWithPxlib(path, 1251, &count).empty());
        QCOMPARE(count, 0);
        QCOMPARE(g_pxErrors, 0);
        // Refilled after being emptied.
        for (int i = 0; i < 50; ++i) {
            append(c, clientRow(i));
            model.push_back(clientRow(i));
        }
        QCOMPARE(describe(readWithPxlib(path, 1251)), describe(model));
        QCOMPARE(checkStructure(QString::fromStdString(path)), QString());
    }

private:
    static void append(ke::Cursor& c, const Row& row)
    {
        c.setToEnd();
        auto r = makeRecord(c.header(), row);
        c.insert(r.data(), false);
    }
};

QTEST_GUILESS_MAIN(TestPxlibInterop)
#include "TestPxlibInterop.moc"
