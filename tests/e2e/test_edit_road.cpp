// The road of one edit, end to end: the real program on a real X server,
// driven by real key and mouse events, on a card index in a temporary drive;
// keys and text after an error report; where the program looks for its engine.
#include "ProgramRun.h"
#include "TableCreator.h"
#include "XSession.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Record = QStringList;

QString binaryDir() { return qEnvironmentVariable("KARTOTEKA_BINARY_DIR"); }

// Where the buttons and boxes of the client base window lie, in its client area.
// The bar stands at (8, 4) in the 65-pixel strip with six 86-pixel buttons; the
// scroll box starts at (4, 69).
QPoint navButton(int index) { return {8 + 86 * index + 43, 4 + 12}; }
QPoint boxPoint(int left, int top, int width, int height) { return {4 + left + width / 2, 69 + top + height / 2}; }

// The client card index's folder under a home's default drive map.
QString cardIndexFolder(const QTemporaryDir& home) {
    return home.filePath(QStringLiteral(".local/share/kartoteka/drives/E/ЗУРБЕЛИН/proga"));
}

} // namespace

class TestEditRoad : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void oneEditFromMenuToFile();
    void keysAndTextStayWhereTheyBelong();
    void engineNeverFromTheCurrentFolder();

private:
    bool runTable(const QStringList& args, QString* output);
    bool createTable(const QString& file);
    QList<Record> dumpTable(const QString& file);
    QPoint exitItem(const XSession& x, const QRect& strip);
    // Waits for the menu strip, then opens the client base window with Ctrl+C.
    void openBaseWindow(const XSession& x, const ProgramRun& run, qulonglong* strip, qulonglong* base);

    QString program_;
    QString tableTool_;
};

void TestEditRoad::initTestCase() {
    const QString missing = XSession::missingTools();
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: %1 (scripts/setup installs them)").arg(missing)));
    program_ = binaryDir() + QStringLiteral("/bin/Kartoteka");
    tableTool_ = binaryDir() + QStringLiteral("/bin/kartoteka-table");
    QVERIFY2(QFile::exists(program_), qPrintable(program_));
    QVERIFY2(QFile::exists(tableTool_), qPrintable(tableTool_));
}

bool TestEditRoad::runTable(const QStringList& args, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(tableTool_, args);
    if (!p.waitForFinished(30000))
        return false;
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput());
    const QByteArray err = p.readAllStandardError();
    if (!err.isEmpty())
        qWarning("kartoteka-table: %s", err.constData());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool TestEditRoad::createTable(const QString& file) {
    return runTable({QStringLiteral("create"), file}, nullptr);
}

QList<Record> TestEditRoad::dumpTable(const QString& file) {
    QString out;
    if (!runTable({QStringLiteral("dump"), file}, &out))
        return {};
    QList<Record> records;
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines)
        records << line.split(QLatin1Char('\t'));
    return records;
}

// What a failed wait shows: the words, the program's state and output.
static QByteArray seen(const ProgramRun& run, const char* what) {
    return (QLatin1String(what) + QLatin1Char('\n') + run.diagnosis()).toUtf8();
}

void TestEditRoad::openBaseWindow(const XSession& x, const ProgramRun& run, qulonglong* strip, qulonglong* base) {
    *strip = x.waitForWindow(QStringLiteral("^Картотека клиентов психолога и психологические опросники$"), 40000);
    QVERIFY2(*strip != 0, seen(run, "the main window did not show").constData());
    QVERIFY(x.focus(*strip));
    QVERIFY(x.key(QStringLiteral("ctrl+c")));
    *base = x.waitForWindow(QStringLiteral("^База клиентов$")); // exactly: nothing appended
    QVERIFY2(*base != 0, seen(run, "Ctrl+C did not open the client base window").constData());
}

// "Выход" is the last item of the menu bar: the right-most run of text pixels
// in the strip at the top of the screen.
QPoint TestEditRoad::exitItem(const XSession& x, const QRect& strip) {
    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("strip.png"));
    if (!x.screenshot(shot))
        return {};
    const QImage image(shot);
    if (image.isNull())
        return {};
    int right = -1, left = -1;
    for (int col = strip.right(); col >= strip.left() && left < 0; --col) {
        bool dark = false;
        for (int row = strip.top() + 2; row < strip.bottom() - 1 && !dark; ++row)
            dark = qGray(image.pixel(col, row)) < 96;
        if (dark && right < 0)
            right = col;
        if (!dark && right >= 0) {
            // A gap wider than a word space ends the item's text.
            bool gap = true;
            for (int c = col; c > col - 8 && c >= 0 && gap; --c)
                for (int row = strip.top() + 2; row < strip.bottom() - 1 && gap; ++row)
                    gap = qGray(image.pixel(c, row)) >= 96;
            if (gap)
                left = col + 1;
        }
    }
    if (right < 0 || left < 0)
        return {};
    return {(left + right) / 2, strip.top() + strip.height() / 2};
}

void TestEditRoad::oneEditFromMenuToFile() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString dir = cardIndexFolder(home);
    QVERIFY(QDir().mkpath(dir));
    const QString table = dir + QStringLiteral("/data.DB");
    QVERIFY2(createTable(table), "kartoteka-table create failed");
    QCOMPARE(dumpTable(table), QList<Record>{});

    XSession x;
    QString error;
    QVERIFY2(x.attach(&error), qPrintable(error));

    ProgramRun run(x, program_, home.path());
    QVERIFY2(run.start(), "the program did not start");
    QProcess& app = run.process();
    // What the screen showed when the test ended, for a failure's diagnosis.
    auto lastScreen = qScopeGuard([&x] { x.screenshot(binaryDir() + QStringLiteral("/e2e-edit-road-last.png")); });

    // Ctrl+C from the menu strip at the top-left corner of the screen opens
    // the client base window.
    qulonglong strip = 0, base = 0;
    openBaseWindow(x, run, &strip, &base);
    if (QTest::currentTestFailed())
        return;
    const QRect stripRect = x.geometry(strip);
    QCOMPARE(stripRect.topLeft(), QPoint(0, 0));
    const QRect win = x.geometry(base);
    QCOMPARE(win.size(), QSize(592, 304));
    auto at = [&](QPoint p) { return x.click(win.x() + p.x(), win.y() + p.y()); };
    QVERIFY(x.focus(base));
    const QPoint number = boxPoint(61, 15, 40, 28), surname = boxPoint(6, 61, 215, 21),
                 firstName = boxPoint(244, 61, 140, 21);
    const QPoint first = navButton(0), next = navButton(2), insert = navButton(4), remove = navButton(5);

    // The card index is empty: typing a surname starts the first record.
    QVERIFY(at(surname));
    QVERIFY(x.type(QStringLiteral("Петров")));
    QVERIFY(at(number));
    QVERIFY(x.type(QStringLiteral("1")));
    // The button above "Следующий" stores it.
    QVERIFY(at(next));

    // The button above "Добавить" starts a blank record in front of the
    // current one; Next stores it and moves on.
    QVERIFY(at(insert));
    QVERIFY(at(number));
    QVERIFY(x.type(QStringLiteral("2")));
    QVERIFY(x.key(QStringLiteral("Tab")));
    QVERIFY(x.type(QStringLiteral("Сидорова")));
    QVERIFY(x.key(QStringLiteral("Tab")));
    QVERIFY(x.type(QStringLiteral("Анна")));
    QVERIFY(at(next));
    // Now on "Петров": one more in front of him, stored by First.
    QVERIFY(at(insert));
    QVERIFY(at(number));
    QVERIFY(x.type(QStringLiteral("3")));
    QVERIFY(at(surname));
    QVERIFY(x.type(QStringLiteral("Кузнецов")));
    QVERIFY(at(first));

    // The first record is "Сидорова": change her surname; Next stores it.
    QVERIFY(at(surname));
    QVERIFY(x.key(QStringLiteral("End")));
    for (int i = 0; i < 8; ++i)
        QVERIFY(x.key(QStringLiteral("BackSpace")));
    QVERIFY(x.type(QStringLiteral("Смирнова")));
    QVERIFY(at(next));

    // Now on "Кузнецов": delete him, answering "Delete record?" with OK.
    QVERIFY(at(remove));
    const qulonglong confirm = x.waitForWindow(QStringLiteral("^Confirm$"));
    QVERIFY2(confirm != 0, seen(run, "Delete did not ask \"Delete record?\"").constData());
    QVERIFY(x.focus(confirm));
    QVERIFY(x.key(QStringLiteral("Return")));
    QVERIFY2(x.waitForWindowGone(QStringLiteral("^Confirm")), seen(run, "the question stayed open").constData());

    // An edit still pending at the end is stored as the program ends: nothing typed is lost.
    QVERIFY(x.focus(base));
    QVERIFY(at(firstName));
    QVERIFY(x.type(QStringLiteral("Иван")));

    // "Выход" on the menu bar ends the program.
    const QPoint exit = exitItem(x, stripRect);
    QVERIFY2(!exit.isNull(), "no menu item text found on the strip");
    QVERIFY(x.click(exit.x(), exit.y()));
    QVERIFY2(app.waitForFinished(20000), seen(run, "the program did not end after \"Выход\"").constData());
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);

    const QList<Record> expected{
        {"2", "Смирнова", "Анна", "", "", "", ""},
        {"1", "Петров", "Иван", "", "", "", ""},
    };
    QCOMPARE(dumpTable(table), expected);
}

// A card index made elsewhere, with a surname column wider than the
// program's 40 letters, in a folder that turns read-only for a while. Through
// the real program: a long stored surname loses only the letter deleted; undo
// on another card showing the same text brings nothing of the card before; a
// middle-button paste is held to the box's length; after an error report (a
// failed store, a refused exit) the keys go back to the box the user was
// typing in.
void TestEditRoad::keysAndTextStayWhereTheyBelong() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString dir = cardIndexFolder(home);
    QVERIFY(QDir().mkpath(dir));
    const QString table = dir + QStringLiteral("/data.DB");
    ke::NewTable layout = ke::clientTableLayout();
    layout.fields[1].size = 60;
    ke::createTable(QFile::encodeName(table).toStdString(), layout);
    const QString longName = QStringLiteral("Голенищева-Кутузова-").repeated(3).left(56);
    QFile csv(home.filePath(QStringLiteral("cards.csv")));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write(QStringLiteral("Клиент №,Фамилия,Семейное положение\n1,%1,женат\n2,Сидорова,замужем\n3,Кузнецов,холост\n")
                  .arg(longName)
                  .toUtf8());
    csv.close();
    QVERIFY2(runTable({QStringLiteral("import"), table, csv.fileName()}, nullptr), "kartoteka-table import failed");

    XSession x;
    QString error;
    QVERIFY2(x.attach(&error), qPrintable(error));
    ProgramRun run(x, program_, home.path());
    // Folder permissions do not bind the superuser: the program then runs as nobody.
    if (::geteuid() == 0) {
        QCOMPARE(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("65534:65534"), home.path()}), 0);
        run.setUser(65534, 65534);
    }
    QVERIFY2(run.start(), "the program did not start");
    auto lastScreen = qScopeGuard([&x] { x.screenshot(binaryDir() + QStringLiteral("/e2e-keys-and-text-last.png")); });
    qulonglong strip = 0, base = 0;
    openBaseWindow(x, run, &strip, &base);
    if (QTest::currentTestFailed())
        return;
    auto at = [&](QPoint p, int button = 1) { return x.clickIn(base, p, button); };
    const QPoint number = boxPoint(61, 15, 40, 28), surname = boxPoint(6, 61, 215, 21),
                 marital = boxPoint(243, 105, 140, 21), numberStart(4 + 61 + 3, 69 + 15 + 14);
    const QPoint first = navButton(0), next = navButton(2), last = navButton(3);
    auto answerReport = [&](const char* what) {
        const qulonglong report = x.waitForWindow(QStringLiteral("^Kartoteka$"));
        return report && x.focus(report) && x.key(QStringLiteral("Return")) &&
               x.waitForWindowGone(QStringLiteral("^Kartoteka$")) ? QByteArray() : seen(run, what);
    };

    // Card 1: one letter off the long surname; "женат" becomes "холост".
    QVERIFY(at(surname) && x.key(QStringLiteral("End BackSpace")));
    QVERIFY(at(marital) && x.key(QStringLiteral("ctrl+a")) && x.type(QStringLiteral("холост")));
    // Card 3 shows "холост" too: undo there has nothing to undo.
    QVERIFY(at(last) && at(marital) && x.key(QStringLiteral("ctrl+z")) && at(first));

    // The surname selected on card 1 is pasted with the middle button at the
    // start of the number box: only as much as the box takes.
    QVERIFY(at(surname) && x.key(QStringLiteral("End shift+Home")));
    QVERIFY(at(number) && x.key(QStringLiteral("End")) && x.type(QStringLiteral("0")));
    QVERIFY(at(numberStart, 2) && at(next));

    // Card 2, the folder read-only: the store fails and is reported. After
    // OK the keys go on into the surname box.
    QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0555) == 0);
    QVERIFY(at(surname) && x.key(QStringLiteral("End")) && x.type(QStringLiteral("ю")) && at(next));
    QCOMPARE(answerReport("the failed store was not reported"), QByteArray());
    QVERIFY(x.type(QStringLiteral("ыы")));
    // The same after the report of an exit that cannot store the card.
    run.process().terminate();
    QCOMPARE(answerReport("the refused exit was not reported"), QByteArray());
    QVERIFY(x.type(QStringLiteral("я")));
    QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0755) == 0);
    QVERIFY(at(next));

    run.process().terminate();
    QVERIFY2(run.process().waitForFinished(20000), seen(run, "the program did not end on SIGTERM").constData());
    const QList<Record> expected{
        {QStringLiteral("Гол10"), longName.chopped(1), "", "", "", "холост", ""},
        {"2", "Сидороваюыыя", "", "", "", "замужем", ""},
        {"3", "Кузнецов", "", "", "", "холост", ""},
    };
    QCOMPARE(dumpTable(table), expected);
}

// The program alone in a folder of its own, started from a folder that holds
// a library under the engine's name: that library is never loaded. The engine
// is found nowhere, and the start-up report says so.
void TestEditRoad::engineNeverFromTheCurrentFolder() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(QStringLiteral("program/Kartoteka")), here = dir.filePath(QStringLiteral("here"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("program"))) && QDir().mkpath(here));
    QVERIFY(QFile::copy(program_, program));
    QVERIFY(QFile::copy(binaryDir() + QStringLiteral("/tests/stranger-engine/libkartoteka-engine.so"),
                        here + QStringLiteral("/libkartoteka-engine.so")));
    const QString mark = dir.filePath(QStringLiteral("loaded"));
    qputenv("KARTOTEKA_STRANGER_MARK", QFile::encodeName(mark));

    XSession x;
    QString error;
    QVERIFY2(x.attach(&error), qPrintable(error));
    ProgramRun run(x, program, dir.filePath(QStringLiteral("home")));
    run.setWorkingDirectory(here);
    QVERIFY2(run.start(), "the program did not start");
    qulonglong report = 0;
    for (int i = 0; i < 40 && !report && !QFile::exists(mark); ++i)
        report = x.waitForWindow(QStringLiteral("^Kartoteka$"), 1000);
    QVERIFY2(!QFile::exists(mark), "the program loaded the library in its current folder");
    QVERIFY2(report != 0, seen(run, "no start-up report").constData());
    run.process().terminate();
    QVERIFY(run.process().waitForFinished(20000));
}

QTEST_GUILESS_MAIN(TestEditRoad)
#include "test_edit_road.moc"
