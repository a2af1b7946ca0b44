// The program's windows as a user sees them on a real X server: exact
// captions, the window that becomes active when the active one is closed,
// one task-bar entry; and, when a window manager runs (openbox), the title-bar
// buttons of the secondary windows and minimizing and restoring the program
// as a whole. The same test runs without and with a window manager.
#include "ProgramRun.h"
#include "XSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

QString binaryDir() { return qEnvironmentVariable("KARTOTEKA_BINARY_DIR"); }

const QString stripCaption = QStringLiteral("Картотека клиентов психолога и психологические опросники");

QString exact(const QString& caption) { return QLatin1Char('^') + caption + QLatin1Char('$'); }

// Waits until the condition holds; false after the time-out.
template <class F> bool waitFor(F condition, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(100);
    }
    return true;
}

} // namespace

class TestWindowsSeen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowsAsAUserSeesThem();

private:
    QString program_;
    QString tableTool_;
};

void TestWindowsSeen::initTestCase() {
    const QString missing = XSession::missingTools();
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: %1 (scripts/setup installs them)").arg(missing)));
    program_ = binaryDir() + QStringLiteral("/bin/Kartoteka");
    tableTool_ = binaryDir() + QStringLiteral("/bin/kartoteka-table");
    QVERIFY2(QFile::exists(program_), qPrintable(program_));
}

void TestWindowsSeen::windowsAsAUserSeesThem() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString dir = home.filePath(QStringLiteral(".local/share/kartoteka/drives/E/ЗУРБЕЛИН/proga"));
    QVERIFY(QDir().mkpath(dir));
    QCOMPARE(QProcess::execute(tableTool_, {QStringLiteral("create"), dir + QStringLiteral("/data.DB")}), 0);

    XSession x;
    QString error;
    QVERIFY2(x.attach(&error), qPrintable(error));
    const bool managed = x.managed();
    ProgramRun run(x, program_, home.path());
    QVERIFY2(run.start(), "the program did not start");
    const QString mode = managed ? QStringLiteral("openbox") : QStringLiteral("bare");
    auto lastScreen = qScopeGuard(
        [&] { x.screenshot(binaryDir() + QStringLiteral("/e2e-windows-seen-%1-last.png").arg(mode)); });
    auto seen = [&run](const QString& what) { return (what + QLatin1Char('\n') + run.diagnosis()).toUtf8(); };

    // Every window opened the way a user opens it, from the menu strip.
    const qulonglong strip = x.waitForWindow(exact(stripCaption), 40000);
    QVERIFY2(strip != 0, seen(QStringLiteral("the main window did not show")).constData());
    auto fromStrip = [&](const QStringList& keys, const QString& caption) -> qulonglong {
        x.focus(strip);
        for (const QString& k : keys) {
            if (k.size() == 1 && k.at(0).unicode() > 127)
                x.type(k);
            else
                x.key(k);
        }
        return x.waitForWindow(exact(caption));
    };
    const qulonglong base = fromStrip({QStringLiteral("ctrl+c")}, QStringLiteral("База клиентов"));
    QVERIFY2(base, seen(QStringLiteral("Ctrl+C did not open the client base window")).constData());
    const qulonglong test6 = fromStrip({QStringLiteral("F10"), QStringLiteral("т"), QStringLiteral("т")},
                                       QStringLiteral("Тест на подчиненность"));
    QVERIFY2(test6, seen(QStringLiteral("the subordination test did not open")).constData());
    const qulonglong test7 = fromStrip({QStringLiteral("F10"), QStringLiteral("т"), QStringLiteral("н")},
                                       QStringLiteral("Тест на слабости"));
    QVERIFY2(test7, seen(QStringLiteral("the weaknesses test did not open")).constData());
    const qulonglong about = fromStrip({QStringLiteral("F10"), QStringLiteral("а")}, QStringLiteral("Form5"));
    QVERIFY2(about, seen(QStringLiteral("the authorship window did not open")).constData());

    // Captions exactly as stored: the toolkit appends nothing.
    const QList<QPair<qulonglong, QString>> captions{{strip, stripCaption},
                                                     {base, QStringLiteral("База клиентов")},
                                                     {test6, QStringLiteral("Тест на подчиненность")},
                                                     {test7, QStringLiteral("Тест на слабости")},
                                                     {about, QStringLiteral("Form5")}};
    for (const auto& [window, caption] : captions) {
        QString name;
        QVERIFY(x.xdo({QStringLiteral("getwindowname"), QString::number(window)}, &name));
        QCOMPARE(name.trimmed(), caption);
    }

    // Every secondary window belongs to the main window (transient for it);
    // the main window to none.
    const QString stripId = QStringLiteral("0x%1").arg(strip, 0, 16);
    QVERIFY(x.property(strip, QStringLiteral("WM_TRANSIENT_FOR")).isEmpty());
    for (qulonglong window : {base, test6, test7, about})
        QVERIFY2(x.property(window, QStringLiteral("WM_TRANSIENT_FOR")).endsWith(stripId),
                 qPrintable(x.property(window, QStringLiteral("WM_TRANSIENT_FOR"))));

    if (managed) {
        // One task-bar entry: the secondary windows also ask the window
        // manager to leave them out of the task bar (without one there is no
        // task bar, and the toolkit drops the request).
        QVERIFY(!x.property(strip, QStringLiteral("_NET_WM_STATE")).contains(QLatin1String("SKIP_TASKBAR")));
        for (qulonglong window : {base, test6, test7, about})
            QVERIFY2(x.property(window, QStringLiteral("_NET_WM_STATE")).contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR")),
                     qPrintable(x.property(window, QStringLiteral("_NET_WM_STATE"))));
        // Framed secondary windows have a title bar with the usual buttons;
        // the strip and the authorship window have no frame at all.
        for (qulonglong window : {base, test6, test7}) {
            const QString actions = x.property(window, QStringLiteral("_NET_WM_ALLOWED_ACTIONS"));
            for (const char* action : {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ",
                                       "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_CLOSE",
                                       "_NET_WM_ACTION_MOVE", "_NET_WM_ACTION_RESIZE"})
                QVERIFY2(actions.contains(QLatin1String(action)), qPrintable(actions));
            const QStringList frame = x.property(window, QStringLiteral("_NET_FRAME_EXTENTS")).split(QLatin1String(", "));
            QCOMPARE(frame.size(), 4);
            QVERIFY2(frame.at(2).toInt() > 10, "no title bar above the window");
        }
        for (qulonglong window : {strip, about})
            QCOMPARE(x.property(window, QStringLiteral("_NET_FRAME_EXTENTS")), QStringLiteral("0, 0, 0, 0"));
        // The window manager lists only the main window for a task bar.
        const QStringList clients =
            x.property(0, QStringLiteral("_NET_CLIENT_LIST")).section(QLatin1Char('#'), 1).split(QLatin1Char(','));
        QCOMPARE(clients.size(), 5);
        int entries = 0;
        for (const QString& id : clients) {
            const qulonglong window = id.trimmed().toULongLong(nullptr, 16);
            if (x.property(window, QStringLiteral("WM_TRANSIENT_FOR")).isEmpty() &&
                !x.property(window, QStringLiteral("_NET_WM_STATE")).contains(QLatin1String("SKIP_TASKBAR")))
                ++entries;
        }
        QCOMPARE(entries, 1);
    }

    // Closing the active window activates the front-most other one. The
    // focus comes to the strip and then to the weaknesses test from outside
    // the program (as a focus tool does), without raising either: the
    // front-most other window is still the authorship window, opened last.
    QVERIFY(x.focus(strip));
    QVERIFY(waitFor([&] { return x.focusedWindow() == strip; }));
    QVERIFY(x.focus(test7));
    QVERIFY(waitFor([&] { return x.focusedWindow() == test7; }));
    QThread::msleep(300);
    if (managed)
        QVERIFY(x.key(QStringLiteral("alt+F4"))); // the window manager's close
    else
        QVERIFY(x.requestClose(test7)); // what a close box sends
    const bool closed = x.waitForWindowGone(exact(QStringLiteral("Тест на слабости")), 10000);
    QVERIFY2(closed, seen(QStringLiteral("the weaknesses test stayed open")).constData());
    QVERIFY2(waitFor([&] { return x.focusedWindow() == about; }),
             seen(QStringLiteral("the focus went to window %1, not to the authorship window %2")
                      .arg(x.focusedWindow())
                      .arg(about))
                 .constData());
    if (managed)
        QVERIFY(waitFor([&] { return x.activeWindow() == about; }));
    QCOMPARE(run.process().state(), QProcess::Running);

    if (managed) {
        // Minimizing the main window hides the whole program; restoring it
        // brings every window back. A secondary window's minimize button does
        // the same.
        const QList<qulonglong> open{strip, base, test6, about};
        auto allShown = [&](bool shown) {
            return waitFor([&] {
                for (qulonglong window : open) {
                    const bool iconic = x.property(window, QStringLiteral("WM_STATE")).contains(QLatin1String("Iconic"));
                    if (iconic == shown)
                        return false;
                }
                return true;
            });
        };
        for (qulonglong minimized : {strip, base}) {
            QVERIFY(x.xdo({QStringLiteral("windowminimize"), QString::number(minimized)}));
            QVERIFY2(allShown(false), seen(QStringLiteral("minimizing left windows shown")).constData());
            QVERIFY(x.waitForWindowGone(QStringLiteral(".")));
            QVERIFY(x.xdo({QStringLiteral("windowactivate"), QString::number(strip)}));
            QVERIFY2(allShown(true), seen(QStringLiteral("restoring left windows minimized")).constData());
            QString ids;
            QVERIFY(x.xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                           QStringLiteral(".")},
                          &ids));
            for (qulonglong window : open)
                QVERIFY2(ids.split(QLatin1Char('\n')).contains(QString::number(window)), qPrintable(ids));
        }
    }

    // "Выход" ends the program.
    x.focus(strip);
    QVERIFY(x.key(QStringLiteral("F10")));
    QVERIFY(x.type(QStringLiteral("в")));
    QVERIFY2(run.process().waitForFinished(20000), seen(QStringLiteral("the program did not end")).constData());
    QCOMPARE(run.process().exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestWindowsSeen)
#include "test_windows_seen.moc"
