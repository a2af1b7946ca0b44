// The built plugin as the client layer meets it: loaded at run time, it
// exports the interface functions and nothing else, and it works.
#include "TableCreator.h"

#include <QFile>
#include <QLibrary>
#include <QRegularExpression>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "kartoteka_engine.h"

class TestEnginePlugin : public QObject {
    Q_OBJECT

    QString pluginPath() const { return qEnvironmentVariable("KARTOTEKA_BINARY_DIR") + "/bin/libkartoteka-engine.so"; }

private slots:
    void exportsOnlyTheInterface()
    {
        QProcess nm;
        nm.start("nm", {"-D", "--defined-only", pluginPath()});
        QVERIFY(nm.waitForFinished());
        const QStringList lines = QString::fromUtf8(nm.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QStringList names;
        for (const QString& line : lines)
            names << line.section(' ', -1);
        // Exactly the functions the public header declares.
        QFile header(qEnvironmentVariable("KARTOTEKA_SOURCE_DIR") + "/src/engine/include/kartoteka_engine.h");
        QVERIFY(header.open(QIODevice::ReadOnly));
        QStringList declared;
        QRegularExpression decl("KE_API\\s+\\w+\\s+(ke_\\w+)\\s*\\(");
        for (auto it = decl.globalMatch(QString::fromUtf8(header.readAll())); it.hasNext();)
            declared << it.next().captured(1);
        QVERIFY(declared.size() > 20);
        names.sort();
        declared.sort();
        QCOMPARE(names, declared);
    }

    void loadsAndOpensATable()
    {
        QTemporaryDir dir;
        ke::createTable((dir.path() + "/data.DB").toStdString(), ke::clientTableLayout());
        QLibrary lib(pluginPath());
        QVERIFY2(lib.load(), qPrintable(lib.errorString()));
        auto init = reinterpret_cast<decltype(&ke_init)>(lib.resolve("ke_init"));
        auto exitFn = reinterpret_cast<decltype(&ke_exit)>(lib.resolve("ke_exit"));
        auto openDb = reinterpret_cast<decltype(&ke_open_database)>(lib.resolve("ke_open_database"));
        auto setDir = reinterpret_cast<decltype(&ke_set_directory)>(lib.resolve("ke_set_directory"));
        auto openTable = reinterpret_cast<decltype(&ke_open_table)>(lib.resolve("ke_open_table"));
        auto props = reinterpret_cast<decltype(&ke_get_cursor_props)>(lib.resolve("ke_get_cursor_props"));
        QVERIFY(init && exitFn && openDb && setDir && openTable && props);
        QCOMPARE(init(nullptr), KE_OK);
        QCOMPARE(init(nullptr), KE_ERR_ALREADY_INITIALIZED);
        ke_database* db = nullptr;
        QCOMPARE(openDb(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), KE_OK);
        QCOMPARE(setDir(db, dir.path().toUtf8().constData()), KE_OK);
        ke_cursor* c = nullptr;
        QCOMPARE(openTable(db, "DATA.db", "PARADOX", nullptr, 0, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, &c), KE_OK);
        ke_cursor_props p {};
        QCOMPARE(props(c, &p), KE_OK);
        QCOMPARE(p.record_size, uint16_t(170));
        QCOMPARE(p.code_page, uint16_t(1251));
        QCOMPARE(exitFn(), KE_OK);
    }
};

QTEST_GUILESS_MAIN(TestEnginePlugin)
#include "TestEnginePlugin.moc"
