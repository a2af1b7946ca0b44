// The kartoteka-table tool that other tests and users call: create, dump, info.
#include "EngineTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

using namespace enginetest;

class TestTableTool : public QObject {
    Q_OBJECT

    struct Result {
        int code;
        QString out, err;
    };

    Result run(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("KARTOTEKA_BINARY_DIR") + "/bin/kartoteka-table", args);
        p.waitForFinished();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private slots:
    void createDumpInfo()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/data.DB";
        QCOMPARE(run({"create", path}).code, 0);
        Result again = run({"create", path});
        QVERIFY(again.code != 0); // never overwrites
        QVERIFY(again.err.contains("exists"));
        QCOMPARE(run({"dump", path}).out, QString());
        {
            ke::Cursor c(path.toStdString(), {});
            for (const Row& row : {Row{"1", "Иванов", "Иван", "Иванович", "35", "женат", "2"},
                                   Row{"2", "Петрова", "", "Сергеевна", "", "", ""}}) {
                c.setToEnd();
                auto r = makeRecord(c.header(), row);
                c.insert(r.data(), false);
            }
        }
        QCOMPARE(run({"dump", path}).out,
                 QString("1\tИванов\tИван\tИванович\t35\tженат\t2\n2\tПетрова\t\tСергеевна\t\t\t\n"));
        const Result info = run({"info", path});
        QCOMPARE(info.code, 0);
        QVERIFY(info.out.contains("code page: 1251"));
        QVERIFY(info.out.contains("records: 2"));
        QVERIFY(info.out.contains("block size: 2048"));
        QVERIFY(info.out.contains("Семейное положение\tString\t25"));
        QVERIFY(info.out.contains("Клиент №\tString\t5"));
        const Result missing = run({"dump", dir.path() + "/none.DB"});
        QCOMPARE(missing.code, 1);
        QVERIFY(missing.err.contains("none.DB"));
        QCOMPARE(run({"frobnicate", path}).code, 2);
    }

    // prepare: the set-up step of scripts/run. It finds the table the program opens through
    // the drive map, whatever the case of the names on disk, and makes one only when none exists.
    void prepareFindsOrCreatesTheCardIndex()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("KARTOTEKA_ENGINE_CONFIG", home.path() + "/engine.conf");
        QFile conf(home.path() + "/engine.conf");
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QString("drive E = %1/cards\n").arg(home.path()).toUtf8());
        conf.close();

        const Result created = run({"prepare", "E:\\ЗУРБЕЛИН\\proga", "data.DB"}, env);
        QCOMPARE(created.code, 0);
        const QString path = home.path() + "/cards/ЗУРБЕЛИН/proga/data.DB";
        QCOMPARE(created.out, "created " + path + "\n");
        QVERIFY(QFile::exists(path));

        // A table brought from elsewhere, in other case, is found and left alone.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().rename(home.path() + "/cards/ЗУРБЕЛИН", home.path() + "/cards/зурбелин"));
        const QString copied = home.path() + "/cards/зурбелин/proga/DATA.DB";
        QCOMPARE(run({"create", copied}).code, 0);
        {
            ke::Cursor c(copied.toStdString(), {});
            auto r = makeRecord(c.header(), Row{"7", "Сидоров", "", "", "", "", ""});
            c.insert(r.data(), false);
        }
        const Result found = run({"prepare", "E:\\ЗУРБЕЛИН\\proga", "data.DB"}, env);
        QCOMPARE(found.code, 0);
        QCOMPARE(found.out, "found " + copied + "\n");
        QCOMPARE(run({"dump", copied}).out, QString("7\tСидоров\t\t\t\t\t\n"));
    }
};

QTEST_GUILESS_MAIN(TestTableTool)
#include "TestTableTool.moc"
