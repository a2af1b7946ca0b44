// Two processes on one table: a record lock held in one process holds off
// writers of that record in another, other records stay free, locks die with
// their process, and changes made elsewhere are seen on the next read, also
// when so many were made that the header's change count came round again.
#include "EngineTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

using namespace enginetest;

namespace {

// Runs `body` in a child process; returns its exit code (or -1 when it died).
int inChild(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
            code = 98;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void standOn(ke::Cursor& c, int index, bool lock = false)
{
    std::vector<uint8_t> buf(c.header().recordSize);
    c.setToBegin();
    for (int k = 0; k < index; ++k)
        c.next(false, buf.data());
    c.next(lock, buf.data());
}

} // namespace

class TestProcessSharing : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir {fastTempTemplate()};
    std::string m_path;

private slots:
    void init()
    {
        m_path = (m_dir.path() + "/data.DB").toStdString();
        QFile::remove(QString::fromStdString(m_path));
        ke::createTable(m_path, ke::clientTableLayout());
        ke::Cursor c(m_path, {});
        for (int i = 1; i <= 4; ++i) {
            c.setToEnd();
            auto r = makeRecord(c.header(), clientRow(i));
            c.insert(r.data(), false);
        }
    }

    void lockHoldsOffWritersInAnotherProcess()
    {
        ke::Cursor mine(m_path, {});
        standOn(mine, 0, true); // lock record 1
        QVERIFY(mine.holdsLock());
        const int code = inChild([&] {
            ke::Cursor other(m_path, {});
            std::vector<uint8_t> buf(other.header().recordSize);
            standOn(other, 0);
            int bad = 0;
            if (errorOf([&] { other.current(true, buf.data()); }) != KE_ERR_RECORD_LOCKED)
                bad |= 1;
            auto r = makeRecord(other.header(), {"1", "Чужая"});
            if (errorOf([&] { other.modify(r.data(), true); }) != KE_ERR_RECORD_LOCKED)
                bad |= 2;
            if (errorOf([&] { other.remove(); }) != KE_ERR_RECORD_LOCKED)
                bad |= 4;
            // Another record can be locked and changed.
            standOn(other, 1, true);
            auto r2 = makeRecord(other.header(), {"2", "Изменил сосед"});
            if (errorOf([&] { other.modify(r2.data(), true); }) != KE_OK)
                bad |= 8;
            return bad;
        });
        QCOMPARE(code, 0);
        // The other process's change is seen on the next read, the locked record is unchanged.
        std::vector<uint8_t> buf(mine.header().recordSize);
        mine.current(false, buf.data());
        QCOMPARE(rowOf(mine.header(), buf.data()), clientRow(1));
        mine.next(false, buf.data());
        QCOMPARE(rowOf(mine.header(), buf.data())[1], std::string("Изменил сосед"));
        // Released: the other process may now lock it.
        mine.releaseLock();
        QCOMPARE(inChild([&] {
                     ke::Cursor other(m_path, {});
                     standOn(other, 0, true);
                     return 0;
                 }),
                 0);
    }

    void locksDieWithTheirProcess()
    {
        int toParent[2], toChild[2];
        QCOMPARE(pipe(toParent), 0);
        QCOMPARE(pipe(toChild), 0);
        pid_t pid = fork();
        if (pid == 0) {
            ke::Cursor other(m_path, {});
            standOn(other, 2, true);
            char c = 'L';
            (void)!write(toParent[1], &c, 1);
            (void)!read(toChild[0], &c, 1); // wait to be killed
            _exit(0);
        }
        char c = 0;
        QCOMPARE(read(toParent[0], &c, 1), ssize_t(1));
        ke::Cursor mine(m_path, {});
        std::vector<uint8_t> buf(mine.header().recordSize);
        standOn(mine, 2);
        QCOMPARE(errorOf([&] { mine.current(true, buf.data()); }), KE_ERR_RECORD_LOCKED);
        QCOMPARE(errorOf([&] { mine.remove(); }), KE_ERR_RECORD_LOCKED);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        QCOMPARE(errorOf([&] { mine.current(true, buf.data()); }), KE_OK);
        for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
            close(fd);
    }

    void recordDeletedElsewhereMovesTheCursorToItsNeighbours()
    {
        ke::Cursor mine(m_path, {});
        std::vector<uint8_t> buf(mine.header().recordSize);
        standOn(mine, 1); // on 2
        QCOMPARE(inChild([&] {
                     ke::Cursor other(m_path, {});
                     standOn(other, 1);
                     other.remove();
                     return 0;
                 }),
                 0);
        QVERIFY(errorOf([&] { mine.current(false, buf.data()); }) != KE_OK);
        mine.next(false, buf.data());
        QCOMPARE(rowOf(mine.header(), buf.data()), clientRow(3));
        mine.prior(false, buf.data());
        QCOMPARE(rowOf(mine.header(), buf.data()), clientRow(1));
        // Appended elsewhere: seen at once, no stale block.
        QCOMPARE(inChild([&] {
                     ke::Cursor other(m_path, {});
                     other.setToEnd();
                     auto r = makeRecord(other.header(), clientRow(50));
                     other.insert(r.data(), false);
                     return 0;
                 }),
                 0);
        mine.setToEnd();
        mine.prior(false, buf.data());
        QCOMPARE(rowOf(mine.header(), buf.data()), clientRow(50));
        QCOMPARE(int(mine.recordCount()), 4);
        // Everything deleted elsewhere: the cursor finds nothing either way.
        QCOMPARE(inChild([&] {
                     ke::Cursor other(m_path, {});
                     std::vector<uint8_t> b(other.header().recordSize);
                     other.setToBegin();
                     while (errorOf([&] { other.next(false, b.data()); }) == KE_OK)
                         other.remove();
                     return 0;
                 }),
                 0);
        QVERIFY(errorOf([&] { mine.current(false, buf.data()); }) != KE_OK);
        QCOMPARE(errorOf([&] { mine.next(false, buf.data()); }), KE_ERR_EOF);
        QCOMPARE(errorOf([&] { mine.prior(false, buf.data()); }), KE_ERR_BOF);
    }

    // The change count is one byte: after 256 changes in place the header
    // reads exactly as before, and only the file's size and times tell.
    void changesElsewhereAreSeenWhenTheCountComesRound()
    {
        ke::Cursor mine(m_path, {});
        std::vector<uint8_t> buf(mine.header().recordSize);
        standOn(mine, 1);
        for (int changes : {256, 255, 512}) {
            const QByteArray header = fileBytes(QString::fromStdString(m_path)).left(0x58);
            QCOMPARE(inChild([&] {
                         ke::Cursor other(m_path, {});
                         standOn(other, 1);
                         for (int k = 1; k <= changes; ++k) {
                             const auto r = makeRecord(other.header(), {"2", std::to_string(changes) + "/" + std::to_string(k)});
                             other.modify(r.data(), true);
                         }
                         return 0;
                     }),
                     0);
            QCOMPARE(fileBytes(QString::fromStdString(m_path)).left(0x58) == header, changes % 256 == 0);
            const std::string last = std::to_string(changes) + "/" + std::to_string(changes);
            mine.current(false, buf.data());
            QCOMPARE(rowOf(mine.header(), buf.data())[1], last);
        }
    }
};

QTEST_GUILESS_MAIN(TestProcessSharing)
#include "TestProcessSharing.moc"
