// Changes are all or nothing: a write that fails at any point leaves the file
// as it was and reports an error; a journal left by an interrupted change is
// rolled back before anyone reads; a file-size limit is reported, not obeyed halfway.
#include "EngineTestSupport.h"
#include "WriteFaults.h"
#include "Journal.h"
#include "TableChecker.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

using namespace enginetest;

namespace {

void standOn(ke::Cursor& c, int index)
{
    std::vector<uint8_t> buf(c.header().recordSize);
    c.setToBegin();
    for (int k = 0; k <= index; ++k)
        c.next(false, buf.data());
}

} // namespace

class TestDurability : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir; // on the ordinary disk: syncs are real here
    int m_serial = 0;

    QString freshTable(int records, uint8_t blockKiB = 1)
    {
        const QString path = m_dir.path() + QString("/d%1.DB").arg(++m_serial);
        ke::NewTable t = ke::clientTableLayout();
        t.blockSizeKiB = blockKiB;
        ke::createTable(path.toStdString(), t);
        ke::Cursor c(path.toStdString(), {});
        for (int i = 0; i < records; ++i) {
            c.setToEnd();
            auto r = makeRecord(c.header(), clientRow(i));
            c.insert(r.data(), false);
        }
        return path;
    }

private slots:
    void cleanup() { ke::faults::failWritesAfter(-1); }

    void everyFailedWriteLeavesTheFileAsItWas_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("persistent");
        for (const char* op : {"insert with split", "append new block", "modify", "delete emptying a block", "delete last record"}) {
            QTest::newRow(qPrintable(QString(op) + ", one failure")) << QString(op) << false;
            QTest::newRow(qPrintable(QString(op) + ", disk stays full")) << QString(op) << true;
        }
    }

    void everyFailedWriteLeavesTheFileAsItWas()
    {
        QFETCH(QString, operation);
        QFETCH(bool, persistent);
        // 1 KiB blocks hold five records: 10 records fill two blocks; 6 leave one record in block 2.
        const int records = operation == "delete last record" ? 1 : operation.startsWith("delete") ? 6 : 10;
        bool succeeded = false;
        int failures = 0;
        for (int budget = 0; budget < 40 && !succeeded; ++budget) {
            const QString path = freshTable(records);
            const QByteArray before = fileBytes(path);
            const std::string journal = ke::journalPathFor(path.toStdString());
            ke::Cursor c(path.toStdString(), {});
            standOn(c, operation == "delete emptying a block" ? 5 : operation == "insert with split" ? 2 : 0);
            if (operation == "append new block")
                c.setToEnd();
            auto r = makeRecord(c.header(), clientRow(99));
            ke::faults::failWritesAfter(budget, persistent);
            const uint16_t result = errorOf([&] {
                if (operation.startsWith("insert") || operation.startsWith("append"))
                    c.insert(r.data(), false);
                else if (operation == "modify")
                    c.modify(r.data(), true);
                else
                    c.remove();
            });
            ke::faults::failWritesAfter(-1);
            if (result == KE_OK) {
                succeeded = true;
                QVERIFY(fileBytes(path) != before);
                QVERIFY(!QFile::exists(QString::fromStdString(journal)));
                QCOMPARE(checkStructure(path), QString());
                continue;
            }
            ++failures;
            QCOMPARE(result, KE_ERR_IO);
            if (!persistent) {
                // The failed change was rolled back at once.
                QCOMPARE(fileBytes(path), before);
                QVERIFY(!QFile::exists(QString::fromStdString(journal)));
            }
            // Any reader (here a fresh cursor) sees the table as before.
            std::vector<Row> rows = readAll(path.toStdString());
            QCOMPARE(int(rows.size()), records);
            QCOMPARE(fileBytes(path), before);
            QVERIFY(!QFile::exists(QString::fromStdString(journal)));
            // The cursor that failed can still work.
            ke::Cursor again(path.toStdString(), {});
            standOn(again, 0);
            auto r2 = makeRecord(again.header(), clientRow(7));
            again.modify(r2.data(), true);
            QCOMPARE(readAll(path.toStdString())[0], clientRow(7));
        }
        QVERIFY(succeeded);
        QVERIFY2(failures >= 3, qPrintable(QString::number(failures))); // journal, data and header writes each failed once
    }

    void fileSizeLimitIsReportedAndNothingChanges()
    {
        const QString path = freshTable(5); // one full 1 KiB block
        const QByteArray before = fileBytes(path);
        pid_t pid = fork();
        if (pid == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim {rlim_t(before.size()), rlim_t(before.size())};
            setrlimit(RLIMIT_FSIZE, &lim);
            int code = 0;
            try {
                ke::Cursor c(path.toStdString(), {});
                c.setToEnd();
                auto r = makeRecord(c.header(), clientRow(6));
                c.insert(r.data(), false); // needs a new block past the limit
                code = 10;
            } catch (const ke::EngineError& e) {
                code = e.code == KE_ERR_IO ? 0 : 11;
            } catch (...) {
                code = 12;
            }
            _exit(code);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(fileBytes(path), before);
        QVERIFY(!QFile::exists(QString::fromStdString(ke::journalPathFor(path.toStdString()))));
    }

    void leftOverJournalIsRolledBack()
    {
        const QString path = freshTable(7);
        const QByteArray before = fileBytes(path);
        // Leave a journal and half a change behind, as a crash would.
        ke::faults::failWritesAfter(2, true); // the journal and one block reach the disk
        {
            ke::Cursor c(path.toStdString(), {});
            standOn(c, 1);
            QCOMPARE(errorOf([&] { c.remove(); }), KE_ERR_IO);
        }
        ke::faults::failWritesAfter(-1);
        const QString journal = QString::fromStdString(ke::journalPathFor(path.toStdString()));
        QVERIFY(QFile::exists(journal));
        QVERIFY(fileBytes(path) != before);
        QCOMPARE(int(readAll(path.toStdString()).size()), 7);
        QCOMPARE(fileBytes(path), before);
        QVERIFY(!QFile::exists(journal));
    }

    void incompleteJournalIsDiscarded()
    {
        const QString path = freshTable(3);
        const QByteArray before = fileBytes(path);
        const QString journal = QString::fromStdString(ke::journalPathFor(path.toStdString()));
        {
            QFile j(journal);
            QVERIFY(j.open(QIODevice::WriteOnly));
            j.write("KTJOUR1\n garbage cut short");
        }
        QCOMPARE(int(readAll(path.toStdString()).size()), 3);
        QCOMPARE(fileBytes(path), before);
        QVERIFY(!QFile::exists(journal));
    }

    void journalImagesRoundTrip()
    {
        ke::JournalImage j;
        j.table = {7, 123, 1700000000, 5};
        j.originalSize = 123456;
        j.newSize = 125000;
        j.entries.push_back({0, {1, 2, 3}, {42}});
        j.entries.push_back({4096, std::vector<uint8_t>(2048, 0xAB), {1, 2, 3, 4}});
        const std::vector<uint8_t> bytes = j.serialize();
        ke::JournalImage back;
        QVERIFY(ke::JournalImage::parse(bytes, back) == ke::JournalImage::Parsed::Complete);
        QVERIFY(back.table == j.table);
        QCOMPARE(back.originalSize, uint64_t(123456));
        QCOMPARE(back.newSize, uint64_t(125000));
        QCOMPARE(int(back.entries.size()), 2);
        QCOMPARE(back.entries[1].offset, uint64_t(4096));
        QVERIFY(back.entries[1].original == j.entries[1].original);
        QVERIFY(back.entries[1].newHashes == j.entries[1].newHashes);
        // Any cut or flipped byte makes it incomplete.
        for (size_t cut : {size_t(0), size_t(10), bytes.size() / 2, bytes.size() - 1}) {
            std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(cut));
            QVERIFY(ke::JournalImage::parse(part, back) == ke::JournalImage::Parsed::Incomplete);
        }
        std::vector<uint8_t> flipped = bytes;
        flipped[100] ^= 1;
        QVERIFY(ke::JournalImage::parse(flipped, back) == ke::JournalImage::Parsed::Incomplete);
        // A later version is never taken for an incomplete journal.
        flipped = bytes;
        flipped[6] = '9';
        QVERIFY(ke::JournalImage::parse(flipped, back) == ke::JournalImage::Parsed::UnknownVersion);
    }
};

QTEST_GUILESS_MAIN(TestDurability)
#include "TestDurability.moc"
