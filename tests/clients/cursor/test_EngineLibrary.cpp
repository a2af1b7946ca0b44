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
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include <clocale>
#include <string>

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

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
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

    QTemporaryDir home_;

private slots:
    void initTestCase() {
        // No configuration of the account running the tests.
        QVERIFY(home_.isValid());
        qputenv("HOME", QFile::encodeName(home_.path()));
        qunsetenv("XDG_CONFIG_HOME");
    }

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

    void configurationIsReadByTheEnginesRules() {
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        QTemporaryDir empty;
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        auto restore = qScopeGuard([&] { QDir::setCurrent(saved); });
        const QString config = dir.filePath(QStringLiteral("engine.conf"));
        qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(config));
        EngineLibrary::setProgramDirectoryForTests(empty.path(), true);

        // A relative folder is the configuration file's, never the current directory's.
        const QString fake = FakeEngine::directory() + QStringLiteral("/libkartoteka-engine.so");
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("engines"))));
        QVERIFY(QFile::link(fake, dir.filePath(QStringLiteral("engines/libkartoteka-engine.so"))));
        writeFile(elsewhere.filePath(QStringLiteral("engines/libkartoteka-engine.so")), "not a library");
        writeFile(config, "library_path = engines\nlibrary_path = /a:/b\n");
        bool readable = false;
        QCOMPARE(EngineLibrary::configuredLibraryPaths(&readable),
                 QStringList({dir.filePath(QStringLiteral("engines")), QStringLiteral("/a:/b")}));
        QVERIFY(readable);
        {
            EngineLibrary library;
            QCOMPARE(library.load(), 0);
            QCOMPARE(library.path(), dir.filePath(QStringLiteral("engines/libkartoteka-engine.so")));
        }

        // A file the engine refuses gives the loader no folder either; found
        // nowhere else, the engine's absence is put down to the configuration.
        for (const QByteArray& bad : {QByteArray("[engine]\nlibrary_path = engines\n"),
                                      QByteArray("library_paths = engines\n"), QByteArray("library_path\n"),
                                      QByteArray("library_path = engines\nmode = fast\n")}) {
            writeFile(config, bad);
            QCOMPARE(EngineLibrary::configuredLibraryPaths(&readable), QStringList());
            QVERIFY(!readable);
            EngineLibrary library;
            QCOMPARE(library.load(), 0x2117);
            QVERIFY(!library.loaded());
        }
        // The real engine, found in the program's folder, refuses the same file when it starts.
        EngineLibrary::setProgramDirectoryForTests(realEngineDirectory(), false);
        QCOMPARE(openError(), initMessage(QStringLiteral("2117")));
        // And a missing file named by KARTOTEKA_ENGINE_CONFIG is a configuration fault on both sides.
        QVERIFY(QFile::remove(config));
        QCOMPARE(EngineLibrary::configuredLibraryPaths(&readable), QStringList());
        QVERIFY(!readable);
        QCOMPARE(openError(), initMessage(QStringLiteral("2117")));
    }

    void missingLibraryIsFoundMissingInAnyLanguage() {
        // The dynamic loader's messages are in the user's language; whether the
        // engine is there must not depend on them.
        const QByteArray language = qgetenv("LANGUAGE");
        const std::string locale = std::setlocale(LC_ALL, nullptr);
        qputenv("LANGUAGE", "ru");
        QVERIFY(std::setlocale(LC_ALL, "ru_RU.UTF-8") || std::setlocale(LC_ALL, "C.UTF-8"));
        auto restore = qScopeGuard([&] {
            qputenv("LANGUAGE", language);
            std::setlocale(LC_ALL, locale.c_str());
        });
        dlerror();
        QVERIFY(!dlopen("libkartoteka-no-such-library.so", RTLD_NOW));
        const QString message = QString::fromLocal8Bit(dlerror());
        if (!message.contains(QRegularExpression(QStringLiteral("[а-яА-Я]"))))
            QSKIP(qPrintable(QStringLiteral("the C library has no Russian messages here: ") + message));

        QTemporaryDir empty;
        QTemporaryDir configured;
        const QString config = configured.filePath(QStringLiteral("engine.conf"));
        writeFile(config, QStringLiteral("library_path = %1\n").arg(configured.path()).toUtf8());
        qputenv("KARTOTEKA_ENGINE_CONFIG", QFile::encodeName(config));
        // The program's folder, the configured folder and the system's search: none has it.
        EngineLibrary::setProgramDirectoryForTests(empty.path(), true);
        {
            EngineLibrary library;
            QCOMPARE(library.load(), 0x2108);
            QVERIFY(!library.loaded());
        }
        QCOMPARE(openError(), initMessage(QStringLiteral("2108")));
        // A file of that name that is no library is a load failure, in Russian too.
        writeFile(configured.filePath(QStringLiteral("libkartoteka-engine.so")), "не библиотека");
        EngineLibrary library;
        QCOMPARE(library.load(), 0x2109);
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
