// A child process makes random changes and is killed at random moments, over
// two hundred times. After each kill the table opens, is valid for the engine,
// for an independent structure check and for pxlib, and holds exactly the
// changes the child reported done; the change in flight is whole or absent.
// A keyed table's primary index agrees with it after every kill.
#include "Journal.h"
#include "KeyedPxlibPeer.h"
#include "Scramble.h"
#include "TableChecker.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>

using namespace enginetest;

namespace {

struct Op {
    char kind = 0; // I insert before index (index == size: append), M modify, X delete
    int index = 0;
    int serial = 0;
};

// A keyed table's rows carry a card number first (the key; an odd serial's
// change gives its record a new one) and stay in its order.
Row rowFor(const Op& op, const std::vector<Row>& model, bool keyed)
{
    Row r = clientRow(op.serial);
    r[0] = r[0].substr(r[0].size() > 5 ? r[0].size() - 5 : 0); // the number column holds five characters
    if (op.kind == 'M')
        r[1] = "Изменено " + std::to_string(op.serial);
    if (keyed)
        r.insert(r.begin(), op.kind == 'M' && op.serial % 2 == 0 ? model[size_t(op.index)][0] : std::to_string(op.serial));
    return r;
}

void applyOp(std::vector<Row>& model, const Op& op, bool keyed)
{
    const Row r = op.kind == 'X' ? Row() : rowFor(op, model, keyed);
    if (op.kind == 'I')
        model.insert(model.begin() + op.index, r);
    else if (op.kind == 'M')
        model[size_t(op.index)] = r;
    else
        model.erase(model.begin() + op.index);
    if (keyed)
        std::sort(model.begin(), model.end(), [](const Row& a, const Row& b) { return std::stoll(a[0]) < std::stoll(b[0]); });
}

void writeLine(int fd, const std::string& line)
{
    std::string s = line + "\n";
    (void)!::write(fd, s.data(), s.size());
}

// The child keeps its own copy of the table's rows, to know the keys it changes.
[[noreturn]] void childLoop(const std::string& path, const std::vector<std::string>& passwords, int fd, quint32 seed,
                            std::vector<Row> model, bool keyed)
{
    QRandomGenerator rng(seed);
    try {
        ke::OpenOptions options;
        options.passwords = passwords;
        ke::Cursor c(path, options);
        std::vector<uint8_t> buf(c.header().recordSize);
        int size = int(c.recordCount());
        for (int serial = int(seed) * 1000;; ++serial) {
            Op op;
            op.serial = serial;
            const int pick = int(rng.bounded(10));
            op.kind = size < 5 ? 'I' : size > 40 ? 'X' : pick < 4 ? 'I' : pick < 7 ? 'M' : 'X';
            op.index = int(rng.bounded(op.kind == 'I' ? size + 1 : size));
            if (op.index == size) {
                c.setToEnd();
            } else {
                c.setToBegin();
                for (int k = 0; k <= op.index; ++k)
                    c.next(false, buf.data());
            }
            char line[64];
            std::snprintf(line, sizeof line, "B %c %d %d", op.kind, op.index, op.serial);
            writeLine(fd, line);
            auto r = makeRecord(c.header(), rowFor(op, model, keyed));
            if (op.kind == 'I')
                c.insert(r.data(), false);
            else if (op.kind == 'M')
                c.modify(r.data(), true);
            else
                c.remove();
            writeLine(fd, "D");
            applyOp(model, op, keyed);
            size += op.kind == 'I' ? 1 : op.kind == 'X' ? -1 : 0;
        }
    } catch (const ke::EngineError& e) {
        writeLine(fd, "F " + std::to_string(e.code) + " " + e.context);
    }
    _exit(3);
}

} // namespace

class TestCrashConsistency : public QObject {
    Q_OBJECT

private slots:
    void killedWriterLeavesAConsistentTable_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<bool>("keyed");
        QTest::newRow("in clear") << QString() << 220 << false;
        QTest::newRow("protected") << QString("secret") << 100 << false;
        QTest::newRow("keyed") << QString() << 150 << true;
    }

    void killedWriterLeavesAConsistentTable()
    {
        QFETCH(QString, password);
        QFETCH(int, rounds);
        QFETCH(bool, keyed);
        QTemporaryDir dir(fastTempTemplate());
        const std::string path = (dir.path() + "/data.DB").toStdString();
        ke::NewTable layout = keyed ? keyedClientLayout() : ke::clientTableLayout();
        layout.blockSizeKiB = 1; // five records a block: splits and frees are frequent
        ke::createTable(path, layout);
        std::vector<std::string> passwords;
        if (!password.isEmpty()) {
            passwords.push_back(password.toStdString());
            ke::OpenOptions alone;
            alone.exclusive = true;
            ke::Cursor(path, alone).storeUnderKey(ke::scramble::keyOf(passwords.front()));
        }
        std::vector<Row> model;
        QRandomGenerator rng(20261208);
        int kills = 0, inFlightApplied = 0, inFlightAbsent = 0, journalsFound = 0, doneOps = 0;
        for (int round = 1; round <= rounds; ++round) {
            int fds[2];
            QCOMPARE(pipe(fds), 0);
            pid_t pid = fork();
            if (pid == 0) {
                close(fds[0]);
                childLoop(path, passwords, fds[1], quint32(round), model, keyed);
            }
            close(fds[1]);
            // Kill at a random moment once the child has started changing the table.
            std::string text;
            char chunk[4096];
            ssize_t n;
            while (text.find('B') == std::string::npos && (n = read(fds[0], chunk, sizeof chunk)) > 0)
                text.append(chunk, size_t(n));
            usleep(useconds_t(rng.bounded(0, 20000)));
            kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
            QVERIFY2(WIFSIGNALED(status), "the child stopped by itself");
            ++kills;
            while ((n = read(fds[0], chunk, sizeof chunk)) > 0)
                text.append(chunk, size_t(n));
            close(fds[0]);
            std::optional<Op> inFlight;
            size_t pos = 0;
            while (pos < text.size()) {
                size_t nl = text.find('\n', pos);
                if (nl == std::string::npos)
                    break; // a line cut by the kill
                const std::string line = text.substr(pos, nl - pos);
                pos = nl + 1;
                QVERIFY2(line[0] != 'F', line.c_str());
                if (line[0] == 'B') {
                    Op op;
                    std::sscanf(line.c_str(), "B %c %d %d", &op.kind, &op.index, &op.serial);
                    inFlight = op;
                } else if (line == "D" && inFlight) {
                    applyOp(model, *inFlight, keyed);
                    inFlight.reset();
                    ++doneOps;
                }
            }

            const QString journal = QString::fromStdString(ke::journalPathFor(path));
            const bool journalLeft = QFile::exists(journal);
            journalsFound += journalLeft ? 1 : 0;
            // The engine opens it (rolling back a half-written change) and reads it.
            const std::vector<Row> rows = readAll(path, passwords);
            QVERIFY2(!QFile::exists(journal), "the journal outlived the first read");
            if (inFlight) {
                std::vector<Row> withOp = model;
                applyOp(withOp, *inFlight, keyed);
                if (describe(rows) == describe(withOp)) {
                    model = withOp;
                    ++inFlightApplied;
                } else {
                    ++inFlightAbsent;
                }
            }
            if (describe(rows) != describe(model)) {
                for (size_t i = 0; i < std::max(rows.size(), model.size()); ++i) {
                    const QString a = i < rows.size() ? describe({rows[i]}) : "-";
                    const QString b = i < model.size() ? describe({model[i]}) : "-";
                    if (a != b)
                        qWarning("round %d row %zu: table %s, expected %s", round, i, qPrintable(a), qPrintable(b));
                }
                if (inFlight)
                    qWarning("in flight: %c %d %d", inFlight->kind, inFlight->index, inFlight->serial);
            }
            QCOMPARE(describe(rows), describe(model));
            if (passwords.empty()) {
                QCOMPARE(checkStructure(QString::fromStdString(path)), QString());
            } else {
                // The independent checker cannot read scrambled blocks: the engine's own check, and pxlib.
                ke::OpenOptions o;
                o.passwords = passwords;
                ke::Cursor c(path, o);
                QCOMPARE(c.check([](const std::string& p) { qWarning("%s", p.c_str()); }), 0u);
            }
            g_pxErrors = 0;
            if (keyed) {
                // The engine's check covers the index; pxlib reads the records through it.
                ke::OpenOptions o;
                o.readOnly = true;
                QCOMPARE(ke::Cursor(path, o).check([](const std::string& p) { qWarning("%s", p.c_str()); }), 0u);
                QCOMPARE(verifyWithPxlib(path.substr(0, path.size() - 3)), QStringList());
            } else {
                QCOMPARE(describe(readWithPxlib(path, 1251)), describe(model));
            }
            QCOMPARE(g_pxErrors, 0);
        }
        qInfo("%d kills, %d changes reported done, change in flight applied %d / absent %d times, "
              "%d journals rolled back",
              kills, doneOps, inFlightApplied, inFlightAbsent, journalsFound);
        QVERIFY(kills >= rounds - rounds / 10);
        QVERIFY(doneOps > 0); // the children really changed the table between kills
        QVERIFY(journalsFound > 0); // and some kills really came in the middle of a change, rolled back
    }
};

QTEST_GUILESS_MAIN(TestCrashConsistency)
#include "TestCrashConsistency.moc"
