// The kartoteka-table commands other tests, scripts/run and the installed
// launcher rely on (create, dump, info, prepare), and how every command fails.
#include "ToolTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace enginetest;
using namespace tooltest;

class TestTableTool : public QObject {
    Q_OBJECT

private slots:
    void createDumpInfo()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/data.DB";
        QCOMPARE(runTool({"create", path}).code, 0);
        const Result again = runTool({"create", path});
        QCOMPARE(again.code, 1); // never overwrites
        QVERIFY(again.err.contains("exists"));
        QCOMPARE(runTool({"dump", path}).out, QString());
        appendRows(path, {Row{"1", "Иванов", "Иван", "Иванович", "35", "женат", "2"},
                          Row{"2", "Петрова\tП.", "", "Сергеевна", "", "", ""}});
        QCOMPARE(runTool({"dump", path}).out,
                 QString("1\tИванов\tИван\tИванович\t35\tженат\t2\n2\tПетрова\\tП.\t\tСергеевна\t\t\t\n"));
        const Result info = runTool({"info", path});
        QCOMPARE(info.code, 0);
        QVERIFY(info.out.contains("file: " + path + "\n"));
        QVERIFY(info.out.contains("code page: 1251\n"));
        QVERIFY(info.out.contains("records: 2\n"));
        QVERIFY(info.out.contains("block size: 2048\n"));
        QVERIFY(info.out.contains("Семейное положение\talpha\t25\n"));
        QVERIFY(info.out.contains("Клиент №\talpha\t5\n"));
    }

    // Wrong use and failures: one line on stderr, a non-zero status, nothing changed.
    void commandsFailClearly()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/data.DB";
        QCOMPARE(runTool({"create", path}).code, 0);
        QCOMPARE(runTool({}).code, 2);
        QCOMPARE(runTool({"frobnicate", path}).code, 2);
        QCOMPARE(runTool({"import", path}).code, 2);
        QCOMPARE(runTool({"check", path, "extra"}).code, 2);
        for (const QString command : {"export", "import", "backup", "check", "info", "dump", "create", "prepare"}) {
            const Result help = runTool({command, "--help"});
            QCOMPARE(help.code, 0);
            QVERIFY2(help.out.startsWith("usage: kartoteka-table " + command + " "), qPrintable(help.out));
        }
        const QString missing = dir.path() + "/none.DB";
        for (const QStringList& args : {QStringList{"dump", missing}, QStringList{"export", missing},
                                        QStringList{"import", missing, path}, QStringList{"backup", missing, dir.path()},
                                        QStringList{"check", missing}, QStringList{"info", missing}}) {
            const Result r = runTool(args);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.startsWith("kartoteka-table: ") && r.err.count('\n') == 1 && r.err.contains("none.DB"),
                     qPrintable(args.join(' ') + ": " + r.err));
        }
        // An export whose table cannot be read leaves an existing file as it was, and no leftovers.
        const QString csv = dir.path() + "/cards.csv";
        writeFile(csv, "keep me");
        QCOMPARE(runTool({"export", missing, csv}).code, 1);
        QCOMPARE(fileBytes(csv), QByteArray("keep me"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // prepare: the set-up step of scripts/run and of the installed command. It finds the table
    // the program opens through the drive map, whatever the case of the names on disk, and
    // makes one only when none exists.
    void prepareFindsOrCreatesTheCardIndex()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("KARTOTEKA_ENGINE_CONFIG", home.path() + "/engine.conf");
        writeFile(home.path() + "/engine.conf", QString("drive E = %1/cards\n").arg(home.path()).toUtf8());

        const Result created = runTool({"prepare", "E:\\ЗУРБЕЛИН\\proga", "data.DB"}, {}, env);
        QCOMPARE(created.code, 0);
        const QString path = home.path() + "/cards/ЗУРБЕЛИН/proga/data.DB";
        QCOMPARE(created.out, "created " + path + "\n");
        QCOMPARE(runTool({"check", path}).code, 0);
        // The drive path names the same table for every command.
        QCOMPARE(runTool({"info", "E:\\ЗУРБЕЛИН\\proga\\data.DB"}, {}, env).out.section('\n', 0, 0), "file: " + path);

        // A table brought from elsewhere, in other case, is found and left alone.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().rename(home.path() + "/cards/ЗУРБЕЛИН", home.path() + "/cards/зурбелин"));
        const QString copied = home.path() + "/cards/зурбелин/proga/DATA.DB";
        QCOMPARE(runTool({"create", copied}).code, 0);
        appendRows(copied, {Row{"7", "Сидоров", "", "", "", "", ""}});
        const QByteArray before = fileBytes(copied);
        const Result found = runTool({"prepare", "E:\\ЗУРБЕЛИН\\proga", "data.DB"}, {}, env);
        QCOMPARE(found.code, 0);
        QCOMPARE(found.out, "found " + copied + "\n");
        QCOMPARE(fileBytes(copied), before);
        QCOMPARE(QDir(home.path() + "/cards/зурбелин/proga").entryList(QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTableTool)
#include "TestTableTool.moc"
