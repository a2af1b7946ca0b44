// The card index is its owner's alone: what the tools and the engine create
// for it is private whatever the umask, and a shared table is reported, never
// silently changed.
#include "WriteFaults.h"
#include "Journal.h"
#include "ToolTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace tooltest;

namespace {

QString journalOf(const QString& table) { return QString::fromStdString(ke::journalPathFor(table.toStdString())); }

// Leaves a change half done with its journal on disk, as a crash in the middle
// of storing a card would: the journal is written, every later write fails.
void holdChangeInProgress(const QString& table)
{
    ke::faults::failWritesAfter(1, true);
    try {
        ke::Cursor c(table.toStdString(), {});
        std::vector<uint8_t> rec = enginetest::makeRecord(c.header(), enginetest::clientRow(1));
        c.setToBegin();
        c.makeInsertionPoint();
        c.insert(rec.data(), false);
        QFAIL("the insert went through although every write after the journal fails");
    } catch (const ke::EngineError&) {
    }
    ke::faults::failWritesAfter(-1);
}

} // namespace

class TestPrivacy : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ke::faults::failWritesAfter(-1); }

    void cardIndexIsPrivateWhateverTheUmask()
    {
        ::umask(022);
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        const QString home = scratch.path() + "/home";
        QVERIFY(QDir().mkdir(home));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.remove("KARTOTEKA_ENGINE_CONFIG");
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_DATA_HOME");

        const Result made = runTool({"prepare", "E:\\ЗУРБЕЛИН\\proga", "data.DB"}, {}, env);
        QCOMPARE(made.code, 0);
        const QString proga = home + "/.local/share/kartoteka/drives/E/ЗУРБЕЛИН/proga";
        const QString table = proga + "/data.DB";
        QCOMPARE(made.out, "created " + table + "\n");
        // Every folder made on the way, from ~/.local down.
        for (QString dir = proga; dir != home; dir = QFileInfo(dir).path())
            QVERIFY2(modeOf(dir) == 0700u, qPrintable(dir + QString(": mode %1").arg(modeOf(dir), 0, 8)));
        QCOMPARE(modeOf(home), 0755u); // a folder that was there is left as it was
        QCOMPARE(modeOf(table), 0600u);

        const Result info = runTool({"info", table}, {}, env);
        QCOMPARE(info.code, 0);
        QVERIFY2(!info.out.contains("other users"), qPrintable(info.out));

        // Everything else the tools write holds the same cards.
        const QString csv = scratch.path() + "/cards.csv";
        QCOMPARE(runTool({"import", table, "-"}, "Клиент №,Фамилия\n1,Иванова\n", env).code, 0);
        QCOMPARE(runTool({"export", table, csv}, {}, env).code, 0);
        QCOMPARE(modeOf(csv), 0600u);
        const QString copies = scratch.path() + "/copies";
        QCOMPARE(runTool({"backup", table, copies}, {}, env).code, 0);
        QCOMPARE(modeOf(copies), 0700u);
        QCOMPARE(modeOf(copies + "/data.DB"), 0600u);

        // A change held in progress leaves a journal no more readable than the table.
        const QByteArray stored = fileBytes(table);
        holdChangeInProgress(table);
        QVERIFY(QFile::exists(journalOf(table)));
        QCOMPARE(modeOf(journalOf(table)), 0600u);
        QCOMPARE(enginetest::readAll(table.toStdString()).size(), size_t(1)); // rolled back on the next read
        QCOMPARE(fileBytes(table), stored);
        QVERIFY(!QFile::exists(journalOf(table)));
    }

    void sharedTableIsReportedNotChanged()
    {
        ::umask(077);
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        const QString table = scratch.path() + "/it's shared/data.DB";
        QVERIFY(QDir().mkdir(QFileInfo(table).path()));
        QCOMPARE(runTool({"create", table}).code, 0);
        QCOMPARE(modeOf(table), 0600u);

        // Shared with a group on purpose: the journal grants the group the same,
        // so that any member who may change the table can also roll a change back.
        QVERIFY(::chmod(table.toUtf8().constData(), 0640) == 0);
        holdChangeInProgress(table);
        QCOMPARE(modeOf(journalOf(table)), 0640u);
        enginetest::readAll(table.toStdString());
        QVERIFY(!QFile::exists(journalOf(table)));

        QVERIFY(::chmod(table.toUtf8().constData(), 0644) == 0);
        const QString folder = QFileInfo(table).path();
        const QString quotedTable = "'" + scratch.path() + "/it'\\''s shared/data.DB'";
        const QString quotedFolder = "'" + scratch.path() + "/it'\\''s shared'";
        for (const char* command : {"info", "check"}) {
            const Result r = runTool({command, table});
            QCOMPARE(r.code, 0);
            QVERIFY2(r.out.contains("other users can read " + table + "; to keep it private: chmod go-rwx " +
                                    quotedTable + "\n"),
                     qPrintable(r.out));
        }
        QCOMPARE(modeOf(table), 0644u); // reported, not changed

        QVERIFY(::chmod(folder.toUtf8().constData(), 0755) == 0);
        Result both = runTool({"info", table});
        const QString fix = "chmod go-rwx " + quotedTable + " " + quotedFolder;
        QVERIFY2(both.out.contains("other users can read " + table + " and its folder; to keep them private: " + fix),
                 qPrintable(both.out));
        // The command given is the one that makes it private.
        QCOMPARE(QProcess::execute("sh", {"-c", fix}), 0);
        QCOMPARE(modeOf(table), 0600u);
        QCOMPARE(modeOf(folder), 0700u);
        QVERIFY(!runTool({"info", table}).out.contains("other users"));
    }
};

QTEST_GUILESS_MAIN(TestPrivacy)
#include "TestPrivacy.moc"
