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

using namespace enginetest;
using namespace tooltest;

namespace {

// Accounts by number only: the kernel needs no names for them.
constexpr gid_t kGroup = 61500;
constexpr uid_t kAnna = 61501, kBoris = 61502, kOutsider = 61503;

// Turns this (child) process into the account `uid`, with its own primary
// group and, for members, the shared one besides.
void become(uid_t uid, bool member)
{
    const gid_t groups[] = {kGroup};
    if (::setgroups(member ? 1 : 0, groups) != 0 || ::setgid(gid_t(uid)) != 0 || ::setuid(uid) != 0)
        _exit(90);
}

// The engine's result code of `body` run by another account, low byte.
int asAccount(uid_t uid, bool member, const std::function<void()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        become(uid, member);
        _exit(errorOf(body) & 0xFF);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void setOwner(const QString& path, uid_t uid, gid_t gid, mode_t mode)
{
    QCOMPARE(::chown(QFile::encodeName(path).constData(), uid, gid), 0);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

// Card 1 changed through a fresh cursor.
void changeFirstCard(const QString& table, const std::string& surname)
{
    ke::Cursor c(table.toStdString(), {});
    std::vector<uint8_t> rec(c.header().recordSize);
    c.setToBegin();
    c.next(false, rec.data());
    const auto changed = makeRecord(c.header(), {"1", surname});
    c.modify(changed.data(), true);
}

} // namespace

class TestSharedFolder : public QObject {
    Q_OBJECT

private slots:
    void everyMemberCanRollBackAnotherMembersChange()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to act as two accounts of one group and an outsider (CI runs as root)");
        QTemporaryDir dir;
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0711), 0);
        // Shared as README says: folder and table owned by the group, no setgid bit.
        const QString folder = dir.path() + "/shared", table = folder + "/data.DB";
        QVERIFY(QDir().mkdir(folder));
        setOwner(folder, kAnna, kGroup, 0770);
        ke::createTable(table.toStdString(), ke::clientTableLayout());
        appendRows(table, clients(1, 3));
        setOwner(table, kAnna, kGroup, 0660);
        const QByteArray sound = fileBytes(table);

        // Boris dies halfway through a change: the journal has the table's group and mode...
        QCOMPARE(dieWhileChanging(table, 1, [] { become(kBoris, true); }), 0);
        struct stat js {};
        QCOMPARE(::stat(QFile::encodeName(table + "-journal").constData(), &js), 0);
        QVERIFY(js.st_uid == kBoris && js.st_gid == kGroup && (js.st_mode & 07777) == 0660);
        QVERIFY(fileBytes(table) != sound);
        // ...so Anna, whose own group is another, rolls it back at her next read.
        QCOMPARE(asAccount(kAnna, true, [&] { readAll(table.toStdString()); }), 0);
        QCOMPARE(fileBytes(table), sound);
        QVERIFY(!QFile::exists(table + "-journal"));

        // Someone outside the group who can write the table cannot give a
        // journal its group: the change is not made at all.
        setOwner(table, kAnna, kGroup, 0666);
        setOwner(folder, kAnna, kGroup, 0777);
        QCOMPARE(asAccount(kOutsider, false, [&] { changeFirstCard(table, "Чужак"); }), KE_ERR_IO & 0xFF);
        QCOMPARE(fileBytes(table), sound);
        QVERIFY(!QFile::exists(table + "-journal"));
    }

    // A dangling link: a change that followed it would write the journal,
    // client data, to a file of the planter's choosing.
    void aLinkWhereTheJournalBelongsIsNeverFollowed()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB", leak = dir.path() + "/elsewhere.bin";
        QCOMPARE(runTool({"create", table}).code, 0);
        appendRows(table, clients(1, 2));
        const QByteArray sound = fileBytes(table);
        QVERIFY(QFile::link(leak, table + "-journal"));
        const ke::EngineError e = failureOf([&] { changeFirstCard(table, "Изменена"); });
        QCOMPARE(e.code, KE_ERR_JOURNAL_NOT_APPLIED);
        QVERIFY2(e.context.find("it was not followed") != std::string::npos, e.context.c_str());
        QCOMPARE(QFile::symLinkTarget(table + "-journal.not-applied"), leak);
        QCOMPARE(fileBytes(table), sound);
        // Set aside once, the change goes through; nothing ever went through the link.
        changeFirstCard(table, "Изменена");
        QCOMPARE(readAll(table.toStdString())[0][1], std::string("Изменена"));
        QVERIFY(!QFile::exists(leak) && !QFile::exists(table + "-journal"));
    }

    void backupIsVerifiedAsItLiesInAFolderOfOnesOwn()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB", mine = dir.path() + "/mine", open = dir.path() + "/open";
        QCOMPARE(runTool({"create", table}).code, 0);
        appendRows(table, clients(1, 2));
        // A journal lying in the destination is neither rolled back nor moved by the verification.
        QVERIFY(QDir().mkdir(mine) && QDir().mkdir(open));
        QCOMPARE(::chmod(QFile::encodeName(mine).constData(), 0700), 0);
        writeFile(mine + "/data.DB-journal", "KTJOUR9\n a journal of a later engine");
        QCOMPARE(runTool({"backup", table, mine}).code, 0);
        QCOMPARE(fileBytes(mine + "/data.DB"), fileBytes(table));
        QCOMPARE(fileBytes(mine + "/data.DB-journal"), QByteArray("KTJOUR9\n a journal of a later engine"));

        // Never into a folder others can write to, nor into someone else's.
        QCOMPARE(::chmod(QFile::encodeName(open).constData(), 0777), 0);
        QCOMPARE(runTool({"backup", table, open}).err, "kartoteka-table: others can write into " + open
                                                           + " (mode 0777); give a folder only you can write to (chmod go-w makes it one)\n");
        if (::geteuid() == 0) {
            setOwner(open, kAnna, kGroup, 0700);
            QVERIFY(runTool({"backup", table, open}).err.contains(open + " belongs to another user"));
        }
        QVERIFY(QDir(open).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSharedFolder)
#include "TestSharedFolder.moc"
