// The card index in and out as CSV: export followed by import gives the same
// records byte for byte (the export safe for spreadsheets, and on the disk
// before it replaces the previous one), every field type has a text form that
// reads back exactly, a row that cannot be stored stops the import with its line and
// column and leaves the table as it was, and an import works while another
// process has the table open and an edit in progress.
#include "Journal.h"
#include "ToolTestSupport.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace enginetest;
using namespace tooltest;

namespace {

using RawRecords = std::vector<std::vector<uint8_t>>;

RawRecords rawRecords(const QString& path)
{
    ke::OpenOptions o;
    o.readOnly = true;
    ke::Cursor c(path.toStdString(), o);
    std::vector<uint8_t> rec(c.header().recordSize);
    RawRecords all;
    c.setToBegin();
    for (;;) {
        try {
            c.next(false, rec.data());
        } catch (const ke::EngineError& e) {
            if (e.code == KE_ERR_EOF)
                break;
            throw;
        }
        all.push_back(rec);
    }
    return all;
}

// Client records of random native bytes: every character of code page 1251
// (control characters, quotes, commas, CR and LF among them), random lengths up
// to the column's size; a third of the values begin as a spreadsheet formula
// does, or with apostrophes before one, or with apostrophes alone.
RawRecords randomClientRecords(const ke::TableHeader& h, int count, QRandomGenerator& random)
{
    static const std::vector<std::string> starts = {"=", "+", "-", "@", "\t", "\r", "'", "''", "'=", "''+", "'\t-", "'a"};
    RawRecords all;
    for (int n = 0; n < count; ++n) {
        std::vector<uint8_t> rec(h.recordSize, 0);
        for (const ke::FieldInfo& f : h.fields) {
            const int length = random.bounded(5) == 0 ? 0 : random.bounded(1, f.size + 1);
            const std::string& start = starts[random.bounded(int(starts.size()))];
            const int given = random.bounded(3) == 0 ? std::min(length, int(start.size())) : 0;
            std::copy_n(start.begin(), given, rec.begin() + f.offset);
            for (int i = given; i < length; ++i) {
                uint8_t b;
                do {
                    b = uint8_t(random.bounded(1, 256));
                } while (b == 0x98); // the one byte that is no character of the page
                rec[f.offset + size_t(i)] = b;
            }
        }
        all.push_back(rec);
    }
    return all;
}

// The file's records as Python's csv module reads them, one value per line in
// hexadecimal UTF-8, each record ended by "--": an independent reader of the format.
QString readWithPython(const QString& csvFile)
{
    QProcess p;
    p.start("python3", {"-c",
                        "import csv,sys\n"
                        "for row in csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')):\n"
                        "    for v in row: print(v.encode('utf-8').hex())\n"
                        "    print('--')\n",
                        csvFile});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString hexOf(const std::string& utf8) { return QString::fromLatin1(QByteArray::fromStdString(utf8).toHex()); }

} // namespace

class TestCsvExchange : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString newClientTable(const QString& name)
    {
        const QString path = m_dir.path() + "/" + name;
        if (runTool({"create", path}).code != 0)
            qFatal("create failed");
        return path;
    }

private slots:
    void roundTripIsExact()
    {
        const QString a = newClientTable("a.DB");
        QRandomGenerator random(20240501);
        const ke::TableHeader header = ke::Cursor(a.toStdString(), {}).header();
        const RawRecords records = randomClientRecords(header, 400, random);
        {
            ke::Cursor c(a.toStdString(), {});
            for (const auto& r : records) {
                c.setToEnd();
                c.insert(r.data(), false);
            }
        }
        const mode_t oldMask = ::umask(022);
        const QString csv = m_dir.path() + "/a.csv";
        writeFile(csv, "an older export");
        const Result exported = runTool({"export", a, csv});
        ::umask(oldMask);
        QCOMPARE(exported.code, 0);
        QCOMPARE(exported.err, "exported 400 records to " + csv + "\n");
        QCOMPARE(modeOf(csv), 0600u);
        const QByteArray text = fileBytes(csv);
        QVERIFY(text.startsWith("\xEF\xBB\xBF\xD0\x9A\xD0\xBB\xD0\xB8\xD0\xB5\xD0\xBD\xD1\x82 \xE2\x84\x96,")); // BOM, "Клиент №,"
        QCOMPARE(runTool({"export", a}).bytes, text); // standard output: the same bytes

        const QString b = newClientTable("b.DB");
        const Result imported = runTool({"import", b, csv});
        QCOMPARE(imported.code, 0);
        QCOMPARE(imported.out, "imported 400 records into " + b + "\n");
        QVERIFY(rawRecords(b) == records);
        QCOMPARE(runTool({"export", b, m_dir.path() + "/b.csv"}).code, 0);
        QCOMPARE(fileBytes(m_dir.path() + "/b.csv"), text);
        QCOMPARE(runTool({"check", b}).code, 0);

        // A verbatim export writes every text as it is, and its import gives it back.
        const QString verbatim = m_dir.path() + "/verbatim.csv", c = newClientTable("c.DB");
        QCOMPARE(runTool({"export", "--verbatim", a, verbatim}).code, 0);
        QCOMPARE(runTool({"import", c, "--verbatim", verbatim}).code, 0);
        QVERIFY(rawRecords(c) == records);

        // Another reader of the format sees the same values the engine holds,
        // with an apostrophe before each a spreadsheet would run as a formula.
        if (QStandardPaths::findExecutable("python3").isEmpty())
            QSKIP("python3 is not installed: the independent reading is skipped");
        QString expected;
        int guarded = 0;
        const ke::CodePage* cp = ke::CodePage::get(1251);
        auto add = [&](const std::string& value) {
            const size_t first = value.find_first_not_of('\'');
            const bool runs = first != std::string::npos && std::string("=+-@\t\r").find(value[first]) != std::string::npos;
            guarded += runs;
            expected += hexOf(runs ? "'" + value : value) + "\n";
        };
        for (const auto& f : header.fields)
            add(cp->toUtf8(reinterpret_cast<const uint8_t*>(f.rawName.data()), f.rawName.size()));
        expected += "--\n";
        for (const auto& r : records) {
            for (const auto& f : header.fields)
                add(cp->toUtf8(r.data() + f.offset, f.size));
            expected += "--\n";
        }
        QVERIFY2(guarded > 200, qPrintable(QString::number(guarded)));
        QCOMPARE(readWithPython(csv), expected);
    }

    // Watched with strace: the new file is synced before it takes the old
    // one's name, and the folder after, so a power cut leaves one of them whole.
    void exportIsOnTheDiskBeforeItReplacesTheOldOne()
    {
        if (QStandardPaths::findExecutable("strace").isEmpty())
            QSKIP("strace is not installed: the export's syncs cannot be watched");
        const QString t = newClientTable("synced.DB"), csv = m_dir.path() + "/synced.csv", log = m_dir.path() + "/strace.log";
        writeFile(csv, "the previous export");
        QProcess p; // -y names the file behind each descriptor
        p.start("strace", {"-y", "-e", "trace=fsync,fdatasync,rename,renameat,renameat2", "-o", log, toolPath(), "export", t, csv});
        QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
        const QStringList calls = QString::fromUtf8(fileBytes(log)).split('\n');
        auto first = [&](const QString& call, const QString& about) {
            for (int i = 0; i < calls.size(); ++i)
                if (calls[i].contains(call) && calls[i].contains(about))
                    return i;
            return -1;
        };
        const int synced = first("sync(", "/.synced.csv."), renamed = first("rename", "/synced.csv\""),
                  folderSynced = first("fsync(", "<" + QFileInfo(m_dir.path()).canonicalFilePath() + ">)");
        QVERIFY2(synced >= 0 && renamed > synced && folderSynced > renamed, qPrintable(calls.join('\n')));
    }

    // Columns in any order, some left out; a second import appends again.
    void importTakesColumnsByName()
    {
        const QString t = newClientTable("named.DB");
        const QByteArray csv = "Имя,Клиент №\n"
                               "Анна,12\r\n"
                               "\n"
                               "\"Ольга\",\"13\"";
        QCOMPARE(runTool({"import", t, "-"}, csv).code, 0);
        QCOMPARE(runTool({"import", t, "-"}, "\xEF\xBB\xBFФамилия\nКузнецов\n").code, 0);
        QCOMPARE(runTool({"dump", t}).out, QString("12\t\tАнна\t\t\t\t\n13\t\tОльга\t\t\t\t\n\tКузнецов\t\t\t\t\t\n"));
    }

    // Every type whose value lies in the record: text in, the same text out.
    void everyTypeReadsBack()
    {
        ke::NewTable layout;
        layout.fields = {{"Текст", KE_FIELD_ALPHA, 10},   {"Короткое", KE_FIELD_SHORT, 0}, {"Длинное", KE_FIELD_LONG, 0},
                         {"Счётчик", KE_FIELD_AUTOINC, 0}, {"Число", KE_FIELD_NUMBER, 0},  {"Сумма", KE_FIELD_MONEY, 0},
                         {"Да", KE_FIELD_LOGICAL, 0},      {"Дата", KE_FIELD_DATE, 0},     {"Время", KE_FIELD_TIME, 0},
                         {"Момент", KE_FIELD_TIMESTAMP, 0}, {"Байты", KE_FIELD_BYTES, 3}};
        const QString t = m_dir.path() + "/typed.DB";
        ke::createTable(t.toStdString(), layout);
        const QByteArray rows =
            "Текст,Короткое,Длинное,Счётчик,Число,Сумма,Да,Дата,Время,Момент,Байты\r\n"
            "\"a,b\",-32767,-2147483647,1,-0.1,1234.5,false,0001-01-01,00:00:00.000,0001-01-01 00:00:00.000,000001\r\n"
            "ё,32767,2147483647,2147483647,1e+300,0,true,9999-12-31,23:59:59.999,9999-12-31 23:59:59.999,ff00a1\r\n"
            ",,,,,,,2024-02-29,,2024-02-29 12:30:00.250,\r\n"
            ",0,0,,5e-324,-0,,,,,\r\n";
        const Result imported = runTool({"import", t, "-"}, rows);
        QVERIFY2(imported.code == 0, qPrintable(imported.err));
        QCOMPARE(QString::fromUtf8(runTool({"export", t}).bytes.mid(3)).split("\r\n"), QString::fromUtf8(rows).split("\r\n"));
        QCOMPARE(runTool({"check", t}).code, 0);

        // Values outside each type are refused, naming the column.
        const QByteArray header = rows.left(rows.indexOf('\n') + 1);
        const QByteArray before = fileBytes(t);
        const QList<QPair<QByteArray, int>> wrong = {
            {",-32768,,,,,,,,,", 2},        {",,2147483648,,,,,,,,", 3}, {",,,1.5,,,,,,,", 4},
            {",,,,1,5,,,,,,", 0},           {",,,,,12 р.,,,,,", 6},      {",,,,,,да,,,,", 7},
            {",,,,,,,2023-02-29,,,", 8},    {",,,,,,,31.12.2024,,,", 8}, {",,,,,,,,24:00,,", 9},
            {",,,,,,,,,2024-01-01T10:00,", 10}, {",,,,,,,,,,abc", 11},   {",,,,,,,,,,0a0b0c0d", 11},
            {"ABCDEFGHIJK,,,,,,,,,,", 1}};
        for (const auto& [line, column] : wrong) {
            const Result r = runTool({"import", t, "-"}, header + line + "\r\n");
            QCOMPARE(r.code, 1);
            const QString where = column ? QString("line 2, column %1 ").arg(column) : QString("line 2: ");
            QVERIFY2(r.err.contains(where) && r.err.endsWith("; nothing was imported\n"), qPrintable(line + ": " + r.err));
            QCOMPARE(fileBytes(t), before);
        }
    }

    // A row that cannot be stored: the file's line and column, the table as it was.
    void importRefusesWholeFile_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("what");
        const QByteArray h = "Клиент №,Фамилия,Имя\n";
        QTest::newRow("unmappable") << h + "1,Иванов,Иван\n2,Петров,Мария Ω\n" << "line 3, column 3 (Имя)" << "\"Ω\" cannot be stored in code page 1251";
        QTest::newRow("too long") << h + "1,Иванов,Иван\n123456,Петров,\n" << "line 3, column 1 (Клиент №)" << "6 characters are too many: the column holds 5";
        QTest::newRow("multi-line value")
            << h + "1,\"Ива\nнов\",Иван\n2,\"Пет\nров\",\"Мария\nАнна Мария Луиза Виктория Елизавета\"\n"
            << "line 5, column 3 (Имя)" << "too many";
        QTest::newRow("stray quote") << h + "1,Ив\"анов,Иван\n" << "line 2, column 2 (Фамилия)" << "a quote inside a value";
        QTest::newRow("text after quote") << h + "1,\"Иванов\" мл.,Иван\n" << "line 2, column 2 (Фамилия)" << "text follows the closing quote";
        QTest::newRow("unclosed quote") << h + "1,Иванов,Иван\n2,\"Петров,Пётр\n3,Сидоров,\n" << "line 3, column 2 (Фамилия)" << "not closed before the end of the file";
        QTest::newRow("short row") << h + "1,Иванов,Иван\n2,Петров\n" << "line 3:" << "2 values where the header names 3 columns";
        QTest::newRow("long row") << h + "1,Иванов,Иван,лишнее\n" << "line 2:" << "4 values where the header names 3 columns";
        QTest::newRow("unknown column") << QByteArray("Клиент №,Фамилия,Телефон\n1,Иванов,123\n") << "line 1, column 3" << "\"Телефон\" is no column of the table";
        QTest::newRow("column twice") << QByteArray("Имя,Фамилия,Имя\n") << "line 1, column 3" << "named twice";
        QTest::newRow("code page 1251 file") << QByteArray("Клиент №,Фамилия\n1,\xC8\xE2\xE0\xED\xEE\xE2\n") << "line 2, column 2 (Фамилия)" << "not UTF-8";
        QTest::newRow("empty file") << QByteArray("") << "line 1" << "the file is empty";
    }

    void importRefusesWholeFile()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, where);
        QFETCH(QString, what);
        const QString t = newClientTable(QString("refuse-%1.DB").arg(QTest::currentDataTag()).replace(' ', '-'));
        appendRows(t, {clientRow(1), clientRow(2)});
        const QByteArray before = fileBytes(t);
        const QString file = m_dir.path() + "/refused.csv";
        writeFile(file, csv);
        const Result r = runTool({"import", t, file});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("kartoteka-table: " + file + ", " + where) && r.err.contains(what)
                     && r.err.count('\n') == 1,
                 qPrintable(r.err));
        QCOMPARE(fileBytes(t), before);
    }

    // The program has the table open with an edit in progress, and a change was
    // cut short by a crash: the import rolls that change back, appends its rows
    // without touching the edited record, and the edit is then stored.
    void importWhileTheTableIsInUse()
    {
        const QString t = newClientTable("shared.DB");
        appendRows(t, {clientRow(1), clientRow(2), clientRow(3)});
        const QByteArray beforeCrash = fileBytes(t);
        appendRows(t, {clientRow(99)});
        leaveJournal(t, beforeCrash); // as a crash leaves it: the change written, the journal not yet removed

        ke::Cursor program(t.toStdString(), {});
        std::vector<uint8_t> rec(program.header().recordSize);
        program.setToBegin();
        program.next(false, rec.data());
        program.next(true, rec.data()); // editing record 2

        const Result r = runTool({"import", t, "-"}, "Клиент №,Фамилия\n10,Новикова\n11,Орлов\n");
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const auto edited = makeRecord(program.header(), Row{"2", "Исправлено"});
        program.modify(edited.data(), true);
        const std::vector<Row> expected = {clientRow(1), Row{"2", "Исправлено", "", "", "", "", ""}, clientRow(3),
                                           Row{"10", "Новикова", "", "", "", "", ""}, Row{"11", "Орлов", "", "", "", "", ""}};
        QCOMPARE(describe(readAll(t.toStdString())), describe(expected));

        // Opened exclusively elsewhere: refused, nothing changed.
        ke::OpenOptions exclusive;
        exclusive.exclusive = true;
        const QString t2 = newClientTable("exclusive.DB");
        ke::Cursor owner(t2.toStdString(), exclusive);
        const QByteArray ownerBefore = fileBytes(t2);
        const Result busy = runTool({"import", t2, "-"}, "Фамилия\nИванов\n");
        QCOMPARE(busy.code, 1);
        QVERIFY2(busy.err.contains("in use"), qPrintable(busy.err));
        QCOMPARE(fileBytes(t2), ownerBefore);
    }
};

QTEST_GUILESS_MAIN(TestCsvExchange)
#include "TestCsvExchange.moc"
