// kartoteka-table on password-protected card indexes: made protected, opened
// with a password from a file, a descriptor, --password or typed on a terminal
// (never echoed), refused
// with a wrong one, and protected or unprotected all or nothing, never while
// another user has the table open. pxlib reads every result.
#include "PxlibPeer.h"
#include "ToolTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tooltest;

namespace {

// The tool on a terminal of its own (through script(1)); the password is typed
// only once the prompt shows, as a person would.
Result runOnTerminal(const QStringList& args, const QByteArray& typed)
{
    QStringList quoted;
    for (const QString& a : QStringList(toolPath()) + args)
        quoted << "'" + QString(a).replace("'", "'\\''") + "'";
    QProcess p;
    p.start("script", {"-qec", quoted.join(' '), "/dev/null"});
    if (!p.waitForStarted())
        return {-2, {}, "script(1) cannot be started", {}};
    QByteArray seen;
    while (!seen.contains("Password for") && p.waitForReadyRead(20000))
        seen += p.readAllStandardOutput();
    p.write(typed);
    p.waitForFinished(60000);
    seen += p.readAllStandardOutput();
    return {p.exitCode(), QString::fromUtf8(seen), QString::fromUtf8(p.readAllStandardError()), seen};
}

std::vector<enginetest::Row> cards()
{
    return {{"1", "Иванова", "Анна", "Петровна", "34", "замужем", "2"}, {"2", "Петров", "Иван", "", "41", "женат", "0"}};
}

} // namespace

class TestPasswordCommands : public QObject {
    Q_OBJECT

private slots:
    void protectedCardIndexFromStartToFinish()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/data.DB";
        QCOMPARE(runTool({"create", "--password", "secret", table}).code, 0);
        QCOMPARE(enginetest::storedKey(table), 0x6E25449Au);
        const QByteArray csv = "Клиент №,Фамилия,Имя,Отчество,Возраст,Семейное положение,Количество детей\n"
                               "1,Иванова,Анна,Петровна,34,замужем,2\n2,Петров,Иван,,41,женат,0\n";
        const Result refused = runTool({"import", table, "-"}, csv);
        QCOMPARE(refused.code, 1);
        QCOMPARE(refused.err, "kartoteka-table: " + table + ": the table is password-protected; give its password on a terminal or with --password-file FILE\n");
        QCOMPARE(runTool({"import", "--password=secret", table, "-"}, csv).code, 0);
        enginetest::g_pxErrors = 0;
        QCOMPARE(enginetest::describe(enginetest::readWithPxlib(table.toStdString(), 1251)), enginetest::describe(cards()));
        QCOMPARE(enginetest::g_pxErrors, 0);
        QVERIFY(!fileBytes(table).contains(QByteArray("\xC8\xE2\xE0\xED\xEE\xE2\xE0", 7))); // "Иванова" in 1251

        const Result wrong = runTool({"export", "--password", "Secret", table});
        QCOMPARE(wrong.code, 1);
        QVERIFY2(wrong.err.contains("the password given does not open this table"), qPrintable(wrong.err));
        QVERIFY(wrong.out.isEmpty());

        // From a file or a descriptor (only its first line: the CSV follows on
        // the same standard input), where no process list shows it.
        const QString passwordFile = dir.path() + "/password";
        writeFile(passwordFile, "secret\r\nnot this line\n");
        const Result fromFile = runTool({"dump", "--password-file", passwordFile, table});
        QVERIFY2(fromFile.code == 0 && fromFile.out.startsWith("1\tИванова\tАнна"), qPrintable(fromFile.err));
        const Result fromDescriptor = runTool({"import", table, "-", "--password-fd=0"}, "secret\n" + csv.left(csv.indexOf('\n') + 1));
        QCOMPARE(fromDescriptor.out, "imported 0 records into " + table + "\n");
        writeFile(passwordFile, "\nsecret\n");
        QCOMPARE(runTool({"dump", "--password-file", passwordFile, table}).err,
                 "kartoteka-table: the first line of " + passwordFile + " is empty: no password\n");
        const QString help = runTool({"--help"}).out;
        QVERIFY2(help.contains("--password-file FILE") && help.contains("--password-fd N")
                     && help.contains("process list"),
                 qPrintable(help));

        // Typed on the terminal: read without echo, and the table opens.
        const Result typed = runOnTerminal({"dump", table}, "secret\n");
        QCOMPARE(typed.code, 0);
        QVERIFY2(typed.out.contains("1\tИванова\tАнна") && !typed.out.contains("secret"), qPrintable(typed.out));

        // Never while another user has the table open: nothing changes.
        const QByteArray before = fileBytes(table);
        {
            ke::OpenOptions o;
            o.passwords = {"secret"};
            ke::Cursor program(table.toStdString(), o);
            const Result busy = runTool({"unprotect", "--password", "secret", table});
            QCOMPARE(busy.code, 1);
            QVERIFY2(busy.err.contains("close the program"), qPrintable(busy.err));
        }
        QCOMPARE(fileBytes(table), before);

        const Result open = runTool({"unprotect", "--password", "secret", table});
        QCOMPARE(open.out, "unprotected " + table + "\n");
        QCOMPARE(enginetest::storedKey(table), 0u);
        QVERIFY(fileBytes(table).contains(QByteArray("\xC8\xE2\xE0\xED\xEE\xE2\xE0", 7)));
        QCOMPARE(runTool({"info", table}).out.contains("password-protected: no\n"), true);

        // A Cyrillic password goes through the table's code page.
        QCOMPARE(runTool({"protect", "--password", "пароль", table}).code, 0);
        QCOMPARE(enginetest::storedKey(table), 0x70D89157u);
        QCOMPARE(runTool({"protect", "--password", "другой", table}).code, 1); // one password at a time
        QCOMPARE(enginetest::storedKey(table), 0x70D89157u);
        const QString copies = dir.path() + "/copies";
        QCOMPARE(runTool({"backup", "--password", "пароль", table, copies}).code, 0);
        QCOMPARE(enginetest::storedKey(copies + "/data.DB"), 0x70D89157u);
        const Result sound = runTool({"check", "--password", "пароль", copies + "/data.DB"});
        QCOMPARE(sound.code, 0);
        QVERIFY2(sound.out.endsWith(": sound, 2 records\n"), qPrintable(sound.out));
        QCOMPARE(enginetest::describe(enginetest::readWithPxlib((copies + "/data.DB").toStdString(), 1251)),
                 enginetest::describe(cards()));
        QCOMPARE(enginetest::g_pxErrors, 0);
    }
};

QTEST_GUILESS_MAIN(TestPasswordCommands)
#include "TestPasswordCommands.moc"
