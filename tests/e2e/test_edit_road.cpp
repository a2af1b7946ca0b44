// The road of one edit, end to end: the real program on a real X server,
// driven by real key and mouse events, on a card index in a temporary drive.
#include "ProgramRun.h"
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

namespace {

using Record = QStringList;

QString binaryDir() { return qEnvironmentVariable("KARTOTEKA_BINARY_DIR"); }

// Where the buttons and boxes of the client base window lie, in its client area.
// The bar stands at (8, 4) in the 65-pixel strip with six 86-pixel buttons; the
// scroll box starts at (4, 69).
QPoint navButton(int index) { return {8 + 86 * index + 43, 4 + 12}; }
QPoint boxPoint(int left, int top, int width, int height) { return {4 + left + width / 2, 69 + top + height / 2}; }

} // namespace

class TestEditRoad : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void oneEditFromMenuToFile();

private:
    bool runTable(const QStringList& args, QString* output);
    bool createTable(const QString& file);
    QList<Record> dumpTable(const QString& file);
    QPoint exitItem(const XSession& x, const QRect& strip);

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
    const QString dir = home.filePath(QStringLiteral(".local/share/kartoteka/drives/E/ЗУРБЕЛИН/proga"));
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
    auto seen = [&run](const char* what) { return (QLatin1String(what) + QLatin1Char('\n') + run.diagnosis()).toUtf8(); };

    // The menu strip at the top-left corner of the screen.
    const qulonglong strip = x.waitForWindow(QStringLiteral("^Картотека клиентов психолога и психологические опросники$"), 40000);
    QVERIFY2(strip != 0, seen("the main window did not show").constData());
    const QRect stripRect = x.geometry(strip);
    QCOMPARE(stripRect.topLeft(), QPoint(0, 0));

    // Ctrl+C from the main window opens the client base window.
    QVERIFY(x.focus(strip));
    QVERIFY(x.key(QStringLiteral("ctrl+c")));
    const qulonglong base = x.waitForWindow(QStringLiteral("^База клиентов$")); // exactly: nothing appended
    QVERIFY2(base != 0, seen("Ctrl+C did not open the client base window").constData());
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
    QVERIFY2(confirm != 0, seen("Delete did not ask \"Delete record?\"").constData());
    QVERIFY(x.focus(confirm));
    QVERIFY(x.key(QStringLiteral("Return")));
    QVERIFY2(x.waitForWindowGone(QStringLiteral("^Confirm")), seen("the question stayed open").constData());

    // An edit still pending at the end is stored as the program ends: nothing typed is lost.
    QVERIFY(x.focus(base));
    QVERIFY(at(firstName));
    QVERIFY(x.type(QStringLiteral("Иван")));

    // "Выход" on the menu bar ends the program.
    const QPoint exit = exitItem(x, stripRect);
    QVERIFY2(!exit.isNull(), "no menu item text found on the strip");
    QVERIFY(x.click(exit.x(), exit.y()));
    QVERIFY2(app.waitForFinished(20000), seen("the program did not end after \"Выход\"").constData());
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);

    const QList<Record> expected{
        {"2", "Смирнова", "Анна", "", "", "", ""},
        {"1", "Петров", "Иван", "", "", "", ""},
    };
    QCOMPARE(dumpTable(table), expected);
}

QTEST_GUILESS_MAIN(TestEditRoad)
#include "test_edit_road.moc"
