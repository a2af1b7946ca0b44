// The program through the real accessibility bus, as a screen reader works it:
// the real program on a private X server, with a session bus and an
// accessibility bus of the test's own. Every showing object of the windows
// the menu opens has a name; in the client base window the navigator's
// buttons are found by role and name and pressed through the bus, the delete
// question is answered through the bus, and the boxes are read through the
// bus; then the window is worked with its keys only: moving, adding, finding.
#include "AtSpiBus.h"
#include "ProgramRun.h"
#include "XSession.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Node = AtSpiBus::Node;

QString binaryDir() { return qEnvironmentVariable("KARTOTEKA_BINARY_DIR"); }

// Runs the table tool with some input; its output, or a null string on failure.
QString tableTool(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(binaryDir() + QStringLiteral("/bin/kartoteka-table"), args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()) + QLatin1Char(' ');
}

} // namespace

class TestAccessibilityBus : public QObject {
    Q_OBJECT
private slots:
    void withoutMouseOrEyes();
};

void TestAccessibilityBus::withoutMouseOrEyes() {
    QTemporaryDir home;
    const QString dir = home.filePath(QStringLiteral(".local/share/kartoteka/drives/E/ЗУРБЕЛИН/proga"));
    QVERIFY(QDir().mkpath(dir));
    const QString table = dir + QStringLiteral("/data.DB");
    QVERIFY(!tableTool({QStringLiteral("create"), table}).isNull());
    QVERIFY(!tableTool({QStringLiteral("import"), table, QStringLiteral("-")},
                       "Клиент №,Фамилия,Имя\n1,Петров,Пётр\n2,Сидорова,Анна\n3,Кузнецов,Иван\n")
                 .isNull());
    AtSpiBus bus;
    XSession x;
    QString error;
    const bool started = bus.start(&error);
    if ((!started && error.isEmpty()) || !XSession::missingTools().isEmpty())
        QSKIP("X or bus tools missing (scripts/setup installs them)");
    QVERIFY2(started, qPrintable(error));
    QVERIFY2(x.attach(&error), qPrintable(error));
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.sessionAddress().toUtf8());
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    ProgramRun run(x, binaryDir() + QStringLiteral("/bin/Kartoteka"), home.path());
    QVERIFY2(run.start(), "the program did not start");
    auto lastScreen = qScopeGuard([&x] { x.screenshot(binaryDir() + QStringLiteral("/e2e-accessibility-last.png")); });
    auto seen = [&run](const QString& what) { return (what + QLatin1Char('\n') + run.diagnosis()).toUtf8(); };

    Node app;
    QVERIFY2(QTest::qWaitFor([&] {
                 for (const Node& a : bus.applications())
                     if (bus.name(a) == QStringLiteral("Kartoteka"))
                         app = a;
                 return !app.isNull() && !bus.find(app, QStringLiteral("menu bar"), QStringLiteral("Главное меню")).isNull();
             }, 40000),
             seen(QStringLiteral("the program did not come onto the accessibility bus")));
    // A showing object with this role and name, waited for; null when none came.
    auto appears = [&](const QString& role, const QString& name) {
        Node found;
        (void)QTest::qWaitFor([&] { return !(found = bus.find(app, role, name)).isNull(); }, 10000);
        return found;
    };
    // Runs a menu command through the bus (its submenu need not be open).
    auto command = [&](const QString& item) {
        return bus.doAction(bus.find(app, QStringLiteral("menu item"), item, false), QStringLiteral("Press"));
    };

    // Each window the menu opens: every showing object is named, but the
    // toolkit's fillers that only hold others.
    QCOMPARE(bus.actionKeys(bus.find(app, QStringLiteral("menu item"), QStringLiteral("№1"), false),
                            QStringLiteral("Press")),
             QStringLiteral("1;;"));
    QCOMPARE(bus.actionKeys(bus.find(app, QStringLiteral("menu item"), QStringLiteral("Данные о клиенте"), false),
                            QStringLiteral("Press")),
             QStringLiteral(";;Ctrl+C"));
    const QStringList commands{"Данные о клиенте", "Тест на подчиненность", "На слабости", "Авторство"};
    const QStringList captions{"База клиентов", "Тест на подчиненность", "Тест на слабости", "Авторство"};
    QStringList inventory, unnamed;
    std::function<void(const Node&, const QString&)> survey = [&](const Node& node, const QString& path) {
        const QString role = bus.roleName(node), name = bus.name(node);
        // A text box's own drawing area is part of the box.
        const QList<Node> below = role == QStringLiteral("text") ? QList<Node>() : bus.children(node);
        if (role != QStringLiteral("filler") || below.isEmpty()) {
            inventory << path + role + QStringLiteral(" «") + name + QStringLiteral("»");
            if (name.isEmpty())
                unnamed << inventory.last();
        }
        for (const Node& child : below)
            if (bus.showing(child))
                survey(child, path + QStringLiteral("  "));
    };
    survey(bus.find(app, QStringLiteral("frame"), QStringLiteral("Картотека клиентов психолога и психологические опросники")), {});
    for (qsizetype i = 0; i < commands.size(); ++i) {
        QVERIFY(command(commands[i]));
        const Node window = appears(QStringLiteral("frame"), captions[i]);
        QVERIFY2(!window.isNull(), seen(captions[i] + QStringLiteral(" did not open")));
        survey(window, {});
    }
    qInfo("%d named objects on the bus:\n%s", int(inventory.size()), qPrintable(inventory.join(QLatin1Char('\n'))));
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char('\n'))));

    // A questionnaire's answer chosen, its result asked for and read, all through the bus.
    QVERIFY(bus.doAction(appears(QStringLiteral("radio button"), QStringLiteral("Да")), QStringLiteral("Toggle")));
    QVERIFY(bus.doAction(appears(QStringLiteral("push button"), QStringLiteral("ВЫВЕСТИ РЕЗУЛЬТАТЫ")), QStringLiteral("Press")));
    const Node result = appears(QStringLiteral("text"), QStringLiteral("Ваш результат: 4 балла"));
    QVERIFY2(!result.isNull(), seen(QStringLiteral("the result was not announced")));
    QVERIFY(bus.text(result).startsWith(QStringLiteral("Вы слабы")));
    // The authorship window's close button presses like a click: the window goes.
    QVERIFY(bus.doAction(appears(QStringLiteral("push button"), QStringLiteral("Закрыть")), QStringLiteral("Press")));
    QVERIFY(QTest::qWaitFor([&] { return bus.find(app, QStringLiteral("frame"), QStringLiteral("Авторство")).isNull(); }));

    // The client base window: Next found by role and name, pressed through the bus.
    const Node window = appears(QStringLiteral("frame"), QStringLiteral("База клиентов"));
    const Node surname = bus.find(window, QStringLiteral("text"), QStringLiteral("Фамилия"));
    auto shows = [&](const QString& card) { return QTest::qWaitFor([&] { return bus.text(surname) == card; }, 10000); };
    QVERIFY(shows(QStringLiteral("Петров")));
    const Node next = bus.find(window, QStringLiteral("push button"), QStringLiteral("Следующий"));
    QVERIFY(bus.property(next, QStringLiteral("Description")).contains(QStringLiteral("Ctrl+Page Down")));
    QVERIFY(bus.doAction(next, QStringLiteral("Press")));
    QVERIFY2(shows(QStringLiteral("Сидорова")), seen(QStringLiteral("Next through the bus did not show the next card")));
    // Delete, and the question answered through the bus.
    QVERIFY(bus.doAction(bus.find(window, QStringLiteral("push button"), QStringLiteral("Удалить")), QStringLiteral("Press")));
    const Node question = appears(QStringLiteral("dialog"), QStringLiteral("Confirm"));
    QVERIFY2(!question.isNull(), seen(QStringLiteral("the delete question did not come")));
    QVERIFY(bus.doAction(bus.find(question, QStringLiteral("push button"), QStringLiteral("OK")), QStringLiteral("Press")));
    QVERIFY2(shows(QStringLiteral("Кузнецов")), seen(QStringLiteral("the card was not deleted")));

    // The keys alone: to the first card, on, back, to the last.
    const qulonglong base = x.waitForWindow(QStringLiteral("^База клиентов$"));
    QVERIFY(base != 0 && x.focus(base));
    for (const auto& [key, card] : QList<QPair<QString, QString>>{
             {"ctrl+Home", "Петров"}, {"ctrl+Next", "Кузнецов"}, {"ctrl+Prior", "Петров"}, {"ctrl+End", "Кузнецов"}}) {
        QVERIFY(x.key(key));
        QVERIFY2(shows(card), seen(QStringLiteral("after ") + key));
    }
    // A new card: Insert, the surname box focused through the bus, typing; a move stores it.
    QVERIFY(x.key(QStringLiteral("Insert")) && shows(QString()));
    QVERIFY(bus.doAction(surname, QStringLiteral("SetFocus")));
    QVERIFY(x.type(QStringLiteral("Новиков")) && shows(QStringLiteral("Новиков")));
    QVERIFY(x.key(QStringLiteral("ctrl+Home")) && shows(QStringLiteral("Петров")));
    // Finding it, then a text no card has.
    QVERIFY(x.key(QStringLiteral("ctrl+f")) && !appears(QStringLiteral("dialog"), QStringLiteral("Найти карточку")).isNull());
    QVERIFY(x.type(QStringLiteral("НОВИ")) && x.key(QStringLiteral("Return")));
    QVERIFY2(shows(QStringLiteral("Новиков")), seen(QStringLiteral("Ctrl+F did not find the card")));
    QVERIFY(x.key(QStringLiteral("ctrl+f")) && !appears(QStringLiteral("dialog"), QStringLiteral("Найти карточку")).isNull());
    QVERIFY(x.key(QStringLiteral("ctrl+a")) && x.type(QStringLiteral("яяя")) && x.key(QStringLiteral("Return")));
    QVERIFY2(!appears(QStringLiteral("label"), QStringLiteral("Карточка с «яяя» не найдена.")).isNull(),
             seen(QStringLiteral("no message that nothing was found")));
    QVERIFY(x.key(QStringLiteral("Return")) && shows(QStringLiteral("Новиков")));

    // The end, through the bus; the table holds what was done.
    QVERIFY(command(QStringLiteral("Выход")));
    QVERIFY2(run.process().waitForFinished(20000), seen(QStringLiteral("the program did not end")));
    const QString dump = tableTool({QStringLiteral("dump"), table});
    QVERIFY2(dump.contains(QStringLiteral("Петров")) && dump.contains(QStringLiteral("Кузнецов")) &&
                 dump.contains(QStringLiteral("Новиков")) && !dump.contains(QStringLiteral("Сидорова")),
             qPrintable(dump));
}

QTEST_GUILESS_MAIN(TestAccessibilityBus)
#include "test_accessibility_bus.moc"
