// Finding, loading and starting the engine: the search order, the load
// failure codes and the start-up message, the hourglass pointer.
#include "ClientFields.h"
#include "CursorTestSupport.h"
#include "EDatabaseError.h"
#include "EngineLibrary.h"
#include "TSession.h"
#include "TTable.h"
#include "TestSupport.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace CursorTest;

namespace {

QString initMessage(const QString& code) {
    return QStringLiteral("An error occurred while attempting to initialize the table engine (error $") + code +
           QStringLiteral(")");
}

template <class F> QString errorOf(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

QString openError() {
    TTable table;
    setUpClientTable(&table);
    return errorOf([&] { table.Open(); });
}

int g_cursorShapeAtInit = -1;
void recordCursorAtInit() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    g_cursorShapeAtInit = cursor ? cursor->shape() : -2;
}

} // namespace

class TestEngineLibrary : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        TSession::Default().Close();
        EngineLibrary::setProgramDirectoryForTests(QString(), true);
        qunsetenv("KARTOTEKA_ENGINE_CONFIG");
    }

    void searchOrderIsProgramDirectoryThenConfigurationThenSystem() {
        QTemporaryDir dir;
        QFile config(dir.filePath(QStringLiteral("engine.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("# engine settings\nlibrary_path = /opt/one\ndrive E = /tmp\n  library_path=/opt/two  \n");
        config.close();
        qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(config.fileName()));
        const QStringList list = EngineLibrary::candidates();
        QVERIFY(list.size() >= 4);
        // The program's own directory (not the current one) comes first, the bare name last.
        QCOMPARE(list.first(), QCoreApplication::applicationDirPath() + QStringLiteral("/libkartoteka-engine.so"));
        QCOMPARE(list.last(), QStringLiteral("libkartoteka-engine.so"));
        const qsizetype one = list.indexOf(QStringLiteral("/opt/one/libkartoteka-engine.so"));
        const qsizetype two = list.indexOf(QStringLiteral("/opt/two/libkartoteka-engine.so"));
        QVERIFY(one > 0);
        QVERIFY(two > one);
        QVERIFY(!list.contains(QDir::currentPath() + QStringLiteral("/libkartoteka-engine.so")) ||
                QDir::currentPath() == QCoreApplication::applicationDirPath());
    }

    void configurationParsing() {
        const QStringList paths = EngineLibrary::parseLibraryPaths(
            QStringLiteral("; comment\n[section]\nlibrary_path = /a\nLIBRARY_PATH = /b:/c\nother = /d\nlibrary_path\n"
                           "library_path = ~/lib\n"));
        QCOMPARE(paths, QStringList({"/a", "/b", "/c", QDir::homePath() + QStringLiteral("/lib")}));
    }

    void missingLibraryGives2108() {
        QTemporaryDir empty;
        EngineLibrary::setProgramDirectoryForTests(empty.path(), false);
        EngineLibrary library;
        QCOMPARE(library.load(), 0x2108);
        QVERIFY(!library.loaded());
        QCOMPARE(openError(), initMessage(QStringLiteral("2108")));
        QVERIFY(!TSession::Default().Active());
    }

    void missingLibraryIsReportedByEveryOpen() {
        // Both client windows open at start-up; each tries again and fails the same way.
        QTemporaryDir empty;
        EngineLibrary::setProgramDirectoryForTests(empty.path(), false);
        QCOMPARE(openError(), initMessage(QStringLiteral("2108")));
        QCOMPARE(openError(), initMessage(QStringLiteral("2108")));
        // Once the engine is there, the next Open starts it.
        EngineLibrary::setProgramDirectoryForTests(FakeEngine::directory(), false);
        FakeEngine::instance().reset();
        for (const Column& c : clientColumns())
            FakeEngine::instance().add_column(c.name.toUtf8().constData(), c.type, c.size);
        QCOMPARE(openError(), QStringLiteral("(no error)"));
        QVERIFY(TSession::Default().Active());
    }

    void notALibraryGives2109() {
        QTemporaryDir dir;
        QFile junk(dir.filePath(QStringLiteral("libkartoteka-engine.so")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("this is not a shared library");
        junk.close();
        EngineLibrary::setProgramDirectoryForTests(dir.path(), false);
        EngineLibrary library;
        QCOMPARE(library.load(), 0x2109);
        QCOMPARE(openError(), initMessage(QStringLiteral("2109")));
    }

    void libraryWithoutInitialisationEntryGives2a06() {
        EngineLibrary::setProgramDirectoryForTests(
            qEnvironmentVariable("KARTOTEKA_BINARY_DIR") + QStringLiteral("/tests/noinit-engine"), false);
        EngineLibrary library;
        QCOMPARE(library.load(), 0x2A06);
        QVERIFY(!library.loaded());
        QCOMPARE(openError(), initMessage(QStringLiteral("2a06")));
    }

    void configuredLibraryPathIsSearched() {
        QTemporaryDir empty;
        QTemporaryDir dir;
        QFile config(dir.filePath(QStringLiteral("engine.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("library_path = %1\n").arg(FakeEngine::directory()).toUtf8());
        config.close();
        qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(config.fileName()));
        EngineLibrary::setProgramDirectoryForTests(empty.path(), true);
        EngineLibrary library;
        QCOMPARE(library.load(), 0);
        QCOMPARE(library.path(), FakeEngine::directory() + QStringLiteral("/libkartoteka-engine.so"));
        QVERIFY(library.api().init && library.api().unicode_to_native);
    }

    void initialisationFailureIsTheStartUpMessage() {
        useEngine(FakeEngine::directory());
        FakeEngine& fake = FakeEngine::instance();
        fake.reset();
        fake.set_init_result(0x2501);
        QCOMPARE(openError(), initMessage(QStringLiteral("2501")));
        QVERIFY(!TSession::Default().Active());
        fake.set_init_result(0x3E06);
        QCOMPARE(openError(), initMessage(QStringLiteral("3e06")));
        // The language given to the engine.
        QVERIFY(fake.log().contains(QStringLiteral("init 0009")));
    }

    void alreadyInitialisedCountsAsSuccess() {
        useEngine(FakeEngine::directory());
        FakeEngine& fake = FakeEngine::instance();
        fake.reset();
        fake.set_init_result(0x2A07);
        TSession::Default().Start();
        QVERIFY(TSession::Default().Active());
    }

    void hourglassWhileTheEngineStarts() {
        useEngine(FakeEngine::directory());
        FakeEngine& fake = FakeEngine::instance();
        fake.reset();
        fake.set_init_hook(recordCursorAtInit);
        g_cursorShapeAtInit = -1;
        QVERIFY(!QGuiApplication::overrideCursor());
        TSession::Default().Start();
        QCOMPARE(g_cursorShapeAtInit, int(Qt::WaitCursor));
        QVERIFY(!QGuiApplication::overrideCursor()); // back to the default pointer
        TSession::Default().Close();

        // Also after a failed start.
        fake.set_init_result(0x2501);
        g_cursorShapeAtInit = -1;
        QVERIFY(!errorOf([] { TSession::Default().Start(); }).isEmpty());
        QCOMPARE(g_cursorShapeAtInit, int(Qt::WaitCursor));
        QVERIFY(!QGuiApplication::overrideCursor());
        fake.set_init_result(0);

        // A pointer another part of the program forced is left alone.
        QGuiApplication::setOverrideCursor(Qt::PointingHandCursor);
        g_cursorShapeAtInit = -1;
        TSession::Default().Start();
        QCOMPARE(g_cursorShapeAtInit, int(Qt::PointingHandCursor));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        QGuiApplication::restoreOverrideCursor();
        QVERIFY(!QGuiApplication::overrideCursor());
        fake.set_init_hook(nullptr);
    }

    void sessionCloseEndsTheEngine() {
        useEngine(FakeEngine::directory());
        FakeEngine& fake = FakeEngine::instance();
        fake.reset();
        for (const Column& c : clientColumns())
            fake.add_column(c.name.toUtf8().constData(), c.type, c.size);
        QCOMPARE(openError(), QStringLiteral("(no error)")); // the table closes again at once
        QCOMPARE(fake.initialized(), 1);
        QCOMPARE(fake.open_databases(), 1); // the connection outlives its cursors
        QCOMPARE(fake.open_cursors(), 0);
        TSession::Default().Close();
        QCOMPARE(fake.open_databases(), 0);
        QCOMPARE(fake.initialized(), 0);
    }
};

KARTOTEKA_TEST_MAIN(TestEngineLibrary)
#include "test_EngineLibrary.moc"
