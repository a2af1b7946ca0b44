// The client base window through the real accessibility bus, as a screen
// reader works it: the real program on a private X server, a session bus and
// the accessibility bus of the test's own. The test finds the navigator's
// buttons by role and name, presses them through the bus, answers the delete
// question through the bus, reads the boxes through the bus, and then works
// the window with its keys only: moving, adding, finding.
#include "AtSpiBus.h"
#include "ProgramRun.h"
#include "XSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Node = AtSpiBus::Node;

QString binaryDir() { return qEnvironmentVariable("KARTOTEKA_BINARY_DIR"); }

// Runs the table tool with some input; its standard output, or a null string on failure.
QString tableTool(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(binaryDir() + QStringLiteral("/bin/kartoteka-table"), args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("kartoteka-table %s: %s", qPrintable(args.join(QLatin1Char(' '))), p.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()) + QLatin1Char(' ');
}

} // namespace

class TestAccessibilityBus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void clientCardsWithoutMouseOrEyes();
};

void TestAccessibilityBus::initTestCase() {
    QString missing = XSession::missingTools();
    if (missing.isEmpty())
        missing = AtSpiBus::missingTools();
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: %1 (scripts/setup installs them)").arg(missing)));
}

void TestAccessibilityBus::clientCardsWithoutMouseOrEyes() {
    QTemporaryDir home;
    const QString dir = home.filePath(QStringLiteral(".local/share/kartoteka/drives/E/ЗУРБЕЛИН/proga"));
    QVERIFY(QDir().mkpath(dir));
    const QString table = dir + QStringLiteral("/data.DB");
    QVERIFY(!tableTool({QStringLiteral("create"), table}).isNull());
    QVERIFY(!tableTool({QStringLiteral("import"), table, QStringLiteral("-")},
                       QStringLiteral("Клиент №,Фамилия,Имя\n1,Петров,Пётр\n2,Сидорова,Анна\n3,Кузнецов,Иван\n")
                           .toUtf8())
                 .isNull());

    AtSpiBus bus;
    QString error;
    QVERIFY2(bus.start(&error), qPrintable(error));
    XSession x;
    QVERIFY2(x.attach(&error), qPrintable(error));
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.sessionAddress().toUtf8());
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    ProgramRun run(x, binaryDir() + QStringLiteral("/bin/Kartoteka"), home.path());
    QVERIFY2(run.start(), "the program did not start");
    auto lastScreen = qScopeGuard([&x] { x.screenshot(binaryDir() + QStringLiteral("/e2e-accessibility-last.png")); });
    auto seen = [&run](const char* what) { return (QLatin1String(what) + QLatin1Char('\n') + run.diagnosis()).toUtf8(); };

    Node app;
    QVERIFY2(AtSpiBus::waitFor([&] {
                 for (const Node& a : bus.applications())
                     if (bus.name(a) == QStringLiteral("Kartoteka"))
                         app = a;
                 return !app.isNull() && !bus.find(app, QStringLiteral("menu bar"), QStringLiteral("Главное меню")).isNull();
             }, 40000),
             seen("the program did not come onto the accessibility bus"));

    // The menu command, found and run through the bus (it sits in a closed submenu).
    const Node command = bus.find(app, QStringLiteral("menu item"), QStringLiteral("Данные о клиенте"), false);
    QVERIFY(!command.isNull());
    QCOMPARE(bus.actions(command).value(0).keyBinding, QStringLiteral(";;Ctrl+C"));
    QVERIFY(bus.doAction(command, QStringLiteral("Press")));
    // Waits for a showing object with this role and name; a null node when none came.
    auto appears = [&](const QString& role, const QString& name) {
        Node found;
        AtSpiBus::waitFor([&] {
            found = bus.find(app, role, name);
            return !found.isNull();
        });
        return found;
    };
    const Node window = appears(QStringLiteral("frame"), QStringLiteral("База клиентов"));
    QVERIFY2(!window.isNull(), seen("the client base window did not open"));
    const Node surname = bus.find(window, QStringLiteral("text"), QStringLiteral("Фамилия"));
    QVERIFY(!surname.isNull());
    auto shows = [&](const QString& expected) {
        return AtSpiBus::waitFor([&] { return bus.text(surname) == expected; });
    };
    QVERIFY(shows(QStringLiteral("Петров")));

    // Every showing object has a name, but the toolkit's fillers that only hold others.
    QStringList unnamed;
    std::function<void(const Node&)> check = [&](const Node& node) {
        for (const Node& child : bus.children(node)) {
            if (!bus.showing(child))
                continue;
            const bool holder = bus.roleName(child) == QStringLiteral("filler") && !bus.children(child).isEmpty();
            if (!holder && bus.name(child).isEmpty())
                unnamed << bus.roleName(child);
            check(child);
        }
    };
    check(window);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));

    // Next, found by role and name, pressed through the bus.
    const Node next = bus.find(window, QStringLiteral("push button"), QStringLiteral("Следующий"));
    QVERIFY(!next.isNull());
    QVERIFY(bus.description(next).contains(QStringLiteral("Ctrl+Page Down")));
    QVERIFY(bus.doAction(next, QStringLiteral("Press")));
    QVERIFY2(shows(QStringLiteral("Сидорова")), seen("Next through the bus did not show the next card"));

    // Delete, and the question answered through the bus.
    const Node remove = bus.find(window, QStringLiteral("push button"), QStringLiteral("Удалить"));
    QVERIFY(bus.doAction(remove, QStringLiteral("Press")));
    const Node question = appears(QStringLiteral("dialog"), QStringLiteral("Confirm"));
    QVERIFY2(!question.isNull(), seen("the delete question did not come"));
    QVERIFY(!bus.find(question, QStringLiteral("label"), QStringLiteral("Delete record?")).isNull());
    QVERIFY(bus.doAction(bus.find(question, QStringLiteral("push button"), QStringLiteral("OK")), QStringLiteral("Press")));
    QVERIFY2(shows(QStringLiteral("Кузнецов")), seen("the card was not deleted"));

    // The keys alone: to the first card, on, back, to the last.
    const qulonglong base = x.waitForWindow(QStringLiteral("^База клиентов$"));
    QVERIFY(base != 0 && x.focus(base));
    const QList<QPair<QString, QString>> moves{{"ctrl+Home", "Петров"}, {"ctrl+Next", "Кузнецов"},
                                               {"ctrl+Prior", "Петров"}, {"ctrl+End", "Кузнецов"}};
    for (const auto& [key, card] : moves) {
        QVERIFY(x.key(key));
        QVERIFY2(shows(card), seen(qPrintable(QStringLiteral("after %1").arg(key))));
    }
    // A new card: Insert, the surname box (focused through the bus, as a screen reader does), typing.
    QVERIFY(x.key(QStringLiteral("Insert")));
    QVERIFY(shows(QString()));
    QVERIFY(bus.doAction(surname, QStringLiteral("SetFocus")));
    QVERIFY(x.type(QStringLiteral("Новиков")));
    QVERIFY(shows(QStringLiteral("Новиков")));
    QVERIFY(x.key(QStringLiteral("ctrl+Home")));
    QVERIFY2(shows(QStringLiteral("Петров")), seen("the new card was not stored by the move"));
    // Finding it, and a text no card has.
    QVERIFY(x.key(QStringLiteral("ctrl+f")));
    QVERIFY(!appears(QStringLiteral("dialog"), QStringLiteral("Найти карточку")).isNull());
    QVERIFY(x.type(QStringLiteral("НОВИ")) && x.key(QStringLiteral("Return")));
    QVERIFY2(shows(QStringLiteral("Новиков")), seen("Ctrl+F did not find the card"));
    QVERIFY(x.key(QStringLiteral("ctrl+f")));
    QVERIFY(!appears(QStringLiteral("dialog"), QStringLiteral("Найти карточку")).isNull());
    QVERIFY(x.key(QStringLiteral("ctrl+a")) && x.type(QStringLiteral("яяя")) && x.key(QStringLiteral("Return")));
    QVERIFY2(!appears(QStringLiteral("label"), QStringLiteral("Карточка с «яяя» не найдена.")).isNull(),
             seen("no message that nothing was found"));
    QVERIFY(x.key(QStringLiteral("Return")));
    QVERIFY(shows(QStringLiteral("Новиков")));

    // The end, through the bus; the table holds what was done.
    QVERIFY(bus.doAction(bus.find(app, QStringLiteral("menu item"), QStringLiteral("Выход")), QStringLiteral("Press")));
    QVERIFY2(run.process().waitForFinished(20000), seen("the program did not end"));
    const QString dump = tableTool({QStringLiteral("dump"), table});
    QVERIFY(dump.contains(QStringLiteral("Петров")) && dump.contains(QStringLiteral("Кузнецов")) &&
            dump.contains(QStringLiteral("Новиков")));
    QVERIFY2(!dump.contains(QStringLiteral("Сидорова")), qPrintable(dump));
}

QTEST_GUILESS_MAIN(TestAccessibilityBus)
#include "test_accessibility_bus.moc"
