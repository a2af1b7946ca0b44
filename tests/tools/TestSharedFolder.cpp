// A card index in a folder shared by a group: a member whose program dies
// halfway through a change leaves a journal every other member can roll back,
// someone outside the group who can write the table cannot leave one behind;
// a link planted where the journal belongs is never followed; and a backup is
// verified as it lies, only in a folder no one else can write to.
#include "ToolTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace enginetest;
using namespace tooltest;

namespace {

// Accounts by number only: the kernel needs no names for them.
constexpr gid_t kGroup = 61500;
constexpr uid_t kAnna = 61501, kBoris = 61502, kOutsider = 61503;

// Turns this (child) process into the account `uid`, its own primary group
// and, for members, the shared group besides.
void become(uid_t uid, bool member)
{
    const gid_t groups[] = {kGroup};
    if (::setgroups(member ? 1 : 0, groups) != 0 || ::setgid(gid_t(uid)) != 0 || ::setuid(uid) != 0)
        _exit(90);
}

// The exit status (0 to 127) that `body` gives, run by another account in a child process.
int asAccount(uid_t uid, bool member, const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        become(uid, member);
        _exit(body() & 0x7F);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct stat statOf(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

QByteArray journalOfVersionOne(uint64_t length, uint64_t offset, const QByteArray& original)
{
    std::vector<uint8_t> j = {'K', 'T', 'J', 'O', 'U', 'R', '1', '\n'};
    for (uint64_t word : {length, uint64_t(1), offset, uint64_t(original.size())}) {
        j.resize(j.size() + 8);
        ke::putLe64(j.data() + j.size() - 8, word);
    }
    j.insert(j.end(), original.begin(), original.end());
    const uint64_t hash = ke::chunkHash(j.data(), j.size());
    j.resize(j.size() + 8);
    ke::putLe64(j.data() + j.size() - 8, hash);
    return QByteArray(reinterpret_cast<const char*>(j.data()), qsizetype(j.size()));
}

} // namespace

class TestSharedFolder : public QObject {
    Q_OBJECT

private slots:
    void everyMemberCanRollBackAnotherMembersChange()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to act as two accounts of one group and one outsider (CI runs as root)");
        QTemporaryDir dir;
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0711), 0);
        // Shared as README says: folder and table owned by the group, no setgid bit.
        const QString folder = dir.path() + "/shared", table = folder + "/data.DB";
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), kAnna, kGroup), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0770), 0);
        ke::createTable(table.toStdString(), ke::clientTableLayout());
        appendRows(table, {clientRow(1), clientRow(2), clientRow(3)});
        QCOMPARE(::chown(QFile::encodeName(table).constData(), kAnna, kGroup), 0);
        QCOMPARE(::chmod(QFile::encodeName(table).constData(), 0660), 0);
        const QByteArray sound = fileBytes(table);

        // Boris dies halfway through a change: his journal has the table's group and mode.
        QCOMPARE(dieWhileChanging(table, 1, [] { become(kBoris, true); }), 0);
        const struct stat js = statOf(table + "-journal");
        QCOMPARE(js.st_uid, kBoris);
        QCOMPARE(js.st_gid, kGroup);
        QCOMPARE(js.st_mode & 07777, 0660u);
        QVERIFY(fileBytes(table) != sound);

        // Anna, whose own group is another, rolls it back at her next read.
        const int read = asAccount(kAnna, true, [&] {
            std::vector<Row> rows;
            const uint16_t code = errorOf([&] { rows = readAll(table.toStdString()); });
            return code == KE_ERR_IO ? 1 : code != KE_OK ? 2 : describe(rows) != describe({clientRow(1), clientRow(2), clientRow(3)}) ? 3 : 0;
        });
        QCOMPARE(read, 0); // 1: the journal could not be read
        QCOMPARE(fileBytes(table), sound);
        QVERIFY(!QFile::exists(table + "-journal"));

        // Someone outside the group who can write the table (and the folder)
        // cannot give a journal the group: the change is not made at all.
        QCOMPARE(::chmod(QFile::encodeName(table).constData(), 0666), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
        const int outside = asAccount(kOutsider, false, [&] {
            ke::Cursor c(table.toStdString(), {});
            std::vector<uint8_t> rec(c.header().recordSize);
            c.setToBegin();
            c.next(false, rec.data());
            const auto changed = makeRecord(c.header(), {"1", "Чужак"});
            try {
                c.modify(changed.data(), true);
            } catch (const ke::EngineError& e) {
                return e.context.find("cannot give the journal the table's group") != std::string::npos ? 7 : 8;
            }
            return 9; // stored, with a journal the group could not have read

        });
        QCOMPARE(outside, 7);
        QCOMPARE(fileBytes(table), sound);
        QVERIFY(!QFile::exists(table + "-journal"));
    }

    // A dangling link: a change that followed it would write the journal,
    // client data, to a file of the planter's choosing outside the folder.
    void aLinkWhereTheJournalBelongsIsNeverFollowed()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB", leak = dir.path() + "/elsewhere.bin";
        QCOMPARE(runTool({"create", table}).code, 0);
        appendRows(table, {clientRow(1), clientRow(2)});
        const QByteArray sound = fileBytes(table);
        // The program shows a card; meanwhile someone plants the link.
        ke::Cursor c(table.toStdString(), {});
        std::vector<uint8_t> rec(c.header().recordSize);
        c.setToBegin();
        c.next(false, rec.data());
        QVERIFY(QFile::link(leak, table + "-journal"));
        const auto changed = makeRecord(c.header(), {"1", "Изменена"});
        const ke::EngineError e = [&] {
            try {
                c.modify(changed.data(), true);
            } catch (const ke::EngineError& e) {
                return e;
            }
            return ke::EngineError{KE_OK, 0, {}};
        }();
        QCOMPARE(e.code, KE_ERR_JOURNAL_NOT_APPLIED);
        QVERIFY2(e.context.find("it was not followed") != std::string::npos, e.context.c_str());
        QVERIFY(!QFile::exists(leak));
        QCOMPARE(fileBytes(table), sound);
        QCOMPARE(QFile::symLinkTarget(table + "-journal.not-applied"), leak);
        // Set aside once, the change goes through, and nothing is written through the link.
        c.modify(changed.data(), true);
        QCOMPARE(readAll(table.toStdString())[0][1], std::string("Изменена"));
        QVERIFY(!QFile::exists(leak));
        QVERIFY(!QFile::exists(table + "-journal"));
    }

    void backupIsVerifiedAsItLiesInAFolderOfOnesOwn()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB";
        QCOMPARE(runTool({"create", table}).code, 0);
        appendRows(table, {clientRow(1), clientRow(2)});
        // A journal already in the destination would change the copy if it were rolled back.
        const QString dest = dir.path() + "/mine";
        QVERIFY(QDir().mkdir(dest));
        QCOMPARE(::chmod(QFile::encodeName(dest).constData(), 0700), 0);
        writeFile(dest + "/data.DB-journal", journalOfVersionOne(4096, 6, QByteArray(4, '\x7F')));
        const Result b = runTool({"backup", table, dest});
        QVERIFY2(b.code == 0, qPrintable(b.err));
        QCOMPARE(fileBytes(dest + "/data.DB"), fileBytes(table));
        QVERIFY(QFile::exists(dest + "/data.DB-journal"));

        // Never into a folder others can write to, or someone else's.
        const QString open = dir.path() + "/open";
        QVERIFY(QDir().mkdir(open));
        QCOMPARE(::chmod(QFile::encodeName(open).constData(), 0777), 0);
        const Result refused = runTool({"backup", table, open});
        QCOMPARE(refused.code, 1);
        QCOMPARE(refused.err, "kartoteka-table: others can write into " + open
                                  + " (mode 0777); give a folder only you can write to (chmod go-w makes it one)\n");
        QVERIFY(QDir(open).isEmpty());
        if (::geteuid() != 0)
            QSKIP("needs root to give a folder to another account; the rest passed");
        const QString theirs = dir.path() + "/theirs";
        QVERIFY(QDir().mkdir(theirs));
        QCOMPARE(::chown(QFile::encodeName(theirs).constData(), kAnna, kGroup), 0);
        QCOMPARE(::chmod(QFile::encodeName(theirs).constData(), 0700), 0);
        const Result foreign = runTool({"backup", table, theirs});
        QCOMPARE(foreign.code, 1);
        QVERIFY2(foreign.err.contains(theirs + " belongs to another user"), qPrintable(foreign.err));
        QVERIFY(QDir(theirs).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSharedFolder)
#include "TestSharedFolder.moc"
